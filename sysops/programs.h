// Running downloaded programs and having downloaded components register
// themselves.
#ifndef VUR_PROGRAMS_H
#define VUR_PROGRAMS_H

#include <windows.h>

// Starts the program with exactly pszCommandLine as its whole command line
// (none: the platform uses the path) and waits up to dwTimeoutMs (INFINITE:
// no limit), or until *pbCancel (when given) is set. 1 if it started and the
// wait did not fail; a program still running at the time-out or the cancel
// is left running and counts as started. Its exit code is not looked at.
UINT RunProgramAndWait(const char *pszPath, char *pszCommandLine, DWORD dwTimeoutMs,
                       const volatile LONG *pbCancel = NULL);

// A path ending in a lower-case 'e' is a program run with "/regserver" (at
// most 10 s); anything else is loaded as a library and its
// "DllRegisterServer" called. 1 if it registered itself.
UINT RegisterComponentFile(const char *pszPath);

#endif
