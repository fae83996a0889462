// The Windows NT process listing: the process object of the system's
// performance data, found through the English counter names of perflib.
#include "browser/perfdata.h"
#include "sysops/handles.h"
#include "script/texthelpers.h"
#include <winperf.h>
#include <string.h>

// Counter definitions are stepped by their fixed size, not by their own
// ByteLength.
#define COUNTER_DEFINITION_SIZE 40
#define PERFLIB_KEY             "software\\microsoft\\windows nt\\currentversion\\perflib"
#define PERFLIB_ENGLISH         9

#ifndef _WIN64
static_assert(sizeof(PERF_COUNTER_DEFINITION) == COUNTER_DEFINITION_SIZE, "PERF_COUNTER_DEFINITION layout");
#endif

UINT FindProcessCounters(const char *pList, DWORD cbList, char szObjectIndex[PERF_INDEX_TEXT],
                         DWORD *pdwIdCounter)
{
    UINT bObject = 0, bIdCounter = 0;
    const char *pszPrevious = NULL;
    DWORD off = 0;
    while (pList && off < cbList) {
        const char *pszText = pList + off;
        const char *pEnd = (const char *)memchr(pszText, '\0', cbList - off);
        if (!pEnd || pEnd == pszText)       // unterminated, or the empty text that ends the list
            break;
        if (pszPrevious && StrEqualNoCase(pszText, "process") == 0 && pszText - pszPrevious <= PERF_INDEX_TEXT) {
            StrCopy(szObjectIndex, pszPrevious);    // fits: checked just above, a longer index is passed over
            bObject = 1;
        } else if (pszPrevious && StrEqualNoCase(pszText, "id process") == 0) {
            *pdwIdCounter = (DWORD)TextToLong(pszPrevious);
            bIdCounter = 1;
        }
        pszPrevious = pszText;
        off = (DWORD)(pEnd - pList) + 1;
    }
    return bObject && bIdCounter;
}

// Copies the structure at byte offset off of the data; false when it does
// not lie wholly inside. Copied, since the data need not be aligned.
template <class T> static bool ReadAt(const BYTE *pbData, DWORD cbData, ULONGLONG off, T *pValue)
{
    if (off > cbData || sizeof(T) > cbData - off)
        return false;
    memcpy(pValue, pbData + off, sizeof(T));
    return true;
}

// The instance's name with ".exe" after it; "unknown" when it does not
// convert, and empty (never matching) when it converts but leaves no room
// for ".exe". false when the name runs past the data.
static bool StoreInstanceName(const BYTE *pbData, DWORD cbData, ULONGLONG offName, char szName[MAX_PATH])
{
    // A name of MAX_PATH characters or more cannot convert into MAX_PATH bytes.
    WCHAR wszName[MAX_PATH + 1];
    int cch = 0;
    for (; cch < MAX_PATH + 1; cch++) {
        if (!ReadAt(pbData, cbData, offName + 2 * (ULONGLONG)cch, &wszName[cch]))
            return false;
        if (!wszName[cch])
            break;
    }
    char szConverted[MAX_PATH];
    int cbConverted = cch <= MAX_PATH
        ? WideCharToMultiByte(CP_ACP, 0, wszName, -1, szConverted, sizeof szConverted, NULL, NULL) : 0;
    if (cbConverted == 0)
        StrCopy(szName, "unknown");
    else if (cbConverted + 4 <= MAX_PATH)       // the count includes the NUL
        StrAppend(StrCopy(szName, szConverted), ".exe");
    else
        szName[0] = '\0';
    return true;
}

UINT WalkProcessPerfData(const BYTE *pbData, DWORD cbData, DWORD dwIdCounter,
                         ProcessRecord *pTable, UINT uCapacity)
{
    PERF_DATA_BLOCK block;
    PERF_OBJECT_TYPE object;
    if (!pbData || !pTable || uCapacity == 0 || !ReadAt(pbData, cbData, 0, &block)
        || memcmp(block.Signature, L"PERF", sizeof block.Signature) != 0)
        return 0;
    ULONGLONG offObject = block.HeaderLength;
    if (!ReadAt(pbData, cbData, offObject, &object))
        return 0;

    // Without the id counter no process id is known: the records are listed
    // without a name, so that nothing is ended on a guess.
    bool bIdCounter = false;
    DWORD dwIdOffset = 0;
    ULONGLONG offCounter = offObject + object.HeaderLength;
    for (DWORD i = 0; i < object.NumCounters; i++, offCounter += COUNTER_DEFINITION_SIZE) {
        PERF_COUNTER_DEFINITION counter;
        if (!ReadAt(pbData, cbData, offCounter, &counter))
            break;
        if (counter.CounterNameTitleIndex == dwIdCounter) {
            dwIdOffset = counter.CounterOffset;
            bIdCounter = true;
            break;
        }
    }

    UINT uRecords = object.NumInstances <= 0 ? 0 : (UINT)object.NumInstances;
    if (uRecords > uCapacity - 1)
        uRecords = uCapacity - 1;
    ULONGLONG offInstance = offObject + object.DefinitionLength;
    UINT uCount = 0;
    for (; uCount < uRecords; uCount++) {
        PERF_INSTANCE_DEFINITION instance;
        PERF_COUNTER_BLOCK counters;
        DWORD dwId = 0;
        char szName[MAX_PATH];
        if (!ReadAt(pbData, cbData, offInstance, &instance))
            break;
        ULONGLONG offCounters = offInstance + instance.ByteLength;
        if (!ReadAt(pbData, cbData, offCounters, &counters)
            || !StoreInstanceName(pbData, cbData, offInstance + instance.NameOffset, szName)
            || (bIdCounter && !ReadAt(pbData, cbData, offCounters + dwIdOffset, &dwId)))
            break;
        ProcessRecord *pRecord = &pTable[uCount];
        pRecord->processId = dwId ? dwId : NO_PROCESS_ID;
        pRecord->window = NULL;
        StrCopy(pRecord->name, bIdCounter ? szName : "");
        offInstance = offCounters + counters.ByteLength;
    }
    return uCount;
}

UINT ReadProcessPerfData(PerfQueryProc pfnQuery, const char *pszObjectIndex, DWORD dwIdCounter,
                         ProcessRecord *pTable, UINT uCapacity)
{
    // Each try gets a fresh, cleared buffer; the answer ERROR_MORE_DATA
    // carries no size worth trusting for the performance data.
    for (DWORD cbBuffer = PERF_BUFFER_START; cbBuffer <= PERF_BUFFER_LIMIT; cbBuffer += PERF_BUFFER_STEP) {
        HeapBlock data;
        data.p = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, cbBuffer);
        if (!data.p)
            return 0;
        DWORD cbData = cbBuffer, dwType = 0;
        LONG lResult = pfnQuery(HKEY_PERFORMANCE_DATA, pszObjectIndex, NULL, &dwType, (BYTE *)data.p, &cbData);
        if (lResult == ERROR_SUCCESS)
            return WalkProcessPerfData((const BYTE *)data.p, cbData < cbBuffer ? cbData : cbBuffer, dwIdCounter,
                                       pTable, uCapacity);
        if (lResult != ERROR_MORE_DATA)
            return 0;
    }
    return 0;
}

UINT ListProcessesPerfData(ProcessRecord *pTable, UINT uCapacity)
{
    if (!pTable || uCapacity == 0)
        return 0;
    // Closing it ends the use of the performance data on every path.
    RegKey performanceData;
    performanceData.h = HKEY_PERFORMANCE_DATA;

    char szKey[sizeof PERFLIB_KEY + 8];
    wsprintfA(szKey, "%s\\%03x", PERFLIB_KEY, PERFLIB_ENGLISH);
    RegKey perflib;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, szKey, 0, KEY_READ, &perflib.h) != ERROR_SUCCESS)
        return 0;
    DWORD cbList = 0;
    if (RegQueryValueExA(perflib.h, "Counters", NULL, NULL, NULL, &cbList) != ERROR_SUCCESS || cbList == 0)
        return 0;
    HeapBlock list;
    list.p = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, cbList);
    char szObjectIndex[PERF_INDEX_TEXT];
    DWORD dwIdCounter = 0;
    if (!list.p || RegQueryValueExA(perflib.h, "Counters", NULL, NULL, (BYTE *)list.p, &cbList) != ERROR_SUCCESS
        || !FindProcessCounters((const char *)list.p, cbList, szObjectIndex, &dwIdCounter))
        return 0;
    return ReadProcessPerfData(RegQueryValueExA, szObjectIndex, dwIdCounter, pTable, uCapacity);
}
