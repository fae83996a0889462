// Paths in the install folder (the default value of HKEY_LOCAL_MACHINE
// "Software\VUR"), read each time a command needs it.
#ifndef VUR_INSTALLPATH_H
#define VUR_INSTALLPATH_H

#include <windows.h>
#include <stddef.h>

// Builds the install folder's text, a backslash unless it ends in one, and
// pszName; with a NULL name, the folder's text alone. Gives FALSE, with an
// empty path, when the install folder value is missing or empty or the path
// does not fit cbPath bytes: a path is never cut into a different one.
BOOL BuildInstallPath(char *pszPath, size_t cbPath, const char *pszName);

// The same for any folder: the first cchFolder characters of pszFolder (at
// least one), a backslash unless they end in one, and pszName (NULL: none).
BOOL JoinFolderPath(char *pszPath, size_t cbPath, const char *pszFolder, size_t cchFolder, const char *pszName);

#endif
