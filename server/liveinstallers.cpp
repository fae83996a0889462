// The list of live Installer objects and the stop of their install threads
// at shutdown. The loop can end (tray menu, ForceRemove from inside a host
// call) while a run works.
#include "server/liveinstallers.h"
#include "host/installer.h"
#include "host/messagewait.h"

namespace {

// Made before main, so before any object; its section is never deleted:
// a run's last Release may reach it while the process is ending.
struct LiveList {
    CRITICAL_SECTION cs;
    Installer **ppItems = NULL;
    DWORD nItems = 0;
    DWORD nCapacity = 0;
    LiveList() { InitializeCriticalSection(&cs); }
};

LiveList s_list;

}

BOOL TrackInstaller(Installer *pInstaller)
{
    LiveList &l = s_list;
    BOOL bTracked = FALSE;
    EnterCriticalSection(&l.cs);
    if (l.nItems == l.nCapacity) {
        DWORD nNew = l.nCapacity ? l.nCapacity * 2 : 8;
        SIZE_T cb = (SIZE_T)nNew * sizeof(Installer *);
        Installer **ppNew = (Installer **)(l.ppItems ? HeapReAlloc(GetProcessHeap(), 0, l.ppItems, cb)
                                                     : HeapAlloc(GetProcessHeap(), 0, cb));
        if (ppNew) {
            l.ppItems = ppNew;
            l.nCapacity = nNew;
        }
    }
    if (l.nItems < l.nCapacity) {
        l.ppItems[l.nItems++] = pInstaller;
        bTracked = TRUE;
    }
    LeaveCriticalSection(&l.cs);
    return bTracked;
}

void ForgetInstaller(Installer *pInstaller)
{
    LiveList &l = s_list;
    EnterCriticalSection(&l.cs);
    for (DWORD i = 0; i < l.nItems; i++) {
        if (l.ppItems[i] == pInstaller) {
            l.ppItems[i] = l.ppItems[--l.nItems];
            break;
        }
    }
    LeaveCriticalSection(&l.cs);
}

DWORD CountLiveInstallers()
{
    LiveList &l = s_list;
    EnterCriticalSection(&l.cs);
    DWORD n = l.nItems;
    LeaveCriticalSection(&l.cs);
    return n;
}

// At shutdown the runs get this long to leave; one held inside a call to a
// host that never returns is then left to end with the process.
static const DWORD kShutdownWaitMs = 10000;

void StopRunningInstalls()
{
    LiveList &l = s_list;
    // Held throughout: an object cannot be freed while it is in the list,
    // since its last Release must first take it out (on this thread, which
    // may enter again). Calls served meanwhile may start a run: look again.
    DWORD dwStart = GetTickCount();
    EnterCriticalSection(&l.cs);
    for (;;) {
        BOOL bRunning = FALSE;
        for (DWORD i = 0; i < l.nItems; i++) {
            Installer *pInstaller = l.ppItems[i];
            if (pInstaller->m_dwThreadId == 0)
                continue;
            bRunning = TRUE;
            if (!pInstaller->m_bQuitRequested)
                pInstaller->RequestStop();
        }
        if (!bRunning || GetTickCount() - dwStart >= kShutdownWaitMs)
            break;
        ServeMessagesFor(10);
    }
    LeaveCriticalSection(&l.cs);
}
