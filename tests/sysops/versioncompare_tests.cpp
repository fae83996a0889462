// FileVersionAtLeast on libraries whose version resources windres built
// from versionres.rc, and the copies by version and by date.
#include "sysops/versioncompare.h"
#include "sysops/conditionalcopy.h"
#include "sysops/filecopy.h"
#include "sysops/filedatecompare.h"
#include "sysopsfixtures.h"
#include <gtest/gtest.h>
#include <string.h>

// FileVersionAtLeast where the copy by version run end to end does not
// reach, and the two conditional copies' failures and time resolution.
TEST(FileVersionAtLeast, TranslationsLimitsAndConditionalCopies)
{
    static const struct {
        const char *pszFile, *pszWanted;
        const char *pszTranslation;   // NULL: the default 040904E4
        UINT uExpected;
    } s_aCases[] = {
        {"ver_us_1015.dll", "9, 9, 9, 9", NULL, 0},          // not the numeric FILEVERSION
        {"ver_us_1015.dll", "1, 0, 1, 5", "040904E4", 1},
        {"large.bin", "0, 0, 0, 0", NULL, 0},                // not a module at all
        {NULL, "0, 0, 0, 0", NULL, 0},
    };
    for (const auto &c : s_aCases) {
        SCOPED_TRACE(std::string(c.pszFile ? c.pszFile : "(null)") + " / " + c.pszWanted);
        char szWanted[64];
        strcpy(szWanted, c.pszWanted);
        EXPECT_EQ(c.uExpected, FileVersionAtLeast(c.pszFile ? FixturePath(c.pszFile).c_str() : NULL, szWanted,
                                                  c.pszTranslation));
        EXPECT_STREQ(c.pszWanted, szWanted);
    }
    // The query path "\StringFileInfo\" + translation + "\FileVersion" is
    // built in 256 bytes: a translation of up to 227 characters fits, a
    // longer one is refused rather than cut. Backslashes after the
    // translation name the same string to VerQueryValueA, so the longest
    // translation that fits still finds it.
    char szWanted[] = "1, 0, 1, 5";
    std::string path = FixturePath("ver_us_1015.dll"), fits = "040904E4" + std::string(227 - 8, '\\');
    EXPECT_EQ(1u, FileVersionAtLeast(path.c_str(), szWanted, fits.c_str())) << "227 characters";
    EXPECT_EQ(0u, FileVersionAtLeast(path.c_str(), szWanted, (fits + "\\").c_str())) << "228 characters";
    EXPECT_EQ(0u, FileVersionAtLeast(path.c_str(), szWanted, std::string(100000, '4').c_str())) << "100000";

    // Only a failed copy gives 0, with the copy's result.
    TempDir dir;
    std::string source = dir / "download.dl_", dest = dir / "installed.dll";
    ASSERT_TRUE(WriteFileBytes(source, FileText(FixturePath("small.bin_"))));
    EXPECT_EQ(0u, CopyIfOlderVersion(source.c_str(), (dir / "nofolder\\x.dll").c_str(), szWanted, NULL));
    EXPECT_GT(0, g_lLastCopyResult);
    // Dates compare to the 100 ns: a source that much newer is copied.
    ASSERT_TRUE(WriteFileBytes(dest, "installed"));
    FILETIME ftDest = MakeUtcTime(2000, 1, 1, 12, 0, 0), ftSource = U64ToFileTime(FileTimeToU64(ftDest) + 1);
    ASSERT_TRUE(WriteFileTimes(dest, NULL, &ftDest));
    ASSERT_TRUE(WriteFileTimes(source, NULL, &ftDest));
    EXPECT_EQ(1u, FileNotNewer(source.c_str(), dest.c_str()));
    ASSERT_TRUE(WriteFileTimes(source, NULL, &ftSource));
    EXPECT_EQ(0u, FileNotNewer(source.c_str(), dest.c_str()));
    // Share mode 0: a file held open counts as unreadable, and so does one
    // file given twice (the second open meets the first). A destination that
    // cannot be compared is copied over, and here the copy fails.
    EXPECT_EQ(0u, FileNotNewer(NULL, dest.c_str()));
    EXPECT_EQ(0u, FileNotNewer(dest.c_str(), dest.c_str()));
    HANDLE hHeld = CreateFileA(dest.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_EQ(0u, FileNotNewer(dest.c_str(), source.c_str()));
    UINT r = CopyIfNewerDate(source.c_str(), dest.c_str());
    LONG lResult = g_lLastCopyResult;
    CloseHandle(hHeld);
    EXPECT_EQ(0u, r) << "held destination";
    EXPECT_GT(0, lResult) << "held destination";
    EXPECT_EQ("installed", FileText(dest));
    EXPECT_EQ(1u, CopyIfNewerDate(source.c_str(), dest.c_str()));
    EXPECT_EQ(FileText(FixturePath("small.bin")), FileText(dest)) << "copied once free";
}
