// FileNotNewer and the copy by date: what is copied, what is left, and
// what a failed copy gives.
#include "sysops/conditionalcopy.h"
#include "sysops/filecopy.h"
#include "sysops/filedatecompare.h"
#include "sysopsfixtures.h"
#include <gtest/gtest.h>

// The source is small.bin's SZDD form: a copy is told apart from what was
// there by its expanded content.
TEST(CopyIfNewerDate, CopiesOnlyOverAnOlderOrUnreadableDestination)
{
    TempDir dir;
    std::string source = dir / "download.dl_", dest = dir / "installed.dll";
    ASSERT_TRUE(WriteFileBytes(source, FileText(FixturePath("small.bin_"))));
    auto Copied = [&] { return FileText(dest) == FileText(FixturePath("small.bin")); };
    FILETIME aftTimes[2] = {MakeUtcTime(2000, 1, 1, 12, 0, 0)};
    aftTimes[1] = U64ToFileTime(FileTimeToU64(aftTimes[0]) + 1);     // 100 ns later
    static const struct {
        const char *pszCase;
        bool bDestExists;
        int nSource, nDest;       // index of the last-write time
        bool bCopied;
    } s_aCases[] = {
        {"same time", true, 0, 0, false},
        {"source older", true, 0, 1, false},
        {"source newer", true, 1, 0, true},
        {"no destination", false, 0, 0, true},
    };
    for (const auto &c : s_aCases) {
        SCOPED_TRACE(c.pszCase);
        DeleteFileA(dest.c_str());
        ASSERT_TRUE(!c.bDestExists || WriteFileBytes(dest, "installed"));
        ASSERT_TRUE(!c.bDestExists || WriteFileTimes(dest, NULL, &aftTimes[c.nDest]));
        ASSERT_TRUE(WriteFileTimes(source, NULL, &aftTimes[c.nSource]));
        EXPECT_EQ(c.bDestExists ? !c.bCopied : 0u, FileNotNewer(source.c_str(), dest.c_str()));
        EXPECT_EQ(1u, CopyIfNewerDate(source.c_str(), dest.c_str()));
        EXPECT_EQ(c.bCopied, Copied());
    }
    // Share mode 0: a file held open counts as unreadable, and so does one
    // file given twice (the second open meets the first). A destination that
    // cannot be compared is copied over, and here the copy fails.
    ASSERT_TRUE(WriteFileBytes(dest, "installed"));
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
}
