// The process-wide module record of the server: instance handle, class
// table and the lock count of live objects and server locks, with the
// registration of the class objects with COM.
#ifndef VUR_SERVERMODULE_H
#define VUR_SERVERMODULE_H

#include <windows.h>
#include <ole2.h>

typedef HRESULT (*CreateObjectProc)(IUnknown *pOuter, REFIID riid, void **ppv);

// One creatable class of the server. The table ends with an entry whose
// pclsid is NULL.
struct ClassEntry {
    const CLSID *pclsid;
    HRESULT (*updateRegistry)(BOOL bRegister);
    HRESULT (*makeClassObject)(CreateObjectProc createObject, REFIID riid, void **ppv);
    CreateObjectProc createObject;
    IUnknown *pClassObject;             // not used: always NULL
    DWORD cookie;                       // from CoRegisterClassObject
    const char *(*describe)();          // an entry with a description is not (un)registered
    const void *(*categories)();        // component categories; none for our class
    void (*classInit)(BOOL bStarting);
};

struct ServerModule {
    HINSTANCE hInstance;
    ClassEntry *pClassTable;
    volatile LONG lockCount;    // nothing reads it: zero does not end the server

    HRESULT Init(ClassEntry *pTable, HINSTANCE hInst);
    LONG Lock() { return InterlockedIncrement(&lockCount); }
    LONG Unlock() { return InterlockedDecrement(&lockCount); }

    // Both walk the table while the previous entry's result is S_OK and
    // give the last result.
    HRESULT RegisterClassObjects(DWORD dwClsContext, DWORD dwFlags);
    HRESULT RevokeClassObjects();
};

extern ServerModule g_module;

#endif
