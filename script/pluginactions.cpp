// The plug-in commands of action lines: COPYPLUGIN (closing the browsers
// first), COPYPLUGIN2 and PATCHPLUGIN, over every folder of the plug-in
// folder table that the [PLUGIN] tests filled.
#include "script/actions.h"
#include "script/installpath.h"
#include "script/texthelpers.h"
#include "host/errors.h"
#include "sysops/filecopy.h"
#include "sysops/handles.h"
#include "browser/closebrowsers.h"

#define PLUGIN_PATH_SIZE 272

static const char kPluginTitle[] = "VUR - Installer";

// The file name of a path: after its last backslash, slash or drive colon.
static const char *FileNamePart(const char *pszPath)
{
    const char *pszName = pszPath;
    for (const char *p = pszPath; *p; p++) {
        if (*p == '\\' || *p == '/' || *p == ':')
            pszName = p + 1;
    }
    return pszName;
}

// A folder whose path with the name would not fit is refused, never cut.
static BOOL BuildPluginPath(char (&szPath)[PLUGIN_PATH_SIZE], const PluginDirEntry &entry, const char *pszName)
{
    return JoinFolderPath(szPath, sizeof szPath, entry.szDir, (size_t)StrLen(entry.szDir), pszName);
}

UINT CopyToPluginFolders(Installer *pInstaller, const char *pszSource, BOOL bOwnName, const char *pszName)
{
    for (DWORD i = 0; i < pInstaller->m_nPluginDirs; i++) {
        const PluginDirEntry &entry = pInstaller->m_aPluginDirs[i];
        const char *pszFile = bOwnName ? FileNamePart(pszSource) : pszName ? pszName : entry.szName;
        char szDest[PLUGIN_PATH_SIZE];
        BOOL bBuilt = BuildPluginPath(szDest, entry, pszFile);
        if (bBuilt && ExpandCopyFile(pszSource, szDest))
            continue;
        if (!bBuilt)
            g_lLastCopyResult = 0;
        const char *pszDest = bBuilt ? szDest : pszFile;
        // wsprintfA writes at most 1024 characters, NUL included.
        char szMessage[1024];
        wsprintfA(szMessage,
                  "Impossible de copier le fichier %s vers %s (erreur %ld). V\xE9rifiez que le fichier "
                  "destination n'est pas en lecture seule et qu'il n'est pas utilis\xE9 par une autre "
                  "application puis relancez Vur.",
                  pszSource, pszDest, g_lLastCopyResult);
        MessageBoxA(NULL, szMessage, kPluginTitle, MB_OK | MB_ICONHAND);
        FailCopy(pInstaller, pszSource, pszDest, ERR_COPYPLUGIN);
        return 0;
    }
    return 1;
}

// COPYPLUGIN:k;f1;f2;f3;f4;k2;k3... The four fields are not used; a line
// with fewer of them simply has no further indexes.
void RunCopyPluginAction(const ActionLine &line)
{
    Installer *pInstaller = line.pInstaller;
    char *pszList = line.pszRest;
    for (int i = 0; i < 4 && pszList; i++)
        pszList = CutAtSemicolon(pszList);

    if (pInstaller->m_nPluginDirs > 0) {
        *line.pbRelaunch = 1;
        // The host lives in a browser that is about to close: it hears
        // nothing more from this run.
        if (pInstaller->m_pThreadCallback) {
            pInstaller->m_pThreadCallback->Release();
            pInstaller->m_pThreadCallback = NULL;
        }
        MessageBoxA(NULL,
                    "Votre browser va \xEAtre ferm\xE9 puis relanc\xE9 afin de terminer l'installation "
                    "(cette op\xE9ration peut prendre quelques secondes).",
                    kPluginTitle, MB_OK | MB_ICONINFORMATION);
        g_bClosingBrowser = 1;
        CloseBrowsers(0);
        g_bClosingBrowser = 0;
    }
    if (!CopyToPluginFolders(pInstaller, line.Entry().szPath, FALSE, NULL))
        return;
    while (pszList) {
        char *pszIndex = pszList;
        pszList = CutAtSemicolon(pszList);
        DWORD dwIndex = (DWORD)TextToLong(pszIndex);
        if (!IsDownloadIndex(pInstaller, dwIndex)) {
            MessageBoxA(NULL, "Installer - Copyplugin file : index trop grand !", pszIndex, MB_OK);
            continue;
        }
        if (!CopyToPluginFolders(pInstaller, pInstaller->m_aDownloads[dwIndex - 1].szPath, TRUE, NULL))
            return;
    }
}

void RunCopyPlugin2Action(const ActionLine &line)
{
    CopyToPluginFolders(line.pInstaller, line.Entry().szPath, FALSE, line.pszRest);
}

// Writes the offset;bytes;offset;bytes... list into the buffer, leaving the
// list text as it is. A byte whose place lies at or past the end (an
// offset that wraps included) is not written.
void ApplyPatchList(BYTE *pBuffer, DWORD cbBuffer, const char *pszList)
{
    const char *pszOffset = pszList;
    for (;;) {
        const char *pSemi = StrChr(pszOffset, ';');
        if (!pSemi)
            return;
        // HexToLong reads the whole text for a length of 0: an empty offset is 0.
        ULONGLONG ullOffset = pSemi > pszOffset ? (DWORD)HexToLong(pszOffset, (int)(pSemi - pszOffset)) : 0;
        const char *pszBytes = pSemi + 1;
        const char *pEnd = StrChr(pszBytes, ';');
        size_t cchBytes = pEnd ? (size_t)(pEnd - pszBytes) : (size_t)StrLen(pszBytes);
        for (size_t i = 0; i + 1 < cchBytes; i += 2) {
            ULONGLONG ullAt = ullOffset + i / 2;
            if (ullAt < cbBuffer)
                pBuffer[ullAt] = (BYTE)HexToLong(pszBytes + i, 2);
        }
        if (!pEnd)
            return;
        pszOffset = pEnd + 1;
    }
}

// Files that cannot be opened or read whole are passed over; nothing is
// ever reported.
static void PatchFile(const char *pszPath, const char *pszList)
{
    FileHandle file;
    file.h = CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file.h == INVALID_HANDLE_VALUE)
        return;
    DWORD cbFile = GetFileSize(file.h, NULL);
    BYTE *pBuffer = cbFile != INVALID_FILE_SIZE ? (BYTE *)HeapAlloc(GetProcessHeap(), 0, cbFile ? cbFile : 1) : NULL;
    if (!pBuffer)
        return;
    DWORD cbRead = 0;
    if (ReadFile(file.h, pBuffer, cbFile, &cbRead, NULL) && cbRead == cbFile) {
        ApplyPatchList(pBuffer, cbFile, pszList);
        DWORD cbWritten = 0;
        SetFilePointer(file.h, 0, NULL, FILE_BEGIN);
        WriteFile(file.h, pBuffer, cbFile, &cbWritten, NULL);
    }
    HeapFree(GetProcessHeap(), 0, pBuffer);
}

// PATCHPLUGIN:k;name;patches. The index is neither used nor tested.
void RunPatchPluginAction(const ActionLine &line)
{
    char *pszName = line.pszRest;
    char *pszList = pszName ? CutAtSemicolon(pszName) : NULL;
    if (!pszList)
        return;
    Installer *pInstaller = line.pInstaller;
    for (DWORD i = 0; i < pInstaller->m_nPluginDirs; i++) {
        char szPath[PLUGIN_PATH_SIZE];
        if (BuildPluginPath(szPath, pInstaller->m_aPluginDirs[i], pszName))
            PatchFile(szPath, pszList);
    }
}
