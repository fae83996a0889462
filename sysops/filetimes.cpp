// File-time operations. Every open uses share mode 0: a file another
// program holds open counts as unreadable and is left alone.
#include "sysops/filetimes.h"
#include "sysops/handles.h"

static void ReadFileTime(const char *pszPath, FILETIME *pftCreation, FILETIME *pftLastWrite)
{
    FileHandle file;
    file.h = CreateFileA(pszPath, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file.h == INVALID_HANDLE_VALUE)
        return;
    GetFileTime(file.h, pftCreation, NULL, pftLastWrite);
}

static void WriteFileTime(const char *pszPath, const FILETIME *pftCreation, const FILETIME *pftLastWrite)
{
    const FILETIME *pft = pftCreation ? pftCreation : pftLastWrite;
    if (pft->dwLowDateTime == 0 && pft->dwHighDateTime == 0)
        return;
    FileHandle file;
    file.h = CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, NULL);
    if (file.h == INVALID_HANDLE_VALUE)
        return;
    SetFileTime(file.h, pftCreation, NULL, pftLastWrite);
}

void GetFileCreationTime(const char *pszPath, FILETIME *pft)
{
    ReadFileTime(pszPath, pft, NULL);
}

void GetFileLastWriteTime(const char *pszPath, FILETIME *pft)
{
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
