// Registry helpers of the server tests: private key trees deleted before
// and after a test, and readers that say what they found.
#ifndef VUR_TEST_REGTESTKEYS_H
#define VUR_TEST_REGTESTKEYS_H

#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <string>

// HKCU\Software\VurTest: the private tree of the tests that write the registry.
#define TEST_KEY_PATH "Software\\VurTest"

inline void DeleteTestTree(HKEY hRoot, const std::string &path)
{
    RegDeleteTreeA(hRoot, path.c_str());
    RegDeleteKeyA(hRoot, path.c_str());
}

// Deletes root\path with everything below it now and when the object goes.
struct PrivateKeyTree {
    HKEY hRoot;
    std::string path;
    PrivateKeyTree(HKEY hRootIn, const std::string &pathIn) : hRoot(hRootIn), path(pathIn) { DeleteTestTree(hRoot, path); }
    ~PrivateKeyTree() { DeleteTestTree(hRoot, path); }
};

// Subkeys or values of a key; -1: no key.
inline int CountKeyEntries(HKEY hRoot, const std::string &path, bool bValues)
{
    HKEY hKey;
    DWORD cSubkeys = 0, cValues = 0;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return -1;
    RegQueryInfoKeyA(hKey, NULL, NULL, NULL, &cSubkeys, NULL, NULL, &cValues, NULL, NULL, NULL, NULL);
    RegCloseKey(hKey);
    return (int)(bValues ? cValues : cSubkeys);
}

inline int CountSubkeys(HKEY hRoot, const std::string &path)
{
    return CountKeyEntries(hRoot, path, false);
}

inline int CountValues(HKEY hRoot, const std::string &path)
{
    return CountKeyEntries(hRoot, path, true);
}

inline bool KeyExists(HKEY hRoot, const std::string &path)
{
    return CountSubkeys(hRoot, path) >= 0;
}

// Sets a REG_SZ value (name "" for the default value); creates the key.
inline bool SetTestString(HKEY hRoot, const std::string &path, const char *pszName, const std::string &value)
{
    return RegSetKeyValueA(hRoot, path.c_str(), pszName, REG_SZ, value.c_str(), (DWORD)value.size() + 1) ==
           ERROR_SUCCESS;
}

// "<type>:<data>": text for REG_SZ (with anything behind its NUL), decimal
// for REG_DWORD, hexadecimal bytes for the others.
inline std::string FormatTestValue(DWORD dwType, const BYTE *pData, DWORD cb)
{
    if (dwType == REG_SZ) {
        std::string text((const char *)pData, cb);
        return "REG_SZ:" + (!text.empty() && text.back() == '\0' ? text.substr(0, cb - 1) : text + "(no NUL)");
    }
    if (dwType == REG_DWORD && cb == 4)
        return "REG_DWORD:" + std::to_string(*(const DWORD *)pData);
    char sz[16];
    snprintf(sz, sizeof sz, "type%lu:", (unsigned long)dwType);
    std::string text = sz;
    for (DWORD i = 0; i < cb; i++) {
        snprintf(sz, sizeof sz, "%02X", pData[i]);
        text += sz;
    }
    return text;
}

// One value as FormatTestValue shows it; "(none)" when it cannot be read.
inline std::string ReadTestValue(HKEY hRoot, const std::string &path, const char *pszName)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "(none)";
    BYTE abData[8192];
    DWORD cb = sizeof abData, dwType = 0;
    LONG l = RegQueryValueExA(hKey, pszName, NULL, &dwType, abData, &cb);
    // The ANSI query adds a NUL to a text stored without one: the size of
    // the wide form tells.
    std::wstring name(pszName, pszName + strlen(pszName));
    DWORD cbWide = 2 * cb;
    if (l == ERROR_SUCCESS && dwType == REG_SZ)
        RegQueryValueExW(hKey, name.c_str(), NULL, NULL, NULL, &cbWide);
    RegCloseKey(hKey);
    return l == ERROR_SUCCESS ? FormatTestValue(dwType, abData, cbWide == 2 * cb ? cb : cb - 1) : "(none)";
}

// Every key from root\path down with its values, one line each, in
// enumeration order; "" when the key does not exist.
inline std::string DumpTestTree(HKEY hRoot, const std::string &path)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "";
    std::string out = path + "\n";
    char szName[512];
    BYTE abData[8192];
    DWORD cchName = sizeof szName, cb = sizeof abData, dwType = 0;
    for (DWORD i = 0; RegEnumValueA(hKey, i, szName, &cchName, NULL, &dwType, abData, &cb) == ERROR_SUCCESS; i++) {
        out += "  [" + std::string(szName) + "] " + FormatTestValue(dwType, abData, cb) + "\n";
        cchName = sizeof szName;
        cb = sizeof abData;
    }
    cchName = sizeof szName;
    for (DWORD i = 0; RegEnumKeyExA(hKey, i, szName, &cchName, NULL, NULL, NULL, NULL) == ERROR_SUCCESS; i++) {
        out += DumpTestTree(hRoot, path + "\\" + szName);
        cchName = sizeof szName;
    }
    RegCloseKey(hKey);
    return out;
}

#endif
