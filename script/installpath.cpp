// Paths in the install folder.
#include "script/installpath.h"
#include "script/texthelpers.h"
#include "sysops/installfolder.h"
#include "sysops/registry.h"
#include <string.h>

BOOL BuildInstallPath(char *pszPath, size_t cbPath, const char *pszName)
{
    if (cbPath == 0)
        return FALSE;
    pszPath[0] = '\0';
    const char *pszFolder = QueryInstallFolder();
    if (!pszFolder)
        return FALSE;
    // The stored text need not end in a NUL inside the value buffer.
    size_t cchFolder = 0;
    while (cchFolder < REG_VALUE_SIZE && pszFolder[cchFolder])
        cchFolder++;
    return JoinFolderPath(pszPath, cbPath, pszFolder, cchFolder, pszName);
}

BOOL JoinFolderPath(char *pszPath, size_t cbPath, const char *pszFolder, size_t cchFolder, const char *pszName)
{
    if (cbPath == 0)
        return FALSE;
    pszPath[0] = '\0';
    if (cchFolder == 0)
        return FALSE;
    size_t cchSlash = (pszName && pszFolder[cchFolder - 1] != '\\') ? 1 : 0;
    size_t cchName = pszName ? (size_t)StrLen(pszName) : 0;
    if (cchFolder + cchSlash + cchName >= cbPath)
        return FALSE;
    memcpy(pszPath, pszFolder, cchFolder);
    if (cchSlash)
        pszPath[cchFolder] = '\\';
    memcpy(pszPath + cchFolder + cchSlash, pszName ? pszName : "", cchName);
    pszPath[cchFolder + cchSlash + cchName] = '\0';
    return TRUE;
}
