// The class object, in-process: creation, aggregation, interface lookup,
// the lock count and the list of live objects.
#include "host/installer.h"
#include "server/classfactory.h"
#include "server/liveinstallers.h"
#include "server/servermodule.h"
#include <gtest/gtest.h>

// A stand-in outer object: creation must refuse it before using it.
class OuterUnknown : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void **ppv) override { *ppv = NULL; return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_calls; }
    STDMETHODIMP_(ULONG) Release() override { return ++m_calls; }
    ULONG m_calls = 0;
};

TEST(ClassFactory, InterfacesLocksAndTheObjectsItMakes)
{
    void *pv = (void *)0x1;
    EXPECT_EQ(E_NOINTERFACE, MakeClassFactory(CreateInstallerObject, IID_IDispatch, &pv));
    EXPECT_EQ(nullptr, pv);
    IClassFactory *pFactory = NULL;
    ASSERT_EQ(S_OK, MakeClassFactory(CreateInstallerObject, IID_IClassFactory, (void **)&pFactory));
    EXPECT_EQ(E_POINTER, pFactory->QueryInterface(IID_IUnknown, NULL));
    LONG lLocks = g_module.lockCount;
    EXPECT_EQ(S_OK, pFactory->LockServer(TRUE));
    EXPECT_EQ(lLocks + 1, g_module.lockCount);
    EXPECT_EQ(S_OK, pFactory->LockServer(FALSE));

    // Aggregation is refused, IUnknown asked too (the object itself refuses
    // that one), without a call to the outer object.
    DWORD nLive = CountLiveInstallers();
    OuterUnknown outer;
    for (const IID *piid : { &IID_IUnknown, &IID_IDiagPMP2Cmpt }) {
        pv = (void *)0x1;
        EXPECT_EQ(CLASS_E_NOAGGREGATION, pFactory->CreateInstance(&outer, *piid, &pv));
        EXPECT_EQ(nullptr, pv);
    }
    EXPECT_EQ(0u, outer.m_calls) << "the outer object is never touched";
    EXPECT_EQ(E_POINTER, pFactory->CreateInstance(NULL, IID_IUnknown, NULL));
    EXPECT_EQ(E_NOINTERFACE, pFactory->CreateInstance(NULL, IID_IDispatch, &pv));
    EXPECT_EQ(lLocks, g_module.lockCount) << "nothing was created or left behind";
    EXPECT_EQ(nLive, CountLiveInstallers());

    IDiagPMP2Cmpt *pInstaller = NULL;
    ASSERT_EQ(S_OK, pFactory->CreateInstance(NULL, IID_IDiagPMP2Cmpt, (void **)&pInstaller));
    EXPECT_EQ(lLocks + 1, g_module.lockCount) << "a live object holds a lock";
    EXPECT_EQ(nLive + 1, CountLiveInstallers());
    pv = (void *)0x1;
    EXPECT_EQ(E_NOINTERFACE, pInstaller->QueryInterface(IID_IDispatch, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(0u, pInstaller->Release());
    EXPECT_EQ(lLocks, g_module.lockCount) << "the last release gives the lock back";
    EXPECT_EQ(nLive, CountLiveInstallers()) << "and leaves the list of live objects";
    EXPECT_EQ(0u, pFactory->Release()) << "the factory starts at 0 and its QueryInterface leaves 1";
}
