// The host's side of the object where no end-to-end run reaches: null
// BSTRs, callbacks replaced or dropped, a stop at any moment of a run.
// Parameter and command names, numbers, field bounds and a script that
// cannot be opened are cases of tests/script/cases.txt; the error reports,
// the refused DLDONE, a stop inside a call or while a message box waits run
// end to end in tests/e2e.
#include "support/harness.h"
#include "support/testmain.h"
#include "host/bstr.h"
#include <gtest/gtest.h>

TEST(SetParameter, NullsChangeNoTextAndLatin1ArrivesAsCodePage1252)
{
    InstallerHarness h;
    Installer *p = h.Object();
    // NULL names and values, Latin-1 text up to its NUL, and GetParameter,
    // which gives nothing.
    h.Set("FILE", "kept");
    h.Set("JOBID", "9");
    for (const wchar_t *pszName : { L"FILE", L"JOBID", L"RESURL1" }) {
        BSTR name = SysAllocString(pszName), value = SysAllocStringLen(L"d\x00e9j\x00e0\0x", 6);
        EXPECT_EQ(S_OK, p->SetParameter(name, pszName[0] == L'R' ? value : NULL));
        BSTR got = value;
        EXPECT_EQ(S_OK, p->GetParameter(name, &got));
        EXPECT_EQ(nullptr, got) << "GetParameter gives a null value";
        SysFreeString(value);
        SysFreeString(name);
    }
    EXPECT_STREQ("kept", p->m_szFile) << "a null value leaves a text field";
    EXPECT_EQ(0, p->m_lJobId) << "and reads as number 0";
    EXPECT_STREQ("d\xE9j\xE0", p->m_szResUrl1) << "Latin-1 text arrives as code page 1252 bytes, up to the NUL";
    EXPECT_EQ(S_OK, p->SetParameter(NULL, NULL));
    EXPECT_EQ(S_OK, p->GetParameter(NULL, NULL));
    EXPECT_EQ(S_OK, p->ExecuteCmd(NULL));
    BSTR b = ToBstr("AB");
    EXPECT_EQ(3u, SysStringLen(b)) << "the BSTRs sent to the host count their NUL";
    SysFreeString(b);
}

TEST(Advise, SecondCallbackReplacesTheFirstAndUnadviseWhileClosingBrowsersOnlyDropsIt)
{
    InstallerHarness h;
    RecordingHost second;
    unsigned long dwCookie = 5;
    LONG cFirst = h.host.RefCount();
    EXPECT_EQ(S_OK, h.Object()->Advise(&second, &dwCookie));
    EXPECT_EQ(0u, dwCookie);
    EXPECT_EQ(cFirst - 1, h.host.RefCount()) << "the first callback is released";
    h.Start("[END]\n");
    ASSERT_TRUE(h.WaitForQuit());
    EXPECT_TRUE(h.host.Calls().empty()) << "nothing reaches the first host";
    EXPECT_TRUE(second.Has("CmptOut"));
    h.host.ResetQuit();
    g_bClosingBrowser = 1;
    h.Object()->Unadvise(0);
    g_bClosingBrowser = 0;
    EXPECT_EQ(nullptr, h.Object()->m_pCallback);
    EXPECT_EQ(1, second.RefCount()) << "Unadvise while closing browsers only drops the callback";
    h.host.PumpFor(100);
    EXPECT_FALSE(h.host.QuitSeen());
}

// Unadvise takes the callback away, ForceRemove leaves it until Unadvise;
// both stop the run before they return, without its ending. Right after
// INSTALL the quit may reach the new thread before it has a message queue:
// rounds 2 to 11 stop it there.
TEST(UnadviseAndForceRemove, StopARunWithoutItsEnding)
{
    std::string script = "[TEXT]\n";
    for (int n = 0; n < 20000; n++)
        script += std::to_string(n) + ";line\n";
    for (int i = 0; i < 12; i++) {
        bool bUnadvise = i == 0, bAtOnce = i > 1;
        SCOPED_TRACE(i);
        InstallerHarness h;
        h.Set("RESURL2", "http://r2");
        std::string path = h.Start(script + "[END]\n");
        if (!bAtOnce) {
            ASSERT_TRUE(h.host.PumpUntil([&] { return h.host.CallCount() > 30; }));
            ASSERT_NE(0u, h.Object()->m_dwThreadId);
        }
        EXPECT_EQ(S_OK, bUnadvise ? h.Object()->Unadvise(0) : h.Object()->ForceRemove());
        EXPECT_EQ(0u, h.Object()->m_dwThreadId);
        EXPECT_TRUE(h.WaitForQuit(2000));
        size_t nCalls = h.host.CallCount();
        h.host.PumpFor(bAtOnce ? 20 : 100);
        EXPECT_EQ(nCalls, h.host.CallCount()) << "nothing is sent after the stop";
        EXPECT_FALSE(h.host.Has("ExecuteCmd SEND"));
        EXPECT_FALSE(h.host.Has("CmptOut"));
        EXPECT_TRUE(FileExists(path)) << "the script file stays";
        EXPECT_TRUE(bAtOnce || h.Object()->m_nSection == SECTION_TEXT) << "the interpreter stays where it stopped";
        EXPECT_EQ(nullptr, h.Object()->m_pThreadCallback);
        EXPECT_EQ(bUnadvise, h.Object()->m_pCallback == nullptr);
    }
}

// A program that waits until the test lets it go.
VUR_CHILD_MODE(waitforrelease)
{
    WaitForTestRelease("VurExecRelease", 60000);
    HANDLE hEnded = OpenEventA(EVENT_MODIFY_STATE, FALSE, "VurExecEnded");
    BOOL bSet = SetEvent(hEnded);
    CloseHandle(hEnded);
    return !bSet;
}

TEST(ForceRemove, StopWhileExecWaitsEndsTheRunWithoutAnError)
{
    HANDLE hRelease = CreateEventA(NULL, TRUE, FALSE, "VurExecRelease");
    HANDLE hEnded = CreateEventA(NULL, TRUE, FALSE, "VurExecEnded");
    InstallerHarness h;
    h.Start("[DL]\nhttp://x/p.exe\n[REQUIRED_ACTIONS]\nEXEC:1;p --child=waitforrelease\n[TEXT]\n1;after\n[END]\n");
    ASSERT_TRUE(h.AnswerDownload(ThisProgramPath()));
    h.host.PumpFor(500);
    EXPECT_NE(0u, h.Object()->m_dwThreadId) << "EXEC is waiting for the program";
    h.Object()->ForceRemove();
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(hEnded, 0)) << "ForceRemove waited for the program";
    EXPECT_TRUE(h.WaitForQuit(2000));
    EXPECT_FALSE(h.host.Has("SetParameter NUMERR=4"));
    EXPECT_FALSE(h.host.Has("SetParameter TEXTMSG=after"));
    SetEvent(hRelease);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hEnded, 10000)) << "the program went on and ended when let go";
    CloseHandle(hRelease);
    CloseHandle(hEnded);
}
