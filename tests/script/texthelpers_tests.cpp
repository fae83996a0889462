// Text helpers: the exact behaviours that script syntax rests on.
#include "script/texthelpers.h"
#include <gtest/gtest.h>
#include <string.h>

TEST(StrFind, OnePassWithoutBackingUp)
{
    struct Row { const char *text; const char *pattern; int at; } rows[] = {
        { "aaab", "aab", -1 },      // the pattern restarts at the mismatch, no back-up
        { "aab", "ab", 1 },         // ...but the mismatching character starts it again
        { "xyzabc", "abc", 3 },
        { "abc", "abcd", -1 },
        { "abc", "", -1 },          // an empty pattern is never found
        { "", "a", -1 },
        { "HKEY_LOCAL_MACHINE\\x", "HKEY_LOCAL_MACHINE", 0 },
        { "aBc", "bc", -1 },        // case-sensitive
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; i++) {
        SCOPED_TRACE(i);
        char *r = StrFind(rows[i].text, rows[i].pattern);
        if (rows[i].at < 0)
            EXPECT_EQ(nullptr, r) << rows[i].text << " / " << rows[i].pattern;
        else
            EXPECT_EQ(rows[i].text + rows[i].at, r) << rows[i].text << " / " << rows[i].pattern;
    }
    const char *text = "abc";
    EXPECT_EQ(nullptr, StrFind(NULL, "a"));
    EXPECT_EQ(text, StrFind(text, NULL)) << "a null pattern gives the text itself";
}

TEST(StrCount, NonOverlappingMatches)
{
    EXPECT_EQ(3, StrCount("a;b;;c", ";"));
    EXPECT_EQ(2, StrCount("aaaa", "aa"));
    EXPECT_EQ(0, StrCount("abc", ""));
    EXPECT_EQ(0, StrCount(NULL, ";"));
    EXPECT_EQ(0, StrCount("a;b", NULL));
}

TEST(StrEqualNoCase, FoldsOnlyAsciiLetters)
{
    EXPECT_EQ(0, StrEqualNoCase("[install]", "[INSTALL]"));
    EXPECT_EQ(0, StrEqualNoCase("", ""));
    EXPECT_EQ(-1, StrEqualNoCase("\xE9", "\xC9")) << "accented letters are not folded";
    EXPECT_EQ(-1, StrEqualNoCase("[", "{")) << "only a-z fold onto A-Z";
    EXPECT_EQ(-1, StrEqualNoCase("abc", "abcd"));
    EXPECT_EQ(-1, StrEqualNoCase(NULL, NULL));
    EXPECT_EQ(-1, StrEqualNoCase("a", NULL));
}

TEST(StrChr, FirstOccurrenceOrNull)
{
    const char *t = "a;b;c";
    EXPECT_EQ(t + 1, StrChr(t, ';'));
    EXPECT_EQ(nullptr, StrChr(t, 'x'));
    EXPECT_EQ(nullptr, StrChr(t, '\0')) << "looking for NUL gives null";
    EXPECT_EQ(nullptr, StrChr(NULL, ';'));
}

TEST(StrCopyAppend, GiveTheEndOfTheDestination)
{
    char buf[16];
    memset(buf, 0xbd, sizeof buf);
    char *end = StrCopy(buf, "ab");
    EXPECT_EQ(buf + 2, end);
    EXPECT_STREQ("ab", buf);
    end = StrAppend(buf, "cd");
    EXPECT_EQ(buf + 4, end);
    EXPECT_STREQ("abcd", buf);
    EXPECT_EQ((char)0xbd, buf[5]) << "nothing written past the NUL";
    EXPECT_EQ(nullptr, StrCopy(NULL, "x"));
    EXPECT_EQ(nullptr, StrCopy(buf, NULL));
    EXPECT_STREQ("abcd", buf) << "a null source copies nothing";
    EXPECT_EQ(nullptr, StrAppend(buf, NULL));
}

TEST(StrCopyMax, NeverWritesPastTheBuffer)
{
    char buf[8];
    memset(buf, 0xbd, sizeof buf);
    char *end = StrCopyMax(buf, "0123456789", 5);
    EXPECT_STREQ("0123", buf);
    EXPECT_EQ(buf + 4, end);
    EXPECT_EQ((char)0xbd, buf[5]);
    end = StrAppendMax(buf, "xyz", 6);
    EXPECT_STREQ("0123x", buf);
    EXPECT_EQ((char)0xbd, buf[6]);
    EXPECT_EQ(nullptr, StrCopyMax(buf, "a", 0));
}

TEST(StrTrim, OnlySpacesAtBothEnds)
{
    struct Row { const char *in; const char *out; } rows[] = {
        { "  a b  ", "a b" }, { "    ", "" }, { "", "" }, { "\ta\t", "\ta\t" }, { "x", "x" },
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; i++) {
        SCOPED_TRACE(i);
        char buf[32];
        strcpy(buf, rows[i].in);
        StrTrim(buf);
        EXPECT_STREQ(rows[i].out, buf);
    }
    StrTrim(NULL);
}

TEST(StrLen, CountsToTheNul)
{
    EXPECT_EQ(0, StrLen(NULL));
    EXPECT_EQ(0, StrLen(""));
    EXPECT_EQ(3, StrLen("abc"));
}

TEST(LongToText, DecimalInOneSharedBuffer)
{
    const char *a = LongToText(-2147483647L - 1);
    EXPECT_STREQ("-2147483648", a);
    const char *b = LongToText(42);
    EXPECT_EQ(a, b) << "every caller shares one buffer";
    EXPECT_STREQ("42", b);
}

TEST(HexToLong, DigitsFromTheLastBackwards)
{
    EXPECT_EQ(431, HexToLong("1aF", 0));
    EXPECT_EQ(18, HexToLong("12345", 2));
    EXPECT_EQ(0, HexToLong(NULL, 0));
    EXPECT_EQ((LONG)0xFFFFFFFF, HexToLong("FFFFFFFF", 0));
    EXPECT_EQ(0x23456789, HexToLong("123456789", 0)) << "overflow wraps";
    EXPECT_EQ(0xab, HexToLong("ab", 10)) << "a length past the text stops at its NUL";
}

TEST(TextToLong, ReadsLikeAtol)
{
    EXPECT_EQ(42, TextToLong("42"));
    EXPECT_EQ(-7, TextToLong(" -7"));
    EXPECT_EQ(12, TextToLong("12abc"));
    EXPECT_EQ(0, TextToLong("abc"));
    EXPECT_EQ(0, TextToLong(NULL));
}

TEST(TextToDword, ReadsLikeAtolModulo2To32)
{
    EXPECT_EQ(0xFFFFFFFFu, TextToDword("4294967295"));
    EXPECT_EQ(0xFFFFFFFFu, TextToDword("-1"));
    EXPECT_EQ(3000000000u, TextToDword("\t+3000000000;"));
    EXPECT_EQ(5u, TextToDword("4294967301"));
    EXPECT_EQ(0u, TextToDword("x1"));
    EXPECT_EQ(0u, TextToDword(NULL));
}
