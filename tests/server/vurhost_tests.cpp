// vurhost where a case of tests/e2e cannot say it: an activation that never
// ends. (An unregistered component is in the server-registration case.)
#include "serverfixture.h"
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

TEST_F(Vurhost, AnActivationThatNeverEndsGivesExit3WithTheReason)
{
    TempDir dir;
    std::string script = dir / "script.txt", output;
    ASSERT_TRUE(WriteFileBytes(script, "[END]\r\n"));
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
    long exitCode = RunCaptured("\"" + VurhostExePath() + "\" --timeout 3 \"" + script + "\"", 90000, &output);
    DWORD dwElapsed = GetTickCount() - dwStart;
    SetEvent(hQuit);
    CloseHandle(hQuit);
    if (bHad)
        RegSetValueA(HKEY_CLASSES_ROOT, pszKey, REG_SZ, szOld, 0);
    else
        RegDeleteKeyA(HKEY_CLASSES_ROOT, pszKey);
    EXPECT_EQ(3, exitCode) << output;
    EXPECT_LT(dwElapsed, 20000u) << "ended by its own time-out, not COM's";
    EXPECT_NE(std::string::npos, output.find("HRESULT 0x8001011F")) << "RPC_E_TIMEOUT: " << output;
    EXPECT_NE(std::string::npos, output.find("within the time-out")) << output;
}
