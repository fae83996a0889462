// Install scripts run end to end: vurhost drives the real server, fetches
// the [DL] files (the sysops fixtures, files made here, a local web
// server), and the test compares the whole transcript and then looks at the
// install folder and the registry that the script left behind.
#include "serverfixture.h"
#include "localhttpserver.h"
#include "regtestkeys.h"
#include "vurhostrun.h"
#include "support/installfolder.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include "support/testtimes.h"
#include <algorithm>

namespace {

const char kResultPage[] = "http://r/installed";
const char kErrorPage[] = "http://r/error";
const char kKeyPath[] = TEST_KEY_PATH "\\ScriptsE2E";

Lines operator+(Lines a, const Lines &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Lines Repeated(int n, const std::string &line)
{
    return Lines((size_t)n, line);
}

std::string ScriptText(const Lines &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\r\n";
    return text;
}

// The LZ files, libraries with version resources and plain files that the
// sysops tests' build makes.
std::string FixtureFolder()
{
    return BuildRoot() + "\\tests\\sysops\\fixtures";
}

std::string Bytes(const std::string &path)
{
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes)) << "cannot read " << path;
    return bytes;
}

std::string FixtureBytes(const std::string &name)
{
    return Bytes(FixtureFolder() + "\\" + name);
}

testing::AssertionResult SameBytes(const std::string &expected, const std::string &got)
{
    if (expected == got)
        return testing::AssertionSuccess();
    size_t i = 0;
    while (i < expected.size() && i < got.size() && expected[i] == got[i])
        i++;
    return testing::AssertionFailure() << "got " << got.size() << " bytes, expected " << expected.size()
                                       << "; they differ from byte " << i;
}

FILETIME LastWrite(const std::string &path)
{
    FileTimes times = {};
    EXPECT_TRUE(ReadFileTimes(path, &times)) << "cannot read the times of " << path;
    return times.ftLastWrite;
}

void SetLastWrite(const std::string &path, const FILETIME &ft)
{
    ASSERT_TRUE(WriteFileTimes(path, NULL, &ft)) << path;
}

FILETIME Now()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return ft;
}

// Every file below folder, as paths relative to it, sorted.
void ListFiles(const std::string &folder, const std::string &prefix, Lines *pFiles)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + "\\" + name, prefix + name + "\\", pFiles);
        else
            pFiles->push_back(prefix + name);
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
}

Lines FilesIn(const std::string &folder)
{
    Lines files;
    ListFiles(folder, "", &files);
    std::sort(files.begin(), files.end());
    return files;
}

// The transcript lines of a download that vurhost fetched as its nth (the
// script itself is the first), stored under the last part of the address.
Lines Download(const std::string &address, int nth, const char *pszSize = NULL)
{
    std::string name = address.substr(address.find_last_of("/\\") + 1);
    Lines lines = { "< SetParameter URL=" + address };
    if (pszSize)
        lines.push_back(std::string("< SetParameter SIZE=") + pszSize);
    lines.push_back("< ExecuteCmd DOWNLOAD");
    lines.push_back("> SetParameter DLPATH=<downloads>\\" + std::to_string(nth) + "\\" + name);
    lines.push_back("> ExecuteCmd DLDONE");
    return lines;
}

Lines RefusedDownload(const std::string &address)
{
    return { "< SetParameter URL=" + address, "< ExecuteCmd DOWNLOAD", "> SetParameter DLURL=" + address,
             "> ExecuteCmd DLERR" };
}

// The report ending after installation work: the result page is RESURL1.
Lines ResultEnding()
{
    return { "< SetParameter TEXTMSG=", "< ExecuteCmd SETMSG", "< SetParameter TEXTMSG=",
             "< SetParameter NUMMSG=1", "< ExecuteCmd SETMSG", "< SetParameter APPID=0",
             "< SetParameter JOBID=0", std::string("< SetParameter TURL=") + kResultPage, "< ExecuteCmd SEND",
             "< CmptOut", "# component ended" };
}

// A failure's parameters and error report; the component then waits until
// vurhost lets it go with Unadvise, which ends the server.
Lines ErrorEnding(const Lines &params, int nCode)
{
    Lines lines;
    for (const std::string &p : params)
        lines.push_back("< SetParameter " + p);
    return lines + Lines{ "< SetParameter APPID=0", "< SetParameter JOBID=0",
                          "< SetParameter NUMERR=" + std::to_string(nCode),
                          std::string("< SetParameter TURL=") + kErrorPage, "< ExecuteCmd SEND", "> Unadvise",
                          "# component ended" };
}

Lines MessageBoxLine(const std::string &caption, const std::string &text)
{
    return { "! " + caption + " | " + text };
}

}

// Each test has its own install folder (the install folder value points
// at it while the test runs, in the registry view that the server under
// test reads) and a private HKCU key tree.
class ScriptsEndToEnd : public RealServerTest {
protected:
    ScriptsEndToEnd()
        : folder(install.Path(), ServerRegistryView()), keys(HKEY_CURRENT_USER, kKeyPath), root(FixtureFolder())
    {
    }

    std::string ScriptPath() const { return dir / "script.txt"; }
    std::string Installed(const std::string &name) const { return install / name; }

    // Writes the script and runs it through vurhost; relative [DL]
    // addresses are looked for in root. A run that hangs ends within a
    // minute, with "# timeout" in its transcript (options may set another).
    VurhostRun Run(const Lines &script, const std::string &options = "")
    {
        VurhostRun run;
        EXPECT_TRUE(WriteFileBytes(ScriptPath(), ScriptText(script)));
        run = RunVurhost(dir, "--quiet --timeout 60 --root " + Quoted(root) + " --param RESURL1=" + kResultPage +
                                  " --param ERRURL=" + kErrorPage + " " + options + " " + Quoted(ScriptPath()));
        run.transcript = MaskDownloadPaths(run.transcript);
        EXPECT_FALSE(Contains(run.output, "failed: HRESULT"))
            << "every call of vurhost reached the server, Unadvise included:\n" << run.output;
        return run;
    }

    // The transcript up to the script's arrival.
    Lines Opening() const
    {
        return Lines{ "> Advise", "> SetParameter FILE=" + ScriptPath(),
                      std::string("> SetParameter RESURL1=") + kResultPage,
                      std::string("> SetParameter ERRURL=") + kErrorPage, "> ExecuteCmd INSTALL" } +
               Download(ScriptPath(), 1);
    }

    TempDir dir;        // the script, the transcript, files made to be downloaded
    TempDir install;
    InstallFolderValue folder;
    PrivateKeyTree keys;
    std::string root;
};

TEST_F(ScriptsEndToEnd, DownloadLinesSendTheirFieldsAndTheFileGetsTheTimeGiven)
{
    std::string hostFile = dir / "host.txt";
    ASSERT_TRUE(WriteFileBytes(hostFile, "kept the host's time"));
    FILETIME ftHost = MakeUtcTime(2003, 4, 5, 6, 7, 8);
    SetLastWrite(hostFile, ftHost);
    FILETIME ftBefore = Now();
    VurhostRun run = Run({ "[DL]",
                           hostFile,
                           "ver_us_1015.dll;25/12/1999 14:30:00",
                           "text.txt_;01/01/2000 00:10:00;12;3",
                           // A date field shorter than its layout gives no time and leaves the size alone.
                           "small.bin;25/1;77",
                           "[ACTIONS]",
                           "COPY:1;host.txt",
                           "COPY:2;stamped.dll",
                           "COPY:3;text.txt",
                           "[END]" });
    FILETIME ftAfter = Now();
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_EQ(Opening() + Download(hostFile, 2) + Download("ver_us_1015.dll", 3) +
                  Download("text.txt_", 4, "12;3") + Download("small.bin", 5, "77") + ResultEnding(),
              run.transcript)
        << "no SIZE without a third field; everything after the second ';' as SIZE";

    EXPECT_EQ((Lines{ "host.txt", "stamped.dll", "text.txt" }), FilesIn(install.Path()));
    EXPECT_EQ("kept the host's time", Bytes(Installed("host.txt")));
    EXPECT_TRUE(SameBytes(FixtureBytes("ver_us_1015.dll"), Bytes(Installed("stamped.dll"))));
    EXPECT_TRUE(SameBytes(FixtureBytes("text.txt"), Bytes(Installed("text.txt")))) << "the LZ file expanded";

    const struct {
        const char *pszName;
        FILETIME ftExpected;
    } times[] = {
        { "host.txt", ftHost },                                     // no time given
        { "stamped.dll", MakeUtcTime(1999, 12, 25, 13, 30, 0) },    // the hour one less
        { "text.txt", MakeUtcTime(2000, 1, 1, 0, 10, 0) },          // an hour of 0 stays 0
    };
    for (const auto &row : times) {
        SCOPED_TRACE(row.pszName);
        FILETIME ft = LastWrite(Installed(row.pszName));
        if (RunningOnWine()) {
            // Wine difference: Wine's LZCopy gives the installed file the
            // downloaded file's last-write time, so the time of each download
            // shows here; on Windows the installed file has the time of its
            // copy (the COPYDATE test reads the downloads' times on both).
            EXPECT_EQ(FileTimeText(row.ftExpected), FileTimeText(ft));
        } else {
            EXPECT_LE(FileTimeToU64(ftBefore) - 20000000, FileTimeToU64(ft)) << FileTimeText(ft);
            EXPECT_GE(FileTimeToU64(ftAfter) + 20000000, FileTimeToU64(ft)) << FileTimeText(ft);
        }
    }
}

TEST_F(ScriptsEndToEnd, FiftyDownloadsPerUnitAndEachUnitNumbersFromOne)
{
    Lines firstUnit = Repeated(49, "small.bin");
    firstUnit.push_back("text.txt_");
    VurhostRun run = Run(Lines{ "[INSTALL]", "[DL]" } + firstUnit +
                         Lines{ "[ACTIONS]", "COPY:50;fifty.txt",
                                "[INSTALL]", "[DL]", "window.bin", "[ACTIONS]", "COPY:1;one.bin", "COPY:2;two.bin",
                                "[END]" });
    EXPECT_EQ(0, run.exitCode) << run.output;
    Lines expected = Opening();
    for (int i = 1; i <= 49; i++)
        expected = expected + Download("small.bin", i + 1);
    expected = expected + Download("text.txt_", 51) + Download("window.bin", 52) +
               MessageBoxLine("2", "Installer - Copy file : index trop grand !") + ResultEnding();
    EXPECT_EQ(expected, run.transcript) << "the 50th line is asked for; the second unit has one entry";
    EXPECT_EQ((Lines{ "fifty.txt", "one.bin" }), FilesIn(install.Path()));
    EXPECT_TRUE(SameBytes(FixtureBytes("text.txt"), Bytes(Installed("fifty.txt"))));
    EXPECT_TRUE(SameBytes(FixtureBytes("window.bin"), Bytes(Installed("one.bin"))))
        << "entry 1 of the second unit is its own first [DL] line";
}

TEST_F(ScriptsEndToEnd, TheFiftyFirstDownloadOfAUnitStopsTheInstall)
{
    // The install stops with no request outstanding and sends nothing: the
    // server stays until the host lets it go. vurhost does so only when its
    // time runs out (ForceRemove); 10 s leave room for the 50 downloads.
    VurhostRun run = Run(Lines{ "[DL]" } + Repeated(51, "small.bin") + Lines{ "[TEXT]", "1;never shown", "[END]" },
                         "--timeout 10");
    EXPECT_EQ(4, run.exitCode) << "time-out: " << run.output;
    Lines expected = Opening();
    for (int i = 1; i <= 50; i++)
        expected = expected + Download("small.bin", i + 1);
    expected = expected + MessageBoxLine("", "Installer - Too many downloaded files in a [DL] section !") +
               Lines{ "# timeout", "> ForceRemove", "# component ended" };
    EXPECT_EQ(expected, run.transcript) << "no 51st request, nothing after it; the server lived until ForceRemove";
    EXPECT_TRUE(RunningServers().empty());
}

TEST_F(ScriptsEndToEnd, RefusedDownloadMidScriptReportsErrorTwoAndNothingMoreRuns)
{
    VurhostRun run = Run({ "[DL]", "small.bin", "[ACTIONS]", "COPY:1;small.bin",
                           "[DL]", "text.txt_", "[ACTIONS]", "COPY:2;text.txt",
                           "[TEXT]", "1;never shown", "[END]" },
                         "--dlerr text.txt_");
    EXPECT_EQ(1, run.exitCode) << run.output;
    EXPECT_EQ(Opening() + Download("small.bin", 2) + RefusedDownload("text.txt_") +
                  ErrorEnding({ "FILE=text.txt_" }, 2),
              run.transcript);
    EXPECT_EQ((Lines{ "small.bin" }), FilesIn(install.Path()));
    EXPECT_TRUE(RunningServers().empty()) << "Unadvise ended the server";
}

TEST_F(ScriptsEndToEnd, CopiesInstallTheFileAndItsEntryThenNamesTheInstalledFile)
{
    VurhostRun run = Run({ "[DL]", "text.txt_", "window.bin", "plain.dll",
                           "[ACTIONS]",
                           "Md:1;sub",
                           "copy:1;sub\\text.txt",
                           // The install folder is read again by each command.
                           "REGISTRY:0;HKEY_LOCAL_MACHINE\\Software\\VUR;;S;" + Installed("sub\\"),
                           "COPY:2;window.bin",
                           "cOpY:3;plain.dll",
                           // Its source is the installed plain.dll, which the copy then deletes.
                           "COPY:3;moved.dll",
                           "dEl:3",
                           "[END]" });
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_EQ(Opening() + Download("text.txt_", 2) + Download("window.bin", 3) +
                  Download("plain.dll", 4) + ResultEnding(),
              run.transcript) << "keywords in any case; no message, no report";
    EXPECT_EQ((Lines{ "sub\\text.txt", "sub\\window.bin" }), FilesIn(install.Path()))
        << "plain.dll moved to moved.dll, which DEL:3 deleted";
    EXPECT_TRUE(SameBytes(FixtureBytes("text.txt"), Bytes(Installed("sub\\text.txt")))) << "expanded";
    EXPECT_TRUE(SameBytes(FixtureBytes("window.bin"), Bytes(Installed("sub\\window.bin")))) << "copied as it is";
}

TEST_F(ScriptsEndToEnd, FailedCopyReportsAndEndsTheScriptSilently)
{
    InstallFolderValue endingInABackslash(install.Path() + "\\", ServerRegistryView());
    VurhostRun run = Run({ "[DL]", "small.bin", "[ACTIONS]", "COPY:1;nofolder\\small.bin",
                           "[TEXT]", "1;never shown", "[END]" });
    EXPECT_EQ(1, run.exitCode) << run.output;
    EXPECT_EQ(Opening() + Download("small.bin", 2) +
                  ErrorEnding({ "SRCFILE=<downloads>\\2\\small.bin", "DSTFILE=" + Installed("nofolder\\small.bin") },
                              3),
              run.transcript) << "one backslash between folder and name; no SETMSG, no CmptOut: the server "
                                 "waited for the host";
    EXPECT_TRUE(Contains(run.output, "NUMERR = 3 (COPY failed)")) << run.output;
    EXPECT_EQ(Lines{}, FilesIn(install.Path()));
}

TEST_F(ScriptsEndToEnd, MakeFolderInTheInstallFolder)
{
    ASSERT_TRUE(CreateDirectoryA(Installed("data").c_str(), NULL));
    VurhostRun run = Run({ "[DL]", "small.bin", "[ACTIONS]", "MD:1;data", "MD:1;a\\b", "COPY:1;small.bin",
                           "[END]" });
    EXPECT_EQ(1, run.exitCode) << run.output;
    EXPECT_EQ(Opening() + Download("small.bin", 2) + ErrorEnding({ "DIR=" + Installed("a\\b") }, 6),
              run.transcript) << "an existing folder is no failure; a folder whose parent is missing is";
    EXPECT_TRUE(Contains(run.output, "NUMERR = 6 (MD failed to make a folder)")) << run.output;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Installed("data").c_str()));
    EXPECT_FALSE(FileExists(Installed("a")));
    EXPECT_EQ(Lines{}, FilesIn(install.Path())) << "the script ended at the failed MD";
}

TEST_F(ScriptsEndToEnd, CopyVerReplacesOnlyAnOlderVersion)
{
    enum Outcome { COPIED, KEPT, DELETED };
    static const struct {
        const char *pszName;
        const char *pszInstalled;   // fixture already in place, or none
        const char *pszVersion;     // as written after the name
        Outcome outcome;
    } s_rows[] = {
        { "older.dll", "ver_us_1015.dll", "1, 0, 1, 6", COPIED },
        { "equal.dll", "ver_us_1015.dll", "1, 0, 1, 5", KEPT },
        { "newer.dll", "ver_us_1015.dll", "1, 0, 1, 4", KEPT },
        { "noversion.dll", "plain.dll", "1, 0, 0, 0", COPIED },
        { "french.dll", "ver_fr_2000.dll", "2, 0, 0, 0;040C04E4", KEPT },
        // No FileVersion under the default 040904E4: replaced.
        { "french_us.dll", "ver_fr_2000.dll", "1, 0, 0, 0", COPIED },
        { "us_fr.dll", "ver_us_1015.dll", "1, 0, 0, 0;040C04E4", COPIED },
        { "missing.dll", NULL, "1, 0, 0, 0", COPIED },
        // Up to date, so not copied; still the entry names it, and DEL deletes it.
        { "deleted.dll", "ver_us_1015.dll", "1, 0, 1, 5", DELETED },
    };
    Lines script = { "[DL]" }, actions = { "[ACTIONS]" }, downloads, expectedFiles;
    int k = 0;
    for (const auto &row : s_rows) {
        k++;
        if (row.pszInstalled) {
            ASSERT_TRUE(CopyFileA((root + "\\" + row.pszInstalled).c_str(), Installed(row.pszName).c_str(), FALSE));
        }
        script.push_back("ver_us_950.dll");
        actions.push_back("COPYVER:" + std::to_string(k) + ";" + row.pszName + ";" + row.pszVersion);
        if (row.outcome == DELETED)
            actions.push_back("DEL:" + std::to_string(k));
        else
            expectedFiles.push_back(row.pszName);
        downloads = downloads + Download("ver_us_950.dll", k + 1);
    }
    std::sort(expectedFiles.begin(), expectedFiles.end());
    VurhostRun run = Run(script + actions + Lines{ "[END]" });
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_EQ(Opening() + downloads + ResultEnding(), run.transcript) << "every line succeeded";
    EXPECT_EQ(expectedFiles, FilesIn(install.Path()));
    for (const auto &row : s_rows) {
        if (row.outcome == DELETED)
            continue;
        SCOPED_TRACE(row.pszName);
        std::string expected = FixtureBytes(row.outcome == COPIED ? "ver_us_950.dll" : row.pszInstalled);
        EXPECT_TRUE(SameBytes(expected, Bytes(Installed(row.pszName))))
            << (row.outcome == COPIED ? "expected the download" : "expected the installed file kept");
    }
}

TEST_F(ScriptsEndToEnd, CopyDateReplacesOnlyAnOlderFileByTheDownloadsTime)
{
    std::string hostFile = dir / "host.bin";
    ASSERT_TRUE(WriteFileBytes(hostFile, "downloaded"));
    FILETIME ftHost = MakeUtcTime(2003, 4, 5, 6, 7, 8);
    SetLastWrite(hostFile, ftHost);
    const FILETIME ftGiven = MakeUtcTime(2005, 6, 10, 11, 0, 0);    // 10/06/2005 12:00:00, the hour one less
    const ULONGLONG kSecond = 10000000;
    static const char kGiven[] = "small.bin;10/06/2005 12:00:00";
    static const char kMidnight[] = "small.bin;01/01/2000 00:10:00";
    const struct {
        const char *pszName;
        std::string dlLine;
        bool bInstalledBefore;
        FILETIME ftInstalled;
        bool bCopied;
    } rows[] = {
        { "equal.bin", kGiven, true, ftGiven, false },
        { "older.bin", kGiven, true, U64ToFileTime(FileTimeToU64(ftGiven) - kSecond), true },
        { "newer.bin", kGiven, true, U64ToFileTime(FileTimeToU64(ftGiven) + kSecond), false },
        // An hour of 0 stays 0: the time is 00:10:00 on that day, not the evening before.
        { "midnight.bin", kMidnight, true, MakeUtcTime(2000, 1, 1, 0, 10, 0), false },
        { "midnight_older.bin", kMidnight, true, MakeUtcTime(2000, 1, 1, 0, 9, 59), true },
        // No time given: the download keeps the host's time, not the time of fetching.
        { "hosttime.bin", hostFile, true, U64ToFileTime(FileTimeToU64(ftHost) + kSecond), false },
        { "missing.bin", kGiven, false, {}, true },
    };
    Lines script = { "[DL]" }, actions = { "[ACTIONS]" }, downloads, expectedFiles;
    int k = 0;
    for (const auto &row : rows) {
        k++;
        if (row.bInstalledBefore) {
            ASSERT_TRUE(WriteFileBytes(Installed(row.pszName), "installed before"));
            SetLastWrite(Installed(row.pszName), row.ftInstalled);
        }
        script.push_back(row.dlLine);
        actions.push_back("COPYDATE:" + std::to_string(k) + ";" + row.pszName);
        downloads = downloads + Download(row.dlLine.substr(0, row.dlLine.find(';')), k + 1);
        expectedFiles.push_back(row.pszName);
    }
    std::sort(expectedFiles.begin(), expectedFiles.end());
    VurhostRun run = Run(script + actions + Lines{ "[END]" });
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_EQ(Opening() + downloads + ResultEnding(), run.transcript) << "every line succeeded";
    EXPECT_EQ(expectedFiles, FilesIn(install.Path()));
    for (const auto &row : rows) {
        SCOPED_TRACE(row.pszName);
        std::string bytes = Bytes(Installed(row.pszName));
        if (!row.bCopied) {
            EXPECT_EQ("installed before", bytes);
            EXPECT_EQ(FileTimeText(row.ftInstalled), FileTimeText(LastWrite(Installed(row.pszName))));
        } else {
            EXPECT_TRUE(SameBytes(FixtureBytes("small.bin"), bytes)) << "expected the download";
        }
    }
}

TEST_F(ScriptsEndToEnd, BadIndexesWarnAndLinesOutsideTheTableDoNothing)
{
    VurhostRun run = Run({ "[DL]", "small.bin", "text.txt_",
                           "[ACTIONS]",
                           "COPY:3;x.bin",
                           "COPY:-1;x.bin",
                           "COPY :1;x.bin",
                           "MOVE:1;x.bin",
                           "COPY:2;after.txt",
                           "[END]" });
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_EQ(Opening() + Download("small.bin", 2) + Download("text.txt_", 3) +
                  MessageBoxLine("3", "Installer - Copy file : index trop grand !") +
                  MessageBoxLine("-1", "Installer - Copy file : index trop grand !") + ResultEnding(),
              run.transcript) << "titled with the index as written; a blank before the colon or an unknown "
                                 "keyword: nothing at all";
    EXPECT_EQ((Lines{ "after.txt" }), FilesIn(install.Path())) << "the script went on after the messages";
}

TEST_F(ScriptsEndToEnd, RegistryLinesWriteNumbersAndTexts)
{
    const std::string key = std::string("HKEY_CURRENT_USER\\") + kKeyPath;
    VurhostRun run = Run({ "[ACTIONS]",
                           "REGISTRY:0;" + key + ";Count;I;12",
                           "registry:7;" + key + "\\Sub;Mode;s;a;b",
                           "Registry:-1;" + key + ";;S;default text",
                           "REGISTRY:0;" + key + ";Other;X;1",
                           "[END]" });
    EXPECT_EQ(0, run.exitCode) << run.output;
    EXPECT_EQ(Opening() + ResultEnding(), run.transcript) << "no index test, no message, no report";
    EXPECT_EQ("REG_DWORD:12", ReadTestValue(HKEY_CURRENT_USER, kKeyPath, "Count"));
    EXPECT_EQ("REG_SZ:a;b", ReadTestValue(HKEY_CURRENT_USER, std::string(kKeyPath) + "\\Sub", "Mode"))
        << "the data keeps its ';'; the missing key was made";
    EXPECT_EQ("REG_SZ:default text", ReadTestValue(HKEY_CURRENT_USER, kKeyPath, ""));
    EXPECT_EQ(2, CountValues(HKEY_CURRENT_USER, kKeyPath)) << "an unknown type writes nothing";
}

TEST_F(ScriptsEndToEnd, DownloadsFromEveryKindOfAddressAndA404)
{
    LocalHttpServer http(std::map<std::string, std::string>{ { "/files/served.txt", "served over http" } });
    ASSERT_FALSE(http.BaseUrl().empty()) << "the local HTTP server started";
    root = dir.Path();
    ASSERT_TRUE(CreateDirectoryA((dir / "rel").c_str(), NULL));
    ASSERT_TRUE(WriteFileBytes(dir / "rel\\relative.txt", "relative"));
    ASSERT_TRUE(WriteFileBytes(dir / "absolute.txt", "absolute"));
    ASSERT_TRUE(WriteFileBytes(dir / "viafile.txt", "via file:"));
    std::string fileUrl = "file:///" + (dir / "viafile.txt");
    std::replace(fileUrl.begin(), fileUrl.end(), '\\', '/');
    std::string served = http.BaseUrl() + "/files/served.txt";
    std::string missing = http.BaseUrl() + "/files/missing.txt";

    VurhostRun run = Run({ "[DL]", "rel/relative.txt", dir / "absolute.txt", fileUrl, served,
                           "[ACTIONS]", "COPY:1;relative.txt", "COPY:2;absolute.txt", "COPY:3;viafile.txt",
                           "COPY:4;served.txt",
                           "[DL]", missing, "[ACTIONS]", "COPY:5;never.txt", "[END]" });
    EXPECT_EQ(1, run.exitCode) << run.output;
    EXPECT_EQ(Opening() + Download("rel/relative.txt", 2) +
                  Download(dir / "absolute.txt", 3) + Download(fileUrl, 4) +
                  Download(served, 5) + RefusedDownload(missing) + ErrorEnding({ "FILE=" + missing }, 2),
              run.transcript);
    EXPECT_EQ(2, http.Requests());
    EXPECT_EQ((Lines{ "absolute.txt", "relative.txt", "served.txt", "viafile.txt" }), FilesIn(install.Path()));
    EXPECT_EQ("relative", Bytes(Installed("relative.txt")));
    EXPECT_EQ("absolute", Bytes(Installed("absolute.txt")));
    EXPECT_EQ("via file:", Bytes(Installed("viafile.txt")));
    EXPECT_EQ("served over http", Bytes(Installed("served.txt")));
}
