// Last-write times of two files compared, for the copy by date.
#include "sysops/filedatecompare.h"
#include "sysops/filetimes.h"
#include "sysops/handles.h"

UINT FileNotNewer(const char *pszA, const char *pszB)
{
    FileHandle fileA;
    fileA.h = OpenFileUnshared(pszA, GENERIC_READ);
    if (fileA.h == INVALID_HANDLE_VALUE)
        return 0;
    FileHandle fileB;
    fileB.h = OpenFileUnshared(pszB, GENERIC_READ);
    if (fileB.h == INVALID_HANDLE_VALUE)
        return 0;

    FILETIME ftA, ftB;
    if (!GetFileTime(fileA.h, NULL, NULL, &ftA) || !GetFileTime(fileB.h, NULL, NULL, &ftB))
        return 0;
    return CompareFileTime(&ftA, &ftB) == 1 ? 0 : 1;
}
