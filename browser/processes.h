// Listing the running processes with their program names, on both platform
// families, and ending those with a given name.
#ifndef VUR_PROCESSES_H
#define VUR_PROCESSES_H

#include <windows.h>

#define PROCESS_TABLE_SIZE  500
#define NO_PROCESS_ID       0xFFFFFFFEu     // the idle process and the total instance

struct ProcessRecord {
    DWORD processId;
    HWND  window;       // asked to close instead of ending the process; the listings give none
    char  name[MAX_PATH];   // program file name without folder; empty: the name is not known
};

// 1 for any record whose name equals one of the names (ASCII letters without
// regard to case); unless bDetectOnly, each such process is ended, followed
// by a 500 ms pause when bPause is set.
UINT EndProcessesByName(const char *const *ppszNames, UINT uNames, UINT bPause, UINT bDetectOnly);

// Fills the table from its first record and gives the count: Windows 95/98
// through the tool-help functions, Windows NT through the performance data,
// any other platform nothing.
UINT ListProcesses(ProcessRecord *pTable, UINT uCapacity);
UINT ListProcessesToolhelp(ProcessRecord *pTable, UINT uCapacity);
UINT ListProcessesPerfData(ProcessRecord *pTable, UINT uCapacity);   // at most uCapacity - 1

// Terminates the process (exit code 1) when bForce is set or the record has
// no window; a process that cannot be opened has its window, if any, asked
// to close. 0 only when the process was opened and not terminated.
UINT EndProcess(const ProcessRecord *pRecord, UINT bForce);
UINT EnableDebugPrivilege();

// The platform id GetVersionExA reports (1: Windows 95/98, 2: Windows NT);
// 0 when it reports nothing.
DWORD GetPlatformId();

// Whether a listed name is the name asked for; a record with an empty name
// matches nothing.
UINT ProcessNameMatches(const char *pszRecordName, const char *pszName);

// Stores the part of pszPath after its last backslash as the record's name.
void StoreProgramName(ProcessRecord *pRecord, const char *pszPath);

#endif
