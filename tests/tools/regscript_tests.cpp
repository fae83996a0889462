// regscript: each case runs the tool's commands in the regcases folder and
// must print what its transcript says.
#include "casefiles.h"
#include "support/testfiles.h"
#include "regscript.h"
#include "server/registrar.h"
#include <gtest/gtest.h>

static const char s_szTestKey[] = "Software\\VUR regscript tests";

static std::vector<std::string> Words(const std::string &line)
{
    std::vector<std::string> words;
    size_t start = 0;
    while ((start = line.find_first_not_of(' ', start)) != std::string::npos) {
        size_t end = line.find(' ', start);
        words.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end;
    }
    return words;
}

TEST(Regscript, EachCasePrintsItsTranscript)
{
    char szPrevious[MAX_PATH];
    GetCurrentDirectoryA(sizeof szPrevious, szPrevious);
    ASSERT_TRUE(SetCurrentDirectoryA((std::string(VUR_TOOLS_CASES_DIR) + "/regcases").c_str()));
    ForEachCase(VUR_TOOLS_CASES_DIR "/regcases.txt", 6, [](const DataCase &c) {
        DeleteKeyTree(HKEY_CURRENT_USER, s_szTestKey);
        std::string out;
        for (const std::string &command : SplitLines(c.body)) {
            std::vector<std::string> args = Words(command);
            args.erase(args.begin());
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
