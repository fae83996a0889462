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

// A text (of fewer than 80 bytes) copied into 80 bytes of 0xbd.
struct Buffer {
    char ab[80];
    explicit Buffer(const std::string &text)
    {
        memset(ab, 0xbd, sizeof ab);
        memcpy(ab, text.c_str(), text.size() + 1);
    }
    std::string Bytes() const { return std::string(ab, sizeof ab); }
};

// What the row's call gives, as texts.txt writes it, and what it changed.
static std::string Call(const std::vector<std::string> &row)
{
    const std::string &fn = row[0];
    bool bNullA = row[2] == "~", bNullB = row.size() > 3 && row[3] == "~";
    Buffer a(bNullA ? "" : row[2]), b(row.size() > 3 && !bNullB ? row[3] : "");
    std::string aBefore = a.Bytes(), bBefore = b.Bytes(), changed;
    if (fn == "ParseDateText") {
        // Only the five separators of a text of the format become NULs.
        if (row[2].size() >= 17) {
            for (size_t i : { 2, 5, 10, 13, 16 })
                aBefore[i] = '\0';
        }
        FILETIME ft = U64ToFileTime(0x1111111111111111ull);
        ParseDateText(bNullA ? NULL : a.ab, &ft);
        changed = FileTimeText(ft);
    } else if (fn == "VersionTextAtLeast") {
        changed = std::to_string(VersionTextAtLeast(bNullA ? NULL : a.ab, bNullB ? NULL : b.ab));
    } else if (fn == "SplitRegistryPath") {
        const char *pszSubKey = "sentinel";
        HKEY hRoot = SplitRegistryPath(bNullA ? NULL : a.ab, &pszSubKey);
        const char *const apszRoots[] = { "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS" };
        changed = !hRoot && !pszSubKey ? "none" : (ULONG_PTR)hRoot - (ULONG_PTR)HKEY_CLASSES_ROOT < 4
            ? apszRoots[(ULONG_PTR)hRoot - (ULONG_PTR)HKEY_CLASSES_ROOT] + std::string(" ") + (pszSubKey ? pszSubKey : "(null)")
            : "another key";
    }
    return changed + (a.Bytes() != aBefore || b.Bytes() != bBefore ? " (a text was changed)" : "");
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
// finds it. (The choices by version run in the copyver case and the
// [FILEVER] rows of testlines.txt.)
TEST(FileVersionAtLeast, TheQueryPathAndFilesWithoutAVersion)
{
    char szWanted[] = "1, 0, 1, 5", szZero[] = "0, 0, 0, 0";
    std::string path = FixturePath("ver_us_1015.dll"), fits = "040904E4" + std::string(227 - 8, '\\');
    EXPECT_EQ(1u, FileVersionAtLeast(path.c_str(), szWanted, fits.c_str())) << "227 characters";
    EXPECT_EQ(0u, FileVersionAtLeast(path.c_str(), szWanted, (fits + "\\").c_str())) << "228 characters";
    EXPECT_EQ(0u, FileVersionAtLeast(path.c_str(), szWanted, std::string(100000, '4').c_str())) << "100000";
    EXPECT_EQ(0u, FileVersionAtLeast(FixturePath("large.bin").c_str(), szZero, NULL)) << "not a module";
    EXPECT_EQ(0u, FileVersionAtLeast(NULL, szZero, NULL));
    EXPECT_STREQ("1, 0, 1, 5", szWanted);
}
