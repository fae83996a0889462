// Copies that replace an installed file only when it is out of date, by
// version or by date. Both give 0 only when the copy itself fails, and
// g_lLastCopyResult then tells why.
#ifndef VUR_CONDITIONALCOPY_H
#define VUR_CONDITIONALCOPY_H

#include <windows.h>

// Copies unless the destination's FileVersion is already pszWanted or
// later. The version written in the script decides, not the source's.
UINT CopyIfOlderVersion(const char *pszSource, const char *pszDest, char *pszWanted,
                        const char *pszTranslation);

// Copies unless the source was last written no later than the destination.
UINT CopyIfNewerDate(const char *pszSource, const char *pszDest);

#endif
