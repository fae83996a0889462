// Text helpers shared by the interpreter, the section handlers and the
// host link. Exact behaviour matters: script authors rely on it.
#include "script/texthelpers.h"
#include <stdio.h>
#include <stdlib.h>

char *StrChr(const char *pszText, char ch)
{
    if (!pszText || ch == '\0')
        return NULL;
    for (; *pszText; pszText++)
        if (*pszText == ch)
            return (char *)pszText;
    return NULL;
}

// One pass, never backing up: a mismatch in the middle of a match restarts
// the pattern at the same text position, so "aab" is not found in "aaab".
char *StrFind(const char *pszText, const char *pszPattern)
{
    if (!pszText)
        return NULL;
    if (!pszPattern)
        return (char *)pszText;
    const char *t = pszText;
    const char *p = pszPattern;
    const char *pszStart = NULL;
    while (*t && *p) {
        if (*t == *p) {
            if (p == pszPattern)
                pszStart = t;
            t++;
            p++;
        } else if (p != pszPattern) {
            p = pszPattern;
        } else {
            t++;
        }
    }
    return (*p == '\0' && p != pszPattern) ? (char *)pszStart : NULL;
}

int StrLen(const char *pszText)
{
    int n = 0;
    if (pszText)
        while (pszText[n])
            n++;
    return n;
}

static char FoldAsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

int StrEqualNoCase(const char *pszA, const char *pszB)
{
    if (!pszA || !pszB || StrLen(pszA) != StrLen(pszB))
        return -1;
    for (; *pszA; pszA++, pszB++)
        if (FoldAsciiUpper(*pszA) != FoldAsciiUpper(*pszB))
            return -1;
    return 0;
}

char *StrCopy(char *pszDest, const char *pszSrc)
{
    if (!pszDest || !pszSrc)
        return NULL;
    while ((*pszDest = *pszSrc) != '\0') {
        pszDest++;
        pszSrc++;
    }
    return pszDest;
}

char *StrAppend(char *pszDest, const char *pszSrc)
{
    if (!pszDest || !pszSrc)
        return NULL;
    return StrCopy(pszDest + StrLen(pszDest), pszSrc);
}

int StrCount(const char *pszText, const char *pszPattern)
{
    if (!pszText || !pszPattern)
        return 0;
    int nCount = 0;
    int cchPattern = StrLen(pszPattern);
    const char *pszMatch;
    while ((pszMatch = StrFind(pszText, pszPattern)) != NULL) {
        nCount++;
        pszText = pszMatch + cchPattern;
    }
    return nCount;
}

void StrTrim(char *pszText)
{
    if (!pszText || !*pszText)
        return;
    int nLead = 0;
    while (pszText[nLead] == ' ')
        nLead++;
    if (nLead) {
        int i = 0;
        while ((pszText[i] = pszText[i + nLead]) != '\0')
            i++;
    }
    int n = StrLen(pszText);
    while (n > 0 && pszText[n - 1] == ' ')
        pszText[--n] = '\0';
}

const char *LongToText(LONG lValue)
{
    static char s_szNumber[16];
    wsprintfA(s_szNumber, "%ld", lValue);
    return s_szNumber;
}

LONG HexToLong(const char *pszText, int cchLength)
{
    if (!pszText)
        return 0;
    // Never read past the text's NUL, whatever length is asked for.
    int cchText = StrLen(pszText);
    if (cchLength <= 0 || cchLength > cchText)
        cchLength = cchText;
    DWORD dwValue = 0;
    DWORD dwWeight = 1;
    for (int i = cchLength - 1; i >= 0; i--) {
        DWORD dwDigit = (DWORD)(unsigned char)pszText[i] - '0';
        if (dwDigit > 9)
            dwDigit -= 7;
        if (dwDigit > 15)
            dwDigit -= 32;
        dwValue += dwDigit * dwWeight;   // wraps on overflow, by design
        dwWeight *= 16;
    }
    return (LONG)dwValue;
}

char *StrCopyMax(char *pszDest, const char *pszSrc, size_t cbDest)
{
    if (!pszDest || !pszSrc || cbDest == 0)
        return NULL;
    size_t i = 0;
    while (i + 1 < cbDest && pszSrc[i]) {
        pszDest[i] = pszSrc[i];
        i++;
    }
    pszDest[i] = '\0';
    return pszDest + i;
}

char *StrAppendMax(char *pszDest, const char *pszSrc, size_t cbDest)
{
    if (!pszDest || !pszSrc || cbDest == 0)
        return NULL;
    size_t cchDest = 0;
    while (cchDest < cbDest && pszDest[cchDest])
        cchDest++;
    if (cchDest == cbDest)          // no NUL inside the buffer: end it there
        cchDest = cbDest - 1;
    return StrCopyMax(pszDest + cchDest, pszSrc, cbDest - cchDest);
}

LONG TextToLong(const char *pszText)
{
    return pszText ? atol(pszText) : 0;
}

DWORD TextToDword(const char *pszText)
{
    if (!pszText)
        return 0;
    const char *p = pszText;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        p++;
    BOOL bNegative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    DWORD dwValue = 0;
    for (; *p >= '0' && *p <= '9'; p++)
        dwValue = dwValue * 10 + (DWORD)(*p - '0');     // wraps on overflow, by design
    return bNegative ? 0u - dwValue : dwValue;
}
