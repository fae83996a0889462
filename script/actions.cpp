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

namespace {
struct ActionCommand {
    const char *pszKeyword;
    void (*pfnRun)(const ActionLine &line);
    const char *pszIndexMessage;    // NULL: the index is not tested
};
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

void Installer::RunActionLine(LONG *pbRelaunch)
{
    // A line without a colon has no keyword: like an unknown keyword, it is
    // passed over without a message.
    char *pColon = StrChr(m_pLine, ':');
    if (!pColon)
        return;
    *pColon = '\0';

    ActionLine line;
    line.pInstaller = this;
    line.pszIndex = pColon + 1;
    line.pszRest = CutAtSemicolon(pColon + 1);
    line.dwIndex = (DWORD)TextToLong(line.pszIndex);
    line.pbRelaunch = pbRelaunch;

    for (const ActionCommand &cmd : s_aCommands) {
        if (StrEqualNoCase(m_pLine, cmd.pszKeyword) != 0)
            continue;
        if (cmd.pszIndexMessage && !IsDownloadIndex(this, line.dwIndex)) {
            MessageBoxA(NULL, cmd.pszIndexMessage, line.pszIndex, MB_OK);
            return;
        }
        cmd.pfnRun(line);
        return;
    }
}
