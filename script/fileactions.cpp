// The file commands of action lines: DEL, MD, COPY, COPYVER and COPYDATE.
// Each copy leaves the download table's entry naming the installed file.
#include "script/actions.h"
#include "script/installpath.h"
#include "script/texthelpers.h"
#include "host/errors.h"
#include "sysops/filecopy.h"
#include "sysops/conditionalcopy.h"

void RunDelAction(const ActionLine &line)
{
    DeleteFileA(line.Entry().szPath);
}

void RunMdAction(const ActionLine &line)
{
    char szDir[INSTALLER_PATH_SIZE];
    if (BuildInstallPath(szDir, sizeof szDir, line.pszRest) &&
        (CreateDirectoryA(szDir, NULL) || GetLastError() == ERROR_ALREADY_EXISTS))
        return;
    // Without an install folder, or for a path too long, the folder named
    // in the line is what the host is told.
    line.pInstaller->SendParameter("DIR", szDir[0] ? szDir : (line.pszRest ? line.pszRest : ""), 1);
    FailAction(line.pInstaller, ERR_MKDIR);
}

// After a successful copy the downloaded file goes, and the entry names the
// installed one, so that later lines with the same index act on it.
static void Installed(const ActionLine &line, const char *pszDestination)
{
    DownloadEntry &entry = line.Entry();
    DeleteFileA(entry.szPath);
    StrCopyMax(entry.szPath, pszDestination, sizeof entry.szPath);
}

// Destinations are built in an entry-sized buffer: the entry keeps the
// path after the copy, so a longer path fails its command.
static void FinishCopy(const ActionLine &line, BOOL bBuilt, DWORD dwCopied, const char *pszName,
                       const char *pszDest, LONG lErrorCode)
{
    if (bBuilt && dwCopied) {
        Installed(line, pszDest);
        return;
    }
    FailCopy(line.pInstaller, line.Entry().szPath, bBuilt ? pszDest : (pszName ? pszName : ""), lErrorCode);
}

void RunCopyAction(const ActionLine &line)
{
    char szDest[INSTALLER_TEXT_SIZE];
    BOOL bBuilt = BuildInstallPath(szDest, sizeof szDest, line.pszRest);
    DWORD dwCopied = bBuilt && ExpandCopyFile(line.Entry().szPath, szDest);
    FinishCopy(line, bBuilt, dwCopied, line.pszRest, szDest, ERR_COPY);
}

// A COPYVER line without its version field cannot say what it wants: it
// fails like a copy that did not happen, so the author learns of it.
void RunCopyVerAction(const ActionLine &line)
{
    char *pszName = line.pszRest;
    char *pszVersion = CutAtSemicolon(pszName);
    char *pszTranslation = CutAtSemicolon(pszVersion);
    char szDest[INSTALLER_TEXT_SIZE];
    BOOL bBuilt = BuildInstallPath(szDest, sizeof szDest, pszName);
    DWORD dwCopied = bBuilt && pszVersion &&
                     CopyIfOlderVersion(line.Entry().szPath, szDest, pszVersion, pszTranslation);
    FinishCopy(line, bBuilt, dwCopied, pszName, szDest, ERR_COPYVER);
}

void RunCopyDateAction(const ActionLine &line)
{
    char szDest[INSTALLER_TEXT_SIZE];
    BOOL bBuilt = BuildInstallPath(szDest, sizeof szDest, line.pszRest);
    DWORD dwCopied = bBuilt && CopyIfNewerDate(line.Entry().szPath, szDest);
    FinishCopy(line, bBuilt, dwCopied, line.pszRest, szDest, ERR_COPYDATE);
}
