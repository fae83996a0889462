// Section state and the two skip flags, seen through which [TEXT] lines
// reach the host and which result page is reported.
#include "support/harness.h"
#include <gtest/gtest.h>

// The texts shown by a run, and whether RESURL1 (installed) was reported.
struct RunResult {
    std::vector<std::string> texts;
    bool bInstalled;
};

// bTestHeld presets the outcome of the last test line, as a [TEST] section
// whose lines all held leaves it.
static RunResult RunScriptText(const std::string &script, bool bTestHeld = false)
{
    InstallerHarness h;
    h.Set("RESURL1", "r1");
    h.Set("RESURL2", "r2");
    h.Object()->m_bTestResult = bTestHeld ? 1 : 0;
    h.Start(script);
    EXPECT_TRUE(h.WaitForQuit());
    RunResult r;
    r.bInstalled = false;
    for (const std::string &c : h.host.Calls()) {
        if (c.compare(0, 21, "SetParameter TEXTMSG=") == 0 && c.size() > 21)
            r.texts.push_back(c.substr(21));
        if (c == "SetParameter TURL=r1")
            r.bInstalled = true;
    }
    return r;
}

typedef std::vector<std::string> Texts;

TEST(Sections, HeldTestSkipsTheUnitUpToRequiredActions)
{
    RunResult r = RunScriptText("[TEXT]\n1;before\n"
                      "[DL]\nhttp://x/a.dll\n"
                      "[TEXT]\n1;skipped text\n"
                      "[ACTIONS]\nCOPY:1;a.dll\n"
                      "[TEST]\n[TEXT]\n1;skipped after test\n"
                      "[REQUIRED_ACTIONS]\n"
                      "[TEXT]\n1;required\n[END]\n", true);
    EXPECT_EQ((Texts{ "before", "required" }), r.texts);
    EXPECT_FALSE(r.bInstalled) << "nothing of the unit ran: RESURL2";
}

TEST(Sections, InstallHeaderEndsTheSkippedUnit)
{
    RunResult r = RunScriptText("[TEST]\n[TEXT]\n1;skipped\n[INSTALL]\n[TEXT]\n1;next unit\n[END]\n", true);
    EXPECT_EQ((Texts{ "next unit" }), r.texts);
}

TEST(Sections, FailedTestLineSilencesTextUntilDlTestOrActions)
{
    for (const char *reopen : { "[DL]", "[TEST]", "[ACTIONS]" }) {
        SCOPED_TRACE(reopen);
        // A content line under [TEST] before any kind header does not hold.
        RunResult r = RunScriptText(std::string("[TEST]\nnot a test\n[REGISTRY]\n"
                                      "[TEXT]\n1;silenced\n[REQUIRED_ACTIONS]\n[TEXT]\n1;silenced too\n") +
                          reopen + "\n[TEXT]\n1;shown\n[END]\n");
        EXPECT_EQ((Texts{ "shown" }), r.texts);
    }
}

TEST(Sections, TestThatDoesNotHoldLetsTheUnitRun)
{
    RunResult r = RunScriptText("[TEST]\nnot a test\n[DL]\n[TEXT]\n1;unit runs\n[END]\n");
    EXPECT_EQ((Texts{ "unit runs" }), r.texts);
    EXPECT_TRUE(r.bInstalled) << "a [DL] header reached with no test holding";
}

TEST(Sections, WhatCountsAsInstallationWork)
{
    EXPECT_TRUE(RunScriptText("[ACTIONS]\nunknown:1\n[END]\n").bInstalled) << "an [ACTIONS] line";
    EXPECT_FALSE(RunScriptText("[REQUIRED_ACTIONS]\nunknown:1\n[END]\n").bInstalled) << "a [REQUIRED_ACTIONS] line";
    EXPECT_FALSE(RunScriptText("[INSTALL]\n[TEXT]\n1;a\n[END]\n").bInstalled);
    EXPECT_FALSE(RunScriptText("[DL]\n[END]\n", true).bInstalled) << "a [DL] header skipped by a held test";
    // The flag belongs to the whole script: a later unit that is skipped
    // does not take it back.
    EXPECT_TRUE(RunScriptText("[INSTALL]\n[DL]\n[INSTALL]\n[TEST]\n[END]\n").bInstalled);
}

TEST(Sections, KindHeadersSetTheTestKind)
{
    struct Row { const char *header; LONG kind; } rows[] = {
        { "[REGISTRY]", TESTKIND_REGISTRY }, { "[plugin]", TESTKIND_PLUGIN }, { "[File]", TESTKIND_FILE },
        { "[FILEDATE]", TESTKIND_FILEDATE }, { "[FILEVER]", TESTKIND_FILEVER },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.header);
        InstallerHarness h;
        h.Start(std::string("[TEST]\n") + row.header + "\n[END]\n");
        ASSERT_TRUE(h.WaitForQuit());
        EXPECT_EQ(row.kind, h.Object()->m_nTestKind);
    }
}
