// The class object and the class table, in-process: creation, aggregation,
// interface lookup, lock count, and the walk of the table.
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

static void *const kSentinel = (void *)(ULONG_PTR)0xbdbdbdbd;

static IClassFactory *NewFactory()
{
    IClassFactory *pFactory = NULL;
    HRESULT hr = MakeClassFactory(CreateInstallerObject, IID_IClassFactory, (void **)&pFactory);
    EXPECT_EQ(S_OK, hr) << "MakeClassFactory";
    return pFactory;
}

TEST(ClassFactory, AnswersIClassFactoryAndIUnknownOnly)
{
    IClassFactory *pFactory = NewFactory();
    ASSERT_NE(nullptr, pFactory);
    IUnknown *pUnk = NULL;
    EXPECT_EQ(S_OK, pFactory->QueryInterface(IID_IUnknown, (void **)&pUnk));
    EXPECT_EQ(static_cast<IUnknown *>(pFactory), pUnk) << "the first row answers IUnknown";
    EXPECT_EQ(1u, pUnk->Release()) << "back to the caller's one reference";

    void *pv = kSentinel;
    EXPECT_EQ(E_NOINTERFACE, pFactory->QueryInterface(IID_IDispatch, &pv));
    EXPECT_EQ(nullptr, pv) << "the out pointer is cleared on failure";
    EXPECT_EQ(E_POINTER, pFactory->QueryInterface(IID_IUnknown, NULL));
    EXPECT_EQ(0u, pFactory->Release()) << "the factory starts at 0 and its QueryInterface leaves 1";

    pv = kSentinel;
    EXPECT_EQ(E_NOINTERFACE, MakeClassFactory(CreateInstallerObject, IID_IDispatch, &pv));
    EXPECT_EQ(nullptr, pv);
}

TEST(ClassFactory, RefusesAggregationWhateverTheInterface)
{
    IClassFactory *pFactory = NewFactory();
    ASSERT_NE(nullptr, pFactory);
    LONG lLocksBefore = g_module.lockCount;
    DWORD nLiveBefore = CountLiveInstallers();
    OuterUnknown outer;
    const IID *apIids[] = { &IID_IUnknown, &IID_IDiagPMP2Cmpt, &IID_IDispatch };
    for (size_t i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        void *pv = kSentinel;
        EXPECT_EQ(CLASS_E_NOAGGREGATION, pFactory->CreateInstance(&outer, *apIids[i], &pv));
        EXPECT_EQ(nullptr, pv);
    }
    EXPECT_EQ(0u, outer.m_calls) << "the outer object is never touched";
    EXPECT_EQ(lLocksBefore, g_module.lockCount) << "nothing was created";
    EXPECT_EQ(nLiveBefore, CountLiveInstallers());
    EXPECT_EQ(E_POINTER, pFactory->CreateInstance(NULL, IID_IUnknown, NULL));
    pFactory->Release();
}

TEST(ClassFactory, CreatesInstallersThatAnswerTheirInterfaceOnly)
{
    IClassFactory *pFactory = NewFactory();
    ASSERT_NE(nullptr, pFactory);
    LONG lLocksBefore = g_module.lockCount;
    DWORD nLiveBefore = CountLiveInstallers();

    IDiagPMP2Cmpt *pInstaller = NULL;
    ASSERT_EQ(S_OK, pFactory->CreateInstance(NULL, IID_IDiagPMP2Cmpt, (void **)&pInstaller));
    EXPECT_EQ(lLocksBefore + 1, g_module.lockCount) << "a live object holds a lock";
    EXPECT_EQ(nLiveBefore + 1, CountLiveInstallers());

    const IID *apRefused[] = { &IID_IDispatch, &IID_IConnectionPointContainer, &IID_IClassFactory };
    for (size_t i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        void *pv = kSentinel;
        EXPECT_EQ(E_NOINTERFACE, pInstaller->QueryInterface(*apRefused[i], &pv));
        EXPECT_EQ(nullptr, pv);
    }
    EXPECT_EQ(E_POINTER, pInstaller->QueryInterface(IID_IUnknown, NULL));
    EXPECT_EQ(0u, pInstaller->Release());
    EXPECT_EQ(lLocksBefore, g_module.lockCount) << "the last release gives the lock back";
    EXPECT_EQ(nLiveBefore, CountLiveInstallers()) << "and leaves the list of live objects";

    // An interface the object does not have: nothing is left behind.
    void *pv = kSentinel;
    EXPECT_EQ(E_NOINTERFACE, pFactory->CreateInstance(NULL, IID_IDispatch, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(lLocksBefore, g_module.lockCount);
    EXPECT_EQ(nLiveBefore, CountLiveInstallers());
    pFactory->Release();
}

TEST(ClassFactory, LockServerOnlyCounts)
{
    IClassFactory *pFactory = NewFactory();
    ASSERT_NE(nullptr, pFactory);
    LONG lBefore = g_module.lockCount;
    EXPECT_EQ(S_OK, pFactory->LockServer(TRUE));
    EXPECT_EQ(lBefore + 1, g_module.lockCount);
    EXPECT_EQ(S_OK, pFactory->LockServer(FALSE));
    // Without a matching lock the count may go below where it was.
    EXPECT_EQ(S_OK, pFactory->LockServer(FALSE));
    EXPECT_EQ(lBefore - 1, g_module.lockCount);
    pFactory->LockServer(TRUE);
    pFactory->Release();
}

// A table whose walk can be watched.
static int s_nMade;
static HRESULT FailingMake(CreateObjectProc, REFIID, void **ppv)
{
    s_nMade++;
    *ppv = NULL;
    return E_OUTOFMEMORY;
}
static HRESULT CountingMake(CreateObjectProc create, REFIID riid, void **ppv)
{
    s_nMade++;
    return MakeClassFactory(create, riid, ppv);
}

class ServerModuleTest : public testing::Test {
protected:
    void SetUp() override { m_saved = g_module; }
    void TearDown() override
    {
        m_saved.lockCount = g_module.lockCount;
        g_module = m_saved;
    }
    ServerModule m_saved;
};

TEST_F(ServerModuleTest, RegistrationStopsAtTheFirstFailingEntry)
{
    static const CLSID clsidA = { 0x22222222, 0, 0, { 0, 0, 0, 0, 0, 0, 0, 1 } };
    static const CLSID clsidB = { 0x22222222, 0, 0, { 0, 0, 0, 0, 0, 0, 0, 2 } };
    ClassEntry table[3] = {
        { &clsidA, NULL, FailingMake, CreateInstallerObject, NULL, 0, NULL, NULL, NULL },
        { &clsidB, NULL, CountingMake, CreateInstallerObject, NULL, 0, NULL, NULL, NULL },
        {},
    };
    g_module.pClassTable = table;
    s_nMade = 0;
    EXPECT_EQ(E_OUTOFMEMORY, g_module.RegisterClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE));
    EXPECT_EQ(1, s_nMade) << "the second entry is not reached";
}

TEST_F(ServerModuleTest, RegisteredClassObjectCreatesInstallers)
{
    // The real table, registered in this process: COM hands out our
    // factory, and creation goes through it.
    g_module.pClassTable = g_aClassTable;
    ASSERT_EQ(S_OK, g_module.RegisterClassObjects(CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE));
    EXPECT_NE(0u, g_aClassTable[0].cookie) << "the cookie is kept in the entry";
    EXPECT_EQ(nullptr, g_aClassTable[0].pClassObject);
    DWORD nLiveBefore = CountLiveInstallers();
    IDiagPMP2Cmpt *pInstaller = NULL;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_Installer, NULL, CLSCTX_INPROC_SERVER, IID_IDiagPMP2Cmpt,
                                     (void **)&pInstaller));
    EXPECT_EQ(nLiveBefore + 1, CountLiveInstallers()) << "the object was made in this process";
    if (pInstaller)
        pInstaller->Release();
    EXPECT_EQ(S_OK, g_module.RevokeClassObjects());
    pInstaller = NULL;
    EXPECT_NE(S_OK, CoCreateInstance(CLSID_Installer, NULL, CLSCTX_INPROC_SERVER, IID_IDiagPMP2Cmpt,
                                     (void **)&pInstaller)) << "revoked";
    if (pInstaller)
        pInstaller->Release();
}
