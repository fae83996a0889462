// The one copy that puts every installed file in place: LZ-compressed
// sources (SZDD, as the platform's compression tool writes them) are
// expanded on the way, other files are copied unchanged.
#ifndef VUR_FILECOPY_H
#define VUR_FILECOPY_H

#include <windows.h>

// Result of the last LZ step of ExpandCopyFile: a handle after each open,
// the byte count after the copy, or a negative LZERROR_* code.
extern LONG g_lLastCopyResult;

// 1 if the destination was written, 0 if not. The destination's folder
// must exist; an existing destination is made writable and overwritten,
// and receives the source's creation time.
UINT ExpandCopyFile(const char *pszSource, const char *pszDest);

#endif
