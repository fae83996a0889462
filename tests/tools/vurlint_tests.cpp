// vurlint: the table of small scripts and the diagnostics each must give,
// and plans on this prefix (its command lines are in lintruns.txt).
#include "casefiles.h"
#include "lint.h"
#include "plan.h"
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
