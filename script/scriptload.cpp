// Loading of the install script that the host has just downloaded (DLDONE
// while no script is loaded), on the COM thread.
#include "host/installer.h"
#include "host/errors.h"
#include "script/texthelpers.h"
#include "sysops/handles.h"

// Reads the whole file into a new buffer with a NUL after it; NULL when it
// cannot be opened or is too large to hold in memory. The file is closed
// on return, so that the run can delete it however quickly it ends.
static char *ReadScriptFile(const char *pszPath)
{
    FileHandle file;
    file.h = CreateFileA(pszPath, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file.h == INVALID_HANDLE_VALUE)
        return NULL;
    DWORD cbFile = GetFileSize(file.h, NULL);
    char *pScript = cbFile != INVALID_FILE_SIZE
        ? (char *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)cbFile + 1) : NULL;
    if (!pScript)
        return NULL;
    DWORD cbRead = 0;
    if (!ReadFile(file.h, pScript, cbFile, &cbRead, NULL))
        cbRead = 0;
    pScript[cbRead] = '\0';
    return pScript;
}

void Installer::LoadScript()
{
    // A run of the previous script may still be leaving (INSTALL has told
    // it to stop): it is waited for, unless it is held inside a call to the
    // host (the host started again from inside a callback). Such a run may
    // still read its script and end it: the new one is then refused, like
    // one that cannot be opened, rather than freed or deleted under that run.
    if (m_dwThreadId != 0)
        WaitForRun(NULL, INFINITE);
    char *pScript = m_dwThreadId == 0 ? ReadScriptFile(m_szDlPath) : NULL;
    // A script too large to hold in memory is reported like one that cannot
    // be opened: the host learns which file it was.
    if (!pScript) {
        SendParameter("FILE", m_szDlPath, 0);
        SendError(ERR_SCRIPT_OPEN, 0);
        return;
    }
    StrCopyMax(m_szScriptPath, m_szDlPath, sizeof m_szScriptPath);
    if (m_pScript)      // a script that never reached its end
        HeapFree(GetProcessHeap(), 0, m_pScript);
    m_pScript = pScript;
    m_nSection = SECTION_LOADED;
    m_pLine = m_pCursor = m_pScript;
    m_bInstalled = 0;
    m_bAwaitingDownload = 0;
    m_bQuitRequested = 0;
    StartInstallThread();
}
