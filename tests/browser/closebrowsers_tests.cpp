// Closing browsers: the icon table on data, the icon read and iconcapture
// on stand-in windows, and the three passes end to end.
#include "browser/closebrowsers.h"
#include "browser/browsericons.h"
#include "browserfixture.h"
#include "support/testmain.h"
#include <gtest/gtest.h>
#include <stdio.h>

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

TEST(BrowserIcons, AreReadFromTheWindowsClassAndCapturedTheSameWay)
{
    StandIns standIns;
    const std::string gradient = FixtureIcon("FIXTUREGRADIENT");
    ASSERT_EQ(0, standIns.Start("", "icon", gradient));
    ASSERT_EQ(1, standIns.Start("", "icon32", FixtureIcon("FIXTUREFLAT")));
    ASSERT_EQ(2, standIns.Start("frame.exe", "ieframe"));
    ASSERT_EQ(3, standIns.Start("icon.exe", "icon-deaf", gradient));
    HWND hwndGone = CreateWindowExA(0, "STATIC", "gone", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    DestroyWindow(hwndGone);
    // Wine gives no class icon of another process's window (GetClassLongA
    // with GCL_HICONSM is not supported there, and an icon handle of another
    // process cannot be read): there the icon pass sees its own process only.
    const bool bOthers = !RunningOnWine();
    const struct {
        HWND hwnd;
        ClassIconRead read;
    } reads[] = {
        {FindWindowExA(NULL, NULL, NULL, "icon"), CLASS_ICON_READ}, {FindWindowExA(NULL, NULL, NULL, "icon32"), CLASS_ICON_NOT_16},
        {FindWindowExA(NULL, NULL, NULL, "ieframe"), CLASS_ICON_NONE},
        {FindWindowExA(NULL, NULL, NULL, "icon-deaf"), bOthers ? CLASS_ICON_READ : CLASS_ICON_NONE}, {hwndGone, CLASS_ICON_NONE},
    };
    for (const auto &r : reads) {
        BYTE abPixels[BROWSER_ICON_BYTES];
        ASSERT_NE(nullptr, r.hwnd) << &r - reads;
        EXPECT_EQ(r.read, ReadClassSmallIcon(r.hwnd, abPixels)) << &r - reads;
        if (r.read == CLASS_ICON_READ) {
            EXPECT_EQ(gradient, std::string((const char *)abPixels, sizeof abPixels)) << "the icon as drawn";
        }
    }
    EXPECT_TRUE(CloseIconMatchedWindows(hwndGone, 0));

    // iconcapture is a process of its own: under Wine it reads only its own
    // windows, such as the one --check draws.
    TempDir dir;
    const std::string tool = "\"" + BuildPath("tools\\iconcapture\\iconcapture.exe") + "\" ", output = dir / "icon.bin";
    ASSERT_TRUE(WriteFileBytes(dir / "drawn.bin", gradient));
    const struct {
        std::string args;
        long lExit;
    } captures[] = {
        {"--check \"" + dir / "drawn.bin" + "\"", 0}, {"--pid " + std::to_string(standIns.Pid(3)), bOthers ? 0 : 3},
        {"--title ieframe", 3}, {"--title no-such-window", 2}, {"--pid 0", 1},
    };
    for (const auto &c : captures) {
        DeleteFileA(output.c_str());
        EXPECT_EQ(c.lExit, RunAndWait(tool + c.args + " \"" + output + "\"", 30000)) << c.args;
        std::string captured;
        EXPECT_EQ(c.lExit == 0, ReadFileBytes(output, &captured) && captured == gradient) << c.args;
    }
}

// A row a stand-in browser: its program (none: windows on a thread of this
// process), its windows, its icon (byte 100 moved by delta), and the pass
// expected to close it.
enum Pass { NO_PASS, CLASS_PASS, PROCESS_PASS, ICON_PASS, ICON_PASS_ELSEWHERE, ICON_PASS_IGNORED };
static const struct Row {
    const char *pszProgram, *pszKind, *pszIcon;
    int delta;
    Pass pass;
} s_rows[] = {
    {"folder.exe", "cabinet-folder", NULL, 0, NO_PASS}, {"iexplore2.exe", "none", NULL, 0, NO_PASS},
    {"", "icon", "FIXTUREGRADIENT", 16, NO_PASS}, {"", "icon32", "FIXTUREFLAT", 0, NO_PASS},
    {"frame.exe", "ieframe", NULL, 0, CLASS_PASS}, {"frame.exe", "ieframe", NULL, 0, CLASS_PASS},
    {"folder.exe", "cabinet-doc", NULL, 0, CLASS_PASS},
    {"iexplore.exe", "none", NULL, 0, PROCESS_PASS}, {"IExplore.exe", "none", NULL, 0, PROCESS_PASS},
    {"netscape.exe", "none", NULL, 0, PROCESS_PASS},
    {"", "icon", "FIXTUREGRADIENT", 0, ICON_PASS}, {"", "icon-twice", "FIXTUREFLAT", 15, ICON_PASS},
    {"icon.exe", "icon", "FIXTUREGRADIENT", 0, ICON_PASS_ELSEWHERE},
    {"icon.exe", "icon-deaf", "FIXTUREGRADIENT", 0, ICON_PASS_IGNORED},
};
static const Fate s_afClosed[] = { RUNNING, CLOSED, ENDED, CLOSED, CLOSED, RUNNING };

static int StartRow(StandIns &standIns, const Row &row)
{
    return standIns.Start(row.pszProgram, row.pszKind, row.pszIcon ? FixtureIcon(row.pszIcon, 100, row.delta) : "");
}

// Whether the row's browser can be found here (the two Wine differences).
static bool Findable(const Row &row)
{
    return row.pass == PROCESS_PASS ? ProcessesCanBeListed()
        : row.pass >= ICON_PASS_ELSEWHERE ? !RunningOnWine() : row.pass != NO_PASS;
}

// The icon pass waits up to 4 s for each closed window's process: windows
// of this process, which does not end, hold it that long each.
TEST(CloseBrowsers, EachPassClosesItsOwnBrowsers)
{
    const size_t nRows = sizeof s_rows / sizeof s_rows[0];
    EXPECT_EQ(0u, CloseBrowsers(1)) << "no browser running";
    StandIns standIns;
    size_t nOthers = 0;
    for (; s_rows[nOthers].pass == NO_PASS; nOthers++)
        ASSERT_EQ((int)nOthers, StartRow(standIns, s_rows[nOthers]));
    EXPECT_EQ(0u, CloseBrowsers(1));
    EXPECT_EQ(0u, CloseBrowsers(0));
    for (size_t i = nOthers; i < nRows; i++) {      // each alone, found and left alone
        StandIns alone;
        ASSERT_EQ(0, StartRow(alone, s_rows[i]));
        EXPECT_EQ(Findable(s_rows[i]) ? 1u : 0u, CloseBrowsers(1)) << s_rows[i].pszProgram << " " << s_rows[i].pszKind;
        EXPECT_EQ(RUNNING, alone.FateOf(0, 0));
    }

    for (size_t i = nOthers; i < nRows; i++)
        ASSERT_EQ((int)i, StartRow(standIns, s_rows[i]));
    std::vector<HANDLE> handles(nRows);
    for (size_t i = 0; i < nRows; i++)
        handles[i] = standIns.Handle((int)i);
    EXPECT_EQ(1u, CloseBrowsers(1));
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForMultipleObjects((DWORD)nRows, handles.data(), FALSE, 1000)) << "detect only";

    DWORD dwStart = GetTickCount();
    EXPECT_EQ(1u, CloseBrowsers(0));
    printf("[ passes   ] CloseBrowsers took %lu ms\n", (unsigned long)(GetTickCount() - dwStart));
    // Those of the icon pass have ended already: it waited. Those expected
    // to stay are looked at last.
    Fate afFate[nRows];
    for (Pass pass : { ICON_PASS, ICON_PASS_ELSEWHERE, CLASS_PASS, PROCESS_PASS, NO_PASS, ICON_PASS_IGNORED })
        for (size_t i = 0; i < nRows; i++)
            if (s_rows[i].pass == pass)
                afFate[i] = standIns.FateOf((int)i, pass == CLASS_PASS ? 10000 : pass >= ICON_PASS ? 0 : 300);
    for (size_t i = 0; i < nRows; i++) {
        const Row &row = s_rows[i];
        Fate expected = Findable(row) || row.pass == NO_PASS ? s_afClosed[row.pass] : RUNNING;
        EXPECT_STREQ(FateName(expected), FateName(afFate[i])) << row.pszProgram << " " << row.pszKind;
        printf("[ passes   ] %-14s %-14s %-15s %+3d  %s\n", *row.pszProgram ? row.pszProgram : "(this process)",
               row.pszKind, row.pszIcon ? row.pszIcon : "", row.delta, FateName(afFate[i]));
    }
}
