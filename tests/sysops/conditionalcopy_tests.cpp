// FileNotNewer and the copies by version and by date: what is copied, what
// is left, and what a failed copy gives.
#include "sysops/conditionalcopy.h"
#include "sysops/filecopy.h"
#include "sysops/filedatecompare.h"
#include "sysopsfixtures.h"
#include "support/testfiles.h"
#include <gtest/gtest.h>
#include <string.h>

static std::string Contents(const std::string &path)
{
    std::string bytes;
    ReadFileBytes(path, &bytes);
    return bytes;
}

static void SetLastWrite(const std::string &path, const FILETIME &ft)
{
    ASSERT_TRUE(WriteFileTimes(path, NULL, &ft)) << path;
}

TEST(FileNotNewer, ComparesLastWriteTimes)
{
    TempDir dir;
    std::string a = dir / "a.txt", b = dir / "b.txt";
    ASSERT_TRUE(WriteFileBytes(a, "a"));
    ASSERT_TRUE(WriteFileBytes(b, "b"));
    FILETIME ftEarly = MakeUtcTime(2000, 1, 1, 0, 0, 0);
    FILETIME ftLate = U64ToFileTime(FileTimeToU64(ftEarly) + 1);   // 100 ns later

    static const struct {
        bool bALate, bBLate;
        UINT uExpected;
    } s_aCases[] = {{false, false, 1}, {false, true, 1}, {true, false, 0}, {true, true, 1}};
    for (const auto &c : s_aCases) {
        SCOPED_TRACE(testing::Message() << "a late " << c.bALate << ", b late " << c.bBLate);
        SetLastWrite(a, c.bALate ? ftLate : ftEarly);
        SetLastWrite(b, c.bBLate ? ftLate : ftEarly);
        EXPECT_EQ(c.uExpected, FileNotNewer(a.c_str(), b.c_str()));
    }
}

TEST(FileNotNewer, UnreadableFilesGiveZero)
{
    TempDir dir;
    std::string a = dir / "a.txt", missing = dir / "missing.txt";
    ASSERT_TRUE(WriteFileBytes(a, "a"));
    EXPECT_EQ(0u, FileNotNewer(missing.c_str(), a.c_str()));
    EXPECT_EQ(0u, FileNotNewer(a.c_str(), missing.c_str()));
    EXPECT_EQ(0u, FileNotNewer(NULL, a.c_str()));
    EXPECT_EQ(0u, FileNotNewer(a.c_str(), NULL));
    // Share mode 0: a file held open by anyone counts as unreadable, and so
    // does one file given twice (the second open meets the first).
    EXPECT_EQ(0u, FileNotNewer(a.c_str(), a.c_str()));
    HANDLE hHeld = CreateFileA(a.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHeld);
    std::string b = dir / "b.txt";
    ASSERT_TRUE(WriteFileBytes(b, "b"));
    EXPECT_EQ(0u, FileNotNewer(b.c_str(), a.c_str()));
    CloseHandle(hHeld);
}

class ConditionalCopyTest : public testing::Test {
protected:
    TempDir dir;
    std::string source = dir / "download.dl_";
    std::string dest = dir / "installed.dll";
    void SetUp() override
    {
        // The source is an SZDD form of some bytes; what the copy writes is
        // told apart from what was there by its content.
        ASSERT_TRUE(WriteFileBytes(source, FixtureBytes("text.txt_")));
    }
    static std::string FixtureBytes(const char *pszName)
    {
        std::string bytes;
        EXPECT_TRUE(ReadFileBytes(FixturePath(pszName), &bytes)) << pszName;
        return bytes;
    }
    bool Copied() { return Contents(dest) == FixtureBytes("text.txt"); }
};

TEST_F(ConditionalCopyTest, ByVersion)
{
    static const struct {
        const char *pszInstalled;     // NULL: no destination
        const char *pszWanted;
        const char *pszTranslation;
        bool bCopied;
    } s_aCases[] = {
        {"ver_us_1015.dll", "1, 0, 1, 5", NULL, false},      // already that version
        {"ver_us_1015.dll", "1, 0, 1, 0", NULL, false},      // already later
        {"ver_us_1015.dll", "1, 0, 2, 0", NULL, true},
        {"ver_fr_2000.dll", "1, 0, 0, 0", NULL, true},       // no string under 040904E4
        {"ver_fr_2000.dll", "1, 0, 0, 0", "040C04E4", false},
        {"plain.dll", "0, 0, 0, 0", NULL, true},             // no version resource
        {NULL, "0, 0, 0, 0", NULL, true},
    };
    for (const auto &c : s_aCases) {
        SCOPED_TRACE(std::string(c.pszInstalled ? c.pszInstalled : "(none)") + " / " + c.pszWanted);
        DeleteFileA(dest.c_str());
        if (c.pszInstalled) {
            ASSERT_TRUE(CopyFileA(FixturePath(c.pszInstalled).c_str(), dest.c_str(), FALSE));
        }
        char szWanted[32];
        strcpy(szWanted, c.pszWanted);
        EXPECT_EQ(1u, CopyIfOlderVersion(source.c_str(), dest.c_str(), szWanted, c.pszTranslation));
        EXPECT_EQ(c.bCopied, Copied());
        EXPECT_STREQ(c.pszWanted, szWanted);
    }
}

TEST_F(ConditionalCopyTest, ByVersionFailedCopy)
{
    char szWanted[] = "1, 0, 2, 0";
    std::string nowhere = dir / "nofolder\\x.dll";
    EXPECT_EQ(0u, CopyIfOlderVersion(source.c_str(), nowhere.c_str(), szWanted, NULL));
    EXPECT_GT(0, g_lLastCopyResult);
    std::string missing = dir / "missing.dll";
    ASSERT_TRUE(CopyFileA(FixturePath("ver_us_1015.dll").c_str(), dest.c_str(), FALSE));
    EXPECT_EQ(0u, CopyIfOlderVersion(missing.c_str(), dest.c_str(), szWanted, NULL));
    EXPECT_EQ(LZERROR_BADINHANDLE, g_lLastCopyResult);
}

TEST_F(ConditionalCopyTest, ByDate)
{
    FILETIME ftEarly = MakeUtcTime(2000, 1, 1, 12, 0, 0);
    FILETIME ftLate = MakeUtcTime(2000, 1, 2, 12, 0, 0);
    static const struct {
        const char *pszCase;
        bool bDestExists, bSourceLate, bDestLate;
        bool bCopied;
    } s_aCases[] = {
        {"same time", true, false, false, false},
        {"source older", true, false, true, false},
        {"source newer", true, true, false, true},
        {"no destination", false, false, false, true},
    };
    for (const auto &c : s_aCases) {
        SCOPED_TRACE(c.pszCase);
        DeleteFileA(dest.c_str());
        if (c.bDestExists) {
            ASSERT_TRUE(WriteFileBytes(dest, "installed"));
            SetLastWrite(dest, c.bDestLate ? ftLate : ftEarly);
        }
        SetLastWrite(source, c.bSourceLate ? ftLate : ftEarly);
        EXPECT_EQ(1u, CopyIfNewerDate(source.c_str(), dest.c_str()));
        EXPECT_EQ(c.bCopied, Copied());
        // Once copied, the destination is never older than its source: a
        // second run leaves it (its content is marked, its time kept).
        FileTimes times;
        ASSERT_TRUE(ReadFileTimes(dest, &times));
        ASSERT_TRUE(WriteFileBytes(dest, "marked"));
        SetLastWrite(dest, times.ftLastWrite);
        EXPECT_EQ(1u, CopyIfNewerDate(source.c_str(), dest.c_str()));
        EXPECT_EQ("marked", Contents(dest)) << "copied a second time";
    }
}

TEST_F(ConditionalCopyTest, ByDateOntoAFileHeldOpen)
{
    ASSERT_TRUE(WriteFileBytes(dest, "installed"));
    // The held destination cannot be opened to compare, so the copy is
    // tried, and it fails.
    HANDLE hHeld = CreateFileA(dest.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHeld);
    UINT r = CopyIfNewerDate(source.c_str(), dest.c_str());
    LONG lResult = g_lLastCopyResult;
    CloseHandle(hHeld);
    EXPECT_EQ(0u, r);
    EXPECT_GT(0, lResult);
    EXPECT_EQ("installed", Contents(dest));
}
