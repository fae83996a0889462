// Date texts: only the positions count; the separators may be anything.
#include "sysops/datetext.h"
#include "script/texthelpers.h"

#define DATE_TEXT_MIN_LENGTH 17     // the second starts at position 17

// A field read as a number must fit a SYSTEMTIME word: 65536 + 2000 must
// not come out as the year 2000.
static BOOL FieldToWord(const char *pszField, LONG lAdjust, WORD *pw)
{
    LONG l = TextToLong(pszField);
    if (l < 0 || l > 0xFFFF)
        return FALSE;
    l += lAdjust;
    if (l < 0)
        return FALSE;
    *pw = (WORD)l;
    return TRUE;
}

void ParseDateText(char *pszText, FILETIME *pft)
{
    if (!pft)
        return;
    pft->dwLowDateTime = 0;
    pft->dwHighDateTime = 0;
    if (!pszText)
        return;

    // Shorter texts are outside the format: the cuts at fixed positions
    // would land past their end. They give no time and stay as they were.
    if (StrLen(pszText) < DATE_TEXT_MIN_LENGTH)
        return;

    pszText[2] = '\0';
    pszText[5] = '\0';
    pszText[10] = '\0';
    pszText[13] = '\0';
    pszText[16] = '\0';

    SYSTEMTIME st = {};
    LONG lHour = TextToLong(pszText + 11);
    // The hour is taken one less than written, except 0, which stays on its
    // day instead of moving back to the previous evening.
    LONG lHourAdjust = lHour > 0 ? -1 : 0;
    if (!FieldToWord(pszText + 0, 0, &st.wDay) ||
        !FieldToWord(pszText + 3, 0, &st.wMonth) ||
        !FieldToWord(pszText + 6, 0, &st.wYear) ||
        !FieldToWord(pszText + 11, lHourAdjust, &st.wHour) ||
        !FieldToWord(pszText + 14, 0, &st.wMinute) ||
        !FieldToWord(pszText + 17, 0, &st.wSecond))
        return;

    FILETIME ft;
    if (SystemTimeToFileTime(&st, &ft))
        *pft = ft;
}
