// The search of the fixed disks: a depth-first walk that enters each
// directory by name and leaves it by "..", and either records the browser
// folders whose plug-in is out of date or marks the sought files it meets.
#include "browser/disksearch.h"
#include "script/texthelpers.h"
#include "sysops/handles.h"
#include "sysops/versioncompare.h"

#define CURRENT_DIR_SIZE    260     // the current directory, as the system gives it
#define PLUGIN_PATH_SIZE    264     // a Plugins folder, then the plug-in's path in it
#define DRIVE_LIST_SIZE     260
#define SPINNER_LENGTH      32
#define SPINNER_PERIOD      16      // directories entered per step of the mark

static const char s_szWaitText[] = "Veuillez patienter pendant l'installation...";
static const char s_szPluginsFolder[] = "\\Plugins";

SearchSpinner g_spinner;

// The plug-in mode's question and its answer, for the search under way.
static const char *s_pszPluginName;
static char *s_pszPluginVersion;
static UINT s_bExplorerPluginsCurrent;
static UINT s_bNetscapePluginsCurrent;

static_assert(sizeof g_spinner.szText == SPINNER_LENGTH + 1, "the spinner text is 32 characters");

void AdvanceSpinner()
{
    if (g_spinner.dwCalls++ % SPINNER_PERIOD != 0)
        return;
    DWORD dwStep = g_spinner.dwSteps++;
    for (int i = 0; i < SPINNER_LENGTH; i++)
        g_spinner.szText[i] = '.';
    g_spinner.szText[dwStep % SPINNER_LENGTH] = "-\\|/"[dwStep % 4];
    g_spinner.szText[SPINNER_LENGTH] = '\0';
}

static void SendProgress(Installer *pInstaller, const char *pszText, const char *pszNumber)
{
    pInstaller->SendParameter("TEXTMSG", pszText, 1);
    pInstaller->SendParameter("NUMMSG", pszNumber, 1);
    pInstaller->SendCommand("SETMSG", 1);
}

// The current directory holds a browser program. A folder whose Plugins
// text or plug-in path would not fit its buffer is passed over as if no
// browser were there: a cut text would name another folder.
static void ExamineBrowserFolder(Installer *pInstaller, const char *pszProgram)
{
    BOOL bExplorer = StrEqualNoCase(pszProgram, "iexplore.exe") == 0;
    char szFolder[CURRENT_DIR_SIZE + sizeof s_szPluginsFolder];
    DWORD cchDir = GetCurrentDirectoryA(CURRENT_DIR_SIZE, szFolder);
    if (cchDir == 0 || cchDir >= CURRENT_DIR_SIZE)
        return;
    // A drive root ends in its backslash already: M:\Plugins, not M:\\Plugins.
    if (szFolder[cchDir - 1] == '\\')
        cchDir--;
    size_t cchFolder = cchDir + sizeof s_szPluginsFolder - 1;
    size_t cchName = (size_t)StrLen(s_pszPluginName);
    if (cchFolder >= sizeof(PluginDirEntry::szDir) || cchName >= sizeof(PluginDirEntry::szName) ||
        cchFolder + 1 + cchName >= PLUGIN_PATH_SIZE)
        return;
    StrCopy(szFolder + cchDir, s_szPluginsFolder);

    char szPlugin[PLUGIN_PATH_SIZE];
    StrCopyMax(szPlugin, szFolder, sizeof szPlugin);
    StrAppendMax(szPlugin, "\\", sizeof szPlugin);
    StrAppendMax(szPlugin, s_pszPluginName ? s_pszPluginName : "", sizeof szPlugin);
    if (FileVersionAtLeast(szPlugin, s_pszPluginVersion, NULL))
        return;

    if (bExplorer)
        s_bExplorerPluginsCurrent = 0;
    else
        s_bNetscapePluginsCurrent = 0;
    // A full table still fails the test: the folder is only not recorded.
    if (pInstaller->m_nPluginDirs >= MAX_PLUGIN_DIRS)
        return;
    PluginDirEntry &recorded = pInstaller->m_aPluginDirs[pInstaller->m_nPluginDirs++];
    StrCopyMax(recorded.szDir, szFolder, sizeof recorded.szDir);
    StrCopyMax(recorded.szName, s_pszPluginName ? s_pszPluginName : "", sizeof recorded.szName);
    recorded.bExplorer = bExplorer;
}

static void MarkSoughtFiles(SoughtFile *aSought, DWORD nSought, const WIN32_FIND_DATAA &fd)
{
    for (DWORD i = 0; i < nSought; i++) {
        if (StrEqualNoCase(fd.cFileName, aSought[i].name) == 0 &&
            (aSought[i].size == 0 || aSought[i].size == fd.nFileSizeLow))
            aSought[i].found = 1;
    }
}

void SearchDirectory(Installer *pInstaller, SoughtFile *aSought, DWORD nSought)
{
    WIN32_FIND_DATAA fd;
    FindHandle find;
    // Every entry counts, the first one included: a drive root has no ".".
    find.h = FindFirstFileA("*.*", &fd);
    if (find.h == INVALID_HANDLE_VALUE)
        return;
    do {
        pInstaller->PumpMessages();
        if (pInstaller->m_bStop)
            break;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && fd.cFileName[0] != '.') {
            // A directory that cannot be made current (a path too long for
            // the system, no access) is not entered: that bounds the depth.
            if (!SetCurrentDirectoryA(fd.cFileName))
                continue;
            AdvanceSpinner();
            SendProgress(pInstaller, g_spinner.szText, "2");
            SearchDirectory(pInstaller, aSought, nSought);
            SetCurrentDirectoryA("..");
        } else if (nSought == 0) {
            if (StrEqualNoCase(fd.cFileName, "netscape.exe") == 0 || StrEqualNoCase(fd.cFileName, "iexplore.exe") == 0)
                ExamineBrowserFolder(pInstaller, fd.cFileName);
        } else {
            MarkSoughtFiles(aSought, nSought, fd);
        }
    } while (FindNextFileA(find.h, &fd));
}

void SearchFixedDrives(Installer *pInstaller, SoughtFile *aSought, DWORD nSought)
{
    s_bExplorerPluginsCurrent = 1;
    s_bNetscapePluginsCurrent = 1;
    // The ANSI current directory always fits MAX_PATH; one that did not
    // could not be put back, so nothing is walked.
    char szSaved[CURRENT_DIR_SIZE];
    DWORD cchSaved = GetCurrentDirectoryA(sizeof szSaved, szSaved);
    if (cchSaved == 0 || cchSaved >= sizeof szSaved)
        return;
    SendProgress(pInstaller, s_szWaitText, "1");

    char szDrives[DRIVE_LIST_SIZE];
    DWORD cchDrives = GetLogicalDriveStringsA(sizeof szDrives, szDrives);
    if (cchDrives >= sizeof szDrives)
        cchDrives = 0;
    for (const char *pszRoot = szDrives; cchDrives && *pszRoot; pszRoot += StrLen(pszRoot) + 1) {
        // Removable, network, CD-ROM and RAM drives are never walked.
        if (GetDriveTypeA(pszRoot) != DRIVE_FIXED || !SetCurrentDirectoryA(pszRoot))
            continue;
        SearchDirectory(pInstaller, aSought, nSought);
        if (pInstaller->m_bStop)
            break;
    }

    SetCurrentDirectoryA(szSaved);
}

UINT CheckBrowserPlugins(Installer *pInstaller, const char *pszName, const char *, char *pszVersion)
{
    s_pszPluginName = pszName;
    s_pszPluginVersion = pszVersion;
    SearchFixedDrives(pInstaller, NULL, 0);
    s_pszPluginName = NULL;
    s_pszPluginVersion = NULL;
    return s_bExplorerPluginsCurrent && s_bNetscapePluginsCurrent;
}
