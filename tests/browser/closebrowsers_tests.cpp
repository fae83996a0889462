// The process listing, the icon table and the closing passes, on live
// stand-in browsers: browserwindow.exe copied under a browser's program
// name, and windows of this thread that carry this program's "ICONS"
// fixture icons. The class pass's closing is shown end to end by the
// COPYPLUGIN cases, iconcapture's reading by the iconcapture-check case.
// The closing test runs again in a child that Wine reports as Windows 98,
// where the process listing takes the tool-help path.
#include "browser/closebrowsers.h"
#include "browser/browsericons.h"
#include "browser/processes.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include "pixelicon.h"
#include <gtest/gtest.h>
#include <stdlib.h>

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

enum : DWORD { RUNNING = STILL_ACTIVE, ENDED = 1, CLOSED = 10 };    // browserwindow.exe's exit codes

// browserwindow.exe copied as each PROGRAM and started with its KIND of
// windows (see fixtures/browserwindow.c); ended when the object goes.
struct StandIns {
    TempDir dir;
    std::vector<PROCESS_INFORMATION> items;
    ~StandIns()
    {
        for (const PROCESS_INFORMATION &pi : items) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
            CloseHandle(pi.hProcess);
        }
    }
    // Waits until its windows are up (it waits for its messages then).
    bool Start(const std::string &program, const char *pszKind)
    {
        std::string exe = dir / program, self = ThisProgramPath();
        PROCESS_INFORMATION pi = {};
        if (!CopyFileA((self.substr(0, self.rfind('\\')) + "\\fixtures\\browserwindow.exe").c_str(), exe.c_str(), TRUE)
            || !(pi.hProcess = StartProgram("\"" + exe + "\" no-event " + pszKind, NULL, &pi.dwProcessId)))
            return false;
        items.push_back(pi);
        return WaitForInputIdle(pi.hProcess, 10000) == 0;
    }
    // Its exit code, or RUNNING when it has not ended within dwWaitMs.
    DWORD Exit(int i, DWORD dwWaitMs) const
    {
        DWORD dwCode = 0;
        WaitForSingleObject(items[i].hProcess, dwWaitMs);
        GetExitCodeProcess(items[i].hProcess, &dwCode);
        return dwCode;
    }
};

// A window of this thread, titled and classed TITLE, whose class small icon
// is drawn from the pixels at SIZE x SIZE (32: each pixel doubled). The icon
// pass is tried on these: Wine lets no process read another's class icons.
struct IconWindow {
    std::string title;
    HICON hIcon;
    HWND hwnd;
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

// Wine takes a program's Windows version from AppDefaults\<program>\Version
// when the program starts.
TEST(ProcessListing, RunsAgainAsWindows98)
{
    if (!RunningOnWine())
        GTEST_SKIP() << "the Windows version is a per-program setting of Wine";
    const char szKey[] = "Software\\Wine\\AppDefaults\\browser_tests.exe";
    LONG lSet = RegSetKeyValueA(HKEY_CURRENT_USER, szKey, "Version", REG_SZ, "win98", 6);
    SetEnvironmentVariableA("VUR_EXPECTED_PLATFORM", "1");
    long lResult = lSet ? -1 : RunAndWait("\"" + ThisProgramPath() + "\" --gtest_filter=CloseBrowsers.*", 300000,
                                          GetStdHandle(STD_OUTPUT_HANDLE));
    SetEnvironmentVariableA("VUR_EXPECTED_PLATFORM", NULL);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, szKey));
    EXPECT_EQ(0, lResult) << "the Windows 98 run failed";
}

TEST(BrowserIcons, MatchWhenEveryByteLiesWithinFifteen)
{
    const struct {
        int iByte, delta;
        UINT uMatch;
    } cases[] = { {0, 15, 1}, {0, 16, 0}, {767, -15, 1}, {767, -16, 0} };
    LoadBrowserIcons();
    for (const auto &c : cases) {
        std::string pixels = FixtureIcon("FIXTUREGRADIENT", c.iByte, c.delta);
        EXPECT_EQ(c.uMatch, MatchesBrowserIcon((const BYTE *)pixels.data())) << c.iByte << " " << c.delta;
    }
    std::string pixels = FixtureIcon("FIXTUREGRADIENT");
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = (char)((BYTE)pixels[i] + (i % 2 ? 15 : -15));
    EXPECT_EQ(1u, MatchesBrowserIcon((const BYTE *)pixels.data())) << "every byte moved by 15";
    FreeBrowserIcons();
    EXPECT_EQ(0u, MatchesBrowserIcon((const BYTE *)FixtureIcon("FIXTUREGRADIENT").data())) << "table freed";
}

// Stand-ins of each pass's browser (a frame, browsers' processes, icons
// within the tolerance) and of what no pass may take (a folder without a
// page, iexplore2.exe, icons beyond the tolerance or not 16 x 16), also
// listed up to the capacity and through the platform's own path. The icon
// pass waits up to 4 s for each closed window's process: windows of this
// process, which does not end, hold it that long each.
TEST(CloseBrowsers, EachPassFindsItsOwnBrowsersAndClosesThemUnlessOnlyDetecting)
{
    if (const char *pszPlatform = getenv("VUR_EXPECTED_PLATFORM")) {
        EXPECT_EQ(strtoul(pszPlatform, NULL, 10), GetPlatformId());
    }
    // Wine's performance data holds no process object (its perflib counter
    // names have no "process"): there the Windows NT path lists nothing.
    const UINT bListed = GetPlatformId() == VER_PLATFORM_WIN32_WINDOWS || !RunningOnWine();
    StandIns standIns;
    ASSERT_TRUE(standIns.Start("folder.exe", "cabinet-folder"));
    ASSERT_TRUE(standIns.Start("iexplore2.exe", "none"));
    IconWindow beyond("gradient+16", FixtureIcon("FIXTUREGRADIENT", 100, 16));
    IconWindow big("flat 32", FixtureIcon("FIXTUREFLAT"), 32);
    EXPECT_EQ(0u, CloseBrowsers(1)) << "no browser among them";

    const char *const apszPrograms[] = { "folder.exe", "iexplore2.exe", "frame.exe", "IExplore.exe", "netscape.exe" };
    ASSERT_TRUE(standIns.Start("frame.exe", "ieframe"));
    ASSERT_TRUE(standIns.Start("IExplore.exe", "none"));
    ASSERT_TRUE(standIns.Start("netscape.exe", "none"));
    std::vector<ProcessRecord> table(PROCESS_TABLE_SIZE);
    for (UINT uCapacity : { 1, 0 }) {
        memset(table.data(), 0xbd, 2 * sizeof table[0]);
        EXPECT_EQ(uCapacity, ListProcessesToolhelp(table.data(), uCapacity));
        EXPECT_EQ(0xbdbdbdbdu, table[uCapacity].processId) << "record past the capacity written";
    }
    UINT uCount = ListProcessesToolhelp(table.data(), PROCESS_TABLE_SIZE);
    for (int i = 0; i < 5; i++)
        EXPECT_TRUE(Listed(table, uCount, standIns.items[i].dwProcessId, apszPrograms[i])) << apszPrograms[i];
    uCount = ListProcesses(table.data(), PROCESS_TABLE_SIZE);
    EXPECT_EQ(bListed, Listed(table, uCount, standIns.items[4].dwProcessId, "netscape.exe"));
    EXPECT_EQ(bListed, EndBrowserProcesses(1)) << "the process pass, detect only";

    IconWindow gradient("gradient", FixtureIcon("FIXTUREGRADIENT")), flat("flat+15", FixtureIcon("FIXTUREFLAT", 100, 15));
    const IconWindow *const apIcons[] = { &beyond, &big, &gradient, &flat };
    for (UINT bDetectOnly : { 1, 0 }) {
        SCOPED_TRACE(bDetectOnly ? "detect only" : "close");
        EXPECT_EQ(1u, CloseBrowsers(bDetectOnly));
        MSG msg;        // lets this thread's windows act on the WM_CLOSE posted to them
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        const DWORD dwEnded = bListed && !bDetectOnly ? ENDED : RUNNING;
        const DWORD adwExpected[] = { RUNNING, RUNNING, bDetectOnly ? RUNNING : CLOSED, dwEnded, dwEnded };
        for (int i = 0; i < 5; i++)
            EXPECT_EQ(adwExpected[i], standIns.Exit(i, adwExpected[i] == RUNNING ? 500 : 10000)) << apszPrograms[i];
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(i < 2 || bDetectOnly, IsWindow(apIcons[i]->hwnd) != FALSE) << apIcons[i]->title;
    }
    EXPECT_EQ(0u, EndBrowserProcesses(0)) << "none left";
}
