// The server's command-line scan: which lines register, unregister or
// serve.
#include "server/commandline.h"
#include <gtest/gtest.h>

TEST(CommandLineScan, SwitchesMatchOnlyAsTheWholeRestOfTheLine)
{
    static const struct {
        const char *pszLine;
        ServerSwitch expected;
    } s_cases[] = {
        { "installer.exe", SWITCH_NONE },
        { "installer.exe /RegServer", SWITCH_REGSERVER },
        { "installer.exe -regserver", SWITCH_REGSERVER },
        { "installer.exe /REGSERVER", SWITCH_REGSERVER },
        { "installer.exe /UnregServer", SWITCH_UNREGSERVER },
        { "installer.exe -UNREGSERVER", SWITCH_UNREGSERVER },
        { "installer.exe /uNrEgSeRvEr", SWITCH_UNREGSERVER },
        // Anything after the switch, a single blank included, and it serves.
        { "installer.exe /RegServer ", SWITCH_NONE },
        { "installer.exe /RegServer\t", SWITCH_NONE },
        { "installer.exe /RegServer /s", SWITCH_NONE },
        { "installer.exe /RegServerX", SWITCH_NONE },
        { "installer.exe /Reg Server", SWITCH_NONE },
        // What COM adds when it starts a local server.
        { "installer.exe -Embedding", SWITCH_NONE },
        { "\"C:\\my-folder\\installer.exe\" -Embedding", SWITCH_NONE },
        // A switch character inside the path is passed over; a real switch
        // later on the line is still found.
        { "\"C:\\my-folder\\installer.exe\" /RegServer", SWITCH_REGSERVER },
        { "C:\\a-b\\c-d\\installer.exe -UnregServer", SWITCH_UNREGSERVER },
        { "C:/dir/installer.exe /regserver", SWITCH_REGSERVER },
        { "C:\\x-RegServer\\installer.exe", SWITCH_NONE },
        // A doubled switch character: the second one starts the match.
        { "installer.exe //RegServer", SWITCH_REGSERVER },
        { "installer.exe -/UnregServer", SWITCH_UNREGSERVER },
        { "installer.exe RegServer", SWITCH_NONE },
        { "installer.exe /", SWITCH_NONE },
        { "installer.exe -", SWITCH_NONE },
        { "-RegServer", SWITCH_REGSERVER },
        { "", SWITCH_NONE },
    };
    for (size_t i = 0; i < sizeof s_cases / sizeof s_cases[0]; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s_cases[i].expected, ScanCommandLine(s_cases[i].pszLine))
            << "ScanCommandLine(\"" << s_cases[i].pszLine << "\")";
    }
    EXPECT_EQ(SWITCH_NONE, ScanCommandLine(NULL)) << "a null line serves";
}
