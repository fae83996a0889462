// Comparing the last-write times of two files.
#ifndef VUR_FILEDATECOMPARE_H
#define VUR_FILEDATECOMPARE_H

#include <windows.h>

// 1 if file a was last written at the same time as file b or earlier; 0 if
// later, or if either file cannot be opened (share mode 0: a file another
// program holds open cannot).
UINT FileNotNewer(const char *pszA, const char *pszB);

#endif
