// The pieces of the Windows NT process listing, each a function of what it
// is given, so that they can be run on data: the counter names, the growing
// query of the performance data and the walk over its bytes.
#ifndef VUR_PERFDATA_H
#define VUR_PERFDATA_H

#include "browser/processes.h"

#define PERF_BUFFER_START   51200
#define PERF_BUFFER_STEP    25600
#define PERF_BUFFER_LIMIT   (8 * 1024 * 1024)
#define PERF_INDEX_TEXT     1024

// Finds the index text of the "process" object and the index of the
// "id process" counter in the perflib Counters list (pairs of index and
// name, each NUL-terminated, ending with an empty text; never read past
// cbList). 1 when both were found.
UINT FindProcessCounters(const char *pList, DWORD cbList, char szObjectIndex[PERF_INDEX_TEXT],
                         DWORD *pdwIdCounter);

// RegQueryValueExA's shape: the listing passes it, tests their own answers.
typedef LONG (WINAPI *PerfQueryProc)(HKEY hKey, LPCSTR pszValue, LPDWORD pdwReserved, LPDWORD pdwType,
                                     LPBYTE pbData, LPDWORD pcbData);

// Asks pfnQuery for the object's data on HKEY_PERFORMANCE_DATA, in a buffer
// that grows while the answer is ERROR_MORE_DATA (up to PERF_BUFFER_LIMIT),
// and walks it.
UINT ReadProcessPerfData(PerfQueryProc pfnQuery, const char *pszObjectIndex, DWORD dwIdCounter,
                         ProcessRecord *pTable, UINT uCapacity);

// Fills at most uCapacity - 1 records from a performance-data block that
// holds the process object first. Nothing is read outside the cbData bytes:
// the walk stops at the first instance that does not lie inside them.
UINT WalkProcessPerfData(const BYTE *pbData, DWORD cbData, DWORD dwIdCounter,
                         ProcessRecord *pTable, UINT uCapacity);

#endif
