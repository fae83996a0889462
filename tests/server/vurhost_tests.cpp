// vurhost end to end where a case of tests/e2e cannot say it: time-outs,
// a server ended from its tray, scripts given as addresses, activation
// that fails or never ends, and the usage text.
#include "serverfixture.h"
#include "localhttpserver.h"
#include "vurhostrun.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include <algorithm>

class Vurhost : public RealServerTest {};

TEST_F(Vurhost, TimeOutCallsForceRemoveAndExits4)
{
    TempDir dir;
    std::string script = dir / "long.txt";
    // Long enough (about half a minute here) that two seconds never see its end.
    std::string text = "[TEXT]\r\n";
    for (int i = 0; i < 10000; i++)
        text += std::to_string(i) + ";line\r\n";
    ASSERT_TRUE(WriteFileBytes(script, text + "[END]\r\n"));
    VurhostRun run = RunVurhost(dir, "--quiet --timeout 2 --param RESURL2=http://r2 " + Quoted(script));
    EXPECT_EQ(4, run.exitCode) << run.output;
    auto timeout = std::find(run.transcript.begin(), run.transcript.end(), "# timeout");
    ASSERT_NE(run.transcript.end(), timeout) << "the time-out is recorded";
    ASSERT_NE(run.transcript.end(), timeout + 1);
    EXPECT_EQ("> ForceRemove", *(timeout + 1));
    EXPECT_EQ("# component ended", run.transcript.back()) << "ForceRemove ended the server";
    EXPECT_EQ(0u, CountOf(run.transcript, "< ExecuteCmd SEND")) << "a stopped run sends no report";
    EXPECT_LT(CountOf(run.transcript, "< ExecuteCmd SETMSG"), 10000u);
    EXPECT_TRUE(RunningServers().empty());
}

TEST_F(Vurhost, ComponentThatEndsWithoutAReportGivesExit5)
{
    // The relaunch ending sends nothing and ends the process; so does the
    // tray menu in the middle of a run, which is what this test uses.
    TempDir dir;
    std::string script = dir / "long.txt";
    std::string text = "[TEXT]\r\n";
    for (int i = 0; i < 10000; i++)
        text += std::to_string(i) + ";line\r\n";
    ASSERT_TRUE(WriteFileBytes(script, text + "[END]\r\n"));
    std::string transcriptPath = dir / "transcript.txt";
    std::string cmd = "\"" + VurhostExePath() + "\" --quiet --transcript \"" + transcriptPath + "\" " + Quoted(script);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
    CloseHandle(pi.hThread);
    // Once the messages flow, quit the server from its tray window.
    DWORD dwStart = GetTickCount();
    std::string soFar;
    while (GetTickCount() - dwStart < 60000 && !Contains(soFar, "< ExecuteCmd SETMSG")) {
        Sleep(100);
        ReadFileBytes(transcriptPath, &soFar);
    }
    ServerProcess server;
    ASSERT_TRUE(server.AttachNew({}));
    HWND hwndTray = server.TrayWindow();
    ASSERT_NE(nullptr, hwndTray);
    PostMessageA(hwndTray, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    EXPECT_TRUE(server.WaitForEnd());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 60000)) << "vurhost noticed the end";
    DWORD dwExit = 0;
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(5u, dwExit);
    ReadFileBytes(transcriptPath, &text);
    Lines lines = SplitLines(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("# component ended", lines.back());
    EXPECT_EQ(0u, CountOf(lines, "< ExecuteCmd SEND"));
}

TEST_F(Vurhost, ScriptAsFileAndHttpAddresses)
{
    TempDir dir;
    std::string script = dir / "script.txt";
    const std::string body = "[TEXT]\r\n1;over the wire\r\n[END]\r\n";
    ASSERT_TRUE(WriteFileBytes(script, body));

    std::string fileUrl = "file:///" + script;
    std::replace(fileUrl.begin(), fileUrl.end(), '\\', '/');
    VurhostRun run = RunVurhost(dir, "--param RESURL2=http://r2 " + Quoted(fileUrl));
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_EQ(1u, CountOf(run.transcript, "< SetParameter URL=" + fileUrl));
    EXPECT_EQ(1u, CountOf(run.transcript, "< SetParameter TEXTMSG=over the wire"));

    LocalHttpServer http({ { "/dir/script.txt", body } });
    ASSERT_FALSE(http.BaseUrl().empty()) << "the local HTTP server started";
    std::string url = http.BaseUrl() + "/dir/script.txt?job=1";
    run = RunVurhost(dir, "--param RESURL2=http://r2 " + Quoted(url));
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_EQ(1u, CountOf(run.transcript, "< SetParameter TEXTMSG=over the wire"));
    EXPECT_EQ(1u, CountOf(MaskDownloadPaths(run.transcript), "> SetParameter DLPATH=<downloads>\\1\\script.txt"));

    run = RunVurhost(dir, Quoted(http.BaseUrl() + "/elsewhere.txt"));
    EXPECT_EQ(1, run.exitCode) << run.output;
    EXPECT_EQ(1u, CountOf(run.transcript, "> ExecuteCmd DLERR"));
    EXPECT_TRUE(Contains(run.output, "HTTP status 404")) << run.output;
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

TEST(VurhostUsage, BadUsageExits2AndHelpDocumentsEveryOption)
{
    TempDir dir;
    // The parsing itself is checked in VurhostOptions; here, the status.
    static const char *s_bad[] = { "", "--bogus x.txt", "--timeout ten x.txt", "a.txt b.txt" };
    for (const char *pszArgs : s_bad) {
        SCOPED_TRACE(pszArgs);
        std::string output;
        EXPECT_EQ(2, RunCaptured("\"" + VurhostExePath() + "\" " + pszArgs, 60000, &output)) << output;
        EXPECT_TRUE(Contains(output, "vurhost --help")) << output;
    }
    std::string help;
    EXPECT_EQ(0, RunCaptured("\"" + VurhostExePath() + "\" --help", 60000, &help));
    for (const char *pszOption : { "--param NAME=VALUE", "--root DIR", "--transcript FILE", "--dlerr PATTERN",
                                   "--dialogs ok|leave", "--timeout SECONDS", "--quiet", "--help",
                                   "Exit status" }) {
        EXPECT_TRUE(Contains(help, pszOption)) << pszOption << " in:\n" << help;
    }
}
