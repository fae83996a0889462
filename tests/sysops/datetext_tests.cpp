// ParseDateText: fixed positions, the hour taken one less (except 0), the
// text cut in place, and texts outside the format never cut or overrun.
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
        {"01/01/2000 25:00:00", 0, 0, 0, 0, 0, 0},
        {"-1/01/2000 10:00:00", 0, 0, 0, 0, 0, 0},
        {"01/01/2000 10:00:65537", 0, 0, 0, 0, 0, 0},          // would wrap to second 1
        {"xx/yy/zzzz hh:mm:ss", 0, 0, 0, 0, 0, 0},
        // Shorter than 17 characters the second would start past the end:
        // no time, and the text is neither cut nor read past its NUL.
        {"25/12/1999 14:30", 0, 0, 0, 0, 0, 0}, {"", 0, 0, 0, 0, 0, 0},
    };
    for (const auto &c : s_aCases) {
        SCOPED_TRACE(c.pszText);
        // The text sits in a sentinel-filled buffer: a write past its NUL shows.
        char abText[40];
        memset(abText, 0xbd, sizeof abText);
        memcpy(abText, c.pszText, strlen(c.pszText) + 1);
        std::string expected(abText, sizeof abText);
        if (strlen(c.pszText) >= 17) {
            for (size_t i : {2, 5, 10, 13, 16})
                expected[i] = '\0';
        }
        FILETIME ft = U64ToFileTime(0x1111111111111111ull);
        ParseDateText(abText, &ft);
        EXPECT_EQ(c.wYear ? FileTimeText(MakeUtcTime(c.wYear, c.wMonth, c.wDay, c.wHour, c.wMinute, c.wSecond))
                          : "(no time)",
                  FileTimeText(ft));
        EXPECT_EQ(expected, std::string(abText, sizeof abText)) << "NULs only over the five separators";
    }

    FILETIME ft = U64ToFileTime(1);
    ParseDateText(NULL, &ft);
    EXPECT_EQ(0u, FileTimeToU64(ft)) << "no text gives no time";
    char szText[] = "25/12/1999 14:30:00";
    ParseDateText(szText, NULL);             // nowhere to write: nothing happens
}
