// The copies by version and by date, on ExpandCopyFile.
#include "sysops/conditionalcopy.h"
#include "sysops/filecopy.h"
#include "sysops/filedatecompare.h"
#include "sysops/versioncompare.h"

UINT CopyIfOlderVersion(const char *pszSource, const char *pszDest, char *pszWanted,
                        const char *pszTranslation)
{
    if (FileVersionAtLeast(pszDest, pszWanted, pszTranslation))
        return 1;
    return ExpandCopyFile(pszSource, pszDest);
}

UINT CopyIfNewerDate(const char *pszSource, const char *pszDest)
{
    if (FileNotNewer(pszSource, pszDest))
        return 1;
    return ExpandCopyFile(pszSource, pszDest);
}
