// Action commands through the in-process host: the index messages of every
// command, and the lines and situations outside the script grammar (the
// everyday commands run end to end in tests/server/scripts_e2e_tests.cpp).
#include "support/harness.h"
#include "support/installfolder.h"
#include <gtest/gtest.h>
#include <algorithm>

typedef std::vector<std::string> Calls;

class Actions : public testing::Test {
protected:
    Actions() : folder(install.Path()) {}

    // A downloaded file in the host's folder.
    std::string Downloaded(const std::string &name, const std::string &bytes)
    {
        std::string path = h.dir / name;
        WriteFileBytes(path, bytes);
        return path;
    }
    // Runs the script, answering its downloads with these files in order.
    void Run(const std::string &script, const std::vector<std::string> &files)
    {
        h.Set("RESURL1", "r1");
        h.Set("ERRURL", "err");
        h.Start(script);
        for (const std::string &f : files)
            ASSERT_TRUE(h.AnswerDownload(f)) << f;
        ASSERT_TRUE(h.WaitForRunEnd());
        h.host.PumpFor(20);
    }
    std::string Installed(const std::string &name) { return install / name; }
    bool Ended() { return h.host.Has("CmptOut"); }
    Calls FailureCalls(const std::vector<std::string> &params, int code)
    {
        Calls c;
        for (const std::string &p : params)
            c.push_back("SetParameter " + p);
        c.insert(c.end(), { "SetParameter APPID=0", "SetParameter JOBID=0",
                            "SetParameter NUMERR=" + std::to_string(code), "SetParameter TURL=err",
                            "ExecuteCmd SEND" });
        return c;
    }
    Calls LastCalls(size_t n)
    {
        Calls all = h.host.Calls();
        return n <= all.size() ? Calls(all.end() - n, all.end()) : all;
    }

    InstallerHarness h;
    TempDir install;
    InstallFolderValue folder;
};

TEST_F(Actions, BadIndexShowsAMessageTitledAsWrittenAndTheScriptGoesOn)
{
    std::string a = Downloaded("a.tmp", "a"), b = Downloaded("b.tmp", "b");
    Run("[DL]\nhttp://x/a\nhttp://x/b\n[ACTIONS]\nCOPY:3;x.dll\nCOPY:-1;x.dll\nCOPY:0;x.dll\n"
        "DEL: 7\nCOPYVER:9;x.dll;1, 0, 0, 0\nCOPYDATE:abc;x.dll\nEXEC:3\nREGISTER:3\nCOPYPLUGIN:3\n"
        "COPYPLUGIN2:3\nMD:3;d\n[END]\n", { a, b });
    EXPECT_EQ((Calls{
                  "3 | Installer - Copy file : index trop grand !",
                  "-1 | Installer - Copy file : index trop grand !",
                  "0 | Installer - Copy file : index trop grand !",
                  " 7 | Installer - Delete file : index trop grand !",
                  "9 | Installer - Copyver file : index trop grand !",
                  "abc | Installer - Copydate file : index trop grand !",
                  "3 | Installer - exec file : index trop grand !",
                  "3 | Installer - Register file : index trop grand !",
                  "3 | Installer - Copyplugin file : index trop grand !",
                  "3 | Installer - Copyplugin2 file : index trop grand !",
                  "3 | Installer - Make directory : index trop grand !",
              }),
              h.dialogs.Take());
    EXPECT_FALSE(FileExists(Installed("x.dll")));
    EXPECT_FALSE(FileExists(Installed("d")));
    EXPECT_TRUE(Ended()) << "the script went on to its end";
}

TEST_F(Actions, UnknownKeywordsAndLinesOutsideTheGrammarDoNothing)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VurTest\\Actions");
    std::string a = Downloaded("a.tmp", "a");
    const char *key = "HKEY_CURRENT_USER\\Software\\VurTest\\Actions";
    Run(std::string("[DL]\nhttp://x/a\n[ACTIONS]\nCOPY :1;x.dll\nMOVE:1;x.dll\nno colon at all\n:1;x.dll\n") +
        "REGISTRY:0;" + key + ";Short;S\n[END]\n", { a });
    EXPECT_FALSE(FileExists(Installed("x.dll")));
    HKEY hKey = NULL;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\VurTest\\Actions", 0, KEY_READ, &hKey))
        << "a REGISTRY line with too few fields writes nothing";
    EXPECT_TRUE(FileExists(a));
    EXPECT_TRUE(h.dialogs.Take().empty());
    EXPECT_TRUE(Ended());
}

TEST_F(Actions, CopyVerWithoutAVersionFails)
{
    std::string a = Downloaded("a.tmp", "a");
    Run("[DL]\nhttp://x/a\n[ACTIONS]\nCOPYVER:1;v.dll\n[END]\n", { a });
    EXPECT_EQ(FailureCalls({ "SRCFILE=" + a, "DSTFILE=" + Installed("v.dll") }, 13), LastCalls(7));
    EXPECT_FALSE(FileExists(Installed("v.dll")));
}

// Our choice: without an install folder a file command fails with its own
// report instead of writing somewhere unexpected.
TEST(ActionsWithoutInstallFolder, FileCommandsFailWithTheirOwnReport)
{
    InstallFolderValue none;
    struct Row { const char *line; Calls params; int code; } rows[] = {
        { "COPY:1;a.dll", { "SRCFILE=", "DSTFILE=a.dll" }, 3 },
        { "COPYDATE:1;a.dll", { "SRCFILE=", "DSTFILE=a.dll" }, 14 },
        { "COPYVER:1;a.dll;1, 0, 0, 0", { "SRCFILE=", "DSTFILE=a.dll" }, 13 },
        { "MD:1;data", { "DIR=data" }, 6 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        InstallerHarness h;
        std::string dl = h.dir / "a.tmp";
        WriteFileBytes(dl, "a");
        h.Start(std::string("[DL]\nhttp://x/a\n[ACTIONS]\n") + row.line + "\n[END]\n");
        ASSERT_TRUE(h.AnswerDownload(dl));
        ASSERT_TRUE(h.WaitForRunEnd());
        Calls calls = h.host.Calls();
        std::string numerr = "SetParameter NUMERR=" + std::to_string(row.code);
        EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), numerr));
        for (std::string p : row.params) {
            if (p == "SRCFILE=")
                p += dl;
            EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), "SetParameter " + p)) << p;
        }
        EXPECT_FALSE(h.host.Has("CmptOut"));
    }
}

TEST_F(Actions, PathTooLongForItsBufferFailsTheCommand)
{
    std::string a = Downloaded("a.tmp", "a");
    std::string name(300, 'n');
    Run("[DL]\nhttp://x/a\n[ACTIONS]\nCOPY:1;" + name + "\n[END]\n", { a });
    EXPECT_TRUE(h.host.Has("SetParameter NUMERR=3"));
    EXPECT_TRUE(h.host.Has("SetParameter DSTFILE=" + name)) << "the name as written, never a cut path";
    EXPECT_STREQ(a.c_str(), h.Object()->m_aDownloads[0].szPath);
}
