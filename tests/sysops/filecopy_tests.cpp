// ExpandCopyFile on real SZDD files made by mscompress at build time, on
// plain files, and on sources and destinations that cannot be used.
#include "sysops/filecopy.h"
#include "sysopsfixtures.h"
#include <gtest/gtest.h>
#include <lzexpand.h>

// One longer, read-only, hidden and system destination for all copies.
// The last source, a plain file that merely starts like an SZDD header, has
// known times: the copy carries its creation time.
TEST(ExpandCopyFile, ExpandsCompressedAndCopiesPlainFilesOverAReadOnlyDestination)
{
    TempDir dir;
    std::string almostSzdd = dir / "almost.bi_", dest = dir / "copy.out";
    ASSERT_TRUE(WriteFileBytes(almostSzdd, std::string("SZDD\x88\xf0\x27", 7) + "not compressed"));
    FILETIME ftCreation = MakeUtcTime(2001, 3, 4, 5, 6, 7), ftLastWrite = MakeUtcTime(2002, 8, 9, 10, 11, 12);
    ASSERT_TRUE(WriteFileTimes(almostSzdd, &ftCreation, &ftLastWrite));
    const DWORD dwCleared = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(WriteFileBytes(dest, std::string(100000, 'z')));
    ASSERT_TRUE(SetFileAttributesA(dest.c_str(), dwCleared));
    const struct {
        std::string source, original;
    } cases[] = {
        {FixturePath("empty.bin_"), FixturePath("empty.bin")}, {FixturePath("small.bin_"), FixturePath("small.bin")},
        {FixturePath("large.bin_"), FixturePath("large.bin")}, {FixturePath("large.bin"), FixturePath("large.bin")},
        {FixturePath("empty.bin"), FixturePath("empty.bin")},  {almostSzdd, almostSzdd},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.source);
        std::string original = FileText(c.original);
        if (c.source != c.original) {
            ASSERT_EQ(0u, FileText(c.source).compare(0, 8, "SZDD\x88\xf0\x27\x33", 8)) << "not an SZDD file";
            // Wine difference: mscompress writes one stray literal (a NUL)
            // after the header of an empty file; Wine's LZRead expands every
            // byte of compressed data and ignores the length of 0 that the
            // header gives, so the copy has one byte, where Windows stops at
            // the header's length. (Debian's msexpand does as Wine.)
            if (original.empty() && RunningOnWine())
                original.assign(1, '\0');
        }
        g_lLastCopyResult = 12345;
        EXPECT_EQ(1u, ExpandCopyFile(c.source.c_str(), dest.c_str()));
        EXPECT_EQ((LONG)original.size(), g_lLastCopyResult) << "bytes written";
        std::string copy = FileText(dest);
        EXPECT_TRUE(original == copy) << "the copy has " << copy.size() << " bytes, expected the original's "
                                      << original.size();
    }
    DWORD dwAttributes = GetFileAttributesA(dest.c_str());
    EXPECT_EQ(0u, dwAttributes & dwCleared) << "attributes 0x" << std::hex << dwAttributes;

    FileTimes times;
    ASSERT_TRUE(ReadFileTimes(dest, &times));
    EXPECT_EQ(FileTimeText(CreationTimeAsRead(ftCreation, times.ftLastWrite)), FileTimeText(times.ftCreation));
    // Wine difference: Wine's LZCopy gives the destination the source's
    // last-write time; the copy itself carries only the creation time, and
    // elsewhere the last-write time is that of the writing (this minute).
    FILETIME ftNow;
    GetSystemTimeAsFileTime(&ftNow);
    if (RunningOnWine()) {
        EXPECT_EQ(FileTimeText(ftLastWrite), FileTimeText(times.ftLastWrite)) << "last-write time";
    } else {
        EXPECT_GT(600000000ull, FileTimeToU64(ftNow) - FileTimeToU64(times.ftLastWrite)) << FileTimeText(times.ftLastWrite);
    }
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
    const struct {
        const char *pszSource, *pszDest;
        LONG lResult;           // 0: any negative result
    } cases[] = {
        {missing.c_str(), fresh.c_str(), LZERROR_BADINHANDLE}, {NULL, fresh.c_str(), 0}, {small.c_str(), NULL, 0},
        {small.c_str(), noFolder.c_str(), 0}, {longSource.c_str(), fresh.c_str(), 0},
        {small.c_str(), longDest.c_str(), 0}, {small.c_str(), held.c_str(), 0},
    };
    for (int nRound = 0; nRound < 8; nRound++) {
        for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
            SCOPED_TRACE(i);
            g_lLastCopyResult = 12345;
            ASSERT_EQ(0u, ExpandCopyFile(cases[i].pszSource, cases[i].pszDest));
            ASSERT_GT(0, g_lLastCopyResult);
            if (cases[i].lResult) {
                ASSERT_EQ(cases[i].lResult, g_lLastCopyResult);
            }
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
    EXPECT_EQ(FileText(FixturePath("small.bin")), FileText(fresh)) << "expanded after the failures";
}

TEST(ExpandCopyFile, DamagedCompressedFiles)
{
    TempDir dir;
    std::string compressed = FileText(FixturePath("large.bin_")), original = FileText(FixturePath("large.bin"));
    std::string unknownAlgorithm = compressed;
    unknownAlgorithm[8] = 'B';              // only 'A' exists
    ASSERT_TRUE(WriteFileBytes(dir / "alg.bi_", unknownAlgorithm));
    ASSERT_TRUE(WriteFileBytes(dir / "cut.bi_", compressed.substr(0, compressed.size() / 2)));
    UINT rAlgorithm = ExpandCopyFile((dir / "alg.bi_").c_str(), (dir / "alg.bin").c_str());
    LONG lAlgorithm = g_lLastCopyResult;
    UINT rCut = ExpandCopyFile((dir / "cut.bi_").c_str(), (dir / "cut.bin").c_str());
    LONG lCut = g_lLastCopyResult;
    if (!RunningOnWine()) {
        EXPECT_EQ(0u, rAlgorithm);
        EXPECT_EQ(LZERROR_UNKNOWNALG, lAlgorithm);
        EXPECT_EQ(0u, rCut);
        EXPECT_GT(0, lCut);
        return;
    }
    // Wine difference: Wine's LZOpenFileA hands back the plain file when the
    // header names an unknown algorithm, and its LZCopy, meeting the header
    // again, gives 0 (nothing written) instead of an error; Windows fails
    // the open with LZERROR_UNKNOWNALG.
    EXPECT_EQ(1u, rAlgorithm);
    EXPECT_EQ(0, lAlgorithm);
    EXPECT_EQ("", FileText(dir / "alg.bin"));
    // Wine difference: Wine's LZRead stops quietly where the compressed data
    // ends, without checking the length in the header, so a cut file expands
    // to a prefix of the original and the copy "succeeds"; Windows reports
    // the read past the end as an error.
    std::string expanded = FileText(dir / "cut.bin");
    EXPECT_EQ(1u, rCut);
    EXPECT_EQ((LONG)expanded.size(), lCut);
    EXPECT_LT(expanded.size(), original.size());
    EXPECT_EQ(0, original.compare(0, expanded.size(), expanded)) << "not a prefix of the original";
}
