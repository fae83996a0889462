// The four file-time operations: each reads or writes only its own time,
// no time is ever written as zero, and a file that cannot be opened (share
// mode 0: any other handle to it) is left alone with the caller's value.
#include "sysops/filetimes.h"
#include "sysopsfixtures.h"
#include <gtest/gtest.h>

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

TEST_F(FileTimesTest, EachReadsAndWritesOnlyItsOwnNonZeroTime)
{
    FILETIME ft = {0, 0};
    GetFileCreationTime(path.c_str(), &ft);
    EXPECT_EQ(FileTimeText(CreationTimeAsRead(ftCreation, ftLastWrite)), FileTimeText(ft)) << "creation";
    GetFileLastWriteTime(path.c_str(), &ft);
    EXPECT_EQ(FileTimeText(ftLastWrite), FileTimeText(ft)) << "last write";

    FileTimes before, after;
    ASSERT_TRUE(ReadFileTimes(path, &before));
    FILETIME ftNewWrite = MakeUtcTime(2005, 5, 5, 5, 5, 5), ftNewCreation = MakeUtcTime(1998, 4, 3, 2, 1, 0);
    // Last write first: a creation writer that also wrote the last-write
    // time would show, even under Wine.
    SetFileLastWriteTime(path.c_str(), ftNewWrite);
    SetFileCreationTime(path.c_str(), ftNewCreation);
    SetFileLastWriteTime(path.c_str(), U64ToFileTime(0));     // all zero: no time, nothing written
    SetFileCreationTime(path.c_str(), U64ToFileTime(0));
    ASSERT_TRUE(ReadFileTimes(path, &after));
    EXPECT_EQ(FileTimeText(ftNewWrite), FileTimeText(after.ftLastWrite)) << "last write";
    EXPECT_EQ(FileTimeText(CreationTimeAsRead(ftNewCreation, ftNewWrite)), FileTimeText(after.ftCreation));
    EXPECT_EQ(FileTimeText(before.ftLastAccess), FileTimeText(after.ftLastAccess)) << "last access";
    EXPECT_EQ("x", FileText(path));

    // A time whose low half is zero is a time (in 2015).
    FILETIME ftHighOnly = U64ToFileTime(0x01D0000000000000ull);
    SetFileLastWriteTime(path.c_str(), ftHighOnly);
    ASSERT_TRUE(ReadFileTimes(path, &after));
    EXPECT_EQ(FileTimeText(ftHighOnly), FileTimeText(after.ftLastWrite));
}

TEST_F(FileTimesTest, FilesThatCannotBeOpenedAreLeftAlone)
{
    HANDLE hHeld = OpenShared(path, GENERIC_READ);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHeld);
    std::string missing = dir / "missing.txt", noFolder = dir / "nofolder\\x.txt";
    for (const char *pszPath : {missing.c_str(), path.c_str(), noFolder.c_str(), (const char *)NULL}) {
        SCOPED_TRACE(pszPath ? pszPath : "(null)");
        for (auto get : {GetFileCreationTime, GetFileLastWriteTime}) {
            FILETIME ft = U64ToFileTime(0x0123456789abcdefull);
            get(pszPath, &ft);
            EXPECT_EQ(0x0123456789abcdefull, FileTimeToU64(ft)) << "the caller's value";
            get(pszPath, NULL);             // nowhere to write: nothing happens
        }
        SetFileLastWriteTime(pszPath, MakeUtcTime(2009, 9, 9, 9, 9, 9));
        SetFileCreationTime(pszPath, MakeUtcTime(2009, 9, 9, 9, 9, 9));
    }
    CloseHandle(hHeld);
    FileTimes after;
    ASSERT_TRUE(ReadFileTimes(path, &after));
    EXPECT_EQ(FileTimeText(ftLastWrite), FileTimeText(after.ftLastWrite)) << "a held file was stamped";
    EXPECT_FALSE(FileExists(missing)) << "a writer created the file";
}
