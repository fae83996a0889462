// Closing the running browsers before a plug-in they may hold is replaced:
// by window class, by process name and by the pixels of window icons.
#ifndef VUR_CLOSEBROWSERS_H
#define VUR_CLOSEBROWSERS_H

#include <windows.h>

// Runs the three passes in that order and gives 1 when any found a browser.
// With bDetectOnly nothing is closed or ended. Not reentrant: the passes
// share module state.
UINT CloseBrowsers(UINT bDetectOnly);

// The passes: "IEFrame" windows and "CabinetWClass" windows that show a
// document; processes named "iexplore.exe" or "netscape.exe"; top-level
// windows whose small class icon is a stored browser icon (the callback of
// EnumWindows, which reads the detect-only flag CloseBrowsers stored).
void CloseBrowserFrames(UINT bDetectOnly);
UINT EndBrowserProcesses(UINT bDetectOnly);
BOOL CALLBACK CloseIconMatchedWindows(HWND hwnd, LPARAM lParam);

#endif
