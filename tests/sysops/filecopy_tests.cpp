// ExpandCopyFile on real SZDD files made by mscompress at build time, on
// plain files, and on destinations and sources that cannot be used.
#include "sysops/filecopy.h"
#include "sysopsfixtures.h"
#include "support/testfiles.h"
#include <gtest/gtest.h>
#include <lzexpand.h>

static std::string Fixture(const std::string &name)
{
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(FixturePath(name), &bytes)) << FixturePath(name);
    return bytes;
}

static std::string Contents(const std::string &path)
{
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
    return bytes;
}

static const char *const s_apszLzFixtures[] = {"empty.bin", "small.bin", "text.txt", "window.bin", "large.bin"};

TEST(ExpandCopyFile, ExpandsWhatMscompressWrote)
{
    TempDir dir;
    for (const char *pszName : s_apszLzFixtures) {
        SCOPED_TRACE(pszName);
        std::string original = Fixture(pszName);
        std::string compressed = Fixture(std::string(pszName) + "_");
        ASSERT_EQ(0u, compressed.compare(0, 8, "SZDD\x88\xf0\x27\x33", 8)) << "not an SZDD file";

        std::string dest = dir / pszName;
        g_lLastCopyResult = 12345;
        UINT r = ExpandCopyFile(FixturePath(std::string(pszName) + "_").c_str(), dest.c_str());
        std::string expanded = Contents(dest);

        if (original.empty() && RunningOnWine()) {
            // Wine difference: mscompress writes one stray literal (a NUL)
            // after the header of an empty file; Wine's LZRead expands every
            // byte of compressed data and ignores the length of 0 that the
            // header gives, so the copy has one byte, where Windows stops at
            // the header's length. (Debian's msexpand does as Wine.)
            EXPECT_EQ(1u, r);
            EXPECT_EQ(1, g_lLastCopyResult);
            EXPECT_EQ(std::string(1, '\0'), expanded);
            continue;
        }
        EXPECT_EQ(1u, r);
        EXPECT_EQ((LONG)original.size(), g_lLastCopyResult) << "bytes written";
        EXPECT_EQ(original.size(), expanded.size());
        EXPECT_TRUE(original == expanded) << "expanded bytes differ from the original";
    }
}

TEST(ExpandCopyFile, CopiesUncompressedFilesUnchanged)
{
    TempDir dir;
    // A plain file that merely starts like an SZDD header is plain too.
    std::string almostSzdd = std::string("SZDD\x88\xf0\x27", 7) + "not compressed";
    ASSERT_TRUE(WriteFileBytes(dir / "almost.bin", almostSzdd));

    const std::string sources[] = {FixturePath("large.bin"), FixturePath("text.txt"),
                                   FixturePath("empty.bin"), dir / "almost.bin"};
    for (const std::string &source : sources) {
        SCOPED_TRACE(source);
        std::string dest = dir / "copy.out";
        std::string original = Contents(source);
        UINT r = ExpandCopyFile(source.c_str(), dest.c_str());
        EXPECT_EQ(1u, r);
        EXPECT_EQ((LONG)original.size(), g_lLastCopyResult);
        EXPECT_TRUE(original == Contents(dest)) << "copy differs from its source";
    }
}

TEST(ExpandCopyFile, OverwritesALongerDestination)
{
    TempDir dir;
    std::string dest = dir / "x.txt";
    ASSERT_TRUE(WriteFileBytes(dest, std::string(100000, 'z')));
    EXPECT_EQ(1u, ExpandCopyFile(FixturePath("text.txt_").c_str(), dest.c_str()));
    EXPECT_TRUE(Fixture("text.txt") == Contents(dest)) << "the destination keeps bytes of its old content";
}

TEST(ExpandCopyFile, CarriesTheSourceCreationTime)
{
    TempDir dir;
    std::string source = dir / "source.bi_";
    ASSERT_TRUE(WriteFileBytes(source, Fixture("window.bin_")));
    FILETIME ftCreation = MakeUtcTime(2001, 3, 4, 5, 6, 7);
    FILETIME ftLastWrite = MakeUtcTime(2002, 8, 9, 10, 11, 12);
    ASSERT_TRUE(WriteFileTimes(source, &ftCreation, &ftLastWrite));

    std::string dest = dir / "dest.bin";
    FILETIME ftBefore;
    GetSystemTimeAsFileTime(&ftBefore);
    ASSERT_EQ(1u, ExpandCopyFile(source.c_str(), dest.c_str()));
    FILETIME ftAfter;
    GetSystemTimeAsFileTime(&ftAfter);

    FileTimes times;
    ASSERT_TRUE(ReadFileTimes(dest, &times));
    // (Under Wine the creation time reads as the last-write time.)
    EXPECT_EQ(FileTimeText(CreationTimeAsRead(ftCreation, times.ftLastWrite)), FileTimeText(times.ftCreation))
        << "creation time";
    if (RunningOnWine()) {
        // Wine difference: Wine's LZCopy gives the destination the source's
        // last-write time; the copy itself carries only the creation time,
        // and elsewhere the last-write time is that of the writing.
        EXPECT_EQ(FileTimeText(ftLastWrite), FileTimeText(times.ftLastWrite)) << "last-write time";
    } else {
        EXPECT_LE(FileTimeToU64(ftBefore) - 20000000, FileTimeToU64(times.ftLastWrite))
            << FileTimeText(times.ftLastWrite);
        EXPECT_GE(FileTimeToU64(ftAfter) + 20000000, FileTimeToU64(times.ftLastWrite))
            << FileTimeText(times.ftLastWrite);
    }
}

TEST(ExpandCopyFile, MakesAReadOnlyDestinationWritable)
{
    TempDir dir;
    std::string dest = dir / "x.txt";
    ASSERT_TRUE(WriteFileBytes(dest, "old"));
    ASSERT_TRUE(SetFileAttributesA(dest.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                     FILE_ATTRIBUTE_SYSTEM));

    EXPECT_EQ(1u, ExpandCopyFile(FixturePath("text.txt_").c_str(), dest.c_str()));
    DWORD dwAttributes = GetFileAttributesA(dest.c_str());
    EXPECT_EQ(0u, dwAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        << "attributes 0x" << std::hex << dwAttributes;
    EXPECT_TRUE(Fixture("text.txt") == Contents(dest));
}

TEST(ExpandCopyFile, FailsOnADestinationHeldOpenWithoutSharing)
{
    TempDir dir;
    std::string dest = dir / "held.txt";
    ASSERT_TRUE(WriteFileBytes(dest, "held"));
    HANDLE hHeld = CreateFileA(dest.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHeld);

    UINT r = ExpandCopyFile(FixturePath("text.txt_").c_str(), dest.c_str());
    LONG lResult = g_lLastCopyResult;
    CloseHandle(hHeld);

    EXPECT_EQ(0u, r);
    EXPECT_GT(0, lResult) << "g_lLastCopyResult";
    EXPECT_EQ("held", Contents(dest));
    // LZOpenFileA would have fallen back to the compressed name and
    // written the copy there.
    EXPECT_FALSE(FileExists(dir / "held.tx_")) << "a copy went to the compressed name";
}

TEST(ExpandCopyFile, MissingSourceCreatesNoDestination)
{
    TempDir dir;
    std::string dest = dir / "x.dll";
    EXPECT_EQ(0u, ExpandCopyFile((dir / "missing.dll").c_str(), dest.c_str()));
    EXPECT_EQ(LZERROR_BADINHANDLE, g_lLastCopyResult);
    EXPECT_FALSE(FileExists(dest));
}

TEST(ExpandCopyFile, MissingDestinationFolderIsNotCreated)
{
    TempDir dir;
    std::string folder = dir / "nofolder";
    EXPECT_EQ(0u, ExpandCopyFile(FixturePath("small.bin_").c_str(), (folder + "\\x.bin").c_str()));
    EXPECT_GT(0, g_lLastCopyResult) << "g_lLastCopyResult";
    EXPECT_FALSE(FileExists(folder));
}

// OpenFile, under every LZ open, keeps paths in a 128-byte OFSTRUCT field:
// longer paths fail cleanly, on Windows as well.
TEST(ExpandCopyFile, PathsTooLongForTheOpenFail)
{
    TempDir dir;
    std::string folder = dir / std::string(140, 'd');
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
    std::string longSource = folder + "\\small.bin_";
    ASSERT_TRUE(WriteFileBytes(longSource, Fixture("small.bin_")));

    EXPECT_EQ(0u, ExpandCopyFile(longSource.c_str(), (dir / "x.bin").c_str()));
    EXPECT_GT(0, g_lLastCopyResult) << "long source";
    EXPECT_EQ(0u, ExpandCopyFile(FixturePath("small.bin_").c_str(), (folder + "\\x.bin").c_str()));
    EXPECT_GT(0, g_lLastCopyResult) << "long destination";
    EXPECT_FALSE(FileExists(folder + "\\x.bin"));
}

TEST(ExpandCopyFile, DamagedCompressedFiles)
{
    TempDir dir;
    std::string compressed = Fixture("window.bin_");
    std::string original = Fixture("window.bin");

    std::string unknownAlgorithm = compressed;
    unknownAlgorithm[8] = 'B';              // only 'A' exists
    ASSERT_TRUE(WriteFileBytes(dir / "alg.bi_", unknownAlgorithm));
    {
        SCOPED_TRACE("unknown algorithm");
        std::string dest = dir / "alg.bin";
        UINT r = ExpandCopyFile((dir / "alg.bi_").c_str(), dest.c_str());
        if (RunningOnWine()) {
            // Wine difference: Wine's LZOpenFileA hands back the plain file
            // when the header names an unknown algorithm, and its LZCopy,
            // meeting the header again, gives 0 (nothing written) instead of
            // an error; Windows fails the open with LZERROR_UNKNOWNALG.
            EXPECT_EQ(1u, r);
            EXPECT_EQ(0, g_lLastCopyResult);
            EXPECT_EQ("", Contents(dest));
        } else {
            EXPECT_EQ(0u, r);
            EXPECT_EQ(LZERROR_UNKNOWNALG, g_lLastCopyResult);
        }
    }

    std::string truncated = compressed.substr(0, compressed.size() / 2);
    ASSERT_TRUE(WriteFileBytes(dir / "cut.bi_", truncated));
    {
        SCOPED_TRACE("data cut short");
        std::string dest = dir / "cut.bin";
        UINT r = ExpandCopyFile((dir / "cut.bi_").c_str(), dest.c_str());
        if (RunningOnWine()) {
            // Wine difference: Wine's LZRead stops quietly where the
            // compressed data ends, without checking the length in the
            // header, so a cut file expands to a shorter file (a prefix of
            // the original) and the copy "succeeds"; Windows reports the
            // read past the end as an error.
            std::string expanded = Contents(dest);
            EXPECT_EQ(1u, r);
            EXPECT_EQ((LONG)expanded.size(), g_lLastCopyResult);
            EXPECT_LT(expanded.size(), original.size());
            EXPECT_EQ(0, original.compare(0, expanded.size(), expanded)) << "not a prefix of the original";
        } else {
            EXPECT_EQ(0u, r);
            EXPECT_GT(0, g_lLastCopyResult) << "g_lLastCopyResult";
        }
    }
}

// The platform has few LZ handles (16 under Wine): failed copies must give
// theirs back, or later compressed copies would fail.
TEST(ExpandCopyFile, FailedCopiesGiveTheirLzHandlesBack)
{
    TempDir dir;
    std::string folder = dir / "nofolder";
    for (int i = 0; i < 40; i++)
        ASSERT_EQ(0u, ExpandCopyFile(FixturePath("text.txt_").c_str(), (folder + "\\x.txt").c_str())) << i;
    for (int i = 0; i < 40; i++)
        ASSERT_EQ(1u, ExpandCopyFile(FixturePath("text.txt_").c_str(), (dir / "x.txt").c_str())) << i;
    EXPECT_TRUE(Fixture("text.txt") == Contents(dir / "x.txt"));
}

TEST(ExpandCopyFile, NullPaths)
{
    TempDir dir;
    EXPECT_EQ(0u, ExpandCopyFile(NULL, (dir / "x").c_str()));
    EXPECT_GT(0, g_lLastCopyResult);
    EXPECT_EQ(0u, ExpandCopyFile(FixturePath("small.bin_").c_str(), NULL));
    EXPECT_GT(0, g_lLastCopyResult);
}
