// The server's command-line scan: which lines register, unregister or
// serve (the rows of commandlines.txt).
#include "server/commandline.h"
#include "casefiles.h"

TEST(CommandLineScan, SwitchesMatchOnlyAsTheWholeRestOfTheLine)
{
    const char *const apszNames[] = { "serves", "registers", "unregisters" };
    std::vector<std::vector<std::string>> rows = ReadTable(VUR_SERVER_DATA "/commandlines.txt");
    ASSERT_GE(rows.size(), 10u);
    for (const std::vector<std::string> &row : rows) {
        ServerSwitch s = ScanCommandLine(row[0] == "~" ? NULL : row[0].c_str());
        EXPECT_EQ(row[1], (unsigned)s < 3 ? apszNames[s] : "?") << row[0];
    }
}
