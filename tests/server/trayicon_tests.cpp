// The tray icon's hidden window, its menu and its resources. The menu is
// driven from a second thread with the keys a user would press.
#include "server/trayicon.h"
#include "serverfixture.h"
#include "resource_ids.h"
#include <thread>

namespace {

// Records the commands that reach OnCommand, then lets the tray act.
struct RecordingTray : TrayIcon {
    explicit RecordingTray(const char *pszTip) : TrayIcon(IDR_TRAY_MENU, IDI_TRAY_ICON, pszTip) {}
    void OnCommand(UINT nCommandId) override { m_commands.push_back(nCommandId), TrayIcon::OnCommand(nCommandId); }
    std::vector<UINT> m_commands;
};

// Takes this thread's queue empty: "quit" for a WM_QUIT, "user" for the
// WM_USER posted to the tray window; other messages are dispatched.
std::string TakeQueued(HWND hwndTray)
{
    std::string taken;
    for (MSG msg; PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE);) {
        if (msg.message == WM_QUIT || (msg.message == WM_USER && msg.hwnd == hwndTray))
            taken += msg.message == WM_QUIT ? "quit " : "user ";
        else
            DispatchMessageA(&msg);
    }
    return taken;
}

// Waits (nTries x 20 ms) on its own thread for this process's pop-up menu
// and answers it with keys: Down and Return choose the first item, Escape
// dismisses it.
struct MenuDriver {
    std::string itemText = "(no menu seen)";
    std::thread thread;
    explicit MenuDriver(bool bChoose, int nTries = 500) : thread([this, bChoose, nTries] {
        for (int i = 0; i < nTries; i++, Sleep(20)) {
            HWND hwndMenu = FindProcessWindow(GetCurrentProcessId(), "#32768", true);
            if (!hwndMenu)
                continue;
            char szItem[64] = "";
            GetMenuStringA((HMENU)SendMessageA(hwndMenu, MN_GETHMENU, 0, 0), 0, szItem, sizeof szItem, MF_BYPOSITION);
            itemText = szItem;
            for (WPARAM vk : bChoose ? std::vector<WPARAM>{ VK_DOWN, VK_RETURN } : std::vector<WPARAM>{ VK_ESCAPE })
                PostMessageA(hwndMenu, WM_KEYDOWN, vk, 0);
            return;
        }
    }) {}
    std::string Wait() { return thread.joinable() ? (thread.join(), itemText) : itemText; }
    ~MenuDriver() { Wait(); }
};

}

// The window is never shown and the tip is cut to its field. Commands
// other than IDCANCEL go to the button's own procedure; notifications of
// other icons and other mouse actions show no menu (one shown all the same
// is dismissed, not waited for). A dismissed menu changes nothing; its one
// item ends the loop, as IDCANCEL does.
TEST(TrayIcon, HiddenWindowMenuAndCommands)
{
    std::string tip(200, 'x');
    for (size_t i = 0; i < tip.size(); i++)
        tip[i] = (char)('a' + i % 26);
    HWND hwnd;
    {
        RecordingTray tray(tip.c_str());
        hwnd = tray.Window();
        ASSERT_NE(nullptr, hwnd) << "the window needs a display (xvfb-run)";
        LONG lStyle = GetWindowLongA(hwnd, GWL_STYLE);
        EXPECT_EQ((LONG)(WS_POPUP | WS_DISABLED), lStyle & (WS_POPUP | WS_DISABLED | WS_VISIBLE | WS_CHILD))
            << "style 0x" << std::hex << lStyle;
        EXPECT_EQ(tip.substr(0, 127), tray.Tip());
        TakeQueued(hwnd);
        {
            MenuDriver driver(false, 50);
            SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
            SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(0x8000, 0), 0);
            SendMessageA(hwnd, TRAY_CALLBACK_MESSAGE, IDI_TRAY_ICON + 1, WM_RBUTTONUP);
            for (LPARAM lMouse : { WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEMOVE })
                SendMessageA(hwnd, TRAY_CALLBACK_MESSAGE, IDI_TRAY_ICON, lMouse);
            EXPECT_EQ("(no menu seen)", driver.Wait());
        }
        EXPECT_EQ("", TakeQueued(hwnd)) << "no quit, no menu";
        for (bool bChoose : { false, true }) {
            SCOPED_TRACE(bChoose ? "chosen" : "dismissed");
            MenuDriver driver(bChoose);
            EXPECT_EQ(0, SendMessageA(hwnd, TRAY_CALLBACK_MESSAGE, IDI_TRAY_ICON, WM_RBUTTONUP));
            EXPECT_EQ("Fermer Vur - Installer", driver.Wait());
            EXPECT_EQ(bChoose ? "user quit " : "user ", TakeQueued(hwnd)) << "WM_USER follows the menu";
            EXPECT_EQ(bChoose ? std::vector<UINT>{ 0x8000u } : std::vector<UINT>{}, tray.m_commands);
        }
        EXPECT_EQ(0, SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0));
        EXPECT_EQ("quit ", TakeQueued(hwnd)) << "WM_COMMAND IDCANCEL posts the quit";
    }
    EXPECT_FALSE(IsWindow(hwnd)) << "the destructor destroys the window";
}

// installer.exe carries the icon as one 32 x 32 image at 8 bits; the tray
// loads it at 16 x 16, the system scaling it.
TEST(TrayResources, IconOfInstallerExe)
{
    HMODULE hExe = LoadLibraryExA(InstallerExePath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, hExe) << InstallerExePath();
    HRSRC hGroup = FindResourceA(hExe, MAKEINTRESOURCEA(IDI_TRAY_ICON), (LPCSTR)RT_GROUP_ICON);
    ASSERT_NE(nullptr, hGroup) << "icon group 214";
    // The group header's image count (offset 4), then the first entry's
    // width, height and bit count (offsets 6, 7 and 12).
    const BYTE *pGroup = (const BYTE *)LockResource(LoadResource(hExe, hGroup));
    EXPECT_EQ("1 32x32 8", std::to_string(*(const WORD *)(pGroup + 4)) + " " + std::to_string(pGroup[6]) + "x" +
                               std::to_string(pGroup[7]) + " " + std::to_string(*(const WORD *)(pGroup + 12)));
    FreeLibrary(hExe);
}
