// The search of every fixed disk: for the browsers' plug-in folders (the
// [PLUGIN] test) or for named files (the [FILE] test). It runs on the
// install thread, tells the host its progress and gives way to a stop
// request at every directory entry.
#ifndef VUR_DISKSEARCH_H
#define VUR_DISKSEARCH_H

#include "host/installer.h"

#define SOUGHT_NAME_SIZE 128

// One file the [FILE] test looks for. The caller owns the list and clears
// `found` beforehand; the search only ever sets it.
struct SoughtFile {
    char name[SOUGHT_NAME_SIZE];    // file name without folder
    DWORD size;                     // wanted size in bytes (low 32 bits); 0: any
    DWORD found;                    // 1 once a matching file was seen
};

// Walks every fixed drive, depth first. With nSought 0 (plug-in mode) it
// records the out-of-date browser folders; otherwise it marks the sought
// files it meets. The process's current directory is the same afterwards,
// also when a stop request ended the walk.
void SearchFixedDrives(Installer *pInstaller, SoughtFile *aSought, DWORD nSought);

// The walk of the current directory, for SearchFixedDrives.
void SearchDirectory(Installer *pInstaller, SoughtFile *aSought, DWORD nSought);

// The plug-in test: appends to m_aPluginDirs each browser folder whose
// Plugins folder lacks pszName or holds it older than pszVersion (every
// folder found when pszVersion is NULL). 1 when no such folder was found.
// pszSecond is not used.
UINT CheckBrowserPlugins(Installer *pInstaller, const char *pszName, const char *pszSecond, char *pszVersion);

// The progress text sent at every directory entered: 32 characters over
// which one mark moves, a step every 16 directories. Its counters run for
// the life of the process.
struct SearchSpinner {
    char szText[33];
    DWORD dwCalls;
    DWORD dwSteps;
};
extern SearchSpinner g_spinner;

void AdvanceSpinner();

#endif
