// Text helpers on NUL-terminated 8-bit text: the few operations the install
// script syntax and the host messages rest on. None of the unbounded ones
// checks a destination's size; callers copy into fixed fields with the
// bounded variants (StrCopyMax, StrAppendMax) or check lengths first.
#ifndef VUR_TEXTHELPERS_H
#define VUR_TEXTHELPERS_H

#include <windows.h>
#include <stddef.h>

char *StrChr(const char *pszText, char ch);
char *StrFind(const char *pszText, const char *pszPattern);
int   StrLen(const char *pszText);
int   StrEqualNoCase(const char *pszA, const char *pszB);   // 0 means equal
char *StrCopy(char *pszDest, const char *pszSrc);
char *StrAppend(char *pszDest, const char *pszSrc);
int   StrCount(const char *pszText, const char *pszPattern);
void  StrTrim(char *pszText);
const char *LongToText(LONG lValue);
LONG  HexToLong(const char *pszText, int cchLength);

// Bounded copies for fixed buffers of cbDest bytes: copy at most cbDest - 1
// characters and always end with a NUL. They give the end of the text in
// pszDest, or NULL when pszDest or pszSrc is NULL or cbDest is 0.
char *StrCopyMax(char *pszDest, const char *pszSrc, size_t cbDest);
char *StrAppendMax(char *pszDest, const char *pszSrc, size_t cbDest);

// Reads a decimal number as atol does: leading white space, optional sign,
// digits up to the first other character; no digits give 0. Null gives 0.
LONG  TextToLong(const char *pszText);

// The same reading taken as an unsigned 32-bit number, modulo 2 to the 32:
// "4294967295" and "-1" both give 0xFFFFFFFF, whatever the C library does
// with a number that overflows a long.
DWORD TextToDword(const char *pszText);

#endif
