// The action commands of [ACTIONS] and [REQUIRED_ACTIONS] lines, shared by
// the dispatcher (actions.cpp) and the files that carry the commands out.
#ifndef VUR_ACTIONS_H
#define VUR_ACTIONS_H

#include "host/installer.h"

// One action line, KEYWORD:INDEX;REST, cut in place.
struct ActionLine {
    Installer *pInstaller;
    const char *pszIndex;       // INDEX as written: the title of index messages
    DWORD dwIndex;              // INDEX read as a number, taken unsigned
    char *pszRest;              // REST, or NULL when the line has none
    LONG *pbRelaunch;           // the interpreter's flag, for COPYPLUGIN

    DownloadEntry &Entry() const { return pInstaller->m_aDownloads[dwIndex - 1]; }
};

// A command of action lines: its keyword, what runs it, and the message of
// its index test (NULL: the index is not tested).
struct ActionCommand {
    const char *pszKeyword;
    void (*pfnRun)(const ActionLine &line);
    const char *pszIndexMessage;
};

// The command whose keyword is pszKeyword (the whole text, a-z folded), or
// NULL: such a line is passed over without a message.
const ActionCommand *FindActionCommand(const char *pszKeyword);

// Cuts KEYWORD:INDEX;REST in place: the keyword stays at pszLine, and
// pLine gets the index (text and number) and REST. FALSE, with nothing
// cut, for a line without a colon.
BOOL CutActionLine(char *pszLine, ActionLine *pLine);

// The failure rule: parameters already sent, then the error report, and the
// script ends silently before its next line.
void FailAction(Installer *pInstaller, LONG lErrorCode);
// SRCFILE and DSTFILE, then FailAction.
void FailCopy(Installer *pInstaller, const char *pszSource, const char *pszDestination, LONG lErrorCode);

// TRUE when dwIndex names an entry of the current unit's download table.
inline BOOL IsDownloadIndex(const Installer *pInstaller, DWORD dwIndex)
{
    return dwIndex != 0 && dwIndex <= pInstaller->m_nDownloads;
}

// Cuts pszText at its first ';': gives the text after it, or NULL when
// there is none (then nothing is cut).
char *CutAtSemicolon(char *pszText);

// File and registry commands (fileactions.cpp, registryaction.cpp).
void RunDelAction(const ActionLine &line);
void RunMdAction(const ActionLine &line);
void RunCopyAction(const ActionLine &line);
void RunCopyVerAction(const ActionLine &line);
void RunCopyDateAction(const ActionLine &line);
void RunRegistryAction(const ActionLine &line);

// Program and plug-in commands (programactions.cpp, pluginactions.cpp).
void RunExecAction(const ActionLine &line);
void RunRegisterAction(const ActionLine &line);
void RunCopyPluginAction(const ActionLine &line);
void RunCopyPlugin2Action(const ActionLine &line);
void RunPatchPluginAction(const ActionLine &line);

// Copies the source into every plug-in folder: under its own file name
// (bOwnName), else under pszName, else under the entry's plug-in name. 1
// when every folder received it (or there is none); 0 after the first
// failure, which it has shown and reported (the folders after it are left).
UINT CopyToPluginFolders(Installer *pInstaller, const char *pszSource, BOOL bOwnName, const char *pszName);

// Writes an offset;bytes;... patch list into a buffer (the list unchanged).
void ApplyPatchList(BYTE *pBuffer, DWORD cbBuffer, const char *pszList);

#endif
