// Reading and writing a file's creation and last-write times. An all-zero
// FILETIME means "no time": readers leave the caller's value alone when the
// file cannot be opened, and writers never write it.
#ifndef VUR_FILETIMES_H
#define VUR_FILETIMES_H

#include <windows.h>

void GetFileCreationTime(const char *pszPath, FILETIME *pft);
void GetFileLastWriteTime(const char *pszPath, FILETIME *pft);
void SetFileCreationTime(const char *pszPath, FILETIME ft);
void SetFileLastWriteTime(const char *pszPath, FILETIME ft);

// The open that every time operation uses: an existing file, share mode 0
// (a file another program holds open counts as unreadable). Gives
// INVALID_HANDLE_VALUE on failure, also for a null path.
HANDLE OpenFileUnshared(const char *pszPath, DWORD dwAccess);

#endif
