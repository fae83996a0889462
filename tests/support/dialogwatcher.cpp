// Dialog watcher: see dialogwatcher.h.
#include "support/dialogwatcher.h"
#include <process.h>
#include <algorithm>

DialogWatcher::DialogWatcher()
{
    InitializeCriticalSection(&m_cs);
    m_hStop = CreateEventA(NULL, TRUE, FALSE, NULL);
    m_hThread = (HANDLE)_beginthreadex(NULL, 0, ThreadProc, this, 0, NULL);
}

DialogWatcher::~DialogWatcher()
{
    SetEvent(m_hStop);
    if (m_hThread) {
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
    }
    CloseHandle(m_hStop);
    DeleteCriticalSection(&m_cs);
}

std::vector<std::string> DialogWatcher::Take()
{
    EnterCriticalSection(&m_cs);
    std::vector<std::string> taken;
    taken.swap(m_seen);
    LeaveCriticalSection(&m_cs);
    return taken;
}

size_t DialogWatcher::Count()
{
    EnterCriticalSection(&m_cs);
    size_t n = m_seen.size();
    LeaveCriticalSection(&m_cs);
    return n;
}

unsigned __stdcall DialogWatcher::ThreadProc(void *pv)
{
    DialogWatcher *self = static_cast<DialogWatcher *>(pv);
    while (WaitForSingleObject(self->m_hStop, 15) == WAIT_TIMEOUT) {
        // Forget closed dialogs: a new one may get the same handle.
        EnterCriticalSection(&self->m_cs);
        std::vector<HWND> &v = self->m_handled;
        v.erase(std::remove_if(v.begin(), v.end(), [](HWND h) { return !IsWindow(h); }), v.end());
        LeaveCriticalSection(&self->m_cs);
        EnumWindows(EnumProc, (LPARAM)self);
    }
    return 0;
}

BOOL CALLBACK DialogWatcher::EnumProc(HWND hwnd, LPARAM lParam)
{
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hwnd, &dwPid);
    if (dwPid != GetCurrentProcessId() || !IsWindowVisible(hwnd))
        return TRUE;
    char szClass[32];
    if (!GetClassNameA(hwnd, szClass, sizeof szClass) || lstrcmpA(szClass, "#32770") != 0)
        return TRUE;
    reinterpret_cast<DialogWatcher *>(lParam)->Dismiss(hwnd);
    return TRUE;
}

struct StaticText {
    std::string text;
};

static BOOL CALLBACK FindStaticText(HWND hwnd, LPARAM lParam)
{
    char szClass[32];
    if (GetClassNameA(hwnd, szClass, sizeof szClass) && lstrcmpiA(szClass, "Static") == 0) {
        char szText[1024];
        int n = GetWindowTextA(hwnd, szText, sizeof szText);
        if (n > 0) {
            reinterpret_cast<StaticText *>(lParam)->text.assign(szText, n);
            return FALSE;
        }
    }
    return TRUE;
}

void DialogWatcher::Dismiss(HWND hwnd)
{
    EnterCriticalSection(&m_cs);
    bool bHandled = std::find(m_handled.begin(), m_handled.end(), hwnd) != m_handled.end();
    if (!bHandled)
        m_handled.push_back(hwnd);
    LeaveCriticalSection(&m_cs);
    if (bHandled)
        return;

    char szCaption[512];
    int n = GetWindowTextA(hwnd, szCaption, sizeof szCaption);
    StaticText st;
    EnumChildWindows(hwnd, FindStaticText, (LPARAM)&st);
    EnterCriticalSection(&m_cs);
    m_seen.push_back(std::string(szCaption, n > 0 ? n : 0) + " | " + st.text);
    LeaveCriticalSection(&m_cs);

    if (!m_bDismiss)
        return;
    LRESULT def = SendMessageA(hwnd, DM_GETDEFID, 0, 0);
    WORD wId = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(wId, BN_CLICKED), (LPARAM)GetDlgItem(hwnd, wId));
}
