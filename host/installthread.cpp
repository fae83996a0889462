// Start, end and stop of the install thread. Each run of the interpreter is
// one thread; the COM thread reaches it only by thread messages.
#include "host/installer.h"
#include "host/errors.h"
#include "host/messagewait.h"
#include <process.h>

unsigned __stdcall InstallThreadProc(void *pv)
{
    static_cast<Installer *>(pv)->RunScript();
    return 0;
}

void Installer::StartInstallThread()
{
    // A run that asked for a download may still be leaving when the answer
    // arrives: let it give up its handles before this run takes the fields.
    while (m_dwThreadId != 0)
        ServeMessagesFor(10);

    m_hEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (!m_hEvent) {
        SendError(ERR_EVENT, 0);
        return;
    }
    if (m_pCallback)
        CoMarshalInterThreadInterfaceInStream(IID_IDiagCmpt2PMP, m_pCallback, &g_pCallbackStream);

    // Started suspended so that its id and handle are in place before the
    // run can reach EndInstallThread, which clears them.
    // The run's own reference is taken here, not by the thread: the host may
    // release the object before a waiting run gets g_csInstall.
    AddRef();
    unsigned uThreadId = 0;
    HANDLE hThread = (HANDLE)_beginthreadex(NULL, 0, InstallThreadProc, this, CREATE_SUSPENDED, &uThreadId);
    if (!hThread) {
        if (g_pCallbackStream) {
            IDiagCmpt2PMP *pCallback = NULL;
            if (SUCCEEDED(CoGetInterfaceAndReleaseStream(g_pCallbackStream, IID_IDiagCmpt2PMP,
                                                         (void **)&pCallback)) && pCallback)
                pCallback->Release();
            g_pCallbackStream = NULL;
        }
        EndInstallThread();
        SendError(ERR_THREAD, 0);
        Release();
        return;
    }
    m_hThread = hThread;
    m_dwThreadId = uThreadId;
    ResumeThread(hThread);
}

void Installer::EndInstallThread()
{
    if (m_pThreadCallback) {
        m_pThreadCallback->Release();
        m_pThreadCallback = NULL;
    }
    if (m_hEvent) {
        SetEvent(m_hEvent);
        CloseHandle(m_hEvent);
        m_hEvent = NULL;
    }
    if (m_hThread) {
        CloseHandle(m_hThread);
        m_hThread = NULL;
    }
    m_dwThreadId = 0;
}

// Waits without time limit, but serving this thread's messages: the run may
// be inside a call to the host that needs this apartment, or in a message
// box, which ends on the posted quit.
void Installer::StopInstallThread()
{
    DWORD dwPostedTo = 0;
    while (m_dwThreadId != 0) {
        DWORD dwThreadId = m_dwThreadId;
        // Posting fails until a new thread has its message queue: try again.
        if (dwThreadId != dwPostedTo && dwThreadId && PostThreadMessageA(dwThreadId, WM_QUIT, 0, 0))
            dwPostedTo = dwThreadId;
        ServeMessagesFor(10);
    }
    // The run has given up its handles; it leaves g_csInstall right after.
    EnterCriticalSection(&g_csInstall);
    LeaveCriticalSection(&g_csInstall);
}
