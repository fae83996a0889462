// The class object and the class table, in-process: creation, aggregation,
// interface lookup, lock count, and the registration of the table with COM.
#include "host/installer.h"
#include "server/classfactory.h"
#include "server/classtable.h"
#include "server/liveinstallers.h"
#include "server/servermodule.h"
#include <gtest/gtest.h>
#include <ocidl.h>

// A stand-in outer object: creation must refuse it before using it.
class OuterUnknown : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void **ppv) override { *ppv = NULL; return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_calls; }
    STDMETHODIMP_(ULONG) Release() override { return ++m_calls; }
    ULONG m_calls = 0;
};

// Each interface refused with the out pointer cleared, and a null out
// pointer refused.
static void ExpectOnly(IUnknown *pUnk, std::initializer_list<const IID *> refused)
{
    for (const IID *piid : refused) {
        void *pv = (void *)(ULONG_PTR)0xbdbdbdbd;
        EXPECT_EQ(E_NOINTERFACE, pUnk->QueryInterface(*piid, &pv));
        EXPECT_EQ(nullptr, pv);
    }
    EXPECT_EQ(E_POINTER, pUnk->QueryInterface(IID_IUnknown, NULL));
}

TEST(ClassFactory, InterfacesLocksAndTheObjectsItMakes)
{
    void *pv = (void *)0x1;
    EXPECT_EQ(E_NOINTERFACE, MakeClassFactory(CreateInstallerObject, IID_IDispatch, &pv));
    EXPECT_EQ(nullptr, pv);
    IClassFactory *pFactory = NULL;
    ASSERT_EQ(S_OK, MakeClassFactory(CreateInstallerObject, IID_IClassFactory, (void **)&pFactory));
    IUnknown *pUnk = NULL;
    EXPECT_EQ(S_OK, pFactory->QueryInterface(IID_IUnknown, (void **)&pUnk));
    EXPECT_EQ(static_cast<IUnknown *>(pFactory), pUnk) << "the first row answers IUnknown";
    EXPECT_EQ(1u, pUnk->Release()) << "back to the caller's one reference";
    ExpectOnly(pFactory, { &IID_IDispatch });

    // Without a matching lock the count may go below where it was.
    LONG lLocks = g_module.lockCount;
    EXPECT_EQ(S_OK, pFactory->LockServer(TRUE));
    EXPECT_EQ(lLocks + 1, g_module.lockCount);
    EXPECT_EQ(S_OK, pFactory->LockServer(FALSE));
    EXPECT_EQ(S_OK, pFactory->LockServer(FALSE));
    EXPECT_EQ(lLocks - 1, g_module.lockCount);
    pFactory->LockServer(TRUE);

    DWORD nLive = CountLiveInstallers();
    OuterUnknown outer;
    for (const IID *piid : { &IID_IUnknown, &IID_IDiagPMP2Cmpt, &IID_IDispatch }) {
        pv = (void *)0x1;
        EXPECT_EQ(CLASS_E_NOAGGREGATION, pFactory->CreateInstance(&outer, *piid, &pv));
        EXPECT_EQ(nullptr, pv);
    }
    EXPECT_EQ(0u, outer.m_calls) << "the outer object is never touched";
    EXPECT_EQ(E_POINTER, pFactory->CreateInstance(NULL, IID_IUnknown, NULL));
    pv = (void *)0x1;
    EXPECT_EQ(E_NOINTERFACE, pFactory->CreateInstance(NULL, IID_IDispatch, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(lLocks, g_module.lockCount) << "nothing was created or left behind";
    EXPECT_EQ(nLive, CountLiveInstallers());

    IDiagPMP2Cmpt *pInstaller = NULL;
    ASSERT_EQ(S_OK, pFactory->CreateInstance(NULL, IID_IDiagPMP2Cmpt, (void **)&pInstaller));
    EXPECT_EQ(lLocks + 1, g_module.lockCount) << "a live object holds a lock";
    EXPECT_EQ(nLive + 1, CountLiveInstallers());
    ExpectOnly(pInstaller, { &IID_IDispatch, &IID_IConnectionPointContainer, &IID_IClassFactory });
    EXPECT_EQ(0u, pInstaller->Release());
    EXPECT_EQ(lLocks, g_module.lockCount) << "the last release gives the lock back";
    EXPECT_EQ(nLive, CountLiveInstallers()) << "and leaves the list of live objects";
    EXPECT_EQ(0u, pFactory->Release()) << "the factory starts at 0 and its QueryInterface leaves 1";
}

static int s_nMade;
static HRESULT FailingMake(CreateObjectProc, REFIID, void **ppv)
{
    s_nMade++;
    *ppv = NULL;
    return E_OUTOFMEMORY;
}

// The registration walk stops at the first failing entry; the real table,
// registered in this process, hands out our factory to COM.
TEST(ServerModule, RegistersTheClassTableWithCom)
{
    struct Restore {
        ServerModule saved = g_module;
        ~Restore() { saved.lockCount = g_module.lockCount; g_module = saved; }
    } restore;
    static const CLSID clsidA = { 0x22222222, 0, 0, { 0, 0, 0, 0, 0, 0, 0, 1 } };
    ClassEntry failing[3] = {
        { &clsidA, NULL, FailingMake, CreateInstallerObject, NULL, 0, NULL, NULL, NULL },
        { &clsidA, NULL, FailingMake, CreateInstallerObject, NULL, 0, NULL, NULL, NULL },
        {},
    };
    g_module.pClassTable = failing;
    EXPECT_EQ(E_OUTOFMEMORY, g_module.RegisterClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE));
    EXPECT_EQ(1, s_nMade) << "the second entry is not reached";

    g_module.pClassTable = g_aClassTable;
    ASSERT_EQ(S_OK, g_module.RegisterClassObjects(CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE));
    EXPECT_NE(0u, g_aClassTable[0].cookie) << "the cookie is kept in the entry";
    DWORD nLive = CountLiveInstallers();
    IDiagPMP2Cmpt *pInstaller = NULL;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_Installer, NULL, CLSCTX_INPROC_SERVER, IID_IDiagPMP2Cmpt,
                                     (void **)&pInstaller));
    EXPECT_EQ(nLive + 1, CountLiveInstallers()) << "the object was made in this process";
    if (pInstaller)
        pInstaller->Release();
    EXPECT_EQ(S_OK, g_module.RevokeClassObjects());
    pInstaller = NULL;
    EXPECT_NE(S_OK, CoCreateInstance(CLSID_Installer, NULL, CLSCTX_INPROC_SERVER, IID_IDiagPMP2Cmpt,
                                     (void **)&pInstaller)) << "revoked";
    if (pInstaller)
        pInstaller->Release();
}
