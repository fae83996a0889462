// The interpreter run through the in-process host: line reading, headers,
// [TEXT] lines and the report ending.
#include "support/harness.h"
#include <gtest/gtest.h>

typedef std::vector<std::string> Calls;

static Calls Concat(Calls a, const Calls &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

static const Calls kInstallCalls = {
    "SetParameter URL=http://example.invalid/script.txt", "ExecuteCmd DOWNLOAD",
};

static Calls Text(const char *pszText, const char *pszNumber)
{
    return { std::string("SetParameter TEXTMSG=") + pszText, std::string("SetParameter NUMMSG=") + pszNumber,
             "ExecuteCmd SETMSG" };
}

// Runs a script to its end and gives the calls of the run only (the
// script's own messages and the report), without the INSTALL request.
static Calls RunToEnd(InstallerHarness &h, const std::string &script)
{
    h.Start(script);
    EXPECT_TRUE(h.WaitForQuit()) << "the server end is asked for";
    Calls calls = h.host.Calls();
    if (calls.size() >= 2 && Calls(calls.begin(), calls.begin() + 2) == kInstallCalls)
        calls.erase(calls.begin(), calls.begin() + 2);
    return calls;
}

TEST(ReportEnding, TextLinesThenReportThenCmptOut)
{
    InstallerHarness h;
    h.Set("RESURL2", "http://r2");
    h.Set("APPID", "7");
    h.Set("JOBID", "42");
    std::string path = h.Start("[TEXT]\r\n12;a;b\r\n[END]\r\n");
    ASSERT_TRUE(h.WaitForQuit());
    Calls expected = Concat(kInstallCalls, Text("a;b", "12"));
    expected = Concat(expected, ReportCalls("http://r2", "", 7, 42));
    expected.push_back("CmptOut");
    EXPECT_EQ(expected, h.host.Calls());
    EXPECT_FALSE(FileExists(path)) << "the script is deleted at the end";
    EXPECT_EQ(SECTION_NONE, h.Object()->m_nSection);
    EXPECT_EQ(nullptr, h.Object()->m_pScript);
    EXPECT_EQ(nullptr, h.Object()->m_pThreadCallback);
    EXPECT_EQ(nullptr, h.Object()->m_hEvent);
}

TEST(ReportEnding, ResultPageByInstallationWorkAndNoSendWithoutAPage)
{
    struct Row {
        const char *resUrl1, *resFrm1, *resUrl2, *resFrm2, *script, *turl, *frame, *why;
    } rows[] = {
        { "http://r1", "frame1", "http://r2", "frame2", "[INSTALL]\n[DL]\n[END]\n", "http://r1", "frame1",
          "a [DL] header with no test holding: installed" },
        { "http://r1", "", "http://r2", "f2", "[END]\n", "http://r2", "f2", "nothing installed" },
        { "", "f1", "http://r2", "", "[INSTALL]\n[DL]\n[END]\n", "", "", "installed, but RESURL1 is empty" },
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.why);
        InstallerHarness h;
        h.Set("RESURL1", r.resUrl1);
        h.Set("RESFRM1", r.resFrm1);
        h.Set("RESURL2", r.resUrl2);
        h.Set("RESFRM2", r.resFrm2);
        Calls expected = ReportCalls(r.turl, r.frame);
        expected.push_back("CmptOut");
        EXPECT_EQ(expected, RunToEnd(h, r.script));
    }
}

TEST(TextLine, NumberAndTextSplitAtTheFirstSemicolon)
{
    InstallerHarness h;
    Calls calls = RunToEnd(h, "[TEXT]\n12;a;b\nhello\n7\n-3;\n;x\n 5 ;  t  \n[END]\n");
    Calls expected = Concat(Text("a;b", "12"), Text("", "0"));
    expected = Concat(expected, Text("", "7"));
    expected = Concat(expected, Text("", "-3"));
    expected = Concat(expected, Text("x", "0"));
    expected = Concat(expected, Text("  t", "5"));   // fields are not trimmed again
    expected = Concat(expected, ReportCalls("", ""));
    expected.push_back("CmptOut");
    EXPECT_EQ(expected, calls);
}

TEST(LineReader, LineEndsBlanksAndCommentsReadTheSame)
{
    const char *scripts[] = {
        "[TEXT]\r\n1;a\r\n2;b//c\r\n[END]\r\n",
        "[TEXT]\n1;a\n2;b//c\n[END]\n",
        "[TEXT]\r1;a\r2;b//c\r[END]",
        "\n\n  \r\n[TEXT]\n\n   \n1;a\n// comment\n   // indented comment\n//\n2;b//c\n\r\n[END]\n",
        "  [TEXT]  \n  1;a  \n2;b//c\n  [END]",
    };
    Calls expected = Concat(Text("a", "1"), Text("b//c", "2"));
    expected = Concat(expected, ReportCalls("", ""));
    expected.push_back("CmptOut");
    for (size_t i = 0; i < sizeof scripts / sizeof scripts[0]; i++) {
        SCOPED_TRACE(i);
        InstallerHarness h;
        EXPECT_EQ(expected, RunToEnd(h, scripts[i]));
    }
}

TEST(LineReader, HeadersAreWholeLinesInAnyCase)
{
    InstallerHarness h;
    Calls calls = RunToEnd(h,
        "1;before any header\n"
        "[install]\n"
        "2;in install\n"
        "[Text]\n"
        "3;shown\n"
        "\t[END]\n"             // a tab is not trimmed: a content line
        "[END] now\n"           // a header with more on its line is content
        "[end]\n"
        "4;after end\n");
    Calls expected = Concat(Text("shown", "3"), Text("", "0"));
    expected = Concat(expected, Text("", "0"));
    expected = Concat(expected, ReportCalls("", ""));
    expected.push_back("CmptOut");
    EXPECT_EQ(expected, calls);
}

TEST(LineReader, ANulByteEndsTheText)
{
    InstallerHarness h;
    std::string script("[TEXT]\n1;a\n", 11);
    script += std::string(1, '\0') + "2;b\n[END]\n";
    Calls calls = RunToEnd(h, script);
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(Text("a", "1"), Calls(calls.begin(), calls.begin() + 3));
    EXPECT_FALSE(h.host.Has("SetParameter TEXTMSG=b"));
}

// Our choice for a script whose text ends without [END]: the run ends as if
// the [END] line had been read (script deleted, report sent, server ends).
TEST(LineReader, MissingEndLineEndsLikeEnd)
{
    for (const char *script : { "[TEXT]\n1;a", "[TEXT]\n1;a\n\n  \n", "", "  \r\n" }) {
        SCOPED_TRACE(script);
        InstallerHarness h;
        h.Set("RESURL2", "http://r2");
        std::string path = h.Start(script);
        ASSERT_TRUE(h.WaitForQuit(5000)) << "the run must not spin";
        EXPECT_TRUE(h.host.Has("ExecuteCmd SEND"));
        EXPECT_TRUE(h.host.Has("CmptOut"));
        EXPECT_FALSE(FileExists(path));
    }
}

TEST(ScriptLoading, LoadingClearsInstalledAndAfterTheEndANewScriptCanCome)
{
    InstallerHarness h;
    h.Set("RESURL1", "http://r1");
    h.Set("RESURL2", "http://r2");
    h.Start("[INSTALL]\n[DL]\n[END]\n");
    ASSERT_TRUE(h.WaitForQuit());
    EXPECT_TRUE(h.host.Has("SetParameter TURL=http://r1"));
    h.host.Take();
    h.host.ResetQuit();
    EXPECT_EQ(SECTION_NONE, h.Object()->m_nSection);
    h.Start("[END]\n");
    ASSERT_TRUE(h.WaitForQuit());
    EXPECT_TRUE(h.host.Has("SetParameter TURL=http://r2")) << "m_bInstalled starts at 0 for each script";
}
