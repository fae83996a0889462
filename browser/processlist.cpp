// Listing the running processes: the platform picks the path, and on
// Windows 95/98 the tool-help functions, which NT 4.0's kernel lacks, are
// looked up by name so that the program still loads there.
#include "browser/processes.h"
#include "sysops/handles.h"
#include "script/texthelpers.h"
#include <tlhelp32.h>

#ifndef _WIN64
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA layout");
static_assert(sizeof(PROCESSENTRY32) == 296, "PROCESSENTRY32 layout");
#endif

DWORD GetPlatformId()
{
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) ? info.dwPlatformId : 0;
}

UINT ListProcesses(ProcessRecord *pTable, UINT uCapacity)
{
    switch (GetPlatformId()) {
    case VER_PLATFORM_WIN32_WINDOWS:
        return ListProcessesToolhelp(pTable, uCapacity);
    case VER_PLATFORM_WIN32_NT:
        return ListProcessesPerfData(pTable, uCapacity);
    default:
        return 0;
    }
}

UINT ProcessNameMatches(const char *pszRecordName, const char *pszName)
{
    return pszRecordName && pszName && *pszRecordName && StrEqualNoCase(pszRecordName, pszName) == 0;
}

void StoreProgramName(ProcessRecord *pRecord, const char *pszPath)
{
    const char *pszName = pszPath;
    for (const char *p = pszPath; *p; p++)
        if (*p == '\\')
            pszName = p + 1;
    StrCopyMax(pRecord->name, pszName, sizeof pRecord->name);
}

typedef HANDLE (WINAPI *CreateSnapshotProc)(DWORD dwFlags, DWORD dwProcessId);
typedef BOOL (WINAPI *ProcessWalkProc)(HANDLE hSnapshot, PROCESSENTRY32 *pEntry);

// Through void (*)(void): the one cast between function types that the
// compiler takes as deliberate.
#define KERNEL_PROC(type, hModule, name) ((type)(void (*)(void))GetProcAddress(hModule, name))

UINT ListProcessesToolhelp(ProcessRecord *pTable, UINT uCapacity)
{
    if (!pTable || uCapacity == 0)
        return 0;
    HMODULE hKernel = GetModuleHandleA("KERNEL32.DLL");
    if (!hKernel)
        return 0;
    CreateSnapshotProc pfnSnapshot = KERNEL_PROC(CreateSnapshotProc, hKernel, "CreateToolhelp32Snapshot");
    ProcessWalkProc pfnFirst = KERNEL_PROC(ProcessWalkProc, hKernel, "Process32First");
    ProcessWalkProc pfnNext = KERNEL_PROC(ProcessWalkProc, hKernel, "Process32Next");
    if (!pfnSnapshot || !pfnFirst || !pfnNext)
        return 0;

    SnapshotHandle snapshot;
    snapshot.h = pfnSnapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot.h == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry;
    ZeroMemory(&entry, sizeof entry);
    entry.dwSize = sizeof entry;
    if (!pfnFirst(snapshot.h, &entry))
        return 0;
    UINT uCount = 0;
    do {
        entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
        ProcessRecord *pRecord = &pTable[uCount++];
        StoreProgramName(pRecord, entry.szExeFile);
        pRecord->processId = entry.th32ProcessID;
        pRecord->window = NULL;
    } while (uCount < uCapacity && pfnNext(snapshot.h, &entry));
    return uCount;
}
