// Registry access by path in the private prefix, on a private key tree
// under HKEY_CURRENT_USER: what the REGISTRY lines run end to end (the
// registry-lines case: numbers, texts, new keys, the default value) and
// the [REGISTRY] test lines (testlines.txt: values read with their types)
// do not reach.
#include "sysops/registry.h"
#include "regtestkeys.h"
#include <gtest/gtest.h>

#define TEST_SUBKEY "Software\\VUR sysops tests"
static const char s_szPath[] = "HKEY_CURRENT_USER\\" TEST_SUBKEY;

TEST(Registry, TextsKeepTheirNulFailedReadsLeaveTheTypeAndKeysAreClosed)
{
    PrivateKeyTree tree(HKEY_CURRENT_USER, TEST_SUBKEY);
    std::string path = std::string(s_szPath) + "\\x\\y";
    EXPECT_EQ(1u, SetRegistryPathString(path.c_str(), "Empty", ""));
    EXPECT_EQ("REG_SZ:", ReadTestValue(HKEY_CURRENT_USER, TEST_SUBKEY "\\x\\y", "Empty")) << "an empty text is its NUL";
    EXPECT_EQ(0u, SetRegistryPathString(path.c_str(), "Null", NULL));
    EXPECT_EQ("(none)", ReadTestValue(HKEY_CURRENT_USER, TEST_SUBKEY "\\x\\y", "Null"));

    DWORD dwType = 0xdeadbeef;     // nothing read: nothing written to the type
    EXPECT_EQ(nullptr, QueryRegistryPathValue(path.c_str(), "Missing", &dwType));
    EXPECT_EQ(nullptr, QueryRegistryKeyValue(HKEY_CURRENT_USER, TEST_SUBKEY "\\nokey", "Mode", &dwType));
    EXPECT_EQ(0xdeadbeefu, dwType);

    // No root name (the rows of texts.txt): no key, nothing read or written.
    EXPECT_EQ(0u, SetRegistryPathString("HKLM\\" TEST_SUBKEY, "s", "x"));
    EXPECT_EQ(nullptr, QueryRegistryPathValue(NULL, "s", NULL));

    // Every key opened on the way is closed again: handle values are
    // reused, so after many calls a new key handle has about the value it
    // had before. (Wine's GetProcessHandleCount always gives 0.)
    HKEY hBefore = NULL, hAfter = NULL;
    RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &hBefore);
    RegCloseKey(hBefore);
    for (int i = 0; i < 200; i++) {
        SetRegistryPathNumber(path.c_str(), "Number", (DWORD)i);
        QueryRegistryPathValue(path.c_str(), "Number", NULL);
        QueryRegistryKeyValue(HKEY_CURRENT_USER, TEST_SUBKEY, "Missing", NULL);
        RegistryPathExists(path.c_str());
    }
    RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &hAfter);
    RegCloseKey(hAfter);
    EXPECT_LT((ULONG_PTR)hAfter, (ULONG_PTR)hBefore + 4 * 20) << "a key handle before " << hBefore << ", after " << hAfter;
}

// Values of up to 8192 bytes are read; a text must also find room for its
// NUL there (a buffer a byte shorter or longer shows in the last two). A
// text stored without its NUL (only a program that writes it so can make
// one) still ends inside the buffer, not in an earlier value.
TEST(Registry, ValuesUpToTheBufferSize)
{
    PrivateKeyTree tree(HKEY_CURRENT_USER, TEST_SUBKEY);
    // A byte other than NUL after the data: the ANSI write would take a NUL
    // there into the value.
    auto put = [](const char *pszName, const std::string &text) {
        return RegSetKeyValueA(HKEY_CURRENT_USER, TEST_SUBKEY, pszName, REG_SZ, (text + 'X').data(), (DWORD)text.size());
    };
    auto query = [](const char *pszName) { return (const char *)QueryRegistryPathValue(s_szPath, pszName, NULL); };
    ASSERT_EQ(ERROR_SUCCESS, put("Long", std::string(300, 'L') + '\0'));
    ASSERT_EQ(ERROR_SUCCESS, put("NoNul", "abc"));
    ASSERT_EQ(ERROR_SUCCESS, put("Full", std::string(8192, 'F')));
    ASSERT_EQ(ERROR_SUCCESS, put("Fits", std::string(8191, 'F')));
    ASSERT_NE(nullptr, query("Long"));
    EXPECT_STREQ("abc", query("NoNul")) << "the text runs on into the earlier value";
    EXPECT_EQ(nullptr, query("Full")) << "8192 characters: no room for the NUL";
    ASSERT_NE(nullptr, query("Fits")) << "8191 characters and the NUL";
    EXPECT_EQ(8191u, strlen((const char *)g_abRegValue));
}
