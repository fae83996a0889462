// What the sysops tests share: where the built fixtures are, whether the
// tests run under Wine, and small file-time helpers.
#ifndef VUR_TEST_SYSOPSFIXTURES_H
#define VUR_TEST_SYSOPSFIXTURES_H

#include <windows.h>
#include <string>

// A fixture built beside the test program, in its fixtures folder.
std::string FixturePath(const std::string &name);

// True under Wine (ntdll exports wine_get_version), for the checks that
// name a difference of Wine from Windows.
bool RunningOnWine();

// The creation time that reading a file's times gives after ftCreation and
// ftLastWrite were set. Wine difference: on a Unix file system Wine keeps
// no creation time of its own; it reports the last-write time as the
// creation time and drops a creation time that is set.
FILETIME CreationTimeAsRead(const FILETIME &ftCreation, const FILETIME &ftLastWrite);

ULONGLONG FileTimeToU64(const FILETIME &ft);
FILETIME U64ToFileTime(ULONGLONG u);
FILETIME MakeUtcTime(WORD wYear, WORD wMonth, WORD wDay, WORD wHour, WORD wMinute, WORD wSecond);
std::string FileTimeText(const FILETIME &ft);

// The three times of a file, read with sharing so that nothing interferes.
struct FileTimes {
    FILETIME ftCreation, ftLastAccess, ftLastWrite;
};
bool ReadFileTimes(const std::string &path, FileTimes *pTimes);
bool WriteFileTimes(const std::string &path, const FILETIME *pftCreation, const FILETIME *pftLastWrite);

#endif
