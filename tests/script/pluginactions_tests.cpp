// Program and plug-in commands through the in-process host, with the
// plug-in folder table filled by the test (the patch list grammar is in
// texthelpers.txt, COPYPLUGIN's index list in cases.txt): where copies
// land, a destination too long, and a stop while EXEC waits. A copy failing
// half way, the closing of browsers and the relaunch run end to end in
// tests/e2e (copyplugin-*).
#include "script/actions.h"
#include "support/harness.h"
#include "support/testmain.h"
#include <gtest/gtest.h>

typedef std::vector<std::string> Calls;

class PluginActions : public testing::Test {
protected:
    // Plug-in folders under the temp folder, named as given (a trailing
    // backslash is kept in the table).
    void Folders(const std::vector<std::string> &names)
    {
        Installer *p = h.Object();
        p->m_nPluginDirs = 0;
        for (const std::string &name : names) {
            std::string dir = h.dir / name;
            CreateDirectoryA(dir.c_str(), NULL);
            PluginDirEntry &e = p->m_aPluginDirs[p->m_nPluginDirs++];
            lstrcpynA(e.szDir, dir.c_str(), sizeof e.szDir);
            lstrcpyA(e.szName, "np.dll");
        }
    }
    std::string Downloaded(const std::string &name, const std::string &bytes)
    {
        std::string path = h.dir / name;
        WriteFileBytes(path, bytes);
        return path;
    }
    void Run(const std::string &actions, const std::vector<std::string> &files)
    {
        h.Set("RESURL1", "r1");
        std::string script = "[DL]\n";
        for (size_t i = 0; i < files.size(); i++)
            script += "http://x/" + std::to_string(i) + "\n";
        h.Start(script + "[REQUIRED_ACTIONS]\n" + actions + "[END]\n");
        for (const std::string &f : files)
            ASSERT_TRUE(h.AnswerDownload(f)) << f;
        ASSERT_TRUE(h.WaitForRunEnd());
        h.host.PumpFor(20);
    }
    std::string Content(const std::string &path)
    {
        std::string bytes;
        return ReadFileBytes(path, &bytes) ? bytes : "(none)";
    }

    InstallerHarness h;
};

TEST_F(PluginActions, CopiesLandUnderTheRightNamesInEveryFolder)
{
    Folders({ "a", "b\\" });
    std::string one = Downloaded("one.bin", "1");
    Downloaded("two.bin", "22");
    // A forward slash ends the own name as a backslash does.
    std::string twoSlash = h.dir.Path() + "/two.bin";
    Run("COPYPLUGIN2:1\nCOPYPLUGIN2:2;other.dll\nPATCHPLUGIN:0;other.dll;1;41\n", { one, twoSlash });
    for (const char *pszDir : { "a", "b" }) {
        SCOPED_TRACE(pszDir);
        std::string dir = h.dir / pszDir;
        EXPECT_EQ("1", Content(dir + "\\np.dll")) << "the table's plug-in name";
        EXPECT_EQ("2A", Content(dir + "\\other.dll")) << "the name given, then patched";
    }
    EXPECT_TRUE(h.host.Has("CmptOut")) << "COPYPLUGIN2 closes nothing and the report ends the script";
    EXPECT_TRUE(h.dialogs.Take().empty());
}

TEST_F(PluginActions, DestinationLongerThanItsBufferFailsWithoutBeingCut)
{
    Folders({ std::string(200, 'd') });
    std::string one = Downloaded("one.bin", "1");
    std::string name = std::string(60, 'n') + ".dll";
    Run("COPYPLUGIN2:1;" + name + "\n", { one });
    EXPECT_TRUE(h.host.Has("SetParameter DSTFILE=" + name)) << "the name from the line is reported";
    EXPECT_TRUE(h.host.Has("SetParameter NUMERR=10"));
    EXPECT_EQ(1u, h.dialogs.Take().size());
}

// A program that waits until the test lets it go.
VUR_CHILD_MODE(waitforrelease)
{
    (void)argc;
    (void)argv;
    return WaitForTestRelease("VurExecRelease", 60000);
}

TEST_F(PluginActions, StopWhileExecWaitsEndsTheRunWithoutAnError)
{
    HANDLE hRelease = CreateEventA(NULL, TRUE, FALSE, "VurExecRelease");
    h.Set("RESURL1", "r1");
    h.Start("[DL]\nhttp://x/p.exe\n[REQUIRED_ACTIONS]\nEXEC:1;p --child=waitforrelease\n[TEXT]\n1;after\n[END]\n");
    ASSERT_TRUE(h.AnswerDownload(ThisProgramPath()));
    h.host.PumpFor(500);
    EXPECT_NE(0u, h.Object()->m_dwThreadId) << "EXEC is waiting for the program";
    DWORD dwStart = GetTickCount();
    h.Object()->ForceRemove();
    EXPECT_LT(GetTickCount() - dwStart, 2000u);
    EXPECT_TRUE(h.WaitForQuit(2000));
    EXPECT_FALSE(h.host.Has("SetParameter NUMERR=4"));
    EXPECT_FALSE(h.host.Has("SetParameter TEXTMSG=after"));
    SetEvent(hRelease);
    CloseHandle(hRelease);
}
