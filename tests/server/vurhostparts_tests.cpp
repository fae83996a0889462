// vurhost's parts on their own: options, download resolution and fetch,
// reports, transcript, and the watch of another process's message boxes.
#include "serverfixture.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include "dialogs.h"
#include "download.h"
#include "options.h"
#include "report.h"
#include "serverprocess.h"
#include "transcript.h"

TEST(VurhostOptions, ParsesEveryOptionInOrder)
{
    HostOptions o;
    std::string error;
    ASSERT_TRUE(ParseOptions({ "--param", "APPID=7", "--root", "r", "--transcript", "t.txt", "--dlerr", "a",
                               "--param", "RESURL1=http://x/?a=b", "--dlerr", "b", "--dialogs", "leave",
                               "--timeout", "30", "--quiet", "s.txt" }, &o, &error)) << error;
    EXPECT_EQ("s.txt", o.script);
    std::vector<std::pair<std::string, std::string>> params = { { "APPID", "7" }, { "RESURL1", "http://x/?a=b" } };
    EXPECT_EQ(params, o.params) << "a value keeps every '=' after the first";
    EXPECT_EQ("r", o.root);
    EXPECT_EQ("t.txt", o.transcript);
    EXPECT_EQ((std::vector<std::string>{ "a", "b" }), o.dlerrPatterns);
    EXPECT_FALSE(o.dialogsOk);
    EXPECT_EQ(30u, o.timeoutSeconds);
    EXPECT_TRUE(o.quiet);

    HostOptions d;
    ASSERT_TRUE(ParseOptions({ "s.txt" }, &d, &error));
    EXPECT_TRUE(d.dialogsOk) << "ok by default";
    EXPECT_EQ(600u, d.timeoutSeconds);
    EXPECT_FALSE(d.quiet);
    EXPECT_TRUE(d.root.empty());

    HostOptions e;
    ASSERT_TRUE(ParseOptions({ "--param", "EMPTY=", "--", "--odd-name.txt" }, &e, &error)) << error;
    EXPECT_EQ("--odd-name.txt", e.script) << "after -- a name may start with -";
    EXPECT_EQ("", e.params[0].second);

    HostOptions h;
    ASSERT_TRUE(ParseOptions({ "--bogus", "--help" }, &h, &error));
    EXPECT_TRUE(h.help) << "--help wins over the rest";

    HostOptions r;
    ASSERT_TRUE(ParseOptions({ "--answer", "twice", "--inside", "CmptOut=Unadvise", "--after", "DOWNLOAD#2=die",
                               "s" }, &r, &error)) << error;
    EXPECT_EQ(ANSWER_TWICE, r.answer);
    ASSERT_EQ(2u, r.reactions.size());
    EXPECT_TRUE(r.reactions[0].event == "CmptOut" && r.reactions[0].n == 1 && r.reactions[0].bInside &&
                r.reactions[0].action == "Unadvise");
    EXPECT_TRUE(r.reactions[1].event == "DOWNLOAD" && r.reactions[1].n == 2 && !r.reactions[1].bInside &&
                r.reactions[1].action == "die");
}

TEST(VurhostOptions, RefusesBadUsageWithAReason)
{
    static const std::vector<std::string> s_cases[] = {
        {}, { "--param" }, { "--param", "X", "s" }, { "--param", "=v", "s" }, { "--dialogs", "OK", "s" },
        { "--timeout", "0", "s" }, { "--timeout", "-5", "s" }, { "--timeout", "99999999999", "s" },
        { "--timeout", "2000001", "s" }, { "--timeout", "1.5", "s" }, { "-x", "s" }, { "a", "b" },
        { "--quiet" }, { "--", "a", "b" }, { "--answer", "never", "s" }, { "--inside", "SEND=Explode", "s" },
        { "--inside", "=Unadvise", "s" }, { "--after", "SEND#0=exit", "s" }, { "--after", "#2=exit", "s" },
        { "--inside", "SEND", "s" },
    };
    for (size_t i = 0; i < sizeof s_cases / sizeof s_cases[0]; i++) {
        SCOPED_TRACE(i);
        HostOptions o;
        std::string error;
        EXPECT_FALSE(ParseOptions(s_cases[i], &o, &error));
        EXPECT_FALSE(error.empty());
    }
    HostOptions o;
    std::string error;
    EXPECT_TRUE(ParseOptions({ "--timeout", "2000000", "s" }, &o, &error)) << "the longest time-out";
}

TEST(VurhostDownloads, AddressesResolveToLocalPathsOrInternetAddresses)
{
    static const struct {
        const char *pszAddress;
        bool bInternet;
        const char *pszLocation;
    } s_cases[] = {
        { "setup.exe", false, "C:\\root\\setup.exe" },
        { "sub/dir/setup.exe", false, "C:\\root\\sub\\dir\\setup.exe" },
        { "..\\up.txt", false, "C:\\root\\..\\up.txt" },
        { "D:\\abs\\file.txt", false, "D:\\abs\\file.txt" },
        { "D:/abs/file.txt", false, "D:\\abs\\file.txt" },
        { "\\\\server\\share\\f.txt", false, "\\\\server\\share\\f.txt" },
        { "file:///D:/abs/a%20b.txt", false, "D:\\abs\\a b.txt" },
        { "FILE:///D:/abs/x.txt", false, "D:\\abs\\x.txt" },
        { "http://host/dir/a.txt", true, "http://host/dir/a.txt" },
        { "HTTPS://host/a.txt?x=1", true, "HTTPS://host/a.txt?x=1" },
    };
    for (size_t i = 0; i < sizeof s_cases / sizeof s_cases[0]; i++) {
        SCOPED_TRACE(s_cases[i].pszAddress);
        DownloadSource src;
        std::string error;
        ASSERT_TRUE(ResolveDownloadAddress(s_cases[i].pszAddress, "C:\\root", &src, &error)) << error;
        EXPECT_EQ(s_cases[i].bInternet, src.bInternet);
        EXPECT_EQ(s_cases[i].pszLocation, src.location);
    }
    DownloadSource src;
    std::string error;
    EXPECT_TRUE(ResolveDownloadAddress("a.txt", "C:\\root\\", &src, &error));
    EXPECT_EQ("C:\\root\\a.txt", src.location) << "a root that ends in a backslash";
    EXPECT_FALSE(ResolveDownloadAddress("", "C:\\root", &src, &error)) << "an empty address names nothing";
}

TEST(VurhostDownloads, FileNamesKeepTheLastPartMadeSafe)
{
    static const struct {
        bool bInternet;
        const char *pszLocation;
        const char *pszName;
    } s_cases[] = {
        { true, "http://h/dir/setup.exe?x=1#top", "setup.exe" },
        { true, "http://h/", "download" },
        { true, "http://h", "download" },
        { true, "http://h/a%20b.txt", "a%20b.txt" },
        { true, "http://h/dir/..", "download" },
        { false, "C:\\a\\b.txt", "b.txt" },
        { false, "rel.txt", "rel.txt" },
        { true, "http://h/we|ird*na<me>.txt", "we_ird_na_me_.txt" },
    };
    for (size_t i = 0; i < sizeof s_cases / sizeof s_cases[0]; i++) {
        SCOPED_TRACE(s_cases[i].pszLocation);
        DownloadSource src;
        src.bInternet = s_cases[i].bInternet;
        src.location = s_cases[i].pszLocation;
        EXPECT_EQ(s_cases[i].pszName, DownloadFileName(src));
    }
}

TEST(VurhostDownloads, LocalFetchCopiesOrSaysWhyNot)
{
    TempDir dir;
    std::string source = dir / "source.bin";
    std::string bytes("\x00\x01 data \xff", 9);
    ASSERT_TRUE(WriteFileBytes(source, bytes));
    DownloadSource src;
    src.location = source;
    std::string error;
    std::string dest = dir / "copy.bin";
    ASSERT_TRUE(FetchDownload(src, dest, &error)) << error;
    std::string copied;
    ReadFileBytes(dest, &copied);
    EXPECT_EQ(bytes, copied);

    src.location = dir / "missing.bin";
    EXPECT_FALSE(FetchDownload(src, dir / "copy2.bin", &error));
    EXPECT_NE(std::string::npos, error.find("no such file")) << error;
    EXPECT_FALSE(FileExists(dir / "copy2.bin")) << "a failed fetch leaves no file";
    src.location = dir.Path();
    EXPECT_FALSE(FetchDownload(src, dir / "copy3.bin", &error));
    EXPECT_NE(std::string::npos, error.find("folder")) << error;

    // Each download gets its own numbered folder: equal names never clash.
    std::string folderPath;
    {
        DownloadFolder folder;
        ASSERT_TRUE(folder.Create());
        folderPath = folder.Path();
        std::string a = folder.NewFilePath("same.txt"), b = folder.NewFilePath("same.txt");
        EXPECT_NE(a, b);
        EXPECT_TRUE(WriteFileBytes(a, "a"));
        EXPECT_TRUE(WriteFileBytes(b, "b"));
    }
    EXPECT_FALSE(FileExists(folderPath)) << "the folder goes with its content";
}

TEST(VurhostReports, ErrorReportNamesItsCodeAndKeepsTheOrderOfItsParameters)
{
    ReportParams error = { { "SRCFILE", "a" }, { "DSTFILE", "b" }, { "APPID", "1" }, { "JOBID", "2" },
                           { "NUMERR", "13" } };
    std::vector<std::string> expected = { "Error report:", "  SRCFILE = a", "  DSTFILE = b", "  APPID = 1",
                                          "  JOBID = 2", "  NUMERR = 13 (COPYVER failed)" };
    EXPECT_EQ(expected, FormatReport(error));
    ReportParams odd = { { "NUMERR", "7" } };
    EXPECT_EQ("  NUMERR = 7 (unknown error code)", FormatReport(odd)[1]) << "7 is not a code";
    ReportParams result = { { "APPID", "1" }, { "JOBID", "2" }, { "TURL", "http://r" } };
    EXPECT_FALSE(IsErrorReport(result));
    EXPECT_EQ("Result report:", FormatReport(result)[0]);
}

TEST(VurhostTranscript, LinesAreUtf8EndedByLineFeed)
{
    TempDir dir;
    std::string path = dir / "t.txt";
    {
        Transcript t;
        t.Line("not written: no file yet");
        ASSERT_TRUE(t.Open(path));
        t.Line("> Advise");
        t.Line("< SetParameter TEXTMSG=\xC3\xA9t\xC3\xA9");
    }
    std::string text;
    ReadFileBytes(path, &text);
    EXPECT_EQ("> Advise\n< SetParameter TEXTMSG=\xC3\xA9t\xC3\xA9\n", text);
    Transcript bad;
    EXPECT_FALSE(bad.Open(dir / "no-such-folder\\t.txt"));
}

TEST(VurhostServerProcess, TheNewServerIsPickedOrNoneWhenItCannotBeTold)
{
    EXPECT_EQ(7u, PickServerProcess({ 1, 2 }, { 1, 2, 7 })) << "the one that was not there before";
    EXPECT_EQ(2u, PickServerProcess({ 2 }, { 2 })) << "a running server that COM reused";
    EXPECT_EQ(0u, PickServerProcess({ 1, 2 }, { 1, 2 })) << "two old ones: cannot tell";
    EXPECT_EQ(0u, PickServerProcess({}, { 5, 6 })) << "two new ones: cannot tell";
    EXPECT_EQ(0u, PickServerProcess({}, {}));
    EXPECT_TRUE(ProcessesNamed("").empty());
}

TEST(VurhostServerProcess, TheRegisteredServerIsFoundInEitherRegistryView)
{
    // A 32-bit server registers its class in the 32-bit view, a 64-bit one
    // in the 64-bit view; vurhost may be of either bitness.
    static const CLSID kClsid = { 0x5f0e0a11, 0x7d2c, 0x4b6e, { 0x9a, 0x41, 0x3c, 0x28, 0x60, 0xd1, 0x0b, 0x77 } };
    static const char kKey[] = "CLSID\\{5F0E0A11-7D2C-4B6E-9A41-3C2860D10B77}";
    static const char kCommand[] = "\"C:\\no such folder\\Test Server.exe\" -Embedding";
    for (REGSAM samView : { KEY_WOW64_32KEY, KEY_WOW64_64KEY }) {
        SCOPED_TRACE(samView == KEY_WOW64_32KEY ? "32-bit view" : "64-bit view");
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, (std::string(kKey) + "\\LocalServer32").c_str(), 0,
                                                 NULL, 0, KEY_SET_VALUE | samView, NULL, &hKey, NULL));
        RegSetValueExA(hKey, NULL, 0, REG_SZ, (const BYTE *)kCommand, sizeof kCommand);
        RegCloseKey(hKey);
        EXPECT_EQ("Test Server.exe", RegisteredServerName(kClsid));
        RegDeleteKeyExA(HKEY_CLASSES_ROOT, (std::string(kKey) + "\\LocalServer32").c_str(), samView, 0);
        RegDeleteKeyExA(HKEY_CLASSES_ROOT, kKey, samView, 0);
    }
    EXPECT_EQ("", RegisteredServerName(kClsid)) << "registered in neither view";
}

VUR_CHILD_MODE(messagebox)
{
    (void)argc;
    (void)argv;
    return MessageBoxA(NULL, "Fichier re\xE7u alors que non demand\xE9 !", "VUR installer - Erreur",
                       MB_OKCANCEL | MB_DEFBUTTON2);
}

TEST(VurhostDialogs, MessageBoxesOfTheWatchedProcessAreRecordedAndAnswered)
{
    TempDir dir;
    static const char kSeen[] = "VUR installer - Erreur | Fichier re\xC3\xA7u alors que non demand\xC3\xA9 !";
    for (bool bPress : { true, false }) {
        SCOPED_TRACE(bPress ? "--dialogs ok" : "--dialogs leave");
        std::string path = dir / (bPress ? "ok.txt" : "leave.txt");
        Transcript transcript;
        ASSERT_TRUE(transcript.Open(path));
        DWORD dwPid = 0;
        HANDLE hChild = StartChild("messagebox", "", &dwPid);
        ASSERT_NE(nullptr, hChild);
        {
            DialogWatch watch(dwPid, bPress, &transcript, true);
            DWORD dwWait = WaitForSingleObject(hChild, bPress ? 20000 : 1500);
            if (bPress) {
                EXPECT_EQ(WAIT_OBJECT_0, dwWait) << "the default button was pressed";
                DWORD dwCode = 0;
                GetExitCodeProcess(hChild, &dwCode);
                EXPECT_EQ((DWORD)IDCANCEL, dwCode) << "the default button, not simply OK";
            } else {
                EXPECT_EQ((DWORD)WAIT_TIMEOUT, dwWait) << "left for a person";
            }
            EXPECT_EQ(std::vector<std::string>{ kSeen }, watch.Seen()) << "recorded once";
        }
        if (!bPress) {
            DialogWatch closer(dwPid, true, &transcript, true);
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hChild, 20000));
        }
        CloseHandle(hChild);
        std::string text;
        ReadFileBytes(path, &text);
        std::string line = std::string("! ") + kSeen + "\n";
        EXPECT_EQ(bPress ? line : line + line, text);
    }
}
