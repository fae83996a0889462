// File-time helpers of the tests: see testtimes.h.
#include "support/testtimes.h"
#include "sysops/handles.h"
#include <stdio.h>

ULONGLONG FileTimeToU64(const FILETIME &ft)
{
    return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

FILETIME U64ToFileTime(ULONGLONG u)
{
    return FILETIME{(DWORD)u, (DWORD)(u >> 32)};
}

FILETIME MakeUtcTime(WORD wYear, WORD wMonth, WORD wDay, WORD wHour, WORD wMinute, WORD wSecond)
{
    SYSTEMTIME st = {wYear, wMonth, 0, wDay, wHour, wMinute, wSecond, 0};
    FILETIME ft = {0, 0};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

std::string FileTimeText(const FILETIME &ft)
{
    SYSTEMTIME st;
    char sz[64];
    if (FileTimeToU64(ft) == 0)
        return "(no time)";
    if (!FileTimeToSystemTime(&ft, &st))
        return "(invalid)";
    snprintf(sz, sizeof sz, "%02u/%02u/%04u %02u:%02u:%02u.%03u", st.wDay, st.wMonth, st.wYear,
             st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    return sz;
}

HANDLE OpenShared(const std::string &path, DWORD dwAccess)
{
    return CreateFileA(path.c_str(), dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

bool ReadFileTimes(const std::string &path, FileTimes *pTimes)
{
    FileHandle file;
    file.h = OpenShared(path, GENERIC_READ);
    return GetFileTime(file.h, &pTimes->ftCreation, &pTimes->ftLastAccess, &pTimes->ftLastWrite) != FALSE;
}

bool WriteFileTimes(const std::string &path, const FILETIME *pftCreation, const FILETIME *pftLastWrite)
{
    FileHandle file;
    file.h = OpenShared(path, GENERIC_WRITE);
    return SetFileTime(file.h, pftCreation, NULL, pftLastWrite) != FALSE;
}
