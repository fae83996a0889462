// Ending processes: by name over the whole process list, or one record.
#include "browser/processes.h"
#include "sysops/handles.h"

#ifndef _WIN64
static_assert(sizeof(TOKEN_PRIVILEGES) == 16, "TOKEN_PRIVILEGES layout");
#endif

#define END_PAUSE_MS 500

UINT EndProcessesByName(const char *const *ppszNames, UINT uNames, UINT bPause, UINT bDetectOnly)
{
    HeapBlock table;
    table.p = HeapAlloc(GetProcessHeap(), 0, PROCESS_TABLE_SIZE * sizeof(ProcessRecord));
    if (!table.p)
        return 0;
    ProcessRecord *pTable = (ProcessRecord *)table.p;
    UINT uCount = ListProcesses(pTable, PROCESS_TABLE_SIZE);
    UINT bFound = 0;
    for (UINT i = 0; i < uCount; i++) {
        for (UINT j = 0; j < uNames; j++) {
            if (!ProcessNameMatches(pTable[i].name, ppszNames[j]))
                continue;
            bFound = 1;
            if (bDetectOnly)
                continue;
            EndProcess(&pTable[i], 0);
            // Gives the ended browser's other processes and windows time to go.
            if (bPause)
                Sleep(END_PAUSE_MS);
        }
    }
    return bFound;
}

UINT EndProcess(const ProcessRecord *pRecord, UINT bForce)
{
    // Without the debug privilege NT refuses to open processes of other
    // accounts; Windows 95/98 has no such step.
    if (GetPlatformId() == VER_PLATFORM_WIN32_NT)
        EnableDebugPrivilege();
    if (bForce || !pRecord->window) {
        KernelHandle process;
        process.h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pRecord->processId);
        if (process.h)
            return TerminateProcess(process.h, 1) ? 1 : 0;
    }
    if (pRecord->window)
        PostMessageA(pRecord->window, WM_CLOSE, 0, 0);
    return 1;
}

UINT EnableDebugPrivilege()
{
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token.h))
        return 0;
    TOKEN_PRIVILEGES privileges;
    ZeroMemory(&privileges, sizeof privileges);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(NULL, "SeDebugPrivilege", &privileges.Privileges[0].Luid))
        return 0;
    // It also succeeds for an account that does not hold the privilege;
    // only the last error tells.
    AdjustTokenPrivileges(token.h, FALSE, &privileges, sizeof privileges, NULL, NULL);
    return GetLastError() == ERROR_SUCCESS ? 1 : 0;
}
