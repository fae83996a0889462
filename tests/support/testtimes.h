// File-time helpers of the tests: times made from their parts, shown as
// text, and a file's three times read and written.
#ifndef VUR_TEST_TESTTIMES_H
#define VUR_TEST_TESTTIMES_H

#include <windows.h>
#include <string>

ULONGLONG FileTimeToU64(const FILETIME &ft);
FILETIME U64ToFileTime(ULONGLONG u);
FILETIME MakeUtcTime(WORD wYear, WORD wMonth, WORD wDay, WORD wHour, WORD wMinute, WORD wSecond);
std::string FileTimeText(const FILETIME &ft);

// The three times of a file, read with sharing so that nothing interferes.
struct FileTimes {
    FILETIME ftCreation, ftLastAccess, ftLastWrite;
};
// Opens an existing file sharing it with every other handle (so that the
// product's unshared opens are what a test sees fail).
HANDLE OpenShared(const std::string &path, DWORD dwAccess);

bool ReadFileTimes(const std::string &path, FileTimes *pTimes);
bool WriteFileTimes(const std::string &path, const FILETIME *pftCreation, const FILETIME *pftLastWrite);

#endif
