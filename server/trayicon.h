// The server's icon in the notification area, with its one-item menu that
// ends the server. Its hidden window receives the shell's notifications.
#ifndef VUR_TRAYICON_H
#define VUR_TRAYICON_H

#include <windows.h>

#define TRAY_CALLBACK_MESSAGE   (WM_APP + 14)
#define TRAY_TIP_SIZE           128     // the stored tip: at most 127 characters

class TrayIcon {
public:
    // Creates the hidden window; without it the object keeps no window.
    TrayIcon(UINT nMenuId, UINT nIconId, const char *pszTip);
    ~TrayIcon();
    TrayIcon(const TrayIcon &) = delete;
    TrayIcon &operator=(const TrayIcon &) = delete;

    BOOL AddIcon();
    BOOL RemoveIcon();
    // Shows the menu at the cursor and acts on the choice.
    void ShowMenu();
    // Any chosen command ends the server's message loop.
    virtual void OnCommand(UINT nCommandId);

    HWND Window() const { return m_hwnd; }
    const char *Tip() const { return m_szTip; }

private:
    static LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    HMODULE m_hModule;
    HWND m_hwnd = NULL;
    UINT m_nIconId;
    char m_szTip[TRAY_TIP_SIZE];
    UINT m_nMenuId;
    WNDPROC m_pfnPrevProc = NULL;       // the "button" class procedure
};

#endif
