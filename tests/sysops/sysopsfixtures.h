// What the sysops tests share: where the built fixtures are, whether the
// tests run under Wine, file contents, and file times read and written with
// sharing (so that the product's share-mode-0 opens play no part).
#ifndef VUR_TEST_SYSOPSFIXTURES_H
#define VUR_TEST_SYSOPSFIXTURES_H

#include "support/testfiles.h"
#include "support/testmain.h"
#include <stdio.h>

inline std::string FixturePath(const std::string &name)
{
    std::string path = ThisProgramPath();
    return path.substr(0, path.find_last_of('\\') + 1) + "fixtures\\" + name;
}

inline bool RunningOnWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != NULL;
}

inline std::string FileText(const std::string &path)
{
    std::string bytes;
    return ReadFileBytes(path, &bytes) ? bytes : "(unreadable)";
}

inline ULONGLONG FileTimeToU64(const FILETIME &ft) { return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime; }
inline FILETIME U64ToFileTime(ULONGLONG u) { return FILETIME{(DWORD)u, (DWORD)(u >> 32)}; }

inline FILETIME MakeUtcTime(WORD wYear, WORD wMonth, WORD wDay, WORD wHour, WORD wMinute, WORD wSecond)
{
    SYSTEMTIME st = {wYear, wMonth, 0, wDay, wHour, wMinute, wSecond, 0};
    FILETIME ft = {0, 0};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

inline std::string FileTimeText(const FILETIME &ft)
{
    SYSTEMTIME st;
    char sz[64] = "(no time)";
    if (FileTimeToU64(ft) && FileTimeToSystemTime(&ft, &st))
        snprintf(sz, sizeof sz, "%02u/%02u/%04u %02u:%02u:%02u.%03u", st.wDay, st.wMonth, st.wYear, st.wHour,
                 st.wMinute, st.wSecond, st.wMilliseconds);
    return sz;
}

// Wine difference: on a Unix file system Wine keeps no creation time of its
// own; it reports the last-write time as the creation time and drops a
// creation time that is set.
inline FILETIME CreationTimeAsRead(const FILETIME &ftCreation, const FILETIME &ftLastWrite)
{
    return RunningOnWine() ? ftLastWrite : ftCreation;
}

inline HANDLE OpenShared(const std::string &path, DWORD dwAccess)
{
    return CreateFileA(path.c_str(), dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
}

struct FileTimes {
    FILETIME ftCreation, ftLastAccess, ftLastWrite;
};

inline bool ReadFileTimes(const std::string &path, FileTimes *pTimes)
{
    HANDLE h = OpenShared(path, GENERIC_READ);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BOOL ok = GetFileTime(h, &pTimes->ftCreation, &pTimes->ftLastAccess, &pTimes->ftLastWrite);
    CloseHandle(h);
    return ok != FALSE;
}

inline bool WriteFileTimes(const std::string &path, const FILETIME *pftCreation, const FILETIME *pftLastWrite)
{
    HANDLE h = OpenShared(path, GENERIC_WRITE);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BOOL ok = SetFileTime(h, pftCreation, NULL, pftLastWrite);
    CloseHandle(h);
    return ok != FALSE;
}

#endif
