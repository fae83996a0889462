// The class object of the server's classes: an IClassFactory that hands
// creation to its class entry's createObject.
#ifndef VUR_CLASSFACTORY_H
#define VUR_CLASSFACTORY_H

#include "server/servermodule.h"

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreateObjectProc createObject) : m_createObject(createObject) {}

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown *pOuter, REFIID riid, void **ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

private:
    volatile LONG m_cRef = 0;           // does not touch the module's lock count
    CreateObjectProc m_createObject;
};

// makeClassObject of a class entry: a new factory for createObject, asked
// for riid. On success the caller owns the one reference.
HRESULT MakeClassFactory(CreateObjectProc createObject, REFIID riid, void **ppv);

#endif
