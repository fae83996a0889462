// ExpandCopyFile on real SZDD files made by mscompress at build time and on
// files that cannot be used; the file-time operations under it, and the
// date comparison of the copy by date.
#include "sysops/filecopy.h"
#include "sysops/filedatecompare.h"
#include "sysops/filetimes.h"
#include "sysopsfixtures.h"
#include <gtest/gtest.h>

// Wine difference: on a Unix file system Wine keeps no creation time of its
// own; it reports the last-write time as the creation time and drops a
// creation time that is set.
static FILETIME CreationTimeAsRead(const FILETIME &ftCreation, const FILETIME &ftLastWrite)
{
    return RunningOnWine() ? ftLastWrite : ftCreation;
}

// One longer, read-only, hidden and system destination for all copies.
// The last source, a plain file that merely starts like an SZDD header, has
// known times: the copy carries its creation time.
TEST(ExpandCopyFile, ExpandsCompressedAndCopiesPlainFilesOverAReadOnlyDestination)
{
    TempDir dir;
    std::string almostSzdd = dir / "almost.bin", dest = dir / "copy.out";
    ASSERT_TRUE(WriteFileBytes(almostSzdd, std::string("SZDD\x88\xf0\x27", 7) + "not compressed"));
    FILETIME ftCreation = MakeUtcTime(2001, 3, 4, 5, 6, 7), ftLastWrite = MakeUtcTime(2002, 8, 9, 10, 11, 12);
    ASSERT_TRUE(WriteFileTimes(almostSzdd, &ftCreation, &ftLastWrite));
    const DWORD dwCleared = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(WriteFileBytes(dest, std::string(100000, 'z')));
    ASSERT_TRUE(SetFileAttributesA(dest.c_str(), dwCleared));
    for (std::string source : { FixturePath("small.bin_"), FixturePath("large.bin_"), FixturePath("empty.bin"),
                                almostSzdd }) {
        SCOPED_TRACE(source);
        std::string original = FileText(source.back() == '_' ? source.substr(0, source.size() - 1) : source);
        g_lLastCopyResult = 12345;
        EXPECT_EQ(1u, ExpandCopyFile(source.c_str(), dest.c_str()));
        EXPECT_EQ((LONG)original.size(), g_lLastCopyResult) << "bytes written";
        EXPECT_TRUE(original == FileText(dest)) << "the copy differs from the " << original.size() << " bytes expected";
    }
    EXPECT_EQ(0u, GetFileAttributesA(dest.c_str()) & dwCleared);
    FileTimes times;
    ASSERT_TRUE(ReadFileTimes(dest, &times));
    EXPECT_EQ(FileTimeText(CreationTimeAsRead(ftCreation, times.ftLastWrite)), FileTimeText(times.ftCreation));
}

// A failed copy gives a negative result and creates or changes nothing.
// OpenFile, under every LZ open, keeps paths in a 128-byte OFSTRUCT field:
// longer paths fail cleanly, on Windows as well. The platform has few LZ
// handles (16 under Wine): failed copies must give theirs back.
TEST(ExpandCopyFile, FailuresLeaveTheFilesAsTheyWereAndGiveTheirHandlesBack)
{
    TempDir dir;
    std::string small = FixturePath("small.bin_"), missing = dir / "missing.bi_", fresh = dir / "x.bin";
    std::string noFolder = dir / "nofolder\\x.bin", longFolder = dir / std::string(140, 'd');
    std::string longSource = longFolder + "\\small.bi_", longDest = longFolder + "\\x.bin", held = dir / "held.txt";
    ASSERT_TRUE(CreateDirectoryA(longFolder.c_str(), NULL));
    ASSERT_TRUE(WriteFileBytes(longSource, FileText(small)));
    ASSERT_TRUE(WriteFileBytes(held, "held"));
    HANDLE hHeld = CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHeld);
    const char *const apszCases[][2] = {
        {missing.c_str(), fresh.c_str()}, {NULL, fresh.c_str()}, {small.c_str(), NULL},
        {small.c_str(), noFolder.c_str()}, {longSource.c_str(), fresh.c_str()},
        {small.c_str(), longDest.c_str()}, {small.c_str(), held.c_str()},
    };
    for (int nRound = 0; nRound < 8; nRound++) {
        for (const auto &c : apszCases) {
            SCOPED_TRACE(std::string(c[0] ? c[0] : "(null)") + " to " + (c[1] ? c[1] : "(null)"));
            g_lLastCopyResult = 12345;
            ASSERT_EQ(0u, ExpandCopyFile(c[0], c[1]));
            ASSERT_GT(0, g_lLastCopyResult);
        }
    }
    CloseHandle(hHeld);
    EXPECT_FALSE(FileExists(fresh));
    EXPECT_FALSE(FileExists(dir / "nofolder")) << "a folder was created";
    EXPECT_FALSE(FileExists(longDest));
    EXPECT_EQ("held", FileText(held));
    // LZOpenFileA would have fallen back to the compressed name and written
    // the copy there.
    EXPECT_FALSE(FileExists(dir / "held.tx_")) << "a copy went to the compressed name";
    for (int i = 0; i < 20; i++)
        ASSERT_EQ(1u, ExpandCopyFile(small.c_str(), fresh.c_str())) << "copy " << i << " after the failures";
}

// Each time operation reads or writes only its own time and never writes a
// zero time; a file that cannot be opened (share mode 0: any other handle to
// it) is left alone with the caller's value. Last-write times compare to
// the 100 ns; no file, or one file given twice (the second open meets the
// first), counts as unreadable. The copies by date (equal times included)
// and version, and their failures on a held or missing destination, run
// end to end (copydate, copyver and conditional-copies-fail).
TEST(FileTimes, EachOwnTimeNoZeroHeldFilesLeftAloneAndComparedToThe100ns)
{
    TempDir dir;
    std::string path = dir / "x.txt", missing = dir / "missing.txt";
    ASSERT_TRUE(WriteFileBytes(path, "x"));
    // Last write first: a creation writer that also wrote the last-write
    // time would show, even under Wine. A time whose low half is zero (in
    // 2015) is a time; all zero is none.
    FILETIME ftHighOnly = U64ToFileTime(0x01D0000000000000ull), ftCreation = MakeUtcTime(1998, 4, 3, 2, 1, 0), ft;
    SetFileLastWriteTime(path.c_str(), ftHighOnly);
    SetFileCreationTime(path.c_str(), ftCreation);
    SetFileLastWriteTime(path.c_str(), U64ToFileTime(0));
    SetFileCreationTime(path.c_str(), U64ToFileTime(0));
    FileTimes times;
    ASSERT_TRUE(ReadFileTimes(path, &times));
    EXPECT_EQ(FileTimeText(ftHighOnly), FileTimeText(times.ftLastWrite)) << "last write";
    EXPECT_EQ(FileTimeText(CreationTimeAsRead(ftCreation, ftHighOnly)), FileTimeText(times.ftCreation));

    HANDLE hHeld = OpenShared(path, GENERIC_READ);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHeld);
    for (const char *pszPath : {missing.c_str(), path.c_str(), (const char *)NULL}) {
        SCOPED_TRACE(pszPath ? pszPath : "(null)");
        for (auto get : {GetFileCreationTime, GetFileLastWriteTime}) {
            ft = U64ToFileTime(0x0123456789abcdefull);
            get(pszPath, &ft);
            EXPECT_EQ(0x0123456789abcdefull, FileTimeToU64(ft)) << "the caller's value";
            get(pszPath, NULL);
        }
        SetFileLastWriteTime(pszPath, ftCreation);
        SetFileCreationTime(pszPath, ftCreation);
    }
    CloseHandle(hHeld);
    ASSERT_TRUE(ReadFileTimes(path, &times));
    EXPECT_EQ(FileTimeText(ftHighOnly), FileTimeText(times.ftLastWrite)) << "a held file was stamped";
    EXPECT_FALSE(FileExists(missing)) << "a writer created the file";

    std::string older = dir / "older.txt";
    FILETIME ftOlder = U64ToFileTime(FileTimeToU64(ftHighOnly) - 1);
    ASSERT_TRUE(WriteFileBytes(older, "o") && WriteFileTimes(older, NULL, &ftOlder));
    EXPECT_EQ(0u, FileNotNewer(path.c_str(), older.c_str()));
    EXPECT_EQ(1u, FileNotNewer(older.c_str(), path.c_str()));
    EXPECT_EQ(0u, FileNotNewer(NULL, path.c_str()));
    EXPECT_EQ(0u, FileNotNewer(path.c_str(), path.c_str()));
}
