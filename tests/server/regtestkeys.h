// Registry helpers of the server tests: private key trees deleted before
// and after a test, and readers that say what they found.
#ifndef VUR_TEST_REGTESTKEYS_H
#define VUR_TEST_REGTESTKEYS_H

#include <windows.h>
#include <string.h>
#include <string>

// HKCU\Software\VurTest: the private tree of the tests that write the registry.
#define TEST_KEY_PATH "Software\\VurTest"

inline void DeleteTestTree(HKEY hRoot, const std::string &path, REGSAM samView = 0)
{
    // An empty name would open the root itself and empty it.
    if (!hRoot || path.empty() || path[0] == '\\')
        return;
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_ALL_ACCESS | samView, &hKey) == ERROR_SUCCESS) {
        RegDeleteTreeA(hKey, NULL);
        RegCloseKey(hKey);
    }
    RegDeleteKeyExA(hRoot, path.c_str(), samView, 0);
}

// Deletes root\path with everything below it now and when the object goes.
struct PrivateKeyTree {
    HKEY hRoot;
    std::string path;
    PrivateKeyTree(HKEY hRootIn, const std::string &pathIn) : hRoot(hRootIn), path(pathIn) { DeleteTestTree(hRoot, path); }
    ~PrivateKeyTree() { DeleteTestTree(hRoot, path); }
};

// Subkeys or values of a key; -1: no key.
inline int CountKeyEntries(HKEY hRoot, const std::string &path, bool bValues, REGSAM samView = 0)
{
    HKEY hKey;
    DWORD cSubkeys = 0, cValues = 0;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_READ | samView, &hKey) != ERROR_SUCCESS)
        return -1;
    RegQueryInfoKeyA(hKey, NULL, NULL, NULL, &cSubkeys, NULL, NULL, &cValues, NULL, NULL, NULL, NULL);
    RegCloseKey(hKey);
    return (int)(bValues ? cValues : cSubkeys);
}

// Sets a REG_SZ value (name "" for the default value); creates the key.
inline bool SetTestString(HKEY hRoot, const std::string &path, const char *pszName, const std::string &value)
{
    return RegSetKeyValueA(hRoot, path.c_str(), pszName, REG_SZ, value.c_str(), (DWORD)value.size() + 1) ==
           ERROR_SUCCESS;
}

// One value as "REG_SZ:text" (anything behind its NUL included, "(no
// NUL)" added when it has none), "REG_DWORD:decimal" or, for another type,
// "typeN"; "(none)" when it cannot be read.
inline std::string ReadTestValue(HKEY hRoot, const std::string &path, const char *pszName, REGSAM samView = 0)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_READ | samView, &hKey) != ERROR_SUCCESS)
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
    if (l != ERROR_SUCCESS)
        return "(none)";
    if (dwType == REG_DWORD && cb == 4)
        return "REG_DWORD:" + std::to_string(*(const DWORD *)abData);
    if (dwType != REG_SZ)
        return "type" + std::to_string(dwType);
    std::string text((const char *)abData, cbWide == 2 * cb ? cb : cb - 1);
    return "REG_SZ:" + (!text.empty() && text.back() == '\0' ? text.substr(0, text.size() - 1) : text + "(no NUL)");
}

#endif
