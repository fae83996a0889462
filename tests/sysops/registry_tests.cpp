// Registry access by path in the private prefix: a private key tree under
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, deleted before and after.
#include "sysops/registry.h"
#include "sysops/installfolder.h"
#include <gtest/gtest.h>
#include <string.h>
#include <string>

#define TEST_SUBKEY "Software\\VUR sysops tests"
#define TEST_ROOT_VALUE "VUR sysops tests value"
static const char s_szHkcu[] = "HKEY_CURRENT_USER\\" TEST_SUBKEY;
static const char s_szHklm[] = "HKEY_LOCAL_MACHINE\\" TEST_SUBKEY;

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, TEST_SUBKEY);
        RegDeleteKeyA(HKEY_CURRENT_USER, TEST_SUBKEY);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, TEST_SUBKEY);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, TEST_SUBKEY);
        RegDeleteValueA(HKEY_CURRENT_USER, TEST_ROOT_VALUE);
    }
    // Writes a value directly, whatever its type and size.
    static void Put(HKEY hRoot, const char *pszName, DWORD dwType, const void *pData, DWORD cb)
    {
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(hRoot, TEST_SUBKEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(hKey, pszName, 0, dwType, (const BYTE *)pData, cb));
        RegCloseKey(hKey);
    }
    static bool Get(const char *pszSubKey, const char *pszName, DWORD *pdwType, std::string *pData)
    {
        HKEY hKey;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, pszSubKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return false;
        char ab[16384];
        DWORD cb = sizeof ab;
        LONG l = RegQueryValueExA(hKey, pszName, NULL, pdwType, (BYTE *)ab, &cb);
        RegCloseKey(hKey);
        pData->assign(ab, l == ERROR_SUCCESS ? cb : 0);
        return l == ERROR_SUCCESS;
    }
};

TEST(SplitRegistryPath, Table)
{
    static const struct {
        const char *pszPath;
        HKEY hExpected;               // NULL: no key
        const char *pszSubKey;
    } s_aCases[] = {
        {"HKEY_LOCAL_MACHINE\\Software\\VUR", HKEY_LOCAL_MACHINE, "Software\\VUR"},
        {"HKEY_USERS\\.DEFAULT\\Software", HKEY_USERS, ".DEFAULT\\Software"},
        {"HKEY_CLASSES_ROOT\\CLSID", HKEY_CLASSES_ROOT, "CLSID"},
        {"HKEY_CURRENT_USER\\Software", HKEY_CURRENT_USER, "Software"},
        // The first name of the list found anywhere decides.
        {"HKEY_LOCAL_MACHINE\\Software\\HKEY_CLASSES_ROOT\\CLSID", HKEY_CLASSES_ROOT, "CLSID"},
        {"HKEY_USERS\\HKEY_CURRENT_USER\\x", HKEY_CURRENT_USER, "x"},
        {"see HKEY_CURRENT_USER\\Software", HKEY_CURRENT_USER, "Software"},
        {"HKEY_CURRENT_USER/Software", HKEY_CURRENT_USER, "Software"},   // separator unseen
        // A root name that ends the path names the root itself.
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER, ""},
        {"HKEY_CURRENT_USER\\", HKEY_CURRENT_USER, ""},
        {"HKEY_USERS", HKEY_USERS, ""},
        {"HKEY_USERSX", HKEY_USERS, ""},
        {"HKLM\\Software\\VUR", NULL, NULL},
        {"hkey_local_machine\\Software\\VUR", NULL, NULL},
        {"HKEY_CURRENT_CONFIG\\Software", NULL, NULL},
        {"HKEY_LOCAL", NULL, NULL},
        {"", NULL, NULL},
    };
    for (const auto &c : s_aCases) {
        SCOPED_TRACE(c.pszPath);
        const char *pszSubKey = "sentinel";
        HKEY hKey = SplitRegistryPath(c.pszPath, &pszSubKey);
        EXPECT_EQ(c.hExpected, hKey);
        if (!c.pszSubKey) {
            EXPECT_EQ(nullptr, pszSubKey);
            continue;
        }
        ASSERT_NE(nullptr, pszSubKey);
        EXPECT_STREQ(c.pszSubKey, pszSubKey);
        // The subkey lies inside the path's own text, its NUL included.
        EXPECT_TRUE(pszSubKey >= c.pszPath && pszSubKey <= c.pszPath + strlen(c.pszPath));
    }
    EXPECT_EQ(nullptr, SplitRegistryPath(NULL, NULL));
    EXPECT_EQ(HKEY_CURRENT_USER, SplitRegistryPath("HKEY_CURRENT_USER\\x", NULL));
}

TEST_F(RegistryTest, PathsWithoutARootNameNameNoKey)
{
    static const char *const s_apsz[] = {"HKLM\\" TEST_SUBKEY, "hkey_current_user\\" TEST_SUBKEY, "", NULL};
    for (const char *psz : s_apsz) {
        SCOPED_TRACE(psz ? psz : "(null)");
        EXPECT_EQ(0u, SetRegistryPathString(psz, "s", "x"));
        EXPECT_EQ(0u, SetRegistryPathNumber(psz, "n", 1));
        EXPECT_EQ(0u, RegistryPathExists(psz));
        EXPECT_EQ(nullptr, QueryRegistryPathValue(psz, "s", NULL));
        EXPECT_EQ(nullptr, OpenRegistryPath(psz));
        EXPECT_EQ(nullptr, CreateRegistryPath(psz));
    }
    EXPECT_EQ(0u, RegistryPathExists(s_szHkcu)) << "a failed write created the key";
}

TEST_F(RegistryTest, OpenCreateAndClose)
{
    EXPECT_EQ(nullptr, OpenRegistryKey(HKEY_CURRENT_USER, TEST_SUBKEY "\\a\\b"));
    HKEY hCreated = CreateRegistryKey(HKEY_CURRENT_USER, TEST_SUBKEY "\\a\\b");
    ASSERT_NE(nullptr, hCreated);
    CloseRegistryKey(hCreated);

    HKEY hA = OpenRegistryKey(HKEY_CURRENT_USER, TEST_SUBKEY "\\a");
    ASSERT_NE(nullptr, hA);
    HKEY hB = OpenRegistryKey(hA, "b");            // an open key as the base
    EXPECT_NE(nullptr, hB);
    HKEY hC = CreateRegistryKey(hA, "c");
    EXPECT_NE(nullptr, hC);
    CloseRegistryKey(hC);
    CloseRegistryKey(hB);
    CloseRegistryKey(hA);
    CloseRegistryKey(NULL);
    EXPECT_EQ(nullptr, OpenRegistryKey(NULL, "Software"));
    EXPECT_EQ(nullptr, CreateRegistryKey(NULL, "Software"));

    EXPECT_EQ(1u, RegistryPathExists(s_szHkcu));
    EXPECT_EQ(1u, RegistryPathExists((std::string(s_szHkcu) + "\\a\\c").c_str()));
    EXPECT_EQ(0u, RegistryPathExists((std::string(s_szHkcu) + "\\a\\d").c_str()));
    // A path that is only a root name names the root key.
    EXPECT_EQ(1u, RegistryPathExists("HKEY_CURRENT_USER"));
    EXPECT_EQ(1u, RegistryPathExists("HKEY_LOCAL_MACHINE"));
}

TEST_F(RegistryTest, WritesCreateMissingKeysAndStoreTheTextsNul)
{
    std::string path = std::string(s_szHkcu) + "\\x\\y\\z";
    EXPECT_EQ(1u, SetRegistryPathString(path.c_str(), "Mode", "a;b"));
    DWORD dwType = 0;
    std::string data;
    ASSERT_TRUE(Get(TEST_SUBKEY "\\x\\y\\z", "Mode", &dwType, &data));
    EXPECT_EQ((DWORD)REG_SZ, dwType);
    EXPECT_EQ(std::string("a;b\0", 4), data) << "the value's bytes";

    EXPECT_EQ(1u, SetRegistryPathNumber(path.c_str(), "Count", 0xA1B2C3D4));
    ASSERT_TRUE(Get(TEST_SUBKEY "\\x\\y\\z", "Count", &dwType, &data));
    EXPECT_EQ((DWORD)REG_DWORD, dwType);
    EXPECT_EQ(std::string("\xD4\xC3\xB2\xA1", 4), data) << "four bytes, little-endian";

    EXPECT_EQ(1u, SetRegistryPathString(path.c_str(), "", "default"));
    ASSERT_TRUE(Get(TEST_SUBKEY "\\x\\y\\z", "", &dwType, &data));
    EXPECT_EQ(std::string("default\0", 8), data) << "an empty name writes the default value";

    EXPECT_EQ(0u, SetRegistryPathString(path.c_str(), "Null", NULL));
    // The root alone: the value goes directly under HKEY_CURRENT_USER.
    EXPECT_EQ(1u, SetRegistryPathNumber("HKEY_CURRENT_USER", TEST_ROOT_VALUE, 7));
    ASSERT_TRUE(Get("", TEST_ROOT_VALUE, &dwType, &data));
    EXPECT_EQ(std::string("\7\0\0\0", 4), data);
}

TEST_F(RegistryTest, ReadsTypesAndData)
{
    ASSERT_EQ(1u, SetRegistryPathString(s_szHkcu, "Text", "C:\\Prog"));
    ASSERT_EQ(1u, SetRegistryPathNumber(s_szHkcu, "Number", 12));

    DWORD dwType = 0xdeadbeef;
    BYTE *p = QueryRegistryPathValue(s_szHkcu, "Text", &dwType);
    ASSERT_EQ(g_abRegValue, p);
    EXPECT_EQ((DWORD)REG_SZ, dwType);
    EXPECT_STREQ("C:\\Prog", (const char *)p);

    p = QueryRegistryKeyValue(HKEY_CURRENT_USER, TEST_SUBKEY, "Number", &dwType);
    ASSERT_EQ(g_abRegValue, p);
    EXPECT_EQ((DWORD)REG_DWORD, dwType);
    DWORD dw;
    memcpy(&dw, p, sizeof dw);
    EXPECT_EQ(12u, dw);

    EXPECT_EQ(g_abRegValue, QueryRegistryPathValue(s_szHkcu, "Text", NULL)) << "no out type";

    // Nothing read, nothing written to the out type.
    dwType = 0xdeadbeef;
    EXPECT_EQ(nullptr, QueryRegistryPathValue(s_szHkcu, "Missing", &dwType));
    EXPECT_EQ(0xdeadbeefu, dwType);
    EXPECT_EQ(nullptr, QueryRegistryPathValue((std::string(s_szHkcu) + "\\nokey").c_str(), "Text", &dwType));
    EXPECT_EQ(nullptr, QueryRegistryKeyValue(HKEY_CURRENT_USER, TEST_SUBKEY "\\nokey", "Text", &dwType));
    EXPECT_EQ(nullptr, QueryRegistryValue(NULL, "Text", &dwType));
    EXPECT_EQ(0xdeadbeefu, dwType);
}

TEST_F(RegistryTest, TwoReadsShareTheBuffer)
{
    ASSERT_EQ(1u, SetRegistryPathString(s_szHkcu, "First", "first value"));
    ASSERT_EQ(1u, SetRegistryPathString(s_szHkcu, "Second", "2nd"));
    const char *pszFirst = (const char *)QueryRegistryPathValue(s_szHkcu, "First", NULL);
    ASSERT_NE(nullptr, pszFirst);
    EXPECT_STREQ("first value", pszFirst);
    const char *pszSecond = (const char *)QueryRegistryPathValue(s_szHkcu, "Second", NULL);
    EXPECT_EQ(pszFirst, pszSecond);
    EXPECT_STREQ("2nd", pszFirst) << "the first pointer shows the second value";
}

TEST_F(RegistryTest, ValuesUpToTheBufferSize)
{
    std::string data(8193, '\0');
    for (size_t i = 0; i < data.size(); i++)
        data[i] = (char)(i * 7 + 1);
    static const struct {
        HKEY hRoot;
        const char *pszPath;
    } s_aRoots[] = {{HKEY_CURRENT_USER, s_szHkcu}, {HKEY_LOCAL_MACHINE, s_szHklm}};
    for (const auto &root : s_aRoots) {
        SCOPED_TRACE(root.pszPath);
        Put(root.hRoot, "Exact", REG_BINARY, data.data(), 8192);
        Put(root.hRoot, "OneMore", REG_BINARY, data.data(), 8193);
        DWORD dwType = 0;
        BYTE *p = QueryRegistryPathValue(root.pszPath, "Exact", &dwType);
        ASSERT_NE(nullptr, p) << "8192 bytes";
        EXPECT_EQ((DWORD)REG_BINARY, dwType);
        EXPECT_EQ(0, memcmp(p, data.data(), 8192));
        EXPECT_EQ(nullptr, QueryRegistryPathValue(root.pszPath, "OneMore", NULL)) << "8193 bytes";
    }
}

// A text value stored without its NUL (only a program that writes it so
// can make one) still reads as a text that ends inside the buffer.
TEST_F(RegistryTest, TextsStoredWithoutTheirNul)
{
    std::string longText(300, 'L');
    Put(HKEY_CURRENT_USER, "Long", REG_SZ, longText.c_str(), (DWORD)longText.size() + 1);
    Put(HKEY_CURRENT_USER, "Short", REG_SZ, "abc", 3);
    ASSERT_NE(nullptr, QueryRegistryPathValue(s_szHkcu, "Long", NULL));
    const char *psz = (const char *)QueryRegistryPathValue(s_szHkcu, "Short", NULL);
    ASSERT_NE(nullptr, psz);
    EXPECT_STREQ("abc", psz) << "the text runs on into the earlier value";

    // 8192 characters with no room left for a NUL: as missing as a larger
    // value. 8191 and a NUL fit.
    std::string full(8192, 'F');
    Put(HKEY_CURRENT_USER, "Full", REG_SZ, full.c_str(), 8192);
    EXPECT_EQ(nullptr, QueryRegistryPathValue(s_szHkcu, "Full", NULL));
    Put(HKEY_CURRENT_USER, "Fits", REG_SZ, full.c_str(), 8191);
    psz = (const char *)QueryRegistryPathValue(s_szHkcu, "Fits", NULL);
    ASSERT_NE(nullptr, psz);
    EXPECT_EQ(8191u, strlen(psz));
}

// Every key opened on the way is closed again: a thousand calls leave the
// process's handle count where it was.
TEST_F(RegistryTest, KeysAreClosed)
{
    ASSERT_EQ(1u, SetRegistryPathString(s_szHkcu, "Text", "x"));
    DWORD dwBefore = 0, dwAfter = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &dwBefore));
    for (int i = 0; i < 1000; i++) {
        QueryRegistryPathValue(s_szHkcu, "Text", NULL);
        QueryRegistryPathValue(s_szHkcu, "Missing", NULL);
        QueryRegistryKeyValue(HKEY_CURRENT_USER, TEST_SUBKEY, "Text", NULL);
        RegistryPathExists(s_szHkcu);
        SetRegistryPathString(s_szHkcu, "Text", "x");
        SetRegistryPathNumber(s_szHkcu, "Number", (DWORD)i);
    }
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &dwAfter));
    EXPECT_LT(dwAfter, dwBefore + 10) << "handles before " << dwBefore << ", after " << dwAfter;
}

// The install folder value is the prefix's own: keep what was there.
class InstallFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        DWORD cb = sizeof m_szSaved;
        m_bHadKey = RegOpenKeyExA(HKEY_LOCAL_MACHINE, INSTALL_FOLDER_KEY, 0, KEY_ALL_ACCESS, &m_hKey) == ERROR_SUCCESS;
        m_bHadValue = m_bHadKey &&
                      RegQueryValueExA(m_hKey, "", NULL, &m_dwType, (BYTE *)m_szSaved, &cb) == ERROR_SUCCESS;
        m_cbSaved = cb;
    }
    void TearDown() override
    {
        if (m_bHadValue) {
            RegSetValueExA(m_hKey, "", 0, m_dwType, (const BYTE *)m_szSaved, m_cbSaved);
        } else if (m_bHadKey) {
            RegDeleteValueA(m_hKey, "");
        } else {
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, INSTALL_FOLDER_KEY);
        }
        if (m_hKey)
            RegCloseKey(m_hKey);
    }
    HKEY m_hKey = NULL;
    bool m_bHadKey = false, m_bHadValue = false;
    DWORD m_dwType = 0, m_cbSaved = 0;
    char m_szSaved[1024];
};

TEST_F(InstallFolderTest, ReadsTheDefaultValueOfSoftwareVur)
{
    ASSERT_EQ(1u, SetRegistryPathString("HKEY_LOCAL_MACHINE\\Software\\VUR", "", "C:\\Program Files\\VUR"));
    ASSERT_EQ(1u, SetRegistryPathString("HKEY_LOCAL_MACHINE\\Software\\VUR", "Other", "not this"));
    EXPECT_STREQ("C:\\Program Files\\VUR", QueryInstallFolder());

    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, INSTALL_FOLDER_KEY, 0, KEY_ALL_ACCESS, &hKey));
    RegDeleteValueA(hKey, "");
    RegDeleteValueA(hKey, "Other");
    RegCloseKey(hKey);
    EXPECT_EQ(nullptr, QueryInstallFolder()) << "no value";
}
