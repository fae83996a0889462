// Reopening the result page after the browsers were closed.
#ifndef VUR_RELAUNCH_H
#define VUR_RELAUNCH_H

#include <windows.h>

// Opens the address with the shell verb "open"; TRUE when the shell took it.
BOOL RelaunchPage(const char *pszUrl);

#endif
