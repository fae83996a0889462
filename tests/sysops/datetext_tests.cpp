// ParseDateText: fixed positions, the hour taken one less (except 0), the
// text cut in place, and texts outside the format never overrun.
#include "sysops/datetext.h"
#include "sysopsfixtures.h"
#include <gtest/gtest.h>
#include <string.h>

TEST(ParseDateText, Table)
{
    static const struct {
        const char *pszText;
        WORD wYear, wMonth, wDay, wHour, wMinute, wSecond;   // wYear 0: no time
    } s_aCases[] = {
        {"25/12/1999 14:30:00", 1999, 12, 25, 13, 30, 0},
        {"25/12/1999 00:10:00", 1999, 12, 25, 0, 10, 0},       // hour 0 stays on its day
        {"01/01/2000 00:00:00", 2000, 1, 1, 0, 0, 0},
        {"01/01/2000 01:00:00", 2000, 1, 1, 0, 0, 0},
        {"29/02/2000 23:59:59", 2000, 2, 29, 22, 59, 59},
        {"05-06-2003T07.08.09", 2003, 6, 5, 6, 8, 9},         // any separators
        {" 5/ 6/2003  7: 8: 9", 2003, 6, 5, 6, 8, 9},         // blanks before numbers
        {"05/06/2003 07:08:09 and more", 2003, 6, 5, 6, 8, 9}, // the second stops at its digits
        {"05/06/2003 07:08:", 2003, 6, 5, 6, 8, 0},            // 17 characters: second empty, 0
        {"05/06/2003 24:00:00", 2003, 6, 5, 23, 0, 0},         // 24 less one is a valid hour
        {"31/02/2000 10:00:00", 0, 0, 0, 0, 0, 0},             // no such day
        {"00/01/2000 10:00:00", 0, 0, 0, 0, 0, 0},
        {"01/13/2000 10:00:00", 0, 0, 0, 0, 0, 0},
        {"01/01/2000 10:60:00", 0, 0, 0, 0, 0, 0},
        {"01/01/2000 25:00:00", 0, 0, 0, 0, 0, 0},
        {"-1/01/2000 10:00:00", 0, 0, 0, 0, 0, 0},
        {"01/01/2000 10:00:65537", 0, 0, 0, 0, 0, 0},          // would wrap to second 1
        {"01/01/2000 -1:00:00", 0, 0, 0, 0, 0, 0},
        {"xx/yy/zzzz hh:mm:ss", 0, 0, 0, 0, 0, 0},
    };
    for (const auto &c : s_aCases) {
        SCOPED_TRACE(c.pszText);
        char szText[64];
        strcpy(szText, c.pszText);
        FILETIME ft = U64ToFileTime(0x1111111111111111ull);
        ParseDateText(szText, &ft);
        if (c.wYear == 0)
            EXPECT_EQ("(no time)", FileTimeText(ft));
        else
            EXPECT_EQ(FileTimeText(MakeUtcTime(c.wYear, c.wMonth, c.wDay, c.wHour, c.wMinute, c.wSecond)),
                      FileTimeText(ft));
    }
}

TEST(ParseDateText, CutsTheTextAtItsSeparators)
{
    char szText[] = "25/12/1999 14:30:00";
    FILETIME ft;
    ParseDateText(szText, &ft);
    EXPECT_EQ(0, memcmp(szText, "25\0" "12\0" "1999\0" "14\0" "30\0" "00", sizeof szText))
        << "the five separators become NULs, the rest stays";
}

// Shorter than 17 characters: the second would start past the text's end.
// Such a text gives no time and is neither cut nor read beyond its NUL.
TEST(ParseDateText, ShortTextsGiveNoTimeAndStayWhole)
{
    static const char *const s_apszShort[] = {"", "2", "25/12/1999", "25/12/1999 14:30", "25/12/1999 14:3"};
    for (const char *pszShort : s_apszShort) {
        SCOPED_TRACE(pszShort);
        // The text sits at the end of a sentinel-filled buffer: a write past
        // its NUL shows in the sentinel bytes after it.
        char abBuffer[40];
        memset(abBuffer, 0xbd, sizeof abBuffer);
        size_t cch = strlen(pszShort);
        memcpy(abBuffer, pszShort, cch + 1);
        FILETIME ft = U64ToFileTime(0x1111111111111111ull);
        ParseDateText(abBuffer, &ft);
        EXPECT_EQ(0u, FileTimeToU64(ft));
        EXPECT_STREQ(pszShort, abBuffer) << "the text was cut";
        for (size_t i = cch + 1; i < sizeof abBuffer; i++)
            ASSERT_EQ((char)0xbd, abBuffer[i]) << "byte " << i << " past the text was written";
    }
}

TEST(ParseDateText, NoTextGivesNoTime)
{
    FILETIME ft = U64ToFileTime(0x1111111111111111ull);
    ParseDateText(NULL, &ft);
    EXPECT_EQ(0u, FileTimeToU64(ft));
    char szText[] = "25/12/1999 14:30:00";
    ParseDateText(szText, NULL);             // nowhere to write: nothing happens
}
