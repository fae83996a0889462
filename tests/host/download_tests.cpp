// [DL] lines: the requests sent to the host, the download table and the
// answers DLDONE and DLERR.
#include "support/harness.h"
#include "support/installfolder.h"
#include <gtest/gtest.h>

typedef std::vector<std::string> Calls;

static FILETIME LastWrite(const std::string &path)
{
    FILETIME ft = {};
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h != INVALID_HANDLE_VALUE) {
        GetFileTime(h, NULL, NULL, &ft);
        CloseHandle(h);
    }
    return ft;
}

static FILETIME Utc(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s)
{
    SYSTEMTIME st = {};
    st.wYear = y; st.wMonth = mo; st.wDay = d; st.wHour = h; st.wMinute = mi; st.wSecond = s;
    FILETIME ft = {};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

static bool SameTime(const FILETIME &a, const FILETIME &b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// The calls after the script's own download request.
static Calls RunCalls(InstallerHarness &h)
{
    Calls c = h.host.Calls();
    return c.size() > 2 ? Calls(c.begin() + 2, c.end()) : Calls();
}

TEST(DownloadLine, FieldsAsWrittenAndTheRunWaitsForTheAnswer)
{
    InstallerHarness h;
    std::string a = h.dir / "a.tmp", b = h.dir / "b.tmp", c = h.dir / "c.tmp";
    for (const std::string &f : { a, b, c })
        WriteFileBytes(f, "x");
    FILETIME ftHost = Utc(2001, 2, 3, 4, 5, 6);
    HANDLE hf = CreateFileA(a.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    SetFileTime(hf, NULL, NULL, &ftHost);
    CloseHandle(hf);

    h.Start("[DL]\nhttp://x/a\nhttp://x/b;25/12/1999 14:30:00;12;3\nhttp://x/c;;77\n[END]\n");
    ASSERT_TRUE(h.WaitForRunEnd());
    EXPECT_EQ((Calls{ "SetParameter URL=http://x/a", "ExecuteCmd DOWNLOAD" }), RunCalls(h))
        << "no SIZE without a third field; the run waits for the answer";
    EXPECT_EQ(1u, h.Object()->m_nDownloads);
    ASSERT_TRUE(h.AnswerDownload(a));
    ASSERT_TRUE(h.AnswerDownload(b));
    ASSERT_TRUE(h.AnswerDownload(c));
    ASSERT_TRUE(h.WaitForQuit());
    Calls calls = RunCalls(h);
    calls.resize(7);
    EXPECT_EQ((Calls{ "SetParameter URL=http://x/a", "ExecuteCmd DOWNLOAD",
                      "SetParameter URL=http://x/b", "SetParameter SIZE=12;3", "ExecuteCmd DOWNLOAD",
                      "SetParameter URL=http://x/c", "SetParameter SIZE=77" }),
              calls) << "an empty time field leaves the size alone";
    EXPECT_TRUE(SameTime(ftHost, LastWrite(a))) << "no time: the file keeps the host's time";
    EXPECT_TRUE(SameTime(Utc(1999, 12, 25, 13, 30, 0), LastWrite(b))) << "the hour counts one less";
    EXPECT_EQ(3u, h.Object()->m_nDownloads);
    EXPECT_EQ(b, h.Object()->m_aDownloads[1].szPath);
}

TEST(DownloadLine, FiftyPerUnitThenAMessageAndTheInstallStops)
{
    InstallerHarness h;
    std::string script = "[DL]\n";
    for (int i = 1; i <= 51; i++)
        script += "http://x/f" + std::to_string(i) + "\n";
    script += "[TEXT]\n1;after\n[END]\n";
    std::string f = h.dir / "f.tmp";
    h.Start(script);
    for (int i = 1; i <= 50; i++) {
        WriteFileBytes(f, "x");
        ASSERT_TRUE(h.AnswerDownload(f)) << i;
    }
    ASSERT_TRUE(h.WaitForRunEnd());
    h.host.PumpUntil([&] { return h.dialogs.Count() > 0; }, 5000);
    EXPECT_EQ((Calls{ " | Installer - Too many downloaded files in a [DL] section !" }), h.dialogs.Take());
    EXPECT_TRUE(h.host.Has("SetParameter URL=http://x/f50"));
    EXPECT_FALSE(h.host.Has("SetParameter URL=http://x/f51"));
    EXPECT_FALSE(h.host.Has("SetParameter TEXTMSG=after")) << "nothing runs after the 51st line";
    EXPECT_EQ(50u, h.Object()->m_nDownloads);
}

TEST(DownloadLine, EachInstallUnitNumbersFromOne)
{
    TempDir install;
    InstallFolderValue folder(install.Path());
    InstallerHarness h;
    std::string a = h.dir / "a.tmp", b = h.dir / "b.tmp";
    WriteFileBytes(a, "first");
    WriteFileBytes(b, "second");
    h.Start("[INSTALL]\n[DL]\nhttp://x/a\n[ACTIONS]\nCOPY:1;one.txt\n"
            "[INSTALL]\n[DL]\nhttp://x/b\n[ACTIONS]\nCOPY:1;two.txt\n[END]\n");
    ASSERT_TRUE(h.AnswerDownload(a));
    ASSERT_TRUE(h.AnswerDownload(b));
    ASSERT_TRUE(h.WaitForQuit());
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(install / "two.txt", &bytes));
    EXPECT_EQ("second", bytes) << "entry 1 of the second unit is its own first [DL] line";
}

TEST(DownloadLine, RefusedDownloadIsErrorTwoAndNothingMoreRuns)
{
    InstallerHarness h;
    h.Set("APPID", "5");
    std::string a = h.dir / "a.tmp";
    WriteFileBytes(a, "x");
    h.Start("[DL]\nhttp://x/a\nhttp://x/b\n[TEXT]\n1;after\n[END]\n");
    ASSERT_TRUE(h.AnswerDownload(a));
    ASSERT_TRUE(h.RefuseDownload("http://x/b"));
    h.host.PumpFor(100);
    Calls calls = h.host.Calls();
    Calls tail(calls.end() - 5, calls.end());
    EXPECT_EQ((Calls{ "SetParameter FILE=http://x/b", "SetParameter APPID=5", "SetParameter JOBID=0",
                      "SetParameter NUMERR=2", "ExecuteCmd SEND" }),
              tail);
    EXPECT_FALSE(h.host.Has("SetParameter TEXTMSG=after"));
    EXPECT_EQ(0u, h.Object()->m_dwThreadId);
    EXPECT_EQ(SECTION_DL, h.Object()->m_nSection) << "the install stays where it waited";
}
