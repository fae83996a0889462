// vurhost end to end where a case of tests/e2e cannot say it: scripts
// given as addresses, activation that fails or never ends.
#include "serverfixture.h"
#include "localhttpserver.h"
#include "vurhostrun.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include <algorithm>

class Vurhost : public RealServerTest {};

// vurhost resolves a file: script to its path and fetches an http: one;
// the component only ever sees the address.
TEST_F(Vurhost, ScriptAsFileAndHttpAddresses)
{
    TempDir dir;
    std::string script = dir / "script.txt";
    const std::string body = "[TEXT]\r\n1;over the wire\r\n[END]\r\n";
    ASSERT_TRUE(WriteFileBytes(script, body));
    std::string fileUrl = "file:///" + script;
    std::replace(fileUrl.begin(), fileUrl.end(), '\\', '/');
    LocalHttpServer http({ { "/dir/script.txt", body } });
    ASSERT_FALSE(http.BaseUrl().empty()) << "the local HTTP server started";
    const struct { std::string address; int nExit; const char *pszLine, *pszOutput; } cases[] = {
        { fileUrl, 0, "< SetParameter TEXTMSG=over the wire", "" },
        { http.BaseUrl() + "/dir/script.txt?job=1", 0, "> SetParameter DLPATH=<downloads>\\1\\script.txt", "" },
        { http.BaseUrl() + "/elsewhere.txt", 1, "> ExecuteCmd DLERR", "HTTP status 404" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.address);
        VurhostRun run = RunVurhost(dir, "--param RESURL2=http://r2 " + Quoted(c.address));
        EXPECT_EQ(c.nExit, run.exitCode) << run.output;
        EXPECT_EQ(1u, CountOf(run.transcript, "< SetParameter URL=" + c.address));
        EXPECT_EQ(1u, CountOf(MaskDownloadPaths(run.transcript), c.pszLine));
        EXPECT_TRUE(Contains(run.output, c.pszOutput)) << run.output;
    }
    EXPECT_EQ(2, http.Requests()) << "one request for each http: run";
}

TEST_F(Vurhost, UnregisteredComponentGivesExit3WithTheReason)
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
}

// A registered server that starts but never offers its class object: COM
// would wait about 30 s; vurhost gives up at its own time-out.
VUR_CHILD_MODE(neveroffers)
{
    (void)argc;
    (void)argv;
    return WaitForTestRelease("VurNeverOffersQuit", 30000);
}

TEST_F(Vurhost, ActivationThatNeverEndsIsBoundedByTheTimeOut)
{
    TempDir dir;
    std::string script = dir / "script.txt";
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
    VurhostRun run = RunVurhost(dir, "--timeout 3 " + Quoted(script));
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
