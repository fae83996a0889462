// Install scripts through the interpreter and the in-process host, from the
// data cases of cases.txt (line reading, headers, [TEXT] lines, sections
// and skip flags, the report ending, action lines outside the grammar and
// their failures); the everyday commands run end to end in tests/e2e.
#include "casefiles.h"
#include "support/harness.h"
#include "support/installfolder.h"
#include "sysops/handles.h"
#include <gtest/gtest.h>
#include <stdlib.h>
#include <algorithm>

typedef std::vector<std::string> Calls;

// Runs a case's body (see cases.txt) in h; gives the calls after the
// script's own request, the message boxes and the installed files.
static Calls RunCase(const std::string &body, InstallerHarness &h)
{
    TempDir install;
    InstallFolderValue folder(install.Path());
    std::string script = body;
    int nDownloads = 0;
    FileHandle held;
    for (size_t end; script.compare(0, 2, "@ ") == 0; script.erase(0, end == std::string::npos ? end : end + 1)) {
        end = script.find('\n');
        std::string option = script.substr(2, end - 2);
        if (option.compare(0, 9, "download ") == 0)
            nDownloads = atoi(option.c_str() + 9);
        else if (option[0] == '!')
            h.Command(option.c_str() + 1);
        else if (option == "held")
            held.h = CreateFileA((h.dir / "script.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0,
                                 NULL);
        else
            h.Set(option.substr(0, option.find('=')).c_str(), option.substr(option.find('=') + 1));
    }
    std::string path = h.Start(script);
    for (int i = 1; i <= nDownloads; i++) {
        std::string file = h.dir / ("dl" + std::to_string(i) + ".tmp");
        WriteFileBytes(file, std::to_string(i));
        EXPECT_TRUE(h.AnswerDownload(file)) << file;
    }
    EXPECT_TRUE(h.WaitForRunEnd()) << "the run must not spin";
    h.host.PumpFor(20);
    if (h.host.Has("CmptOut")) {    // a run that reached its end leaves nothing behind
        EXPECT_TRUE(h.host.QuitSeen()) << "the server end is asked for";
        EXPECT_FALSE(FileExists(path)) << "the script is deleted";
        EXPECT_EQ(nullptr, h.Object()->m_pScript);
        EXPECT_EQ(nullptr, h.Object()->m_pThreadCallback);
        EXPECT_EQ(nullptr, h.Object()->m_hEvent);
    }
    Calls calls = h.host.Calls();
    calls.erase(calls.begin(), calls.begin() + std::min<size_t>(2, calls.size()));
    for (const std::string &box : h.Boxes())
        calls.push_back("! " + box);
    ForEachFile(install.Path(),
                [&](const WIN32_FIND_DATAA &fd) { calls.push_back(std::string("installed: ") + fd.cFileName); });
    for (std::string &call : calls) {
        ReplaceAll(&call, install.Path(), "<install>");
        ReplaceAll(&call, h.dir.Path(), "<dir>");
    }
    return calls;
}

TEST(ScriptCases, EachScriptMakesItsCalls)
{
    ForEachCase(VUR_SCRIPT_DATA "/cases.txt", 30, [](const DataCase &c) {
        InstallerHarness h;
        Calls expected = SplitLines(c.expected);
        while (!expected.empty() && expected.back().empty())    // the blank lines between cases
            expected.pop_back();
        EXPECT_EQ(expected, RunCase(c.body, h));
    });
}
