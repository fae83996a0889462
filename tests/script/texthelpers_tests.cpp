// Text helpers: the exact behaviours that script syntax rests on. The calls
// that give a value are rows of texthelpers.txt; the writers' bounds are
// checked here with sentinel bytes.
#include "casefiles.h"
#include "script/actions.h"
#include "script/installpath.h"
#include "script/texthelpers.h"
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <stdlib.h>
#include <string.h>

// What the row's call gives, as texthelpers.txt writes it.
static std::string Call(const std::vector<std::string> &row)
{
    const char *a = row.size() > 2 && row[2] != "~" ? row[2].c_str() : NULL;
    const char *b = row.size() > 3 && row[3] != "~" ? row[3].c_str() : NULL;
    auto offset = [&](const char *p) { return p ? std::to_string(p - a) : std::string("null"); };
    char buf[32];
    const std::map<std::string, std::function<std::string()>> calls = {
        { "StrFind", [&] { return offset(StrFind(a, b)); } },
        { "StrChr", [&] { return offset(StrChr(a, b[0])); } },
        { "StrCount", [&] { return std::to_string(StrCount(a, b)); } },
        { "StrEqualNoCase", [&] { return std::to_string(StrEqualNoCase(a, b)); } },
        { "StrLen", [&] { return std::to_string(StrLen(a)); } },
        { "HexToLong", [&] { return std::to_string(HexToLong(a, b ? atoi(b) : 0)); } },
        { "TextToLong", [&] { return std::to_string(TextToLong(a)); } },
        { "TextToDword", [&] { return std::to_string(TextToDword(a)); } },
        { "LongToText", [&] { return std::string(LongToText(atol(a))); } },
        { "StrTrim", [&] { return StrTrim(strcpy(buf, a)), std::string(buf); } },
        { "ApplyPatchList", [&] {
             BYTE ab[9] = { 0, 0, 0, 0, 0, 0, 0, 0, 0xbd };
             std::string list = a;
             ApplyPatchList(ab, 8, list.c_str());
             for (int i = 0; i < 9; i++)
                 wsprintfA(buf + 2 * i, "%02X", ab[i]);
             return buf + std::string(list == a ? "" : " and the list changed (the same list serves every folder)");
         } },
        { "JoinFolderPath", [&] {
             char sz[9];
             memset(sz, 'X', sizeof sz);
             BOOL bJoined = JoinFolderPath(sz, 8, a, strlen(a), b);
             return (bJoined ? std::string(sz) : "refused") +
                    (sz[8] == 'X' ? "" : " and the byte past the buffer written");
         } },
    };
    auto call = calls.find(row[0]);
    return call == calls.end() ? "no such function" : call->second();
}

TEST(TextHelpers, EachCallGivesItsValue)
{
    std::vector<std::vector<std::string>> rows = ReadTable(VUR_SCRIPT_DATA "/texthelpers.txt");
    ASSERT_GE(rows.size(), 60u);
    StrTrim(NULL);
    for (const std::vector<std::string> &row : rows) {
        std::string call = row[0] + "(" + (row.size() > 2 ? row[2] : "") + (row.size() > 3 ? ", " + row[3] : "") + ")";
        EXPECT_EQ(row[1], Call(row)) << call;
    }
}

TEST(StrCopyAppend, GiveTheEndOfTheDestinationAndNeverWritePastTheBuffer)
{
    char buf[16];
    memset(buf, 0xbd, sizeof buf);
    EXPECT_EQ(buf + 2, StrCopy(buf, "ab"));
    EXPECT_EQ(buf + 4, StrAppend(buf, "cd"));
    EXPECT_STREQ("abcd", buf);
    EXPECT_EQ((char)0xbd, buf[5]) << "nothing written past the NUL";
    EXPECT_EQ(nullptr, StrCopy(NULL, "x"));
    EXPECT_EQ(nullptr, StrCopy(buf, NULL));
    EXPECT_EQ(nullptr, StrAppend(buf, NULL));
    EXPECT_STREQ("abcd", buf) << "a null source copies nothing";

    memset(buf, 0xbd, sizeof buf);
    EXPECT_EQ(buf + 4, StrCopyMax(buf, "0123456789", 5));
    EXPECT_STREQ("0123", buf);
    EXPECT_EQ((char)0xbd, buf[5]);
    StrAppendMax(buf, "xyz", 6);
    EXPECT_STREQ("0123x", buf);
    EXPECT_EQ((char)0xbd, buf[6]);
    EXPECT_EQ(nullptr, StrCopyMax(buf, "a", 0));
}
