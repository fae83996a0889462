// Start, end and stop of the install thread. Each run of the interpreter is
// one thread; the COM thread reaches it only by thread messages and flags,
// and never waits for a run that may itself be waiting for the host.
#include "host/installer.h"
#include "host/errors.h"
#include "host/messagewait.h"
#include <process.h>

namespace {

// Guards m_hThread, m_hEvent and m_dwThreadId while a leaving run and the
// run that replaces it may touch them at the same moment. Never held across
// a call or a wait. Made before main and never deleted: a run may end while
// the process is ending.
struct RunFieldsLock {
    CRITICAL_SECTION cs;
    RunFieldsLock() { InitializeCriticalSection(&cs); }
};
RunFieldsLock s_runFields;

struct RunFieldsHeld {
    RunFieldsHeld() { EnterCriticalSection(&s_runFields.cs); }
    ~RunFieldsHeld() { LeaveCriticalSection(&s_runFields.cs); }
};

}

unsigned __stdcall InstallThreadProc(void *pv)
{
    static_cast<Installer *>(pv)->RunScript();
    return 0;
}

// Never waits: a run that is still leaving (the host answered its download
// from inside the request) is waited for by the new run itself, on
// g_csInstall, in its own thread.
void Installer::StartInstallThread()
{
    HANDLE hEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (!hEvent) {
        SendError(ERR_EVENT, 0);
        return;
    }
    // The new run takes this stream only once it holds g_csInstall, so a
    // leaving run keeps its own callback to the end.
    IStream *pStream = NULL;
    if (m_pCallback)
        CoMarshalInterThreadInterfaceInStream(IID_IDiagCmpt2PMP, m_pCallback, &pStream);

    // The run's own reference is taken here, not by the thread: the host may
    // release the object before a waiting run gets g_csInstall. Started
    // suspended so that its id and handle are in place before it can end.
    AddRef();
    unsigned uThreadId = 0;
    HANDLE hThread = (HANDLE)_beginthreadex(NULL, 0, InstallThreadProc, this, CREATE_SUSPENDED, &uThreadId);
    if (!hThread) {
        if (pStream) {
            IDiagCmpt2PMP *pCallback = NULL;
            if (SUCCEEDED(CoGetInterfaceAndReleaseStream(pStream, IID_IDiagCmpt2PMP, (void **)&pCallback)) &&
                pCallback)
                pCallback->Release();
        }
        CloseHandle(hEvent);
        SendError(ERR_THREAD, 0);
        Release();
        return;
    }
    g_pCallbackStream = pStream;
    {
        RunFieldsHeld held;
        if (m_dwThreadId != 0) {
            // The leaving run sees by the id that these are no longer its.
            SetEvent(m_hEvent);
            CloseHandle(m_hEvent);
            CloseHandle(m_hThread);
        }
        m_hEvent = hEvent;
        m_hThread = hThread;
        m_dwThreadId = uThreadId;
    }
    ResumeThread(hThread);
}

// Run by the install thread at the end of every run.
void Installer::EndInstallThread()
{
    // Still this run's callback: the next run takes its own only once it
    // holds g_csInstall, which this run has not left yet.
    if (m_pThreadCallback) {
        m_pThreadCallback->Release();
        m_pThreadCallback = NULL;
    }
    RunFieldsHeld held;
    if (m_dwThreadId != GetCurrentThreadId())
        return;
    SetEvent(m_hEvent);
    CloseHandle(m_hEvent);
    m_hEvent = NULL;
    CloseHandle(m_hThread);
    m_hThread = NULL;
    m_dwThreadId = 0;
}

// Asks the registered run to stop and returns at once. The flag reaches a
// run that has no message queue yet (it still waits for g_csInstall); the
// posted WM_QUIT ends a message box the run may show.
void Installer::RequestStop()
{
    m_bQuitRequested = 1;
    if (m_dwThreadId != 0)
        PostThreadMessageA(m_dwThreadId, WM_QUIT, 0, 0);
}

// A run that stays this long inside one call to the host is taken to be
// held by it: that call may be the very one that asked the COM thread to
// wait (a host that stops from inside a callback).
static const DWORD kHeldInHostCallMs = 500;

// Waits, serving this thread's messages since the run may call into this
// apartment meanwhile, until hEvent is signalled (when given), the run has
// ended, dwLimitMs has passed, or the run is held inside a host call. TRUE
// when the event or the run's end came. A run held in a call acts on the
// request as soon as the call returns; a run working between two calls (a
// long copy) is waited for until its next message drain.
BOOL Installer::WaitForRun(HANDLE hEvent, DWORD dwLimitMs)
{
    DWORD dwStart = GetTickCount();
    LONG lCallSeen = 0;
    DWORD dwCallSeenAt = 0;
    for (;;) {
        if (m_dwThreadId == 0)
            return TRUE;
        DWORD dwNow = GetTickCount();
        if (dwNow - dwStart >= dwLimitMs)
            return FALSE;
        LONG lCall = m_lHostCall;
        if (lCall == 0 || lCall != lCallSeen) {
            lCallSeen = lCall;
            dwCallSeenAt = dwNow;
        } else if (dwNow - dwCallSeenAt >= kHeldInHostCallMs) {
            return FALSE;
        }
        // The event is auto-reset: the wait that sees it signalled takes it.
        if (hEvent) {
            if (WaitServingMessages(hEvent, 10))
                return TRUE;
        } else {
            ServeMessagesFor(10);
        }
    }
}

void Installer::StopInstallThread()
{
    if (m_dwThreadId == 0)
        return;
    RequestStop();
    WaitForRun(NULL, INFINITE);
}

HANDLE Installer::DuplicateRunEvent()
{
    RunFieldsHeld held;
    HANDLE hEvent = NULL;
    if (m_hEvent &&
        !DuplicateHandle(GetCurrentProcess(), m_hEvent, GetCurrentProcess(), &hEvent, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        hEvent = NULL;
    return hEvent;
}
