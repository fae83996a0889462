// The one ServerModule of the process and the registration of its class
// objects with COM.
#include "server/servermodule.h"

ServerModule g_module;

HRESULT ServerModule::Init(ClassEntry *pTable, HINSTANCE hInst)
{
    pClassTable = pTable;
    hInstance = hInst;
    lockCount = 0;
    for (ClassEntry *p = pClassTable; p && p->pclsid; p++) {
        if (p->classInit)
            p->classInit(TRUE);
    }
    return S_OK;
}

HRESULT ServerModule::RegisterClassObjects(DWORD dwClsContext, DWORD dwFlags)
{
    HRESULT hr = S_OK;
    for (ClassEntry *p = pClassTable; p && p->pclsid && hr == S_OK; p++) {
        if (!p->makeClassObject)
            continue;
        IUnknown *pUnk = NULL;
        hr = p->makeClassObject(p->createObject, IID_IUnknown, (void **)&pUnk);
        if (SUCCEEDED(hr))
            hr = CoRegisterClassObject(*p->pclsid, pUnk, dwClsContext, dwFlags, &p->cookie);
        // COM holds its own reference while the class object is registered.
        if (pUnk)
            pUnk->Release();
    }
    return hr;
}

HRESULT ServerModule::RevokeClassObjects()
{
    HRESULT hr = S_OK;
    for (ClassEntry *p = pClassTable; p && p->pclsid && hr == S_OK; p++)
        hr = CoRevokeClassObject(p->cookie);
    return hr;
}
