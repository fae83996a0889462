// vurhost's parts where an end-to-end case cannot reach them: addresses
// and download file names, the transcript file, a box whose default button
// is not OK, the registered server found in either registry view. The rest
// shows in the cases of tests/e2e.
#include "serverfixture.h"
#include "dialogs.h"
#include "download.h"
#include "report.h"
#include "serverprocess.h"
#include "support/testmain.h"
#include "transcript.h"

// Addresses that no case can serve (a share, https, a scheme alone, none); the names that
// downloaded files get: the last part, made safe.
TEST(VurhostDownloads, AddressesAndFileNames)
{
    static const struct { const char *pszAddress; bool bOk, bInternet; const char *pszLocation; } s_addresses[] = {
        { "\\\\server\\share\\f.txt", true, false, "\\\\server\\share\\f.txt" },
        { "HTTPS://host/a.txt?x=1", true, true, "HTTPS://host/a.txt?x=1" }, { "", false, false, "" },
        { "Http:", true, true, "Http:" },   // the scheme alone is still an internet address
    };
    for (const auto &c : s_addresses) {
        SCOPED_TRACE(c.pszAddress);
        DownloadSource src;
        std::string error;
        EXPECT_EQ(c.bOk, ResolveDownloadAddress(c.pszAddress, "C:\\root", &src, &error)) << error;
        EXPECT_TRUE(!c.bOk || (c.bInternet == src.bInternet && c.pszLocation == src.location)) << src.location;
    }
    static const struct { bool bInternet; const char *pszLocation, *pszName; } s_names[] = {
        { true, "http://h/dir/setup.exe?x=1#top", "setup.exe" }, { true, "http://h/", "download" },
        { true, "http://h", "download" }, { true, "http://h/a%20b.txt", "a%20b.txt" }, { true, "http://h/dir/..", "download" },
        { false, "C:\\a\\b.txt", "b.txt" }, { false, "rel.txt", "rel.txt" },
        { true, "http://h/we|ird*na<me>.txt", "we_ird_na_me_.txt" },
    };
    for (const auto &c : s_names) {
        EXPECT_EQ(c.pszName, DownloadFileName(DownloadSource{ c.bInternet, c.pszLocation })) << c.pszLocation;
    }
}

// What the cases do not show of vurhost's output: lines ended by LF alone
// (the runner reads CR LF as well), nothing before the file is open, a
// transcript that cannot be made, and a code without a meaning.
TEST(VurhostOutput, TranscriptLinesAndReports)
{
    TempDir dir;
    {
        Transcript t;
        t.Line("not written: no file yet");
        ASSERT_TRUE(t.Open(dir / "t.txt"));
        t.Line("> Advise");
        t.Line("< ExecuteCmd SETMSG");
    }
    std::string text;
    ReadFileBytes(dir / "t.txt", &text);
    EXPECT_EQ("> Advise\n< ExecuteCmd SETMSG\n", text);
    Transcript bad;
    EXPECT_FALSE(bad.Open(dir / "no-such-folder\\t.txt"));
    EXPECT_EQ("  NUMERR = 7 (unknown error code)", FormatReport({ { "NUMERR", "7" } }).at(1));
}

VUR_CHILD_MODE(messagebox)
{
    (void)argc;
    (void)argv;
    return MessageBoxA(NULL, "text", "caption", MB_OKCANCEL | MB_DEFBUTTON2);
}

// The component's own boxes have OK alone: a box of another child shows
// that the watch presses the default button, not simply OK.
TEST(VurhostDialogs, TheDefaultButtonIsPressed)
{
    Transcript transcript;
    DWORD dwPid = 0;
    HANDLE hChild = StartChild("messagebox", "", &dwPid);
    ASSERT_NE(nullptr, hChild);
    {
        DialogWatch watch(dwPid, true, &transcript, true);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hChild, 20000));
        EXPECT_EQ(std::vector<std::string>{ "caption | text" }, watch.Seen());
    }
    DWORD dwCode = 0;
    GetExitCodeProcess(hChild, &dwCode);
    CloseHandle(hChild);
    EXPECT_EQ((DWORD)IDCANCEL, dwCode);
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
    EXPECT_EQ(0u, PickServerProcess({ 1, 2 }, { 1, 2 })) << "two old servers: cannot tell";
    EXPECT_EQ(0u, PickServerProcess({}, { 5, 6 })) << "two new ones: cannot tell";
}
