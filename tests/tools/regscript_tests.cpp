// regscript: each case runs the tool's commands in the regcases folder and
// must print what its transcript says.
#include "casefiles.h"
#include "support/testfiles.h"
#include "regscript.h"
#include "server/registrar.h"
#include <gtest/gtest.h>
#include <sstream>

static const char s_szTestKey[] = "Software\\VUR regscript tests";

TEST(Regscript, EachCasePrintsItsTranscript)
{
    char szPrevious[MAX_PATH];
    GetCurrentDirectoryA(sizeof szPrevious, szPrevious);
    ASSERT_TRUE(SetCurrentDirectoryA((std::string(VUR_TOOLS_CASES_DIR) + "/regcases").c_str()));
    ForEachCase(VUR_TOOLS_CASES_DIR "/regcases.txt", 6, [](const DataCase &c) {
        DeleteKeyTree(HKEY_CURRENT_USER, s_szTestKey);
        std::string out;
        for (const std::string &command : SplitLines(c.body)) {
            std::istringstream words(command);
            std::string word;
            std::vector<std::string> args;
            words >> word;                  // the tool's name
            while (words >> word)
                args.push_back(word);
            int nExit = RunRegscript(args, &out);
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
