// Tray icon: a hidden "button" window whose procedure is replaced, the
// notification-area icon, and the context menu.
#include "server/trayicon.h"
#include <shellapi.h>

// The first shell's structure, which every shell accepts: its tip holds
// 63 characters. The headers declare the later, longer one.
#define TRAY_DATA_SIZE  NOTIFYICONDATAA_V1_SIZE
#define TRAY_SHOWN_TIP  64
#ifndef _WIN64
static_assert(TRAY_DATA_SIZE == 88, "the first NOTIFYICONDATAA is 88 bytes on 32-bit Windows");
#endif

TrayIcon::TrayIcon(UINT nMenuId, UINT nIconId, const char *pszTip)
    : m_hModule(GetModuleHandleA(NULL)), m_nIconId(nIconId), m_nMenuId(nMenuId)
{
    lstrcpynA(m_szTip, pszTip ? pszTip : "", sizeof m_szTip);
    // Disabled and never shown: it exists only to receive messages.
    m_hwnd = CreateWindowExA(0, "button", "", WS_POPUP | WS_DISABLED, 0, 0, 1, 1, NULL, NULL,
                             m_hModule, NULL);
    if (!m_hwnd)
        return;
    SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, (LONG_PTR)this);
    m_pfnPrevProc = (WNDPROC)SetWindowLongPtrA(m_hwnd, GWLP_WNDPROC, (LONG_PTR)TrayWindowProc);
}

// The window procedure is not put back first: the window goes with it.
TrayIcon::~TrayIcon()
{
    if (m_hwnd) {
        DestroyWindow(m_hwnd);
        m_hwnd = NULL;
    }
}

BOOL TrayIcon::AddIcon()
{
    HICON hIcon = (HICON)LoadImageA(m_hModule, MAKEINTRESOURCEA(LOWORD(m_nIconId)), IMAGE_ICON, 16, 16,
                                    LR_DEFAULTCOLOR);
    NOTIFYICONDATAA nid = {};
    nid.cbSize = TRAY_DATA_SIZE;
    nid.hWnd = m_hwnd;
    nid.uID = m_nIconId;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    nid.hIcon = hIcon;
    lstrcpynA(nid.szTip, m_szTip, TRAY_SHOWN_TIP);
    BOOL bAdded = Shell_NotifyIconA(NIM_ADD, &nid);
    // The shell keeps its own copy of the image.
    if (hIcon)
        DestroyIcon(hIcon);
    return bAdded;
}

BOOL TrayIcon::RemoveIcon()
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = TRAY_DATA_SIZE;
    nid.hWnd = m_hwnd;
    nid.uID = m_nIconId;
    return Shell_NotifyIconA(NIM_DELETE, &nid);
}

void TrayIcon::ShowMenu()
{
    POINT pt = {};
    GetCursorPos(&pt);
    int cyScreen = 0;
    HDC hdc = GetDC(m_hwnd);
    if (hdc) {
        cyScreen = GetDeviceCaps(hdc, VERTRES);
        ReleaseDC(m_hwnd, hdc);
    }
    // Without the foreground the menu would not close when the user
    // clicks elsewhere.
    SetForegroundWindow(m_hwnd);
    HMENU hMenu = LoadMenuA(m_hModule, MAKEINTRESOURCEA(LOWORD(m_nMenuId)));
    if (!hMenu)
        return;
    UINT nCommand = 0;
    HMENU hPopup = GetSubMenu(hMenu, 0);
    if (hPopup) {
        // The menu's bottom right corner sits on the screen's bottom edge,
        // below the cursor.
        nCommand = (UINT)TrackPopupMenu(hPopup, TPM_RETURNCMD | TPM_NONOTIFY | TPM_BOTTOMALIGN | TPM_RIGHTALIGN,
                                        pt.x, cyScreen, 0, m_hwnd, NULL);
        // Lets the menu close properly after a click outside it.
        PostMessageA(m_hwnd, WM_USER, 0, 0);
    }
    DestroyMenu(hMenu);
    if (nCommand)
        OnCommand(nCommand);
}

// WM_QUIT lands in the main thread's queue: the message loop ends on it.
void TrayIcon::OnCommand(UINT)
{
    PostMessageA(m_hwnd, WM_QUIT, 0, 0);
}

LRESULT CALLBACK TrayIcon::TrayWindowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    TrayIcon *self = (TrayIcon *)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (uMsg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        PostQuitMessage(0);
        return 0;
    }
    if (uMsg == TRAY_CALLBACK_MESSAGE && wParam == self->m_nIconId && lParam == WM_RBUTTONUP) {
        self->ShowMenu();
        return 0;
    }
    return CallWindowProcA(self->m_pfnPrevProc, hwnd, uMsg, wParam, lParam);
}
