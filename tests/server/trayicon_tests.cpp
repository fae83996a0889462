// The tray icon's hidden window, its menu and its resources. The menu is
// driven from a second thread with the keys a user would press.
#include "server/trayicon.h"
#include "serverfixture.h"
#include "resource_ids.h"
#include <gtest/gtest.h>
#include <process.h>
#include <string.h>

namespace {

// Records the commands that reach OnCommand, then lets the tray act.
class RecordingTray : public TrayIcon {
public:
    RecordingTray(const char *pszTip = "Vur - Installer") : TrayIcon(IDR_TRAY_MENU, IDI_TRAY_ICON, pszTip) {}
    void OnCommand(UINT nCommandId) override
    {
        m_commands.push_back(nCommandId);
        TrayIcon::OnCommand(nCommandId);
    }
    std::vector<UINT> m_commands;
};

// Takes WM_QUIT and WM_USER off this thread's queue; says which were there.
struct QueuedMessages {
    bool bQuit = false;
    bool bUserForTray = false;
};
QueuedMessages TakeQueued(HWND hwndTray)
{
    QueuedMessages q;
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            q.bQuit = true;
        else if (msg.message == WM_USER && msg.hwnd == hwndTray)
            q.bUserForTray = true;
        else
            DispatchMessageA(&msg);
    }
    return q;
}

// Waits on its own thread for this process's pop-up menu and answers it
// with keys: Down and Return choose the first item, Escape dismisses it.
class MenuDriver {
public:
    explicit MenuDriver(bool bChoose) : m_bChoose(bChoose)
    {
        m_hThread = (HANDLE)_beginthreadex(NULL, 0, ThreadProc, this, 0, NULL);
    }
    ~MenuDriver()
    {
        InterlockedExchange(&m_bStop, 1);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
    }
    bool MenuSeen() const { return m_bSeen != 0; }
    std::string ItemText() const { return m_itemText; }

private:
    static BOOL CALLBACK FindMenu(HWND hwnd, LPARAM lParam)
    {
        DWORD dwPid = 0;
        GetWindowThreadProcessId(hwnd, &dwPid);
        char szClass[16];
        if (dwPid == GetCurrentProcessId() && IsWindowVisible(hwnd) && GetClassNameA(hwnd, szClass, 16) &&
            lstrcmpA(szClass, "#32768") == 0) {
            *reinterpret_cast<HWND *>(lParam) = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    static unsigned __stdcall ThreadProc(void *pv)
    {
        MenuDriver *self = static_cast<MenuDriver *>(pv);
        while (!self->m_bStop) {
            HWND hwndMenu = NULL;
            EnumWindows(FindMenu, (LPARAM)&hwndMenu);
            if (!hwndMenu) {
                Sleep(20);
                continue;
            }
            HMENU hMenu = (HMENU)SendMessageA(hwndMenu, MN_GETHMENU, 0, 0);
            char szItem[64] = "";
            if (hMenu)
                GetMenuStringA(hMenu, 0, szItem, sizeof szItem, MF_BYPOSITION);
            self->m_itemText = szItem;
            InterlockedExchange(&self->m_bSeen, 1);
            if (self->m_bChoose) {
                PostMessageA(hwndMenu, WM_KEYDOWN, VK_DOWN, 0);
                PostMessageA(hwndMenu, WM_KEYDOWN, VK_RETURN, 0);
            } else {
                PostMessageA(hwndMenu, WM_KEYDOWN, VK_ESCAPE, 0);
            }
            break;
        }
        return 0;
    }
    bool m_bChoose;
    HANDLE m_hThread;
    volatile LONG m_bStop = 0;
    volatile LONG m_bSeen = 0;
    std::string m_itemText;
};

}

TEST(TrayIcon, HiddenWindowIsADisabledButtonOfOnePixel)
{
    TakeQueued(NULL);
    HWND hwnd;
    {
        RecordingTray tray;
        hwnd = tray.Window();
        ASSERT_NE(nullptr, hwnd) << "the window needs a display (xvfb-run)";
        char szClass[32] = "";
        GetClassNameA(hwnd, szClass, sizeof szClass);
        EXPECT_STREQ("Button", szClass);
        LONG lStyle = GetWindowLongA(hwnd, GWL_STYLE);
        EXPECT_EQ((LONG)(WS_POPUP | WS_DISABLED), lStyle & (WS_POPUP | WS_DISABLED | WS_VISIBLE))
            << "style 0x" << std::hex << lStyle;
        RECT rc = {};
        GetWindowRect(hwnd, &rc);
        EXPECT_EQ(1, rc.right - rc.left);
        EXPECT_EQ(1, rc.bottom - rc.top);
        EXPECT_EQ((LONG_PTR)static_cast<TrayIcon *>(&tray), GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        EXPECT_EQ(nullptr, GetParent(hwnd));
        EXPECT_STREQ("Vur - Installer", tray.Tip());
    }
    EXPECT_FALSE(IsWindow(hwnd)) << "the destructor destroys the window";
}

TEST(TrayIcon, LongTipIsCutTo127Characters)
{
    std::string tip(200, 'x');
    for (size_t i = 0; i < tip.size(); i++)
        tip[i] = (char)('a' + i % 26);
    RecordingTray tray(tip.c_str());
    EXPECT_EQ(127u, strlen(tray.Tip()));
    EXPECT_EQ(tip.substr(0, 127), std::string(tray.Tip()));
}

TEST(TrayIcon, CancelCommandEndsTheLoopOtherMessagesPassOn)
{
    RecordingTray tray;
    ASSERT_NE(nullptr, tray.Window());
    TakeQueued(tray.Window());
    // Commands other than IDCANCEL go to the button's own procedure.
    SendMessageA(tray.Window(), WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    SendMessageA(tray.Window(), WM_COMMAND, MAKEWPARAM(0x8000, 0), 0);
    // Notifications of other icons, and other mouse actions: no menu.
    SendMessageA(tray.Window(), TRAY_CALLBACK_MESSAGE, IDI_TRAY_ICON + 1, WM_RBUTTONUP);
    SendMessageA(tray.Window(), TRAY_CALLBACK_MESSAGE, IDI_TRAY_ICON, WM_LBUTTONUP);
    SendMessageA(tray.Window(), TRAY_CALLBACK_MESSAGE, IDI_TRAY_ICON, WM_LBUTTONDBLCLK);
    SendMessageA(tray.Window(), TRAY_CALLBACK_MESSAGE, IDI_TRAY_ICON, WM_MOUSEMOVE);
    QueuedMessages q = TakeQueued(tray.Window());
    EXPECT_FALSE(q.bQuit) << "only IDCANCEL and the menu end the loop";
    EXPECT_FALSE(q.bUserForTray) << "no menu was shown";
    EXPECT_TRUE(tray.m_commands.empty());

    EXPECT_EQ(0, SendMessageA(tray.Window(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0));
    EXPECT_TRUE(TakeQueued(tray.Window()).bQuit) << "WM_COMMAND IDCANCEL posts the quit";
}

TEST(TrayIcon, RightClickMenuChoiceEndsTheLoopDismissalDoesNot)
{
    RecordingTray tray;
    ASSERT_NE(nullptr, tray.Window());
    TakeQueued(tray.Window());
    {
        MenuDriver driver(false);
        EXPECT_EQ(0, SendMessageA(tray.Window(), TRAY_CALLBACK_MESSAGE, IDI_TRAY_ICON, WM_RBUTTONUP));
        EXPECT_TRUE(driver.MenuSeen());
        EXPECT_EQ("Fermer Vur - Installer", driver.ItemText());
    }
    QueuedMessages q = TakeQueued(tray.Window());
    EXPECT_FALSE(q.bQuit) << "a dismissed menu changes nothing";
    EXPECT_TRUE(q.bUserForTray) << "WM_USER follows the menu";
    EXPECT_TRUE(tray.m_commands.empty());

    {
        MenuDriver driver(true);
        SendMessageA(tray.Window(), TRAY_CALLBACK_MESSAGE, IDI_TRAY_ICON, WM_RBUTTONUP);
        EXPECT_TRUE(driver.MenuSeen());
    }
    q = TakeQueued(tray.Window());
    ASSERT_EQ(1u, tray.m_commands.size());
    EXPECT_EQ(0x8000u, tray.m_commands[0]);
    EXPECT_TRUE(q.bQuit) << "choosing the item ends the main loop";
    EXPECT_TRUE(q.bUserForTray);
}

// The resources as installer.exe carries them.
TEST(TrayResources, IconIs32By32At8BitsAndMenuHasTheOneItem)
{
    HMODULE hExe = LoadLibraryExA(InstallerExePath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, hExe) << InstallerExePath();

    HRSRC hGroup = FindResourceA(hExe, MAKEINTRESOURCEA(IDI_TRAY_ICON), (LPCSTR)RT_GROUP_ICON);
    ASSERT_NE(nullptr, hGroup) << "icon group 214";
#pragma pack(push, 2)
    struct GroupEntry { BYTE bWidth, bHeight, bColorCount, bReserved; WORD wPlanes, wBitCount; DWORD dwBytes; WORD nId; };
    struct Group { WORD idReserved, idType, idCount; GroupEntry entries[1]; };
#pragma pack(pop)
    const Group *pGroup = (const Group *)LockResource(LoadResource(hExe, hGroup));
    ASSERT_NE(nullptr, pGroup);
    ASSERT_EQ(1, pGroup->idCount) << "one image";
    EXPECT_EQ(32, pGroup->entries[0].bWidth);
    EXPECT_EQ(32, pGroup->entries[0].bHeight);
    EXPECT_EQ(8, pGroup->entries[0].wBitCount);

    HMENU hMenu = LoadMenuA(hExe, MAKEINTRESOURCEA(IDR_TRAY_MENU));
    ASSERT_NE(nullptr, hMenu) << "menu 213";
    char sz[64];
    EXPECT_EQ(1, GetMenuItemCount(hMenu));
    GetMenuStringA(hMenu, 0, sz, sizeof sz, MF_BYPOSITION);
    EXPECT_STREQ("bidon", sz);
    HMENU hPopup = GetSubMenu(hMenu, 0);
    ASSERT_NE(nullptr, hPopup);
    EXPECT_EQ(1, GetMenuItemCount(hPopup));
    EXPECT_EQ(0x8000u, GetMenuItemID(hPopup, 0));
    GetMenuStringA(hPopup, 0, sz, sizeof sz, MF_BYPOSITION);
    EXPECT_STREQ("Fermer Vur - Installer", sz);
    DestroyMenu(hMenu);
    FreeLibrary(hExe);

    // Loaded the way the tray loads it: 16 x 16, the system scaling it.
    HICON hIcon = (HICON)LoadImageA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_TRAY_ICON), IMAGE_ICON, 16, 16, 0);
    EXPECT_NE(nullptr, hIcon);
    if (hIcon)
        DestroyIcon(hIcon);
}
