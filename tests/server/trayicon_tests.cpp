// The tray icon's hidden window and its menu. The menu is driven from a
// second thread with the keys a user would press.
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

}

// The window is never shown and the tip is cut to its field. A dismissed
// menu changes nothing; its one item ends the loop, as IDCANCEL does.
TEST(TrayIcon, HiddenWindowMenuAndCommands)
{
    std::string tip = std::string(126, 'a') + "bc" + std::string(72, 'd');
    HWND hwnd;
    {
        RecordingTray tray(tip.c_str());
        hwnd = tray.Window();
        ASSERT_NE(nullptr, hwnd) << "the window needs a display (xvfb-run)";
        EXPECT_FALSE(IsWindowVisible(hwnd));
        EXPECT_EQ(tip.substr(0, 127), tray.Tip());
        TakeQueued(hwnd);
        for (bool bChoose : { false, true }) {
            SCOPED_TRACE(bChoose ? "chosen" : "dismissed");
            // Waits for this process's pop-up menu, reads its item, then
            // Down and Return choose it or Escape dismisses it.
            std::string item = "(no menu seen)";
            std::thread driver([&] {
                HWND hwndMenu = NULL;
                for (int i = 0; i < 500 && !(hwndMenu = FindProcessWindow(GetCurrentProcessId(), "#32768", true)); i++)
                    Sleep(20);
                char szItem[64] = "";
                GetMenuStringA((HMENU)SendMessageA(hwndMenu, MN_GETHMENU, 0, 0), 0, szItem, sizeof szItem, MF_BYPOSITION);
                item = szItem;
                for (WPARAM vk : bChoose ? std::vector<WPARAM>{ VK_DOWN, VK_RETURN } : std::vector<WPARAM>{ VK_ESCAPE })
                    PostMessageA(hwndMenu, WM_KEYDOWN, vk, 0);
            });
            EXPECT_EQ(0, SendMessageA(hwnd, TRAY_CALLBACK_MESSAGE, IDI_TRAY_ICON, WM_RBUTTONUP));
            driver.join();
            EXPECT_EQ("Fermer Vur - Installer", item);
            EXPECT_EQ(bChoose ? "user quit " : "user ", TakeQueued(hwnd)) << "WM_USER follows the menu";
            EXPECT_EQ(bChoose ? std::vector<UINT>{ 0x8000u } : std::vector<UINT>{}, tray.m_commands);
        }
        EXPECT_EQ(0, SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0));
        EXPECT_EQ("quit ", TakeQueued(hwnd)) << "WM_COMMAND IDCANCEL posts the quit";
    }
    EXPECT_FALSE(IsWindow(hwnd)) << "the destructor destroys the window";
}
