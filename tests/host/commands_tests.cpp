// Commands the host sends, and the messages they send back.
#include "support/harness.h"
#include <gtest/gtest.h>

typedef std::vector<std::string> Calls;

TEST(ExecuteCmd, InstallAsksForTheScriptEvenWithEmptyFile)
{
    InstallerHarness h;
    h.Object()->m_nSection = SECTION_TEXT;
    h.Command("Install");
    EXPECT_EQ(SECTION_NONE, h.Object()->m_nSection);
    EXPECT_EQ((Calls{ "SetParameter URL=", "ExecuteCmd DOWNLOAD" }), h.host.Take());
    h.Set("FILE", "http://x/s.txt");
    h.Command("INSTALL");
    EXPECT_EQ((Calls{ "SetParameter URL=http://x/s.txt", "ExecuteCmd DOWNLOAD" }), h.host.Take());
}

TEST(ExecuteCmd, UnknownNamesDoNothing)
{
    InstallerHarness h;
    for (const char *name : { "DOWNLOAD", "SEND", "INSTALLX", "", "dldone " }) {
        SCOPED_TRACE(name);
        h.Command(name);
    }
    EXPECT_EQ(S_OK, h.Object()->ExecuteCmd(NULL));
    h.host.PumpFor(50);
    EXPECT_TRUE(h.host.Calls().empty());
    EXPECT_EQ(0u, h.dialogs.Count());
}

TEST(ExecuteCmd, ScriptThatCannotBeOpenedIsErrorOne)
{
    InstallerHarness h;
    h.Set("APPID", "3");
    h.Set("JOBID", "4");
    h.Set("ERRURL", "http://err");
    std::string missing = h.dir / "missing.txt";
    h.Set("DLPATH", missing);
    h.Command("DLDONE");
    EXPECT_EQ((Calls{ "SetParameter FILE=" + missing, "SetParameter APPID=3", "SetParameter JOBID=4",
                      "SetParameter NUMERR=1", "SetParameter TURL=http://err", "ExecuteCmd SEND" }),
              h.host.Take());
    EXPECT_EQ(SECTION_NONE, h.Object()->m_nSection);
    EXPECT_EQ(0u, h.Object()->m_dwThreadId) << "no run starts";
}

TEST(ExecuteCmd, ScriptHeldOpenByAnotherProgramCannotBeOpened)
{
    InstallerHarness h;
    std::string path = h.dir / "held.txt";
    WriteFileBytes(path, "[END]\n");
    HANDLE hHeld = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHeld);
    h.Set("DLPATH", path);
    h.Command("DLDONE");
    CloseHandle(hHeld);
    Calls calls = h.host.Take();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("SetParameter FILE=" + path, calls[0]);
    EXPECT_EQ("SetParameter NUMERR=1", calls[3]);
}

TEST(ExecuteCmd, DownloadErrorIsErrorTwoWithFrame)
{
    InstallerHarness h;
    h.Set("DLURL", "http://x/a.dll");
    h.Set("ERRFRM", "main");
    h.Command("DLERR");
    EXPECT_EQ((Calls{ "SetParameter FILE=http://x/a.dll", "SetParameter APPID=0", "SetParameter JOBID=0",
                      "SetParameter NUMERR=2", "SetParameter BFRM=main", "ExecuteCmd SEND" }),
              h.host.Take());
}

TEST(ExecuteCmd, FileArrivingUnaskedShowsAMessageBox)
{
    InstallerHarness h;
    h.Object()->m_nSection = SECTION_DL;    // a script is loaded, no [DL] request out
    h.Set("DLPATH", h.dir / "x.dll");
    h.Command("DLDONE");
    EXPECT_EQ((Calls{ "VUR installer - Erreur | Fichier re\xE7u alors que non demand\xE9 !" }), h.dialogs.Take());
    EXPECT_TRUE(h.host.Calls().empty());
    EXPECT_EQ(0u, h.Object()->m_dwThreadId);
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
