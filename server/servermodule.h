// The process-wide module record of the server: instance handle, class
// table and the lock count of live objects and server locks.
#ifndef VUR_SERVERMODULE_H
#define VUR_SERVERMODULE_H

#include <windows.h>

struct ClassEntry;

struct ServerModule {
    HINSTANCE hInstance;
    const ClassEntry *pClassTable;
    volatile LONG lockCount;    // nothing reads it: zero does not end the server

    LONG Lock() { return InterlockedIncrement(&lockCount); }
    LONG Unlock() { return InterlockedDecrement(&lockCount); }
};

extern ServerModule g_module;

#endif
