// Watching the component's message boxes: see dialogs.h.
#include "dialogs.h"
#include "console.h"
#include "text.h"
#include <process.h>
#include <algorithm>

DialogWatch::DialogWatch(DWORD dwProcessId, bool bPressDefault, Transcript *pTranscript, bool bQuiet)
    : m_dwProcessId(dwProcessId), m_bPressDefault(bPressDefault), m_pTranscript(pTranscript), m_bQuiet(bQuiet)
{
    InitializeCriticalSection(&m_cs);
    m_hStop = CreateEventA(NULL, TRUE, FALSE, NULL);
    m_hThread = m_hStop ? (HANDLE)_beginthreadex(NULL, 0, ThreadProc, this, 0, NULL) : NULL;
}

DialogWatch::~DialogWatch()
{
    if (m_hThread) {
        SetEvent(m_hStop);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
    }
    if (m_hStop)
        CloseHandle(m_hStop);
    DeleteCriticalSection(&m_cs);
}

std::vector<std::string> DialogWatch::Seen()
{
    EnterCriticalSection(&m_cs);
    std::vector<std::string> copy = m_seen;
    LeaveCriticalSection(&m_cs);
    return copy;
}

unsigned __stdcall DialogWatch::ThreadProc(void *pv)
{
    DialogWatch *self = static_cast<DialogWatch *>(pv);
    while (WaitForSingleObject(self->m_hStop, 50) == WAIT_TIMEOUT)
        self->Scan();
    return 0;
}

void DialogWatch::Scan()
{
    // A closed dialog's handle may come back for a new one.
    EnterCriticalSection(&m_cs);
    m_handled.erase(std::remove_if(m_handled.begin(), m_handled.end(), [](HWND h) { return !IsWindow(h); }),
                    m_handled.end());
    LeaveCriticalSection(&m_cs);
    EnumWindows(EnumProc, (LPARAM)this);
}

BOOL CALLBACK DialogWatch::EnumProc(HWND hwnd, LPARAM lParam)
{
    DialogWatch *self = reinterpret_cast<DialogWatch *>(lParam);
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hwnd, &dwPid);
    if (dwPid != self->m_dwProcessId || !IsWindowVisible(hwnd))
        return TRUE;
    WCHAR wszClass[16];
    if (!GetClassNameW(hwnd, wszClass, 16) || lstrcmpW(wszClass, L"#32770") != 0)
        return TRUE;
    self->Handle(hwnd);
    return TRUE;
}

static BOOL CALLBACK FindStaticText(HWND hwnd, LPARAM lParam)
{
    WCHAR wszClass[16];
    if (!GetClassNameW(hwnd, wszClass, 16) || lstrcmpiW(wszClass, L"Static") != 0)
        return TRUE;
    WCHAR wszText[1024];
    int n = GetWindowTextW(hwnd, wszText, 1024);
    if (n <= 0)
        return TRUE;        // the icon is a static without text
    *reinterpret_cast<std::string *>(lParam) = Utf8FromWide(wszText, n);
    return FALSE;
}

std::string DescribeDialog(HWND hwnd)
{
    WCHAR wszCaption[512];
    int n = GetWindowTextW(hwnd, wszCaption, 512);
    std::string text;
    EnumChildWindows(hwnd, FindStaticText, (LPARAM)&text);
    return Utf8FromWide(wszCaption, n > 0 ? n : 0) + " | " + text;
}

static BOOL CALLBACK FindDefaultPushButton(HWND hwnd, LPARAM lParam)
{
    WCHAR wszClass[16];
    if (GetClassNameW(hwnd, wszClass, 16) && lstrcmpiW(wszClass, L"Button") == 0 &&
        (GetWindowLongW(hwnd, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) {
        *reinterpret_cast<WORD *>(lParam) = (WORD)GetDlgCtrlID(hwnd);
        return FALSE;
    }
    return TRUE;
}

// The button drawn as the default one, which Return presses; else the one
// the dialog names; else OK. Wine's message boxes name OK whatever
// button MB_DEFBUTTONn made the default.
static WORD DefaultButtonId(HWND hwnd)
{
    WORD wId = 0;
    EnumChildWindows(hwnd, FindDefaultPushButton, (LPARAM)&wId);
    if (wId)
        return wId;
    // The dialog's thread may be busy: never wait on it for long.
    DWORD_PTR defId = 0;
    if (SendMessageTimeoutW(hwnd, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 1000, &defId) &&
        HIWORD(defId) == DC_HASDEFID)
        return LOWORD(defId);
    return IDOK;
}

void DialogWatch::Handle(HWND hwnd)
{
    EnterCriticalSection(&m_cs);
    bool bKnown = std::find(m_handled.begin(), m_handled.end(), hwnd) != m_handled.end();
    if (!bKnown)
        m_handled.push_back(hwnd);
    LeaveCriticalSection(&m_cs);
    if (bKnown)
        return;

    std::string description = DescribeDialog(hwnd);
    EnterCriticalSection(&m_cs);
    m_seen.push_back(description);
    LeaveCriticalSection(&m_cs);
    m_pTranscript->Line("! " + description);
    if (!m_bPressDefault) {
        SayLine("Message box of the component, left for you to answer: " + description);
        return;
    }
    if (!m_bQuiet)
        SayLine("Message box of the component (default button pressed): " + description);
    WORD wId = DefaultButtonId(hwnd);
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(wId, BN_CLICKED), (LPARAM)GetDlgItem(hwnd, wId));
}
