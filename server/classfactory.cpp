// The class object: creation requests from COM, and server locks.
#include "server/classfactory.h"
#include <new>

HRESULT MakeClassFactory(CreateObjectProc createObject, REFIID riid, void **ppv)
{
    ClassFactory *pFactory = new (std::nothrow) ClassFactory(createObject);
    if (!pFactory)
        return E_OUTOFMEMORY;
    HRESULT hr = pFactory->QueryInterface(riid, ppv);
    if (hr != S_OK)
        delete pFactory;
    return hr;
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void **ppv)
{
    // One row: IClassFactory, which also answers IUnknown.
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
        return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory *>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef()
{
    return InterlockedIncrement(&m_cRef);
}

STDMETHODIMP_(ULONG) ClassFactory::Release()
{
    LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return cRef;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown *pOuter, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    if (pOuter && !IsEqualIID(riid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return m_createObject(pOuter, riid, ppv);
}

// Server locks only count: nothing ends the server when they go.
STDMETHODIMP ClassFactory::LockServer(BOOL fLock)
{
    if (fLock)
        g_module.Lock();
    else
        g_module.Unlock();
    return S_OK;
}
