// Process listing and ending on live stand-in browsers. The tests that go
// through the platform's choice of path run again in a child that Wine
// reports as Windows 98, where the tool-help path is taken.
#include "browser/processes.h"
#include "browserfixture.h"
#include "support/testmain.h"
#include <gtest/gtest.h>
#include <stdio.h>

TEST(ProcessNames, MatchWithoutRegardToAsciiLetterCaseAndComeAfterTheLastBackslash)
{
    const struct {
        const char *pszRecord, *pszName;
        UINT uMatch;
    } cases[] = {
        {"IEXPLORE.EXE", "iexplore.exe", 1}, {"IExplore.exe", "iexplore.exe", 1}, {"iexplore.exe ", "iexplore.exe", 0},
        {"iexplore.exe", "iexplore.exe ", 0}, {"\xc9t\xe9.exe", "\xe9t\xe9.exe", 0}, {"", "", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.uMatch, ProcessNameMatches(c.pszRecord, c.pszName)) << c.pszRecord << " ~ " << c.pszName;
    const char *const apszPaths[][2] = {
        {"C:\\PROGRAM FILES\\INTERNET EXPLORER\\IEXPLORE.EXE", "IEXPLORE.EXE"}, {"netscape.exe", "netscape.exe"},
        {"C:\\folder\\", ""},
    };
    for (const auto &p : apszPaths) {
        ProcessRecord record;
        memset(&record, 0xbd, sizeof record);
        StoreProgramName(&record, p[0]);
        EXPECT_STREQ(p[1], record.name);
        EXPECT_EQ('\xbd', record.name[strlen(p[1]) + 1]) << "written past the name of " << p[0];
    }
}

static const char *const s_apszPrograms[] = { "iexplore.exe", "IExplore.exe", "netscape.exe", "iexplore2.exe" };

static bool Listed(const std::vector<ProcessRecord> &table, UINT uCount, DWORD dwPid, const char *pszName)
{
    for (UINT i = 0; i < uCount; i++)
        if (table[i].processId == dwPid)
            return strcmp(table[i].name, pszName) == 0 && !table[i].window;
    return false;
}

// Lists the live stand-ins up to the capacity, then ends them by name
// through the platform's own path (see ProcessesCanBeListed for Wine as NT).
TEST(ProcessListing, ListsLiveProcessesAndEndsThemByName)
{
    StandIns standIns;
    for (const char *pszProgram : s_apszPrograms)
        ASSERT_LE(0, standIns.Start(pszProgram, "none")) << pszProgram;
    std::vector<ProcessRecord> table(PROCESS_TABLE_SIZE + 1);
    for (UINT uCapacity : { PROCESS_TABLE_SIZE, 2, 1, 0 }) {
        memset(table.data(), 0xbd, table.size() * sizeof table[0]);
        UINT uCount = ListProcessesToolhelp(table.data(), uCapacity);
        EXPECT_EQ(uCapacity == PROCESS_TABLE_SIZE ? uCount : uCapacity, uCount);
        EXPECT_EQ(0xbdbdbdbdu, table[uCount].processId) << "record past the capacity written";
    }
    UINT uCount = ListProcessesToolhelp(table.data(), PROCESS_TABLE_SIZE);
    for (int i = 0; i < 4; i++)
        EXPECT_TRUE(Listed(table, uCount, standIns.Pid(i), s_apszPrograms[i])) << s_apszPrograms[i];

    if (const char *pszPlatform = getenv("VUR_EXPECTED_PLATFORM")) {
        EXPECT_EQ(strtoul(pszPlatform, NULL, 10), GetPlatformId());
    }
    uCount = ListProcesses(table.data(), PROCESS_TABLE_SIZE);
    printf("[ platform ] %lu: ListProcesses lists %u processes\n", GetPlatformId(), uCount);
    const UINT bListed = ProcessesCanBeListed() ? 1 : 0;
    EXPECT_EQ(bListed, Listed(table, uCount, standIns.Pid(2), "netscape.exe"));
    if (RunningOnWine()) {
        EXPECT_EQ(0u, ListProcessesPerfData(table.data(), PROCESS_TABLE_SIZE)) << "Wine now gives process data";
    }

    const char *const apszNames[] = { "iexplore.exe", "netscape.exe" }, *const apszBlank[] = { "iexplore.exe " };
    EXPECT_EQ(0u, EndProcessesByName(apszBlank, 1, 0, 0));
    EXPECT_EQ(bListed, EndProcessesByName(apszNames, 2, 1, 1)) << "detect only";
    EXPECT_EQ(bListed, EndProcessesByName(apszNames, 2, 0, 0));
    for (int i = 0; i < 4; i++)
        EXPECT_STREQ(FateName(bListed && i < 3 ? ENDED : RUNNING), FateName(standIns.FateOf(i, 0))) << s_apszPrograms[i];
    EXPECT_EQ(0u, EndProcessesByName(apszNames, 2, 0, 0)) << "none left";
}

TEST(ProcessEnding, TerminatesOrAsksTheWindowToClose)
{
    const struct {
        bool bRealPid, bWindow;
        UINT bForce;
        Fate fate;
    } cases[] = {
        {true, false, 0, ENDED}, {true, true, 0, CLOSED}, {true, true, 1, ENDED},
        {false, true, 0, CLOSED},       // cannot be opened: its window is asked
        {false, false, 0, RUNNING},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        StandIns standIns;
        ASSERT_EQ(0, standIns.Start("frame.exe", "ieframe"));
        ProcessRecord record = {};
        record.processId = c.bRealPid ? standIns.Pid(0) : NO_PROCESS_ID;
        record.window = c.bWindow ? FindWindowExA(NULL, NULL, "IEFrame", NULL) : NULL;
        EXPECT_EQ(1u, EndProcess(&record, c.bForce));
        EXPECT_STREQ(FateName(c.fate), FateName(standIns.FateOf(0, c.fate == RUNNING ? 300 : 10000)));
    }
    EXPECT_EQ(1u, EnableDebugPrivilege());
}

// Wine takes a program's Windows version from AppDefaults\<program>\Version
// when the program starts.
TEST(ProcessListing, RunsAgainAsWindows98)
{
    if (!RunningOnWine())
        GTEST_SKIP() << "the Windows version is a per-program setting of Wine";
    const char szKey[] = "Software\\Wine\\AppDefaults\\browser_tests.exe";
    HKEY hKey = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, szKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &hKey, NULL));
    LONG lSet = RegSetValueExA(hKey, "Version", 0, REG_SZ, (const BYTE *)"win98", 6);
    RegCloseKey(hKey);
    TempDir dir;
    SECURITY_ATTRIBUTES sa = { sizeof sa, NULL, TRUE };
    HANDLE hOutput = CreateFileA((dir / "out.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, NULL);
    SetEnvironmentVariableA("VUR_EXPECTED_PLATFORM", "1");
    long lResult = lSet ? -1 : RunAndWait("\"" + ThisProgramPath() + "\" --gtest_filter=ProcessListing.Lists*:"
                                          "CloseBrowsers.*", 300000, hOutput);
    SetEnvironmentVariableA("VUR_EXPECTED_PLATFORM", NULL);
    CloseHandle(hOutput);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, szKey));
    std::string text;
    ReadFileBytes(dir / "out.txt", &text);
    printf("---- the same tests as Windows 98 ----\n%s---- end of the Windows 98 run ----\n", text.c_str());
    EXPECT_EQ(0, lResult) << "the Windows 98 run failed";
}
