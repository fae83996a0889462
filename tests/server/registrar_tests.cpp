// The registrar's replacement map where a script cannot reach it: names
// with blanks, the 31-byte limit, the output on failure, a map and a text
// that grow. What scripts do with their keys and values is in the regscript
// data cases (tests/tools/regcases.txt).
#include "server/registrar.h"
#include <gtest/gtest.h>

TEST(RegistrarExpand, NamesValuesAndGrowth)
{
    Registrar r;
    ASSERT_EQ(S_OK, r.AddReplacement(L" a b ", L"blank name"));
    ASSERT_EQ(S_OK, r.AddReplacement(L"N234567890123456789012345678901", L"31"));
    // pszOut NULL: the output pointer is cleared.
    static const struct { const char *pszIn; HRESULT hr; const char *pszOut; } cases[] = {
        { "[% a b %]", S_OK, "[blank name]" },
        { "%N234567890123456789012345678901%", S_OK, "31" },
        { "%N2345678901234567890123456789012%", E_FAIL, NULL },        // 32 bytes
        { "%N2345678901234567890123456789012", DISP_E_EXCEPTION, NULL }, // unclosed first
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszIn);
        char *pszOut = (char *)0x1;
        EXPECT_EQ(c.hr, r.ExpandVariables(c.pszIn, &pszOut));
        EXPECT_EQ(c.pszOut ? c.pszOut : "(null)", std::string(pszOut ? pszOut : "(null)"));
        if (SUCCEEDED(c.hr))
            CoTaskMemFree(pszOut);
    }

    // The map grows past its first 10 pairs; a value much longer than twice
    // the script makes the text grow.
    for (int i = 0; i < 25; i++) {
        WCHAR wszName[16];
        wsprintfW(wszName, L"V%d", i);
        ASSERT_EQ(S_OK, r.AddReplacement(wszName, std::wstring(400, L'a' + i % 26).c_str())) << i;
    }
    char *pszOut = NULL;
    ASSERT_EQ(S_OK, r.ExpandVariables("%V0%%V24%b", &pszOut));
    EXPECT_EQ(std::string(400, 'a') + std::string(400, 'y') + "b", pszOut);
    CoTaskMemFree(pszOut);

    EXPECT_EQ(S_OK, r.ClearReplacements());
    EXPECT_EQ(DISP_E_EXCEPTION, r.ExpandVariables("%V0%", &pszOut));
    EXPECT_EQ(E_INVALIDARG, r.AddReplacement(NULL, L"x"));
}
