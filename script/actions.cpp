// The [ACTIONS] and [REQUIRED_ACTIONS] line handler: cuts KEYWORD:INDEX;REST,
// finds the command, tests its index and runs it.
#include "script/actions.h"
#include "host/errors.h"
#include "script/texthelpers.h"

char *CutAtSemicolon(char *pszText)
{
    char *p = StrChr(pszText, ';');
    if (!p)
        return NULL;
    *p = '\0';
    return p + 1;
}

void FailAction(Installer *pInstaller, LONG lErrorCode)
{
    pInstaller->SendError(lErrorCode, 1);
    pInstaller->m_nSection = SECTION_END;
    pInstaller->m_bStop = 1;
    pInstaller->m_bAbort = 1;
}

void FailCopy(Installer *pInstaller, const char *pszSource, const char *pszDestination, LONG lErrorCode)
{
    pInstaller->SendParameter("SRCFILE", pszSource, 1);
    pInstaller->SendParameter("DSTFILE", pszDestination, 1);
    FailAction(pInstaller, lErrorCode);
}

// Matched in this order. MD tests its index too; the message for a bad MD
// index is ours, in the style of the others.
static const ActionCommand s_aCommands[] = {
    { "DEL", RunDelAction, "Installer - Delete file : index trop grand !" },
    { "MD", RunMdAction, "Installer - Make directory : index trop grand !" },
    { "COPY", RunCopyAction, "Installer - Copy file : index trop grand !" },
    { "COPYVER", RunCopyVerAction, "Installer - Copyver file : index trop grand !" },
    { "COPYDATE", RunCopyDateAction, "Installer - Copydate file : index trop grand !" },
    { "EXEC", RunExecAction, "Installer - exec file : index trop grand !" },
    { "REGISTER", RunRegisterAction, "Installer - Register file : index trop grand !" },
    { "COPYPLUGIN", RunCopyPluginAction, "Installer - Copyplugin file : index trop grand !" },
    { "COPYPLUGIN2", RunCopyPlugin2Action, "Installer - Copyplugin2 file : index trop grand !" },
    { "PATCHPLUGIN", RunPatchPluginAction, NULL },
    { "REGISTRY", RunRegistryAction, NULL },
};

const ActionCommand *FindActionCommand(const char *pszKeyword)
{
    for (const ActionCommand &cmd : s_aCommands)
        if (StrEqualNoCase(pszKeyword, cmd.pszKeyword) == 0)
            return &cmd;
    return NULL;
}

BOOL CutActionLine(char *pszLine, ActionLine *pLine)
{
    char *pColon = StrChr(pszLine, ':');
    if (!pColon)
        return FALSE;
    *pColon = '\0';
    pLine->pszIndex = pColon + 1;
    pLine->pszRest = CutAtSemicolon(pColon + 1);
    pLine->dwIndex = (DWORD)TextToLong(pLine->pszIndex);
    return TRUE;
}

void Installer::RunActionLine(LONG *pbRelaunch)
{
    // A line without a colon has no keyword: like an unknown keyword, it is
    // passed over without a message.
    ActionLine line;
    if (!CutActionLine(m_pLine, &line))
        return;
    line.pInstaller = this;
    line.pbRelaunch = pbRelaunch;

    const ActionCommand *pCmd = FindActionCommand(m_pLine);
    if (!pCmd)
        return;
    if (pCmd->pszIndexMessage && !IsDownloadIndex(this, line.dwIndex)) {
        MessageBoxA(NULL, pCmd->pszIndexMessage, line.pszIndex, MB_OK);
        return;
    }
    pCmd->pfnRun(line);
}
