// The three passes that close the running browsers, and their order.
#include "browser/closebrowsers.h"
#include "browser/browsericons.h"
#include "browser/processes.h"
#include "sysops/handles.h"

#define ICON_MATCH_WAIT_MS 4000

static UINT s_bBrowserFound;
static UINT s_bDetectOnly;

UINT CloseBrowsers(UINT bDetectOnly)
{
    s_bBrowserFound = 0;
    s_bDetectOnly = bDetectOnly;
    // No pause between the passes: a browser asked to close by the first
    // and still there for the second is ended by it.
    CloseBrowserFrames(bDetectOnly);
    s_bBrowserFound |= EndBrowserProcesses(bDetectOnly);
    LoadBrowserIcons();
    EnumWindows(CloseIconMatchedWindows, 0);
    FreeBrowserIcons();
    return s_bBrowserFound;
}

// Walks the top-level windows of the class; the next one is found before
// the current one is asked to close, since a window destroyed meanwhile
// would end the walk as the place to go on from.
static void CloseWindowsOfClass(const char *pszClass, const char *pszNeededChild, UINT bDetectOnly)
{
    HWND hwndNext;
    for (HWND hwnd = FindWindowExA(NULL, NULL, pszClass, NULL); hwnd; hwnd = hwndNext) {
        hwndNext = FindWindowExA(NULL, hwnd, pszClass, NULL);
        if (pszNeededChild && !FindWindowExA(hwnd, NULL, pszNeededChild, NULL))
            continue;
        s_bBrowserFound = 1;
        if (!bDetectOnly)
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
}

void CloseBrowserFrames(UINT bDetectOnly)
{
    CloseWindowsOfClass("IEFrame", NULL, bDetectOnly);
    // A folder window shows a web page only through that child.
    CloseWindowsOfClass("CabinetWClass", "Shell DocObject View", bDetectOnly);
}

UINT EndBrowserProcesses(UINT bDetectOnly)
{
    static const char *const s_apszNames[] = { "iexplore.exe", "netscape.exe" };
    return EndProcessesByName(s_apszNames, 2, 1, bDetectOnly);
}

BOOL CALLBACK CloseIconMatchedWindows(HWND hwnd, LPARAM)
{
    // Closing an earlier window may have taken this one with it.
    if (!IsWindow(hwnd))
        return TRUE;
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hwnd, &dwProcessId);
    BYTE abPixels[BROWSER_ICON_BYTES];
    if (ReadClassSmallIcon(hwnd, abPixels) != CLASS_ICON_READ || !MatchesBrowserIcon(abPixels))
        return TRUE;
    s_bBrowserFound = 1;
    if (s_bDetectOnly)
        return TRUE;
    KernelHandle process;
    process.h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, dwProcessId);
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    // Lets the browser go before the next window is looked at. A browser
    // that ignores WM_CLOSE, or asks the user first, holds the pass here for
    // the whole 4 s and is then left running.
    if (process.h)
        WaitForSingleObject(process.h, ICON_MATCH_WAIT_MS);
    return TRUE;
}
