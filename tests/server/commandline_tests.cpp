// The server's command-line scan: which lines register, unregister or
// serve.
#include "server/commandline.h"
#include <gtest/gtest.h>

TEST(CommandLineScan, SwitchesMatchOnlyAsTheWholeRestOfTheLine)
{
    static const struct { const char *pszLine; ServerSwitch expected; } s_cases[] = {
        { "installer.exe", SWITCH_NONE },
        { "installer.exe -regserver", SWITCH_REGSERVER },
        { "installer.exe /uNrEgSeRvEr", SWITCH_UNREGSERVER },
        // Anything after the switch, a single blank included, and it serves.
        { "installer.exe /RegServer ", SWITCH_NONE },
        { "installer.exe /RegServerX", SWITCH_NONE },
        // A switch character inside the path is passed over; a real switch
        // later on the line is still found.
        { "\"C:\\my-folder\\installer.exe\" -Embedding", SWITCH_NONE },   // what COM adds
        { "C:\\a-b\\c-d\\installer.exe -UnregServer", SWITCH_UNREGSERVER },
        { "C:/dir/installer.exe /regserver", SWITCH_REGSERVER },
        { "C:\\x-RegServer\\installer.exe", SWITCH_NONE },
        { "installer.exe -/UnregServer", SWITCH_UNREGSERVER },  // the second one starts the match
        { "installer.exe RegServer", SWITCH_NONE },
        { "installer.exe -", SWITCH_NONE },
        { "", SWITCH_NONE },
    };
    for (const auto &c : s_cases) {
        SCOPED_TRACE(c.pszLine);
        EXPECT_EQ(c.expected, ScanCommandLine(c.pszLine));
    }
    EXPECT_EQ(SWITCH_NONE, ScanCommandLine(NULL)) << "a null line serves";
}
