// The [TEST] section's line handler: evaluates a test line by its kind and
// sets m_bTestResult; a line that does not hold silences the rest of its
// section through bSkipTest. A line outside its kind's grammar (fields
// missing, a name too long for its record) does not hold and searches
// nothing: nothing is ever cut into another name.
#include "host/installer.h"
#include "browser/disksearch.h"
#include "script/actions.h"
#include "script/installpath.h"
#include "script/texthelpers.h"
#include "sysops/datetext.h"
#include "sysops/filetimes.h"
#include "sysops/registry.h"
#include "sysops/versioncompare.h"
#include <string.h>

static unsigned char FoldAsciiLower(char c)
{
    return (unsigned char)((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
}

// Only A-Z are folded; bytes compare unsigned, and a text that begins the
// other sorts first. Below, at or above 0 as a sorts before, with or after b.
static int CompareTextNoCase(const char *pszA, const char *pszB)
{
    for (;; pszA++, pszB++) {
        unsigned char a = FoldAsciiLower(*pszA), b = FoldAsciiLower(*pszB);
        if (a != b)
            return a < b ? -1 : 1;
        if (a == '\0')
            return 0;
    }
}

// Only the operator field's first character counts: ">=" acts as ">".
static LONG OrderHolds(char chOperator, int nOrder)
{
    switch (chOperator) {
    case '!': return nOrder != 0;
    case '<': return nOrder < 0;
    case '=': return nOrder == 0;
    case '>': return nOrder > 0;
    default: return 0;
    }
}

// KEY, or KEY;NAME;OPERATOR;VALUE. With one or two semicolons there is a
// value but nothing to compare it with.
static LONG TestRegistryLine(char *pszLine)
{
    char *pszName = CutAtSemicolon(pszLine);
    if (!pszName)
        return RegistryPathExists(pszLine) ? 1 : 0;
    char *pszOperator = CutAtSemicolon(pszName);
    char *pszValue = CutAtSemicolon(pszOperator);
    if (!pszValue)
        return 0;
    DWORD dwType = REG_NONE;
    const BYTE *pData = QueryRegistryPathValue(pszLine, pszName, &dwType);
    if (!pData)
        return 0;
    int nOrder;
    if (dwType == REG_DWORD) {
        DWORD dwStored;
        memcpy(&dwStored, pData, sizeof dwStored);
        DWORD dwWanted = TextToDword(pszValue);
        nOrder = dwStored < dwWanted ? -1 : (dwStored > dwWanted ? 1 : 0);
    } else if (dwType == REG_SZ) {
        nOrder = CompareTextNoCase((const char *)pData, pszValue);
    } else {
        return 0;
    }
    return OrderHolds(pszOperator[0], nOrder);
}

// NAME;F2;F3;F4 or NAME;F2;F3;F4;VERSION. A name that the plug-in folder
// table cannot hold could never be copied: such a line does not hold.
static LONG TestPluginLine(Installer *pInstaller, char *pszLine)
{
    char *pszField2 = CutAtSemicolon(pszLine);
    char *pszField3 = CutAtSemicolon(pszField2);
    char *pszField4 = CutAtSemicolon(pszField3);
    if (!pszField4 || StrLen(pszLine) >= (int)sizeof(PluginDirEntry::szName))
        return 0;
    char *pszVersion = CutAtSemicolon(pszField4);
    pInstaller->m_bTestResult = 1;
    return CheckBrowserPlugins(pInstaller, pszLine, pszField4, pszVersion) ? 1 : 0;
}

// ITEM;ITEM;... with ITEM = NAME or NAME:SIZE. A name longer than a record
// holds could only be matched cut, as another name: the line does not
// hold, and the disks are not searched for it.
static LONG TestFileLine(Installer *pInstaller, char *pszLine)
{
    DWORD nItems = (DWORD)StrCount(pszLine, ";") + 1;
    if (nItems > MAXDWORD / sizeof(SoughtFile))
        return 0;
    SoughtFile *aSought = (SoughtFile *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, nItems * sizeof(SoughtFile));
    if (!aSought)
        return 0;
    BOOL bFits = TRUE;
    char *pszItem = pszLine;
    for (DWORD i = 0; i < nItems && pszItem; i++) {
        char *pszNext = CutAtSemicolon(pszItem);
        char *pColon = StrChr(pszItem, ':');
        if (pColon) {
            *pColon = '\0';
            aSought[i].size = TextToDword(pColon + 1);
        }
        if (StrLen(pszItem) >= SOUGHT_NAME_SIZE)
            bFits = FALSE;
        else
            StrCopy(aSought[i].name, pszItem);
        pszItem = pszNext;
    }

    LONG bAllFound = 0;
    if (bFits) {
        SearchFixedDrives(pInstaller, aSought, nItems);
        bAllFound = 1;
        for (DWORD i = 0; i < nItems; i++)
            bAllFound = bAllFound && aSought[i].found;
    }
    HeapFree(GetProcessHeap(), 0, aSought);
    return bAllFound;
}

// NAME;DATE: the install folder's file was last written at the date (the
// hour taken one less) or later.
static LONG TestFileDateLine(char *pszLine)
{
    char *pszDate = CutAtSemicolon(pszLine);
    char szPath[INSTALLER_PATH_SIZE];
    if (!pszDate || !BuildInstallPath(szPath, sizeof szPath, pszLine))
        return 0;
    FILETIME ftDate;
    ParseDateText(pszDate, &ftDate);
    FILETIME ftFile = {};
    GetFileLastWriteTime(szPath, &ftFile);
    if (ftFile.dwLowDateTime == 0 && ftFile.dwHighDateTime == 0)
        return 0;
    return CompareFileTime(&ftDate, &ftFile) != 1;
}

// NAME;VERSION or NAME;VERSION;TRANSLATION.
static LONG TestFileVersionLine(char *pszLine)
{
    char *pszVersion = CutAtSemicolon(pszLine);
    char *pszTranslation = CutAtSemicolon(pszVersion);
    char szPath[INSTALLER_PATH_SIZE];
    if (!pszVersion || !BuildInstallPath(szPath, sizeof szPath, pszLine))
        return 0;
    return FileVersionAtLeast(szPath, pszVersion, pszTranslation) ? 1 : 0;
}

void Installer::RunTestLine(LONG *pbSkipTest)
{
    switch (m_nTestKind) {
    case TESTKIND_REGISTRY:
        m_bTestResult = TestRegistryLine(m_pLine);
        break;
    case TESTKIND_PLUGIN:
        m_bTestResult = TestPluginLine(this, m_pLine);
        break;
    case TESTKIND_FILE:
        m_bTestResult = TestFileLine(this, m_pLine);
        break;
    case TESTKIND_FILEDATE:
        m_bTestResult = TestFileDateLine(m_pLine);
        break;
    case TESTKIND_FILEVER:
        m_bTestResult = TestFileVersionLine(m_pLine);
        break;
    default:
        // Before any kind header: the outcome stays as the [TEST] header
        // left it (0), so the rest of the section is skipped.
        break;
    }
    *pbSkipTest = m_bTestResult ? 0 : 1;
}
