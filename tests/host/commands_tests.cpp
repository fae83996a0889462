// Commands the host sends and how it ends an install and the server; the
// error reports and the refused DLDONE are shown end to end in tests/server.
#include "support/harness.h"
#include <gtest/gtest.h>

typedef std::vector<std::string> Calls;

static std::string LongTextScript(int nLines)
{
    std::string s = "[TEXT]\n";
    for (int i = 0; i < nLines; i++)
        s += std::to_string(i) + ";line\n";
    return s + "[END]\n";
}

TEST(ExecuteCmd, InstallAsksForTheScriptEvenWithEmptyFileAndUnknownNamesDoNothing)
{
    InstallerHarness h;
    h.Object()->m_nSection = SECTION_TEXT;
    h.Command("Install");
    EXPECT_EQ(SECTION_NONE, h.Object()->m_nSection);
    EXPECT_EQ((Calls{ "SetParameter URL=", "ExecuteCmd DOWNLOAD" }), h.host.Take());
    for (const char *name : { "DOWNLOAD", "SEND", "INSTALLX", "", "dldone " })
        h.Command(name);
    EXPECT_EQ(S_OK, h.Object()->ExecuteCmd(NULL));
    h.host.PumpFor(50);
    EXPECT_TRUE(h.host.Calls().empty());
    EXPECT_EQ(0u, h.dialogs.Count());
}

// Share mode 0 for the script: one held open by another program cannot be
// opened, as one that is missing.
TEST(ExecuteCmd, ScriptThatCannotBeOpenedIsErrorOne)
{
    InstallerHarness h;
    std::string held = h.dir / "held.txt";
    WriteFileBytes(held, "[END]\n");
    HANDLE hHeld = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHeld);
    h.Set("ERRURL", "http://err");
    for (const std::string &path : { h.dir / "missing.txt", held }) {
        h.Set("DLPATH", path);
        h.Command("DLDONE");
        EXPECT_EQ((Calls{ "SetParameter FILE=" + path, "SetParameter APPID=0", "SetParameter JOBID=0",
                          "SetParameter NUMERR=1", "SetParameter TURL=http://err", "ExecuteCmd SEND" }),
                  h.host.Take());
        EXPECT_EQ(0u, h.Object()->m_dwThreadId) << "no run starts";
    }
    CloseHandle(hHeld);
}

TEST(Advise, SecondCallbackReplacesTheFirst)
{
    InstallerHarness h;
    RecordingHost second;
    unsigned long dwCookie = 5;
    LONG cFirst = h.host.RefCount();
    EXPECT_EQ(S_OK, h.Object()->Advise(&second, &dwCookie));
    EXPECT_EQ(0u, dwCookie);
    EXPECT_EQ(cFirst - 1, h.host.RefCount()) << "the first callback is released";
    h.Set("RESURL2", "http://r2");
    h.Start("[TEXT]\n1;hello\n[END]\n");
    ASSERT_TRUE(h.WaitForQuit());
    EXPECT_TRUE(h.host.Calls().empty()) << "nothing reaches the first host";
    EXPECT_TRUE(second.Has("SetParameter TEXTMSG=hello"));
    EXPECT_TRUE(second.Has("CmptOut"));
    h.Object()->Advise(NULL, NULL);
    EXPECT_EQ(1, second.RefCount()) << "Advise(NULL) drops the callback";
}

TEST(Unadvise, WhileClosingBrowsersOnlyDropsTheCallback)
{
    InstallerHarness h;
    LONG cBefore = h.host.RefCount();
    g_bClosingBrowser = 1;
    h.Object()->Unadvise(0);
    g_bClosingBrowser = 0;
    EXPECT_EQ(nullptr, h.Object()->m_pCallback);
    EXPECT_EQ(cBefore - 1, h.host.RefCount());
    h.host.PumpFor(100);
    EXPECT_FALSE(h.host.QuitSeen());
}

// Unadvise takes the callback away, ForceRemove leaves it until Unadvise;
// both stop the run before they return, without its ending.
TEST(UnadviseAndForceRemove, StopARunWithoutItsEnding)
{
    for (bool bUnadvise : { true, false }) {
        SCOPED_TRACE(bUnadvise ? "Unadvise" : "ForceRemove");
        InstallerHarness h;
        h.Set("RESURL2", "http://r2");
        std::string path = h.Start(LongTextScript(20000));
        ASSERT_TRUE(h.host.PumpUntil([&] { return h.host.CallCount() > 30; }));
        ASSERT_NE(0u, h.Object()->m_dwThreadId);
        EXPECT_EQ(S_OK, bUnadvise ? h.Object()->Unadvise(0) : h.Object()->ForceRemove());
        EXPECT_EQ(0u, h.Object()->m_dwThreadId);
        EXPECT_TRUE(h.WaitForQuit(2000));
        size_t nCalls = h.host.CallCount();
        h.host.PumpFor(100);
        EXPECT_EQ(nCalls, h.host.CallCount()) << "nothing is sent after the stop";
        EXPECT_FALSE(h.host.Has("ExecuteCmd SEND"));
        EXPECT_FALSE(h.host.Has("CmptOut"));
        EXPECT_TRUE(FileExists(path)) << "the script file stays";
        EXPECT_EQ(SECTION_TEXT, h.Object()->m_nSection) << "the interpreter stays where it stopped";
        EXPECT_TRUE(h.Object()->m_bAbort);
        EXPECT_EQ(nullptr, h.Object()->m_pThreadCallback);
        EXPECT_EQ(bUnadvise, h.Object()->m_pCallback == nullptr);
    }
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
