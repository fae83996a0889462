// The list of live Installer objects and the stop of their install threads
// at shutdown. The loop can end (tray menu) while a run works; deleting
// g_csInstall under it would leave the run leaving a deleted section.
#include "server/liveinstallers.h"
#include "host/installer.h"

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

static Installer *FindRunningInstall(LiveList &l)
{
    for (DWORD i = 0; i < l.nItems; i++) {
        if (l.ppItems[i]->m_dwThreadId != 0)
            return l.ppItems[i];
    }
    return NULL;
}

void StopRunningInstalls()
{
    LiveList &l = s_list;
    // Held throughout: an object cannot be freed while it is in the list,
    // since its last Release must first take it out. A run's own last
    // Release comes after it has left g_csInstall, so it never holds up
    // the stop. Calls served meanwhile may start a run: look again.
    EnterCriticalSection(&l.cs);
    while (Installer *pInstaller = FindRunningInstall(l))
        pInstaller->StopInstallThread();
    LeaveCriticalSection(&l.cs);

    // A run that ended the installation posts the quit before it leaves
    // g_csInstall: wait for it to be out.
    EnterCriticalSection(&g_csInstall);
    LeaveCriticalSection(&g_csInstall);
}
