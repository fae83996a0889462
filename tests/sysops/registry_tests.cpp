// Registry access by path in the private prefix, on a private key tree
// under HKEY_CURRENT_USER: what the REGISTRY lines run end to end (the
// registry-lines case) and the [REGISTRY] test lines (testlines.txt) do not
// reach.
#include "sysops/registry.h"
#include "regtestkeys.h"
#include <gtest/gtest.h>

#define TEST_SUBKEY "Software\\VUR sysops tests"
#define TEST_ROOT_VALUE "VUR sysops tests value"
static const char s_szPath[] = "HKEY_CURRENT_USER\\" TEST_SUBKEY;

TEST(Registry, WritesCreateMissingKeysAndReadsGoToTheOneBuffer)
{
    PrivateKeyTree tree(HKEY_CURRENT_USER, TEST_SUBKEY);
    std::string path = std::string(s_szPath) + "\\x\\y";
    EXPECT_EQ(1u, SetRegistryPathString(path.c_str(), "", "default"));
    EXPECT_EQ(1u, SetRegistryPathString(path.c_str(), "Empty", ""));
    EXPECT_EQ("REG_SZ:", ReadTestValue(HKEY_CURRENT_USER, TEST_SUBKEY "\\x\\y", "Empty")) << "an empty text is its NUL";
    EXPECT_EQ(0u, SetRegistryPathString(path.c_str(), "Null", NULL));
    EXPECT_EQ("(none)", ReadTestValue(HKEY_CURRENT_USER, TEST_SUBKEY "\\x\\y", "Null"));
    EXPECT_EQ(1u, SetRegistryPathNumber(path.c_str(), "Count", 0xA1B2C3D4));
    EXPECT_EQ(1u, SetRegistryPathNumber("HKEY_CURRENT_USER", TEST_ROOT_VALUE, 7));
    EXPECT_EQ("REG_DWORD:7", ReadTestValue(HKEY_CURRENT_USER, "", TEST_ROOT_VALUE)) << "directly under the root";
    RegDeleteValueA(HKEY_CURRENT_USER, TEST_ROOT_VALUE);

    DWORD dwType = 0xdeadbeef;
    const char *pszText = (const char *)QueryRegistryPathValue(path.c_str(), "", &dwType);
    ASSERT_EQ((const char *)g_abRegValue, pszText);
    EXPECT_EQ((DWORD)REG_SZ, dwType);
    EXPECT_STREQ("default", pszText);
    ASSERT_EQ(g_abRegValue, QueryRegistryKeyValue(HKEY_CURRENT_USER, TEST_SUBKEY "\\x\\y", "Count", &dwType));
    EXPECT_EQ((DWORD)REG_DWORD, dwType);
    EXPECT_EQ(0, memcmp(pszText, "\xD4\xC3\xB2\xA1", 4)) << "the first pointer shows the second value";
    dwType = 0xdeadbeef;           // nothing read: nothing written to the type
    EXPECT_EQ(nullptr, QueryRegistryPathValue(path.c_str(), "Missing", &dwType));
    EXPECT_EQ(nullptr, QueryRegistryKeyValue(HKEY_CURRENT_USER, TEST_SUBKEY "\\nokey", "Mode", &dwType));
    EXPECT_EQ(0xdeadbeefu, dwType);

    // No root name (the rows of texts.txt): no key, nothing read or written.
    EXPECT_EQ(0u, SetRegistryPathString("HKLM\\" TEST_SUBKEY, "s", "x"));
    EXPECT_EQ(0u, SetRegistryPathNumber("hkey_current_user\\" TEST_SUBKEY, "n", 1));
    EXPECT_EQ(nullptr, QueryRegistryPathValue(NULL, "s", NULL));
    EXPECT_EQ(nullptr, CreateRegistryPath(""));
}

// Values of up to 8192 bytes are read; a text must also find room for its
// NUL there. A text stored without its NUL (only a program that writes it
// so can make one) still ends inside the buffer, not in an earlier value.
TEST(Registry, ValuesUpToTheBufferSize)
{
    PrivateKeyTree tree(HKEY_CURRENT_USER, TEST_SUBKEY);
    std::string data(8193, 'T');
    for (size_t i = 0; i < data.size(); i++)
        data[i] = (char)(i * 7 + 1);
    // A byte other than NUL after the data: the ANSI write would take a NUL
    // there into the value.
    auto put = [](const char *pszName, DWORD dwType, const std::string &bytes) {
        return RegSetKeyValueA(HKEY_CURRENT_USER, TEST_SUBKEY, pszName, dwType, (bytes + 'X').data(), (DWORD)bytes.size());
    };
    auto query = [](const char *pszName) { return (const char *)QueryRegistryPathValue(s_szPath, pszName, NULL); };
    ASSERT_EQ(ERROR_SUCCESS, put("Exact", REG_BINARY, data.substr(0, 8192)));
    ASSERT_EQ(ERROR_SUCCESS, put("OneMore", REG_BINARY, data));
    ASSERT_EQ(ERROR_SUCCESS, put("Long", REG_SZ, std::string(300, 'L') + '\0'));
    ASSERT_EQ(ERROR_SUCCESS, put("NoNul", REG_SZ, "abc"));
    ASSERT_EQ(ERROR_SUCCESS, put("Full", REG_SZ, std::string(8192, 'F')));
    ASSERT_EQ(ERROR_SUCCESS, put("Fits", REG_SZ, std::string(8191, 'F')));

    ASSERT_NE(nullptr, query("Exact")) << "8192 bytes";
    EXPECT_EQ(0, memcmp(g_abRegValue, data.data(), 8192));
    EXPECT_EQ(nullptr, query("OneMore")) << "8193 bytes";
    ASSERT_NE(nullptr, query("Long"));
    EXPECT_STREQ("abc", query("NoNul")) << "the text runs on into the earlier value";
    EXPECT_EQ(nullptr, query("Full")) << "8192 characters: no room for the NUL";
    ASSERT_NE(nullptr, query("Fits")) << "8191 characters and the NUL";
    EXPECT_EQ(8191u, strlen((const char *)g_abRegValue));
}

// Every key opened on the way is closed again. Handle values are reused,
// so after many calls a new key handle has about the value it had before.
// (Wine's GetProcessHandleCount always gives 0.)
TEST(Registry, KeysAreClosed)
{
    PrivateKeyTree tree(HKEY_CURRENT_USER, TEST_SUBKEY);
    auto nextHandle = [] {
        HKEY hKey = NULL;
        RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &hKey);
        RegCloseKey(hKey);
        return (ULONG_PTR)hKey;
    };
    ULONG_PTR before = nextHandle();
    for (int i = 0; i < 200; i++) {
        SetRegistryPathNumber(s_szPath, "Number", (DWORD)i);
        QueryRegistryPathValue(s_szPath, "Number", NULL);
        QueryRegistryKeyValue(HKEY_CURRENT_USER, TEST_SUBKEY, "Missing", NULL);
        RegistryPathExists(s_szPath);
    }
    ULONG_PTR after = nextHandle();
    EXPECT_LT(after, before + 4 * 20) << "handle value before 0x" << std::hex << before << ", after 0x" << after;
}
