// Command-line scan of the process entry.
#include "server/commandline.h"
#include <windows.h>

// Byte by byte: '-' and '/' are never the second byte of a double-byte
// character, and a candidate taken from inside a path never matches.
static const char *NextSwitchCharacter(const char *p)
{
    while (*p && *p != '-' && *p != '/')
        p++;
    return *p ? p : NULL;
}

ServerSwitch ScanCommandLine(const char *pszLine)
{
    if (!pszLine)
        return SWITCH_NONE;
    for (const char *p = NextSwitchCharacter(pszLine); p; p = NextSwitchCharacter(p + 1)) {
        const char *pszCandidate = p + 1;
        if (lstrcmpiA(pszCandidate, "UnregServer") == 0)
            return SWITCH_UNREGSERVER;
        if (lstrcmpiA(pszCandidate, "RegServer") == 0)
            return SWITCH_REGSERVER;
    }
    return SWITCH_NONE;
}
