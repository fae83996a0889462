// vurlint: the table of small scripts and the diagnostics each must give,
// the command line's exit codes, and plans on this prefix.
#include "casefiles.h"
#include "lint.h"
#include "plan.h"
#include "vurlint.h"
#include "support/harness.h"
#include "support/installfolder.h"
#include "support/testfiles.h"
#include <gtest/gtest.h>

static std::string Diagnostics(const std::string &script)
{
    ScriptText text;
    text.SetText(script);
    std::string out;
    for (const Diagnostic &d : LintScript(text))
        out += FormatDiagnostic(d) + "\n";
    return out;
}

TEST(Vurlint, EachScriptGivesItsDiagnostics)
{
    ForEachCase(VUR_TOOLS_CASES_DIR "/lintcases.txt", 10, [](const DataCase &c) {
        EXPECT_EQ(SplitLines(c.expected), SplitLines(Diagnostics(c.body)));
    });
}

TEST(Vurlint, ExitCodesAndSummary)
{
    TempDir dir;
    const std::string clean = dir / "clean.txt", warned = dir / "warned.txt", bad = dir / "bad.txt";
    WriteFileBytes(clean, "[INSTALL]\r\n[END]\r\n");
    WriteFileBytes(warned, "[INSTALL]\n");
    WriteFileBytes(bad, "[INSTALL]\n[ACTIONS]\nCOPPY:1\n[END]\n");
    const struct {
        std::vector<std::string> args;
        int nExit;
    } rows[] = {
        { {}, 2 },
        { { "--bogus", clean }, 2 },
        { { "--search", clean }, 2 },
        { { clean }, 0 },
        { { warned }, 0 },
        { { clean, bad }, 1 },
        { { dir / "missing.txt" }, 1 },
        { { "--plan", "--search", clean }, 0 },
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; i++) {
        SCOPED_TRACE(i);
        std::string out;
        EXPECT_EQ(rows[i].nExit, RunVurlint(rows[i].args, &out)) << out;
    }
    std::string out;
    RunVurlint({ clean, warned, bad }, &out);
    EXPECT_EQ("vurlint: 3 files, 1 error, 1 warning, 0 notes", SplitLines(out).back());
}

// One unit's [REGISTRY] test holds on this prefix, another's does not.
TEST(VurlintPlan, EachScriptGivesItsPlan)
{
    InstallFolderValue folder("C:\\VUR plan");
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\VUR vurlint tests", 0, NULL, 0, KEY_ALL_ACCESS,
                                             NULL, &hKey, NULL));
    DWORD dwVersion = 2;
    RegSetValueExA(hKey, "Version", 0, REG_DWORD, (const BYTE *)&dwVersion, sizeof dwVersion);
    RegCloseKey(hKey);
    ForEachCase(VUR_TOOLS_CASES_DIR "/plancases.txt", 2, [](const DataCase &c) {
        ScriptText text;
        text.SetText(c.body);
        EXPECT_EQ(SplitLines(c.expected), SplitLines(PlanScript(text, PlanOptions())));
    });
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VUR vurlint tests");
}

// The plan keeps the sections and skip flags as the interpreter does: the
// progress texts it lists are the ones a real run shows.
TEST(VurlintPlan, ListsTheTextsThatARealRunShows)
{
    const char *const apszScripts[] = {
        "[INSTALL]\n[TEXT]\n1;a\n[TEST]\nnot a test\n[TEXT]\n1;silenced\n[REQUIRED_ACTIONS]\n[TEXT]\n1;still\n"
        "[INSTALL]\n[TEXT]\n1;across units\n[ACTIONS]\n[TEXT]\n2;shown\n[END]\n",
        "[TEXT]\n1;before\n[TEST]\n[TEXT]\n1;after an empty test\n[ACTIONS]\nunknown:1\n[TEXT]\n2;b\n[END]\n[TEXT]\n3;never\n",
        "[INSTALL]\n[TEST]\n[REGISTRY]\n[FILE]\n[TEXT]\n1;kind headers only\n[TEST]\n[TEXT]\n2;c\n",
    };
    for (const char *pszScript : apszScripts) {
        SCOPED_TRACE(pszScript);
        ScriptText text;
        text.SetText(pszScript);
        std::vector<std::string> planned;
        for (const std::string &line : SplitLines(PlanScript(text, PlanOptions()))) {
            size_t at = line.find(": text ");
            if (at != std::string::npos)
                planned.push_back(line.substr(line.find(": ", at + 7) + 2));
        }
        InstallerHarness h;
        h.Start(pszScript);
        EXPECT_TRUE(h.WaitForQuit());
        std::vector<std::string> shown;
        for (const std::string &call : h.host.Calls())
            if (call.compare(0, 21, "SetParameter TEXTMSG=") == 0 && call.size() > 21)
                shown.push_back(call.substr(21));
        EXPECT_FALSE(planned.empty());
        EXPECT_EQ(shown, planned);
    }
}
