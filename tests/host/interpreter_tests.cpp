// The interpreter run through the in-process host.
#include "harness.h"
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

TEST(ReportEnding, TextLinesThenReportThenCmptOut)
{
    InstallerHarness h;
    h.Set("RESURL2", "http://r2");
    h.Set("APPID", "7");
    h.Set("JOBID", "42");
    std::string path = h.Start("[TEXT]\r\n12;a;b\r\n[END]\r\n");
    ASSERT_TRUE(h.WaitForQuit());
    Calls expected = Concat(kInstallCalls, {
        "SetParameter TEXTMSG=a;b", "SetParameter NUMMSG=12", "ExecuteCmd SETMSG" });
    expected = Concat(expected, ReportCalls("http://r2", "", 7, 42));
    expected.push_back("CmptOut");
    EXPECT_EQ(expected, h.host.Calls());
    EXPECT_FALSE(FileExists(path)) << "the script is deleted at the end";
}
