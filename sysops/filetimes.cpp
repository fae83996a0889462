// File-time operations. Every open uses share mode 0: a file another
// program holds open counts as unreadable and is left alone.
#include "sysops/filetimes.h"
#include "sysops/handles.h"

HANDLE OpenFileUnshared(const char *pszPath, DWORD dwAccess)
{
    if (!pszPath)
        return INVALID_HANDLE_VALUE;
    return CreateFileA(pszPath, dwAccess, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

// Exactly one of the two time pointers is given; the other time is not
// read, so the caller's value of it is never touched.
static void ReadFileTime(const char *pszPath, FILETIME *pftCreation, FILETIME *pftLastWrite)
{
    FileHandle file;
    file.h = OpenFileUnshared(pszPath, GENERIC_READ);
    if (file.h == INVALID_HANDLE_VALUE)
        return;
    // Read into a local first: a failing GetFileTime must not leave a
    // half-written value behind.
    FILETIME ft;
    if (GetFileTime(file.h, pftCreation ? &ft : NULL, NULL, pftLastWrite ? &ft : NULL))
        *(pftCreation ? pftCreation : pftLastWrite) = ft;
}

static void WriteFileTime(const char *pszPath, const FILETIME *pftCreation, const FILETIME *pftLastWrite)
{
    const FILETIME *pft = pftCreation ? pftCreation : pftLastWrite;
    if (pft->dwLowDateTime == 0 && pft->dwHighDateTime == 0)
        return;
    FileHandle file;
    file.h = OpenFileUnshared(pszPath, GENERIC_READ | GENERIC_WRITE);
    if (file.h == INVALID_HANDLE_VALUE)
        return;
    SetFileTime(file.h, pftCreation, NULL, pftLastWrite);
}

void GetFileCreationTime(const char *pszPath, FILETIME *pft)
{
    if (pft)
        ReadFileTime(pszPath, pft, NULL);
}

void GetFileLastWriteTime(const char *pszPath, FILETIME *pft)
{
    if (pft)
        ReadFileTime(pszPath, NULL, pft);
}

void SetFileCreationTime(const char *pszPath, FILETIME ft)
{
    WriteFileTime(pszPath, &ft, NULL);
}

void SetFileLastWriteTime(const char *pszPath, FILETIME ft)
{
    WriteFileTime(pszPath, NULL, &ft);
}
