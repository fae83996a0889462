// Process listing and ending, the icon table and read, and the closing
// passes, on live stand-in browsers: browserwindow.exe copied under a
// browser's program name, and windows of this thread that carry this
// program's "ICONS" fixture icons. The class pass's closing is shown end to
// end by the COPYPLUGIN cases. The tests that go through the platform's
// choice of path run again in a child that Wine reports as Windows 98,
// where the tool-help path is taken.
#include "browser/closebrowsers.h"
#include "browser/browsericons.h"
#include "browser/processes.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include "pixelicon.h"
#include <gtest/gtest.h>
#include <stdio.h>

static std::string BuildPath(const std::string &relative)
{
    // tests/browser/browser_tests.exe in the build tree.
    std::string exe = ThisProgramPath();
    return exe.substr(0, exe.find_last_of('\\')) + "\\..\\..\\" + relative;
}

// The 768 bytes of this program's "ICONS" resource NAME, with pixels[iByte] + delta.
static std::string FixtureIcon(const char *pszName, int iByte = 0, int delta = 0)
{
    HRSRC hResource = FindResourceA(NULL, pszName, "ICONS");
    HGLOBAL hData = hResource ? LoadResource(NULL, hResource) : NULL;
    if (!hData || SizeofResource(NULL, hResource) != BROWSER_ICON_BYTES)
        return "";
    std::string pixels((const char *)LockResource(hData), BROWSER_ICON_BYTES);
    pixels[iByte] = (char)((BYTE)pixels[iByte] + delta);
    return pixels;
}

// Wine's performance data holds no process object (its perflib counter
// names have no "process"): there the Windows NT path lists nothing.
static UINT ProcessesCanBeListed()
{
    return GetPlatformId() == VER_PLATFORM_WIN32_WINDOWS || !RunningOnWine();
}

enum : DWORD { RUNNING = STILL_ACTIVE, ENDED = 1, CLOSED = 10 };    // browserwindow.exe's exit codes

class StandIns {
public:
    ~StandIns()
    {
        for (const PROCESS_INFORMATION &pi : m_items) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
            CloseHandle(pi.hProcess);
        }
    }
    // Starts browserwindow.exe as PROGRAM with the KIND of windows (see
    // fixtures/browserwindow.c) and waits until they are up (it waits for
    // its messages then); gives its index, or -1. A folder each: Wine folds
    // the letter case of file names, so that iexplore.exe and IExplore.exe
    // would be one file.
    int Start(const std::string &program, const char *pszKind)
    {
        const std::string dir = m_dir / std::to_string(m_items.size()), exe = dir + "\\" + program;
        std::string line = "\"" + exe + "\" no-event " + pszKind;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!CreateDirectoryA(dir.c_str(), NULL)
            || !CopyFileA(BuildPath("tests\\browser\\fixtures\\browserwindow.exe").c_str(), exe.c_str(), TRUE)
            || !CreateProcessA(exe.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
            return -1;
        CloseHandle(pi.hThread);
        m_items.push_back(pi);
        return WaitForInputIdle(pi.hProcess, 10000) == 0 ? (int)m_items.size() - 1 : -1;
    }
    DWORD Pid(int i) const { return m_items[i].dwProcessId; }
    // Its exit code, or RUNNING when it has not ended within dwWaitMs.
    DWORD Exit(int i, DWORD dwWaitMs) const
    {
        DWORD dwCode = 0;
        WaitForSingleObject(m_items[i].hProcess, dwWaitMs);
        GetExitCodeProcess(m_items[i].hProcess, &dwCode);
        return dwCode;
    }

private:
    std::vector<PROCESS_INFORMATION> m_items;
    TempDir m_dir;
};

// A window of this thread, titled and classed TITLE, whose class small icon
// is drawn from the pixels at SIZE x SIZE (32: each pixel doubled). The icon
// pass is tried on these: Wine lets no process read another's class icons.
struct IconWindow {
    std::string title;
    HICON hIcon;
    HWND hwnd;
    IconWindow(const IconWindow &) = delete;
    IconWindow(const char *pszTitle, const std::string &pixels, int size = 16) : title(pszTitle)
    {
        hIcon = pixels.size() == BROWSER_ICON_BYTES ? CreatePixelIcon((const BYTE *)pixels.data(), size) : NULL;
        WNDCLASSEXA wc = { sizeof wc, 0, DefWindowProcA, 0, 0, GetModuleHandleA(NULL), NULL, NULL, NULL, NULL,
                           pszTitle, hIcon };
        RegisterClassExA(&wc);
        hwnd = CreateWindowExA(0, pszTitle, pszTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, NULL, NULL,
                               wc.hInstance, NULL);
    }
    ~IconWindow()
    {
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        UnregisterClassA(title.c_str(), GetModuleHandleA(NULL));
        DestroyIcon(hIcon);
    }
};

static bool Listed(const std::vector<ProcessRecord> &table, UINT uCount, DWORD dwPid, const char *pszName)
{
    for (UINT i = 0; i < uCount; i++)
        if (table[i].processId == dwPid)
            return strcmp(table[i].name, pszName) == 0 && !table[i].window;
    return false;
}

// Lists the live stand-ins up to the capacity, then ends the browsers among
// them by name through the platform's own path (see ProcessesCanBeListed).
TEST(ProcessListing, ListsLiveProcessesAndEndsBrowsersByName)
{
    const char *const apszPrograms[] = { "iexplore.exe", "IExplore.exe", "netscape.exe", "iexplore2.exe" };
    StandIns standIns;
    for (const char *pszProgram : apszPrograms)
        ASSERT_LE(0, standIns.Start(pszProgram, "none")) << pszProgram;
    std::vector<ProcessRecord> table(PROCESS_TABLE_SIZE + 1);
    for (UINT uCapacity : { PROCESS_TABLE_SIZE, 2, 1, 0 }) {
        memset(table.data(), 0xbd, table.size() * sizeof table[0]);
        UINT uCount = ListProcessesToolhelp(table.data(), uCapacity);
        if (uCapacity == PROCESS_TABLE_SIZE)
            EXPECT_LE(4u, uCount) << "the four stand-ins at least";
        else
            EXPECT_EQ(uCapacity, uCount);
        EXPECT_EQ(0xbdbdbdbdu, table[uCapacity].processId) << "record past the capacity written";
    }
    UINT uCount = ListProcessesToolhelp(table.data(), PROCESS_TABLE_SIZE);
    for (int i = 0; i < 4; i++)
        EXPECT_TRUE(Listed(table, uCount, standIns.Pid(i), apszPrograms[i])) << apszPrograms[i];

    if (const char *pszPlatform = getenv("VUR_EXPECTED_PLATFORM")) {
        EXPECT_EQ(strtoul(pszPlatform, NULL, 10), GetPlatformId());
    }
    uCount = ListProcesses(table.data(), PROCESS_TABLE_SIZE);
    printf("[ platform ] %lu: ListProcesses lists %u processes\n", GetPlatformId(), uCount);
    const UINT bListed = ProcessesCanBeListed();
    EXPECT_EQ(bListed, Listed(table, uCount, standIns.Pid(2), "netscape.exe"));
    if (RunningOnWine()) {
        EXPECT_EQ(0u, ListProcessesPerfData(table.data(), PROCESS_TABLE_SIZE)) << "Wine now gives process data";
    }

    const char *const apszBlank[] = { "iexplore.exe " };
    EXPECT_EQ(0u, EndProcessesByName(apszBlank, 1, 0, 0));
    EXPECT_EQ(bListed, EndBrowserProcesses(1)) << "detect only";
    EXPECT_EQ(bListed, EndBrowserProcesses(0));
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(bListed && i < 3 ? ENDED : RUNNING, standIns.Exit(i, 0)) << apszPrograms[i];
    EXPECT_EQ(0u, EndBrowserProcesses(0)) << "none left";
}

TEST(ProcessEnding, TerminatesOrAsksTheWindowToClose)
{
    const struct {
        bool bRealPid, bWindow;
        UINT bForce;
        DWORD dwExit;
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
        EXPECT_EQ(c.dwExit, standIns.Exit(0, c.dwExit == RUNNING ? 300 : 10000));
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
    LONG lSet = RegSetKeyValueA(HKEY_CURRENT_USER, szKey, "Version", REG_SZ, "win98", 6);
    printf("---- the same tests as Windows 98 ----\n");
    fflush(stdout);
    SetEnvironmentVariableA("VUR_EXPECTED_PLATFORM", "1");
    long lResult = lSet ? -1 : RunAndWait("\"" + ThisProgramPath() + "\" --gtest_filter=ProcessListing.Lists*:"
                                          "CloseBrowsers.*", 300000, GetStdHandle(STD_OUTPUT_HANDLE));
    SetEnvironmentVariableA("VUR_EXPECTED_PLATFORM", NULL);
    printf("---- end of the Windows 98 run ----\n");
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, szKey));
    EXPECT_EQ(0, lResult) << "the Windows 98 run failed";
}

TEST(BrowserIcons, MatchWhenEveryByteLiesWithinFifteen)
{
    const struct {
        const char *pszIcon;
        int iByte, delta;
        UINT uMatch;
    } cases[] = {
        {"FIXTUREGRADIENT", 0, 15, 1}, {"FIXTUREGRADIENT", 0, 16, 0}, {"FIXTUREGRADIENT", 767, -15, 1},
        {"FIXTUREGRADIENT", 767, -16, 0}, {"FIXTUREFLAT", 383, -15, 1}, {"FIXTUREFLAT", 384, 16, 0},
    };
    LoadBrowserIcons();
    for (const auto &c : cases) {
        std::string pixels = FixtureIcon(c.pszIcon, c.iByte, c.delta);
        EXPECT_EQ(c.uMatch, MatchesBrowserIcon((const BYTE *)pixels.data())) << c.pszIcon << " " << c.iByte << " " << c.delta;
    }
    std::string pixels = FixtureIcon("FIXTUREGRADIENT");
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = (char)((BYTE)pixels[i] + (i % 2 ? 15 : -15));
    EXPECT_EQ(1u, MatchesBrowserIcon((const BYTE *)pixels.data())) << "every byte moved by 15";
    FreeBrowserIcons();
    EXPECT_EQ(0u, MatchesBrowserIcon((const BYTE *)FixtureIcon("FIXTUREGRADIENT").data())) << "table freed";
}

// iconcapture reads as the icon pass does: its --check gives back the
// pixels of an icon drawn from known ones. It is a process of its own, and
// under Wine reads only its own windows.
TEST(BrowserIcons, AreReadFromTheWindowsClassAndCapturedTheSameWay)
{
    const std::string gradient = FixtureIcon("FIXTUREGRADIENT");
    IconWindow icon32("icon32", FixtureIcon("FIXTUREFLAT"), 32);
    StandIns standIns;
    ASSERT_EQ(0, standIns.Start("frame.exe", "ieframe"));
    HWND hwndGone = CreateWindowExA(0, "STATIC", "gone", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    DestroyWindow(hwndGone);
    BYTE abPixels[BROWSER_ICON_BYTES];
    EXPECT_EQ(CLASS_ICON_NOT_16, ReadClassSmallIcon(icon32.hwnd, abPixels));
    EXPECT_EQ(CLASS_ICON_NONE, ReadClassSmallIcon(FindWindowExA(NULL, NULL, "IEFrame", "ieframe"), abPixels));
    EXPECT_EQ(CLASS_ICON_NONE, ReadClassSmallIcon(hwndGone, abPixels));
    EXPECT_TRUE(CloseIconMatchedWindows(hwndGone, 0));

    TempDir dir;
    const std::string tool = "\"" + BuildPath("tools\\iconcapture\\iconcapture.exe") + "\" ", output = dir / "icon.bin";
    ASSERT_TRUE(WriteFileBytes(dir / "drawn.bin", gradient));
    const struct {
        std::string args;
        long lExit;
    } captures[] = {
        {"--check \"" + dir / "drawn.bin" + "\"", 0}, {"--pid " + std::to_string(standIns.Pid(0)), 3},
        {"--title ieframe", 3}, {"--title no-such-window", 2}, {"--pid 0", 1},
    };
    for (const auto &c : captures) {
        DeleteFileA(output.c_str());
        EXPECT_EQ(c.lExit, RunAndWait(tool + c.args + " \"" + output + "\"", 30000)) << c.args;
        std::string captured;
        EXPECT_EQ(c.lExit == 0, ReadFileBytes(output, &captured) && captured == gradient) << c.args;
    }
}

// Stand-ins of each pass's browser (a frame, a browser's process, icons
// within the tolerance) and of what no pass may take (a folder without a
// page, another program, icons beyond the tolerance or not 16 x 16). The
// icon pass waits up to 4 s for each closed window's process: windows of
// this process, which does not end, hold it that long each.
TEST(CloseBrowsers, EachPassFindsItsOwnBrowsersAndClosesThemUnlessOnlyDetecting)
{
    const UINT bListed = ProcessesCanBeListed();
    EXPECT_EQ(0u, CloseBrowsers(1)) << "no browser running";
    StandIns standIns;
    ASSERT_EQ(0, standIns.Start("folder.exe", "cabinet-folder"));
    ASSERT_EQ(1, standIns.Start("iexplore2.exe", "none"));
    IconWindow beyond("gradient+16", FixtureIcon("FIXTUREGRADIENT", 100, 16));
    IconWindow big("flat 32", FixtureIcon("FIXTUREFLAT"), 32);
    EXPECT_EQ(0u, CloseBrowsers(1));
    EXPECT_EQ(0u, CloseBrowsers(0));
    {
        StandIns alone;
        ASSERT_EQ(0, alone.Start("frame.exe", "ieframe"));
        EXPECT_EQ(1u, CloseBrowsers(1)) << "a frame alone";
    }
    {
        StandIns alone;
        ASSERT_EQ(0, alone.Start("netscape.exe", "none"));
        EXPECT_EQ(bListed, CloseBrowsers(1)) << "a browser's process alone";
    }
    {
        IconWindow alone("gradient", FixtureIcon("FIXTUREGRADIENT"));
        EXPECT_EQ(1u, CloseBrowsers(1)) << "a browser's icon alone";
    }

    ASSERT_EQ(2, standIns.Start("frame.exe", "ieframe"));
    ASSERT_EQ(3, standIns.Start("netscape.exe", "none"));
    IconWindow gradient("gradient", FixtureIcon("FIXTUREGRADIENT")), flat("flat+15", FixtureIcon("FIXTUREFLAT", 100, 15));
    const IconWindow *const apIcons[] = { &beyond, &big, &gradient, &flat };
    for (UINT bDetectOnly : { 1, 0 }) {
        SCOPED_TRACE(bDetectOnly ? "detect only" : "close");
        EXPECT_EQ(1u, CloseBrowsers(bDetectOnly));
        MSG msg;        // lets this thread's windows act on the WM_CLOSE posted to them
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        const DWORD adwExpected[] = { RUNNING, RUNNING, bDetectOnly ? RUNNING : CLOSED,
                                      bListed && !bDetectOnly ? ENDED : RUNNING };
        for (int i = 0; i < 4; i++) {
            EXPECT_EQ(adwExpected[i], standIns.Exit(i, adwExpected[i] == RUNNING ? 500 : 10000)) << "stand-in " << i;
            EXPECT_EQ(i < 2 || bDetectOnly, IsWindow(apIcons[i]->hwnd) != FALSE) << apIcons[i]->title;
        }
    }
}
