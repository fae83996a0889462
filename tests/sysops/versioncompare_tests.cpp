// VersionTextAtLeast on texts, FileVersionAtLeast on libraries whose
// version resources windres built from fixtures/versionres.rc.
#include "sysops/versioncompare.h"
#include "sysopsfixtures.h"
#include "support/testfiles.h"
#include <gtest/gtest.h>
#include <string.h>

TEST(VersionTextAtLeast, Table)
{
    static const struct {
        const char *pszA, *pszB;
        UINT uExpected;
    } s_aCases[] = {
        {"1, 0, 1, 5", "1, 0, 1, 5", 1},
        {"1, 0, 1, 5", "1, 0, 2, 0", 0},
        {"1, 2, 0, 0", "1, 0, 9, 9", 1},          // the first field that differs decides
        {"1, 0, 9, 9", "1, 2, 0, 0", 0},
        {"2,0,0,0", "10,0,0,0", 0},               // numbers, not text
        {"10,0,0,0", "9,9,9,9", 1},
        {"4, 0, 0, 950 (build)", "4, 0, 0, 950", 1}, // text after the fourth number
        {"4, 0, 0, 950 (build)", "4, 0, 0, 951", 0},
        {"1x, 0y, 1z, 5w", "1, 0, 1, 5", 1},      // anything after the digits is ignored
        {"1, 0, 1, 5, 7", "1, 0, 1, 5", 1},       // a fourth comma ends field 4's digits
        {"-1, 0, 0, 0", "0, 0, 0, 0", 0},         // signed
        {"2147483647, 0, 0, 0", "-2147483648, 0, 0, 0", 1},
        {", , , ", "0, 0, 0, 0", 1},              // empty fields read as 0
        {"1.0.1.5", "1, 0, 1, 5", 0},             // fewer than three commas: not at least
        {"9, 9, 9", "1, 0, 1, 5", 0},
        {"1, 0, 1, 5", "1.0.1.5", 0},
        {"", "", 0},
    };
    for (const auto &c : s_aCases) {
        SCOPED_TRACE(std::string(c.pszA) + " against " + c.pszB);
        char szA[64], szB[64];
        strcpy(szA, c.pszA);
        strcpy(szB, c.pszB);
        EXPECT_EQ(c.uExpected, VersionTextAtLeast(szA, szB));
        EXPECT_STREQ(c.pszA, szA) << "a is not as it was";
        EXPECT_STREQ(c.pszB, szB) << "b is not as it was";
    }
}

TEST(VersionTextAtLeast, AbsentOrSharedTexts)
{
    char szA[] = "1, 0, 1, 5";
    EXPECT_EQ(0u, VersionTextAtLeast(NULL, szA));
    EXPECT_EQ(0u, VersionTextAtLeast(szA, NULL));
    EXPECT_EQ(0u, VersionTextAtLeast(NULL, NULL));
    EXPECT_EQ(1u, VersionTextAtLeast(szA, szA));
    EXPECT_STREQ("1, 0, 1, 5", szA);
    // b inside a: each text is put back before the other is cut.
    char szLong[] = "3, 1, 2, 1, 2";
    EXPECT_EQ(1u, VersionTextAtLeast(szLong, szLong + 3));
    EXPECT_STREQ("3, 1, 2, 1, 2", szLong);
}

// A text outside the format sits at the end of a sentinel-filled buffer:
// nothing may be written into it or past it.
TEST(VersionTextAtLeast, TextsWithFewerCommasAreNeverWritten)
{
    static const char *const s_apsz[] = {"1", "1,2", "1,2,3", "1.0.1.5", ""};
    for (const char *psz : s_apsz) {
        SCOPED_TRACE(psz);
        char abA[32], abB[32];
        memset(abA, 0xbd, sizeof abA);
        memset(abB, 0xbd, sizeof abB);
        size_t cch = strlen(psz);
        memcpy(abA, psz, cch + 1);
        strcpy(abB, "1, 0, 1, 5");
        EXPECT_EQ(0u, VersionTextAtLeast(abA, abB));
        EXPECT_EQ(0u, VersionTextAtLeast(abB, abA));
        EXPECT_STREQ(psz, abA);
        EXPECT_STREQ("1, 0, 1, 5", abB);
        for (size_t i = cch + 1; i < sizeof abA; i++)
            ASSERT_EQ((char)0xbd, abA[i]) << "byte " << i << " past the text was written";
    }
}

TEST(FileVersionAtLeast, Table)
{
    static const struct {
        const char *pszFile;
        const char *pszWanted;
        const char *pszTranslation;   // NULL: the default 040904E4
        UINT uExpected;
    } s_aCases[] = {
        {"ver_us_1015.dll", "1, 0, 1, 5", NULL, 1},
        {"ver_us_1015.dll", "1, 0, 1, 4", NULL, 1},
        {"ver_us_1015.dll", "1, 0, 2, 0", NULL, 0},
        {"ver_us_1015.dll", "9, 9, 9, 9", NULL, 0},          // not the numeric FILEVERSION
        {"ver_us_1015.dll", "1, 0, 1, 5", "040904E4", 1},
        {"ver_us_1015.dll", "1, 0, 1, 5", "040C04E4", 0},    // string only under 040904E4
        {"ver_us_950.dll", "4, 0, 0, 950", NULL, 1},         // "4, 0, 0, 950 (build)"
        {"ver_us_950.dll", "4, 0, 0, 951", NULL, 0},
        {"ver_fr_2000.dll", "2, 0, 0, 0", "040C04E4", 1},
        {"ver_fr_2000.dll", "1, 0, 0, 0", NULL, 0},          // no 040904E4 string
        {"ver_fr_2000.dll", "1, 0, 0, 0", "040904E4", 0},
        {"ver_fr_2000.dll", "1, 0, 0, 0", "", 0},
        {"plain.dll", "0, 0, 0, 0", NULL, 0},                // no version resource
        {"large.bin", "0, 0, 0, 0", NULL, 0},                // not a module at all
        {"missing.dll", "0, 0, 0, 0", NULL, 0},
        {"ver_us_1015.dll", "1.0.1.5", NULL, 0},
    };
    for (const auto &c : s_aCases) {
        SCOPED_TRACE(std::string(c.pszFile) + " / " + c.pszWanted + " / " +
                     (c.pszTranslation ? c.pszTranslation : "(none)"));
        char szWanted[64];
        strcpy(szWanted, c.pszWanted);
        EXPECT_EQ(c.uExpected, FileVersionAtLeast(FixturePath(c.pszFile).c_str(), szWanted, c.pszTranslation));
        EXPECT_STREQ(c.pszWanted, szWanted);
    }
    char szWanted[] = "0, 0, 0, 0";
    EXPECT_EQ(0u, FileVersionAtLeast(NULL, szWanted, NULL));
    EXPECT_EQ(0u, FileVersionAtLeast(FixturePath("ver_us_1015.dll").c_str(), NULL, NULL));
}

// The query path "\StringFileInfo\" + translation + "\FileVersion" is
// built in 256 bytes: a translation of up to 227 characters fits, a longer
// one is refused (result 0) rather than cut.
TEST(FileVersionAtLeast, TranslationTooLongForTheQueryPath)
{
    // Backslashes after the translation name the same string to
    // VerQueryValueA, so the longest translation that fits still finds it.
    std::string fits = "040904E4" + std::string(227 - 8, '\\');
    std::string tooLong = fits + "\\";
    char szWanted[] = "1, 0, 1, 5";
    std::string path = FixturePath("ver_us_1015.dll");
    EXPECT_EQ(1u, FileVersionAtLeast(path.c_str(), szWanted, fits.c_str())) << "227 characters";
    EXPECT_EQ(0u, FileVersionAtLeast(path.c_str(), szWanted, tooLong.c_str())) << "228 characters";
    std::string huge(100000, '4');
    EXPECT_EQ(0u, FileVersionAtLeast(path.c_str(), szWanted, huge.c_str())) << "100000 characters";
}
