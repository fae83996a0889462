// Version texts compared field by field as numbers, and the FileVersion
// string of a file read through version.dll.
#include "sysops/versioncompare.h"
#include "script/texthelpers.h"

#define VERSION_FIELDS     4
#define VERSION_PATH_SIZE  256

static const char s_szQueryPrefix[] = "\\StringFileInfo\\";
static const char s_szQuerySuffix[] = "\\FileVersion";
static const char s_szDefaultQuery[] = "\\StringFileInfo\\040904E4\\FileVersion";

// Finds the three commas before anything is written, so that a text
// outside the format is never cut.
static BOOL FindCommas(char *pszText, char *apComma[VERSION_FIELDS - 1])
{
    char *p = pszText;
    for (int i = 0; i < VERSION_FIELDS - 1; i++) {
        p = StrChr(p, ',');
        if (!p)
            return FALSE;
        apComma[i] = p++;
    }
    return TRUE;
}

static void ReadFields(char *pszText, char *apComma[VERSION_FIELDS - 1], LONG alField[VERSION_FIELDS])
{
    for (int i = 0; i < VERSION_FIELDS - 1; i++)
        *apComma[i] = '\0';
    alField[0] = TextToLong(pszText);
    for (int i = 1; i < VERSION_FIELDS; i++)
        alField[i] = TextToLong(apComma[i - 1] + 1);
    for (int i = 0; i < VERSION_FIELDS - 1; i++)
        *apComma[i] = ',';
}

UINT VersionTextAtLeast(char *pszA, char *pszB)
{
    if (!pszA || !pszB)
        return 0;
    // Fewer than three commas (a dotted "1.0.1.5", say) is not a version
    // this format can compare: it does not count as at least.
    char *apCommaA[VERSION_FIELDS - 1];
    char *apCommaB[VERSION_FIELDS - 1];
    if (!FindCommas(pszA, apCommaA) || !FindCommas(pszB, apCommaB))
        return 0;

    // One text at a time, each put back before the next is cut: a and b
    // may be the same text.
    LONG alA[VERSION_FIELDS];
    LONG alB[VERSION_FIELDS];
    ReadFields(pszA, apCommaA, alA);
    ReadFields(pszB, apCommaB, alB);

    for (int i = 0; i < VERSION_FIELDS; i++) {
        if (alA[i] < alB[i])
            return 0;
        if (alA[i] > alB[i])
            return 1;
    }
    return 1;
}

// A translation too long for the 256-byte query path is refused rather
// than cut: a cut path could name another string.
static BOOL BuildQueryPath(const char *pszTranslation, char szPath[VERSION_PATH_SIZE])
{
    if (!pszTranslation) {
        StrCopyMax(szPath, s_szDefaultQuery, VERSION_PATH_SIZE);
        return TRUE;
    }
    size_t cch = sizeof s_szQueryPrefix - 1 + StrLen(pszTranslation) + sizeof s_szQuerySuffix - 1;
    if (cch >= VERSION_PATH_SIZE)
        return FALSE;
    StrCopyMax(szPath, s_szQueryPrefix, VERSION_PATH_SIZE);
    StrAppendMax(szPath, pszTranslation, VERSION_PATH_SIZE);
    StrAppendMax(szPath, s_szQuerySuffix, VERSION_PATH_SIZE);
    return TRUE;
}

UINT FileVersionAtLeast(const char *pszPath, char *pszWanted, const char *pszTranslation)
{
    char szQuery[VERSION_PATH_SIZE];
    if (!pszPath || !BuildQueryPath(pszTranslation, szQuery))
        return 0;

    // The API's prototypes predate const; they only read the name.
    DWORD dwHandle = 0;
    DWORD cbInfo = GetFileVersionInfoSizeA(const_cast<char *>(pszPath), &dwHandle);
    if (cbInfo == 0)
        return 0;

    // One byte more than asked for, kept NUL: a damaged resource whose
    // string runs to the end of the data still ends inside the block.
    BYTE *pInfo = (BYTE *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, cbInfo + 1);
    if (!pInfo)
        return 0;

    UINT uResult = 0;
    char *pszFileVersion = NULL;
    UINT cchFileVersion = 0;
    if (GetFileVersionInfoA(const_cast<char *>(pszPath), dwHandle, cbInfo, pInfo) &&
        VerQueryValueA(pInfo, szQuery, (void **)&pszFileVersion, &cchFileVersion) &&
        pszFileVersion)
        uResult = VersionTextAtLeast(pszFileVersion, pszWanted);

    HeapFree(GetProcessHeap(), 0, pInfo);
    return uResult;
}
