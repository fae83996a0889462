// Unadvise and ForceRemove: how the host ends an install and the server.
#include "support/harness.h"
#include <gtest/gtest.h>
#include <algorithm>

static std::string LongTextScript(int nLines)
{
    std::string s = "[TEXT]\n";
    for (int i = 0; i < nLines; i++)
        s += std::to_string(i) + ";line\n";
    return s + "[END]\n";
}

static bool HasCall(const std::vector<std::string> &calls, const char *call)
{
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

TEST(Unadvise, WithoutARunEndsTheServerAtOnce)
{
    InstallerHarness h;
    LONG cBefore = h.host.RefCount();
    EXPECT_EQ(S_OK, h.Object()->Unadvise(12345));
    EXPECT_EQ(nullptr, h.Object()->m_pCallback);
    EXPECT_EQ(cBefore - 1, h.host.RefCount());
    EXPECT_TRUE(h.WaitForQuit(2000)) << "WM_QUIT posted to the main thread";
}

TEST(Unadvise, WhileClosingBrowsersOnlyDropsTheCallback)
{
    InstallerHarness h;
    g_bClosingBrowser = 1;
    h.Object()->Unadvise(0);
    g_bClosingBrowser = 0;
    EXPECT_EQ(nullptr, h.Object()->m_pCallback);
    h.host.PumpFor(100);
    EXPECT_FALSE(h.host.QuitSeen());
}

TEST(Unadvise, DuringARunTakesTheCallbackAwayAndStopsTheRun)
{
    InstallerHarness h;
    h.Set("RESURL2", "http://r2");
    std::string path = h.Start(LongTextScript(20000));
    ASSERT_TRUE(h.host.PumpUntil([&] { return h.host.CallCount() > 30; }));
    ASSERT_NE(0u, h.Object()->m_dwThreadId);
    h.Object()->Unadvise(0);
    EXPECT_EQ(0u, h.Object()->m_dwThreadId) << "the run was stopped before Unadvise returned";
    EXPECT_TRUE(h.WaitForQuit(2000));
    h.host.PumpFor(50);
    std::vector<std::string> calls = h.host.Calls();
    EXPECT_FALSE(HasCall(calls, "ExecuteCmd SEND"));
    EXPECT_FALSE(HasCall(calls, "CmptOut"));
    EXPECT_TRUE(FileExists(path)) << "a stopped run keeps its script";
}

TEST(ForceRemove, StopsARunWithoutItsEnding)
{
    InstallerHarness h;
    h.Set("RESURL2", "http://r2");
    std::string path = h.Start(LongTextScript(20000));
    ASSERT_TRUE(h.host.PumpUntil([&] { return h.host.CallCount() > 30; }));
    EXPECT_EQ(S_OK, h.Object()->ForceRemove());
    EXPECT_EQ(0u, h.Object()->m_dwThreadId);
    EXPECT_TRUE(h.WaitForQuit(2000));
    size_t nCalls = h.host.CallCount();
    h.host.PumpFor(100);
    EXPECT_EQ(nCalls, h.host.CallCount()) << "nothing is sent after the stop";
    std::vector<std::string> calls = h.host.Calls();
    EXPECT_FALSE(HasCall(calls, "ExecuteCmd SEND"));
    EXPECT_FALSE(HasCall(calls, "CmptOut"));
    EXPECT_TRUE(FileExists(path)) << "the script file stays";
    EXPECT_EQ(SECTION_TEXT, h.Object()->m_nSection) << "the interpreter stays where it stopped";
    EXPECT_TRUE(h.Object()->m_bAbort);
    EXPECT_EQ(nullptr, h.Object()->m_pThreadCallback);
}

TEST(ForceRemove, WithoutARunOnlyEndsTheServer)
{
    InstallerHarness h;
    EXPECT_EQ(S_OK, h.Object()->ForceRemove());
    EXPECT_TRUE(h.WaitForQuit(2000));
    EXPECT_TRUE(h.host.Calls().empty());
    EXPECT_NE(nullptr, h.Object()->m_pCallback) << "the callback stays until Unadvise";
}

TEST(ForceRemove, StopsARunRightAfterItStarted)
{
    // The quit may reach the new thread before it has a message queue.
    for (int i = 0; i < 20; i++) {
        SCOPED_TRACE(i);
        InstallerHarness h;
        h.Start(LongTextScript(200));
        h.Object()->ForceRemove();
        EXPECT_EQ(0u, h.Object()->m_dwThreadId);
        EXPECT_TRUE(h.WaitForQuit(2000));
        EXPECT_FALSE(h.host.Has("CmptOut"));
    }
}

TEST(ForceRemove, EndsARunWaitingInAMessageBox)
{
    InstallerHarness h;
    h.dialogs.SetAutoDismiss(false);
    std::string script = "[DL]\n";
    for (int i = 1; i <= 51; i++)
        script += "http://x/f" + std::to_string(i) + "\n";
    h.Start(script + "[END]\n");
    std::string f = h.dir / "f.tmp";
    for (int i = 1; i <= 50; i++) {
        WriteFileBytes(f, "x");
        ASSERT_TRUE(h.AnswerDownload(f)) << i;
    }
    ASSERT_TRUE(h.host.PumpUntil([&] { return h.dialogs.Count() > 0; }, 5000)) << "the 51st line's message";
    // A stop that waited for the box to be closed by hand would hang here.
    h.Object()->ForceRemove();
    EXPECT_EQ(0u, h.Object()->m_dwThreadId);
    EXPECT_TRUE(h.WaitForQuit(2000));
}
