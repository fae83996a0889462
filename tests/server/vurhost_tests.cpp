// vurhost end to end: the real server started by COM in the private prefix,
// driven by vurhost, checked by vurhost's transcript, output and exit
// status.
#include "serverfixture.h"
#include "localhttpserver.h"
#include "vurhostrun.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include <algorithm>

class Vurhost : public RealServerTest {};

TEST_F(Vurhost, TextLinesAndEndGiveTheExactTranscriptAndTheServerEnds)
{
    TempDir dir;
    std::string script = dir / "script.txt";
    // Latin-1 text in the script reaches the transcript as UTF-8.
    ASSERT_TRUE(WriteFileBytes(script, "[TEXT]\r\n12;Bonjour \xE9t\xE9\r\n3;a;b\r\n[END]\r\n"));
    VurhostRun run = RunVurhost(dir, "--param RESURL2=http://r2/ok --param RESFRM2=main --param APPID=7 "
                                     "--param JOBID=42 " + Quoted(script));
    EXPECT_EQ(0, run.exitCode) << run.output;
    Lines expected = {
        "> Advise",
        "> SetParameter FILE=" + script,
        "> SetParameter RESURL2=http://r2/ok",
        "> SetParameter RESFRM2=main",
        "> SetParameter APPID=7",
        "> SetParameter JOBID=42",
        "> ExecuteCmd INSTALL",
        "< SetParameter URL=" + script,
        "< ExecuteCmd DOWNLOAD",
        "> SetParameter DLPATH=<downloads>\\1\\script.txt",
        "> ExecuteCmd DLDONE",
        "< SetParameter TEXTMSG=Bonjour \xC3\xA9t\xC3\xA9",
        "< SetParameter NUMMSG=12",
        "< ExecuteCmd SETMSG",
        "< SetParameter TEXTMSG=a;b",
        "< SetParameter NUMMSG=3",
        "< ExecuteCmd SETMSG",
        "< SetParameter TEXTMSG=",
        "< ExecuteCmd SETMSG",
        "< SetParameter TEXTMSG=",
        "< SetParameter NUMMSG=1",
        "< ExecuteCmd SETMSG",
        "< SetParameter APPID=7",
        "< SetParameter JOBID=42",
        "< SetParameter TURL=http://r2/ok",
        "< SetParameter BFRM=main",
        "< ExecuteCmd SEND",
        "< CmptOut",
        "# component ended",
    };
    EXPECT_EQ(expected, MaskDownloadPaths(run.transcript));
    EXPECT_TRUE(RunningServers().empty()) << "the server process has ended";
    EXPECT_TRUE(FileExists(script)) << "the component deletes vurhost's copy, never the script given";
    EXPECT_TRUE(Contains(run.output, "[12] Bonjour \xC3\xA9t\xC3\xA9")) << run.output;
    EXPECT_TRUE(Contains(run.output, "Result report:\n  APPID = 7\n  JOBID = 42\n  TURL = http://r2/ok\n"
                                     "  BFRM = main\n")) << run.output;

    // --quiet: the same run without progress lines; the report still shows.
    run = RunVurhost(dir, "--quiet --param RESURL2=http://r2/ok " + Quoted(script));
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_FALSE(Contains(run.output, "[12]")) << run.output;
    EXPECT_TRUE(Contains(run.output, "TURL = http://r2/ok")) << run.output;
}

TEST_F(Vurhost, RefusedDownloadGivesAnErrorReportThenUnadviseEndsTheServer)
{
    TempDir dir;
    std::string script = dir / "script.txt";
    ASSERT_TRUE(WriteFileBytes(script, "[TEXT]\r\n1;never shown\r\n[END]\r\n"));
    VurhostRun run = RunVurhost(dir, "--dlerr cript.t --param ERRURL=http://e/err --param ERRFRM=f "
                                     "--param JOBID=-3 " + Quoted(script));
    EXPECT_EQ(1, run.exitCode) << run.output;
    Lines expected = {
        "> Advise",
        "> SetParameter FILE=" + script,
        "> SetParameter ERRURL=http://e/err",
        "> SetParameter ERRFRM=f",
        "> SetParameter JOBID=-3",
        "> ExecuteCmd INSTALL",
        "< SetParameter URL=" + script,
        "< ExecuteCmd DOWNLOAD",
        "> SetParameter DLURL=" + script,
        "> ExecuteCmd DLERR",
        "< SetParameter FILE=" + script,
        "< SetParameter APPID=0",
        "< SetParameter JOBID=-3",
        "< SetParameter NUMERR=2",
        "< SetParameter TURL=http://e/err",
        "< SetParameter BFRM=f",
        "< ExecuteCmd SEND",
        "> Unadvise",
        "# component ended",
    };
    EXPECT_EQ(expected, run.transcript);
    EXPECT_TRUE(RunningServers().empty());
    EXPECT_TRUE(Contains(run.output, "NUMERR = 2 (the host answered a download with DLERR)")) << run.output;

    // A script that is not there fails its download the same way.
    std::string missing = dir / "missing.txt";
    run = RunVurhost(dir, Quoted(missing));
    EXPECT_EQ(1, run.exitCode) << run.output;
    EXPECT_EQ(1u, CountOf(run.transcript, "> SetParameter DLURL=" + missing));
    EXPECT_EQ(1u, CountOf(run.transcript, "< SetParameter NUMERR=2"));
    ASSERT_FALSE(run.transcript.empty());
    EXPECT_EQ("# component ended", run.transcript.back());
    EXPECT_TRUE(Contains(run.output, "failed: no such file")) << run.output;
}

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
