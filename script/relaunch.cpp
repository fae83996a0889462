// Reopening a page through the shell.
#include "script/relaunch.h"
#include <shellapi.h>

BOOL RelaunchPage(const char *pszUrl)
{
    HINSTANCE hResult = ShellExecuteA(NULL, "open", pszUrl, NULL, NULL, SW_SHOWNORMAL);
    return (INT_PTR)hResult > 32;
}
