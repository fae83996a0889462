// vurlint: the table of small scripts and the diagnostics each must give,
// the command line's exit codes, and plans on this prefix.
#include "casefiles.h"
#include "lint.h"
#include "plan.h"
#include "vurlint.h"
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
    const std::vector<std::pair<std::vector<std::string>, int>> rows = {
        { {}, 2 },
        { { "--bogus", clean }, 2 },
        { { "--search", clean }, 2 },
        { { clean }, 0 },
        { { warned }, 0 },
        { { clean, bad }, 1 },
        { { dir / "missing.txt" }, 1 },
        { { "--plan", "--search", clean }, 0 },
    };
    for (const auto &row : rows) {
        std::string out;
        EXPECT_EQ(row.second, RunVurlint(row.first, &out)) << out;
    }
    std::string out;
    RunVurlint({ clean, warned, bad }, &out);
    EXPECT_EQ("vurlint: 3 files, 1 error, 1 warning, 0 notes", SplitLines(out).back());
}

// One unit's [REGISTRY] test holds on this prefix, another's does not. The
// plan keeps the sections and skip flags as the interpreter does: the texts
// it lists for the scripts of the texts-* end-to-end cases are the ones
// their real runs show.
TEST(VurlintPlan, EachScriptGivesItsPlan)
{
    InstallFolderValue folder("C:\\VUR plan");
    DWORD dwVersion = 2;
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\VUR vurlint tests", "Version", REG_DWORD,
                                             &dwVersion, sizeof dwVersion));
    ForEachCase(VUR_TOOLS_CASES_DIR "/plancases.txt", 2, [](const DataCase &c) {
        ScriptText text;
        text.SetText(c.body);
        EXPECT_EQ(SplitLines(c.expected), SplitLines(PlanScript(text, PlanOptions())));
    });
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VUR vurlint tests");
}
