// iconcapture: writes the small class icon of a running window as the
// browser closing reads it (768 bytes: 16 x 16 pixels, 24 bits, bottom row
// first), so that a browser's icon can be stored as an "ICONS" resource.
//   iconcapture --class NAME | --title TEXT | --pid ID  OUTPUT.bin
//   iconcapture --list
//   iconcapture --check PIXELS.bin OUTPUT.bin
#include "browser/browsericons.h"
#include "sysops/handles.h"
#include "pixelicon.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum Exit { EXIT_DONE, EXIT_USAGE, EXIT_NO_WINDOW, EXIT_NO_ICON, EXIT_WRITE, EXIT_CHANGED };

static const char *const s_apszRead[] = { "16 x 16", "no small icon", "not 16 x 16", "unreadable" };
static const char s_szCheckClass[] = "IconCaptureCheck";

struct WindowSearch {
    DWORD dwProcessId;      // 0: list every visible window
    HWND hwndFound;
};

static void Describe(HWND hwnd, const char *pszRead)
{
    char szClass[256] = "", szTitle[256] = "";
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hwnd, &dwProcessId);
    GetClassNameA(hwnd, szClass, sizeof szClass);
    GetWindowTextA(hwnd, szTitle, sizeof szTitle);
    printf("window %p  process %lu  class \"%s\"  title \"%s\"  icon %s\n", (void *)hwnd,
           (unsigned long)dwProcessId, szClass, szTitle, pszRead);
}

// Visible top-level windows: listed, or the first of the process kept (a
// hidden one only when the process has no visible one).
static BOOL CALLBACK VisitWindow(HWND hwnd, LPARAM lParam)
{
    WindowSearch *pSearch = (WindowSearch *)lParam;
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hwnd, &dwProcessId);
    if (pSearch->dwProcessId == 0) {
        BYTE abPixels[BROWSER_ICON_BYTES];
        if (IsWindowVisible(hwnd))
            Describe(hwnd, s_apszRead[ReadClassSmallIcon(hwnd, abPixels)]);
    } else if (dwProcessId == pSearch->dwProcessId
               && (!pSearch->hwndFound || (IsWindowVisible(hwnd) && !IsWindowVisible(pSearch->hwndFound)))) {
        pSearch->hwndFound = hwnd;
    }
    return TRUE;
}

static Exit Capture(HWND hwnd, const char *pszOutput, BYTE *pbPixels)
{
    ClassIconRead read = ReadClassSmallIcon(hwnd, pbPixels);
    Describe(hwnd, s_apszRead[read]);
    if (read != CLASS_ICON_READ) {
        fprintf(stderr, "iconcapture: the window's class small icon cannot be stored (%s)\n", s_apszRead[read]);
        return EXIT_NO_ICON;
    }
    FileHandle file;
    file.h = CreateFileA(pszOutput, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD cbWritten = 0;
    if (file.h == INVALID_HANDLE_VALUE || !WriteFile(file.h, pbPixels, BROWSER_ICON_BYTES, &cbWritten, NULL)
        || cbWritten != BROWSER_ICON_BYTES) {
        fprintf(stderr, "iconcapture: cannot write %s (error %lu)\n", pszOutput, (unsigned long)GetLastError());
        return EXIT_WRITE;
    }
    printf("wrote %lu bytes to %s\n", (unsigned long)cbWritten, pszOutput);
    return EXIT_DONE;
}

// Draws the pixels as the small icon of a window of its own and captures it:
// what a display of fewer than 24 bits changes shows before real icons are
// captured on it.
static Exit Check(const char *pszPixels, const char *pszOutput)
{
    BYTE abDrawn[BROWSER_ICON_BYTES], abCaptured[BROWSER_ICON_BYTES];
    FileHandle file;
    file.h = CreateFileA(pszPixels, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    DWORD cbRead = 0;
    if (file.h == INVALID_HANDLE_VALUE || GetFileSize(file.h, NULL) != sizeof abDrawn
        || !ReadFile(file.h, abDrawn, sizeof abDrawn, &cbRead, NULL) || cbRead != sizeof abDrawn) {
        fprintf(stderr, "iconcapture: %s does not hold %d bytes\n", pszPixels, BROWSER_ICON_BYTES);
        return EXIT_USAGE;
    }
    WNDCLASSEXA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hIconSm = CreatePixelIcon(abDrawn, 16);
    wc.lpszClassName = s_szCheckClass;
    HWND hwnd = RegisterClassExA(&wc) ? CreateWindowExA(0, s_szCheckClass, "iconcapture check", WS_OVERLAPPEDWINDOW,
                                                        0, 0, 200, 100, NULL, NULL, wc.hInstance, NULL) : NULL;
    if (!hwnd) {
        fprintf(stderr, "iconcapture: cannot open a window (error %lu)\n", (unsigned long)GetLastError());
        return EXIT_NO_WINDOW;
    }
    Exit exit = Capture(hwnd, pszOutput, abCaptured);
    DestroyWindow(hwnd);
    if (exit != EXIT_DONE)
        return exit;
    int iFirst = -1, nLargest = 0;
    for (int i = 0; i < BROWSER_ICON_BYTES; i++) {
        int n = abs(abCaptured[i] - abDrawn[i]);
        if (n && iFirst < 0)
            iFirst = i;
        if (n > nLargest)
            nLargest = n;
    }
    if (iFirst < 0) {
        printf("the capture equals the pixels drawn\n");
        return EXIT_DONE;
    }
    printf("the capture differs from the pixels drawn: first at byte %d (%u, drawn %u); largest difference %d, %s "
           "the tolerance of %d\n", iFirst, abCaptured[iFirst], abDrawn[iFirst], nLargest,
           nLargest <= BROWSER_ICON_TOLERANCE ? "within" : "beyond", BROWSER_ICON_TOLERANCE);
    return EXIT_CHANGED;
}

static Exit Usage()
{
    fprintf(stderr, "usage: iconcapture --class NAME | --title TEXT | --pid ID  OUTPUT.bin\n"
                    "       iconcapture --list\n"
                    "       iconcapture --check PIXELS.bin OUTPUT.bin\n");
    return EXIT_USAGE;
}

int main(int argc, char **argv)
{
    WindowSearch search = { 0, NULL };
    if (argc == 2 && strcmp(argv[1], "--list") == 0) {
        EnumWindows(VisitWindow, (LPARAM)&search);
        return EXIT_DONE;
    }
    if (argc != 4)
        return Usage();
    const char *pszWhich = argv[1], *pszValue = argv[2], *pszOutput = argv[3];
    if (strcmp(pszWhich, "--check") == 0)
        return Check(pszValue, pszOutput);
    if (strcmp(pszWhich, "--class") == 0)
        search.hwndFound = FindWindowExA(NULL, NULL, pszValue, NULL);
    else if (strcmp(pszWhich, "--title") == 0)
        search.hwndFound = FindWindowExA(NULL, NULL, NULL, pszValue);
    else if (strcmp(pszWhich, "--pid") == 0 && (search.dwProcessId = strtoul(pszValue, NULL, 0)) != 0)
        EnumWindows(VisitWindow, (LPARAM)&search);
    else
        return Usage();
    if (!search.hwndFound) {
        fprintf(stderr, "iconcapture: no top-level window for %s %s\n", pszWhich, pszValue);
        return EXIT_NO_WINDOW;
    }
    BYTE abPixels[BROWSER_ICON_BYTES];
    return Capture(search.hwndFound, pszOutput, abPixels);
}
