// vurhost end to end where a case of tests/e2e cannot say it: activation
// that fails or never ends.
#include "serverfixture.h"
#include "vurhostrun.h"
#include "support/testmain.h"

class Vurhost : public RealServerTest {};

// A registered server that starts but never offers its class object: COM
// would wait about 30 s; vurhost gives up at its own time-out.
VUR_CHILD_MODE(neveroffers)
{
    (void)argc;
    (void)argv;
    return WaitForTestRelease("VurNeverOffersQuit", 30000);
}

// Exit 3 with the reason: a component that is not registered, then one
// whose activation never ends.
TEST_F(Vurhost, ActivationFailuresGiveExit3WithTheReason)
{
    TempDir dir;
    std::string script = dir / "script.txt";
    ASSERT_TRUE(WriteFileBytes(script, "[END]\r\n"));
    ASSERT_TRUE(UnregisterServerForTests());
    VurhostRun run = RunVurhost(dir, Quoted(script));
    ASSERT_TRUE(RegisterServerForTests()) << "registered again for the other tests";
    EXPECT_EQ(3, run.exitCode) << run.output;
    EXPECT_TRUE(Contains(run.output, "HRESULT 0x80040154")) << "REGDB_E_CLASSNOTREG: " << run.output;
    EXPECT_TRUE(Contains(run.output, "/RegServer")) << "the hint names the registration: " << run.output;
    EXPECT_TRUE(run.transcript.empty()) << "nothing was called";

    // This program's own view of the registry, which its activation reads
    // first; what was there is put back, so the server under test (of
    // either bitness) stays registered as it was.
    const char *pszKey = "CLSID\\{63C43601-34EF-11D2-94F6-204C4F4F5020}\\LocalServer32";
    char szOld[1024];
    LONG cbOld = sizeof szOld;
    bool bHad = RegQueryValueA(HKEY_CLASSES_ROOT, pszKey, szOld, &cbOld) == ERROR_SUCCESS;
    std::string command = "\"" + ThisProgramPath() + "\" --child=neveroffers";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, pszKey, REG_SZ, command.c_str(), 0));
    HANDLE hQuit = CreateEventA(NULL, TRUE, FALSE, "VurNeverOffersQuit");
    DWORD dwStart = GetTickCount();
    run = RunVurhost(dir, "--timeout 3 " + Quoted(script));
    DWORD dwElapsed = GetTickCount() - dwStart;
    SetEvent(hQuit);
    CloseHandle(hQuit);
    if (bHad)
        RegSetValueA(HKEY_CLASSES_ROOT, pszKey, REG_SZ, szOld, 0);
    else
        RegDeleteKeyA(HKEY_CLASSES_ROOT, pszKey);
    EXPECT_EQ(3, run.exitCode) << run.output;
    EXPECT_LT(dwElapsed, 20000u) << "ended by its own time-out, not COM's";
    EXPECT_TRUE(Contains(run.output, "HRESULT 0x8001011F")) << "RPC_E_TIMEOUT: " << run.output;
    EXPECT_TRUE(Contains(run.output, "within the time-out")) << run.output;
}
