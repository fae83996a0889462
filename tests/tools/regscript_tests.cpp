// regscript and vurlint from their command lines: each case of a data file
// runs its commands (the tool's name, then its arguments) in the folder of
// the file's name and must print what its transcript says.
#include "casefiles.h"
#include "support/testfiles.h"
#include "regscript.h"
#include "server/registrar.h"
#include "vurlint.h"
#include <gtest/gtest.h>
#include <sstream>

static const char s_szTestKey[] = "Software\\VUR regscript tests";

// Each command's output is followed by "[exit N]". Each case starts and
// ends without the regscript cases' key, and leaves no scratch tree.
static void RunToolCases(const std::string &name, size_t nMin)
{
    DeleteKeyTree(HKEY_CURRENT_USER, s_szTestKey);
    char szPrevious[MAX_PATH];
    GetCurrentDirectoryA(sizeof szPrevious, szPrevious);
    ASSERT_TRUE(SetCurrentDirectoryA((VUR_TOOLS_CASES_DIR "/" + name).c_str()));
    ForEachCase(VUR_TOOLS_CASES_DIR "/" + name + ".txt", nMin, [&](const DataCase &c) {
        std::string out;
        for (const std::string &command : SplitLines(c.body)) {
            std::istringstream words(command);
            std::string tool, word;
            std::vector<std::string> args;
            words >> tool;
            while (words >> word)
                args.push_back(word);
            int nExit = tool == "vurlint" ? RunVurlint(args, &out) : RunRegscript(args, &out);
            out += "[exit " + std::to_string(nExit) + "]\n";
        }
        EXPECT_EQ(SplitLines(c.expected), SplitLines(out));
        HKEY hKey;
        EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\VUR regscript scratch", 0, KEY_READ, &hKey))
            << "the scratch tree is gone";
        DeleteKeyTree(HKEY_CURRENT_USER, s_szTestKey);
    });
    SetCurrentDirectoryA(szPrevious);
}

TEST(Regscript, EachCasePrintsItsTranscript)
{
    RunToolCases("regcases", 6);
}

TEST(Vurlint, ExitCodesAndSummary)
{
    RunToolCases("lintruns", 2);
}
