// Texts the sysops functions read: dates, versions and registry paths, as
// rows of texts.txt, each text in a sentinel-filled buffer so that a write
// past its NUL shows; and the version query's own limits.
#include "casefiles.h"
#include "sysops/datetext.h"
#include "sysops/registry.h"
#include "sysops/versioncompare.h"
#include "sysopsfixtures.h"
#include <gtest/gtest.h>
#include <string.h>

// What the row's call gives, as texts.txt writes it, and whether it changed
// a text: each (of fewer than 80 bytes) is copied into 80 bytes of 0xbd.
static std::string Call(const std::vector<std::string> &row)
{
    char ab[2][80], *apsz[2] = {};
    memset(ab, 0xbd, sizeof ab);
    for (size_t i = 0; i < 2 && i + 2 < row.size(); i++) {
        if (row[i + 2] != "~")
            apsz[i] = (char *)memcpy(ab[i], row[i + 2].c_str(), row[i + 2].size() + 1);
    }
    std::string before(ab[0], sizeof ab), result;
    if (row[0] == "ParseDateText") {
        // Only the five separators of a text of the format become NULs.
        if (row[2].size() >= 17) {
            for (size_t i : { 2, 5, 10, 13, 16 })
                before[i] = '\0';
        }
        FILETIME ft = U64ToFileTime(0x1111111111111111ull);
        ParseDateText(apsz[0], &ft);
        result = FileTimeText(ft);
    } else if (row[0] == "VersionTextAtLeast") {
        result = std::to_string(VersionTextAtLeast(apsz[0], apsz[1]));
    } else if (row[0] == "SplitRegistryPath") {
        const char *pszSubKey = "sentinel";
        HKEY hRoot = SplitRegistryPath(apsz[0], &pszSubKey);
        const char *const apszRoots[] = { "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS" };
        result = !hRoot && !pszSubKey ? "none" : (ULONG_PTR)hRoot - (ULONG_PTR)HKEY_CLASSES_ROOT < 4
            ? apszRoots[(ULONG_PTR)hRoot - (ULONG_PTR)HKEY_CLASSES_ROOT] + std::string(" ") + (pszSubKey ? pszSubKey : "(null)")
            : "another key";
    }
    return result + (std::string(ab[0], sizeof ab) != before ? " (a text was changed)" : "");
}

TEST(SysopsTexts, EachCallGivesItsValue)
{
    std::vector<std::vector<std::string>> rows = ReadTable(VUR_SYSOPS_DATA "/texts.txt");
    ASSERT_GE(rows.size(), 40u);
    for (const std::vector<std::string> &row : rows)
        EXPECT_EQ(row[1], Call(row)) << row[0] << "(" << row[2] << (row.size() > 3 ? ", " + row[3] : "") << ")";

    char szText[] = "25/12/1999 14:30:00";
    ParseDateText(szText, NULL);             // nowhere to write: nothing happens
    // b inside a: each text is put back before the other is cut.
    char szLong[] = "3, 1, 2, 1, 2";
    EXPECT_EQ(1u, VersionTextAtLeast(szLong, szLong + 3));
    EXPECT_STREQ("3, 1, 2, 1, 2", szLong);
    EXPECT_EQ(nullptr, SplitRegistryPath(NULL, NULL));
}

// The query path "\StringFileInfo\" + translation + "\FileVersion" is built
// in 256 bytes: a translation of up to 227 characters fits, a longer one is
// refused rather than cut. Backslashes after the translation name the same
// string to VerQueryValueA, so the longest translation that fits still
// finds it. (The choices by version, and files without one, run in the
// copyver case and the [FILEVER] rows of testlines.txt.)
TEST(FileVersionAtLeast, TheQueryPathFitsOrIsRefused)
{
    char szWanted[] = "1, 0, 1, 5";
    std::string path = FixturePath("ver_us_1015.dll"), fits = "040904E4" + std::string(227 - 8, '\\');
    EXPECT_EQ(1u, FileVersionAtLeast(path.c_str(), szWanted, fits.c_str())) << "227 characters";
    EXPECT_EQ(0u, FileVersionAtLeast(path.c_str(), szWanted, (fits + "\\").c_str())) << "228 characters";
    EXPECT_EQ(0u, FileVersionAtLeast(NULL, szWanted, NULL));
    EXPECT_STREQ("1, 0, 1, 5", szWanted);
}
