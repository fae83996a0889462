// The Installer objects alive in the process, so that the server's
// shutdown can stop their install threads.
#ifndef VUR_LIVEINSTALLERS_H
#define VUR_LIVEINSTALLERS_H

#include <windows.h>

class Installer;

// FALSE when the list cannot grow (the object must then not be handed out).
BOOL TrackInstaller(Installer *pInstaller);
// Called by the object's last Release before it is freed.
void ForgetInstaller(Installer *pInstaller);
// Number of objects tracked (for the tests).
DWORD CountLiveInstallers();

// On the main thread after its message loop: asks every install thread to
// stop (as ForceRemove does) and serves calls until they have ended, for a
// bounded time.
void StopRunningInstalls();

#endif
