// The four file-time operations: the caller's value is kept when a file
// cannot be read, no time is ever written as zero, and each writer changes
// only its own time.
#include "sysops/filetimes.h"
#include "sysopsfixtures.h"
#include "support/testfiles.h"
#include <gtest/gtest.h>

typedef void (*GetTimeProc)(const char *, FILETIME *);
typedef void (*SetTimeProc)(const char *, FILETIME);

static const struct {
    const char *pszName;
    GetTimeProc get;
} s_aGetters[] = {
    {"GetFileCreationTime", GetFileCreationTime},
    {"GetFileLastWriteTime", GetFileLastWriteTime},
};

// A file with a known creation and last-write time.
class FileTimesTest : public testing::Test {
protected:
    TempDir dir;
    std::string path = dir / "x.txt";
    const FILETIME ftCreation = MakeUtcTime(2001, 1, 2, 3, 4, 5);
    const FILETIME ftLastWrite = MakeUtcTime(2002, 6, 7, 8, 9, 10);
    void SetUp() override
    {
        ASSERT_TRUE(WriteFileBytes(path, "x"));
        ASSERT_TRUE(WriteFileTimes(path, &ftCreation, &ftLastWrite));
    }
};

TEST_F(FileTimesTest, ReadersLeaveTheValueWhenTheFileCannotBeOpened)
{
    std::string held = dir / "held.txt";
    ASSERT_TRUE(WriteFileBytes(held, "x"));
    // Any other handle, even a sharing one, makes a share-mode-0 open fail.
    HANDLE hHeld = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHeld);

    const std::string paths[] = {dir / "missing.txt", held, dir / "nofolder\\x.txt"};
    for (const auto &getter : s_aGetters) {
        for (const std::string &path : paths) {
            SCOPED_TRACE(std::string(getter.pszName) + " " + path);
            FILETIME ft = U64ToFileTime(0x0123456789abcdefull);
            getter.get(path.c_str(), &ft);
            EXPECT_EQ(0x0123456789abcdefull, FileTimeToU64(ft));
        }
        FILETIME ft = U64ToFileTime(42);
        getter.get(NULL, &ft);
        EXPECT_EQ(42u, FileTimeToU64(ft)) << getter.pszName << "(NULL)";
        getter.get(held.c_str(), NULL);      // nowhere to write: nothing happens
    }
    CloseHandle(hHeld);
}

TEST_F(FileTimesTest, ReadersGiveTheirOwnTime)
{
    FILETIME ft = {0, 0};
    GetFileCreationTime(path.c_str(), &ft);
    // (Under Wine the creation time reads as the last-write time.)
    EXPECT_EQ(FileTimeText(CreationTimeAsRead(ftCreation, ftLastWrite)), FileTimeText(ft));
    ft = U64ToFileTime(0);
    GetFileLastWriteTime(path.c_str(), &ft);
    EXPECT_EQ(FileTimeText(ftLastWrite), FileTimeText(ft));
}

TEST_F(FileTimesTest, WritersChangeOnlyTheirTime)
{
    FileTimes before;
    ASSERT_TRUE(ReadFileTimes(path, &before));

    FILETIME ftNew = MakeUtcTime(2005, 5, 5, 5, 5, 5);
    SetFileLastWriteTime(path.c_str(), ftNew);
    FileTimes after;
    ASSERT_TRUE(ReadFileTimes(path, &after));
    EXPECT_EQ(FileTimeText(ftNew), FileTimeText(after.ftLastWrite));
    // (Under Wine the creation time reads as the last-write time.)
    EXPECT_EQ(FileTimeText(CreationTimeAsRead(before.ftCreation, ftNew)), FileTimeText(after.ftCreation));
    EXPECT_EQ(FileTimeText(before.ftLastAccess), FileTimeText(after.ftLastAccess));

    FILETIME ftNewCreation = MakeUtcTime(1998, 4, 3, 2, 1, 0);
    SetFileCreationTime(path.c_str(), ftNewCreation);
    ASSERT_TRUE(ReadFileTimes(path, &after));
    EXPECT_EQ(FileTimeText(CreationTimeAsRead(ftNewCreation, ftNew)), FileTimeText(after.ftCreation));
    EXPECT_EQ(FileTimeText(ftNew), FileTimeText(after.ftLastWrite));
    EXPECT_EQ(FileTimeText(before.ftLastAccess), FileTimeText(after.ftLastAccess));
    EXPECT_EQ("x", [&] { std::string s; ReadFileBytes(path, &s); return s; }());
}

TEST_F(FileTimesTest, WritersNeverWriteAZeroTimeAndNeverCreateFiles)
{
    // All zero means no time: nothing is written.
    SetFileLastWriteTime(path.c_str(), U64ToFileTime(0));
    SetFileCreationTime(path.c_str(), U64ToFileTime(0));
    FileTimes after;
    ASSERT_TRUE(ReadFileTimes(path, &after));
    EXPECT_EQ(FileTimeText(CreationTimeAsRead(ftCreation, ftLastWrite)), FileTimeText(after.ftCreation));
    EXPECT_EQ(FileTimeText(ftLastWrite), FileTimeText(after.ftLastWrite));

    // A time whose low half is zero is a time (in 2015).
    FILETIME ftHighOnly = U64ToFileTime(0x01D0000000000000ull);
    SetFileLastWriteTime(path.c_str(), ftHighOnly);
    ASSERT_TRUE(ReadFileTimes(path, &after));
    EXPECT_EQ(FileTimeText(ftHighOnly), FileTimeText(after.ftLastWrite));

    std::string missing = dir / "missing.txt";
    SetFileLastWriteTime(missing.c_str(), ftLastWrite);
    SetFileCreationTime(missing.c_str(), ftCreation);
    EXPECT_FALSE(FileExists(missing));
    SetFileLastWriteTime(NULL, ftLastWrite);
}

TEST_F(FileTimesTest, WritersSkipAFileHeldOpen)
{
    HANDLE hHeld = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHeld);
    SetFileLastWriteTime(path.c_str(), MakeUtcTime(2009, 9, 9, 9, 9, 9));
    CloseHandle(hHeld);
    FileTimes after;
    ASSERT_TRUE(ReadFileTimes(path, &after));
    EXPECT_EQ(FileTimeText(ftLastWrite), FileTimeText(after.ftLastWrite));
}
