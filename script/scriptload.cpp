// Loading of the install script that the host has just downloaded (DLDONE
// while no script is loaded), on the COM thread.
#include "host/installer.h"
#include "host/errors.h"
#include "script/texthelpers.h"
#include "sysops/handles.h"

void Installer::LoadScript()
{
    FileHandle file;
    file.h = CreateFileA(m_szDlPath, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD cbFile = file.h != INVALID_HANDLE_VALUE ? GetFileSize(file.h, NULL) : INVALID_FILE_SIZE;
    // A script too large to hold in memory is reported like one that cannot
    // be opened: the host learns which file it was.
    char *pScript = cbFile != INVALID_FILE_SIZE
        ? (char *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)cbFile + 1) : NULL;
    if (!pScript) {
        SendParameter("FILE", m_szDlPath, 0);
        SendError(ERR_SCRIPT_OPEN, 0);
        return;
    }
    StrCopyMax(m_szScriptPath, m_szDlPath, sizeof m_szScriptPath);
    DWORD cbRead = 0;
    if (!ReadFile(file.h, pScript, cbFile, &cbRead, NULL))
        cbRead = 0;
    pScript[cbRead] = '\0';

    if (m_pScript)      // a script that never reached its end
        HeapFree(GetProcessHeap(), 0, m_pScript);
    m_pScript = pScript;
    m_nSection = SECTION_LOADED;
    m_pLine = m_pCursor = m_pScript;
    m_bInstalled = 0;
    StartInstallThread();
}
