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

// The failure rule: parameters already sent, then the error report, and the
// script ends silently before its next line.
void FailAction(Installer *pInstaller, LONG lErrorCode);
// SRCFILE and DSTFILE, then FailAction.
void FailCopy(Installer *pInstaller, const char *pszSource, const char *pszDestination, LONG lErrorCode);

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

#endif
