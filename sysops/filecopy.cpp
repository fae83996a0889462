// Copying with LZ expansion through lz32, which passes files that are not
// compressed through unchanged.
#include "sysops/filecopy.h"
#include "sysops/filetimes.h"
#include <lzexpand.h>

LONG g_lLastCopyResult;

UINT ExpandCopyFile(const char *pszSource, const char *pszDest)
{
    if (!pszSource || !pszDest) {
        g_lLastCopyResult = LZERROR_BADINHANDLE;
        return 0;
    }

    FILETIME ftCreation = {0, 0};
    GetFileCreationTime(pszSource, &ftCreation);

    // Clears read-only, hidden and system; a missing destination is fine.
    SetFileAttributesA(pszDest, FILE_ATTRIBUTE_NORMAL);

    // LZOpenFileA only reads the name; its prototype predates const.
    OFSTRUCT ofSource;
    INT hSource = LZOpenFileA(const_cast<char *>(pszSource), &ofSource, OF_READ);
    g_lLastCopyResult = hSource;
    if (hSource < 0)
        return 0;

    // OpenFile rather than LZOpenFileA: when the destination cannot be
    // opened (held open by another program), LZOpenFileA retries under the
    // compressed name (x.dl_ for x.dll) and would create and fill that file
    // instead. HFILE_ERROR is -1, LZERROR_BADINHANDLE.
    OFSTRUCT ofDest;
    HFILE hDest = OpenFile(pszDest, &ofDest, OF_CREATE);
    g_lLastCopyResult = hDest;
    if (hDest < 0) {
        LZClose(hSource);
        return 0;
    }

    g_lLastCopyResult = LZCopy(hSource, hDest);
    LZClose(hDest);
    LZClose(hSource);
    if (g_lLastCopyResult < 0)
        return 0;

    SetFileCreationTime(pszDest, ftCreation);
    return 1;
}
