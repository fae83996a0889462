// Registry helpers of the server tests: see regtestkeys.h.
#include "regtestkeys.h"
#include <stdio.h>

void DeleteTestTree(HKEY hRoot, const std::string &path)
{
    RegDeleteTreeA(hRoot, path.c_str());
    RegDeleteKeyA(hRoot, path.c_str());
}

bool KeyExists(HKEY hRoot, const std::string &path)
{
    return CountSubkeys(hRoot, path) >= 0;
}

int CountSubkeys(HKEY hRoot, const std::string &path)
{
    HKEY hKey;
    DWORD cSubkeys = 0;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return -1;
    RegQueryInfoKeyA(hKey, NULL, NULL, NULL, &cSubkeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    RegCloseKey(hKey);
    return (int)cSubkeys;
}

bool SetTestString(HKEY hRoot, const std::string &path, const char *pszName, const std::string &value)
{
    return RegSetKeyValueA(hRoot, path.c_str(), pszName, REG_SZ, value.c_str(), (DWORD)value.size() + 1) ==
           ERROR_SUCCESS;
}

static std::string FormatValue(DWORD dwType, const BYTE *pData, DWORD cb)
{
    char sz[16];
    std::string text;
    if (dwType == REG_SZ) {
        // The stored size includes the NUL; show anything behind it too.
        text.assign((const char *)pData, cb);
        if (!text.empty() && text.back() == '\0')
            text.pop_back();
        else
            text += "(no NUL)";
        return "REG_SZ:" + text;
    }
    if (dwType == REG_DWORD && cb == 4)
        return "REG_DWORD:" + std::to_string(*(const DWORD *)pData);
    snprintf(sz, sizeof sz, "type%lu:", (unsigned long)dwType);
    text = sz;
    for (DWORD i = 0; i < cb; i++) {
        snprintf(sz, sizeof sz, "%02X", pData[i]);
        text += sz;
    }
    return text;
}

std::string ReadTestValue(HKEY hRoot, const std::string &path, const char *pszName)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "(none)";
    BYTE abData[8192];
    DWORD cb = sizeof abData, dwType = 0;
    LONG l = RegQueryValueExA(hKey, pszName, NULL, &dwType, abData, &cb);
    RegCloseKey(hKey);
    return l == ERROR_SUCCESS ? FormatValue(dwType, abData, cb) : "(none)";
}

static void DumpKey(HKEY hKey, const std::string &name, std::string *pOut)
{
    *pOut += name + "\n";
    char szName[512];
    BYTE abData[8192];
    DWORD cchName = sizeof szName, cb = sizeof abData, dwType = 0;
    for (DWORD i = 0; RegEnumValueA(hKey, i, szName, &cchName, NULL, &dwType, abData, &cb) == ERROR_SUCCESS; i++) {
        *pOut += "  [" + std::string(szName) + "] " + FormatValue(dwType, abData, cb) + "\n";
        cchName = sizeof szName;
        cb = sizeof abData;
    }
    cchName = sizeof szName;
    for (DWORD i = 0; RegEnumKeyExA(hKey, i, szName, &cchName, NULL, NULL, NULL, NULL) == ERROR_SUCCESS; i++) {
        HKEY hSub;
        if (RegOpenKeyExA(hKey, szName, 0, KEY_READ, &hSub) == ERROR_SUCCESS) {
            DumpKey(hSub, name + "\\" + szName, pOut);
            RegCloseKey(hSub);
        }
        cchName = sizeof szName;
    }
}

std::string DumpTestTree(HKEY hRoot, const std::string &path)
{
    HKEY hKey;
    std::string out;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return out;
    DumpKey(hKey, path, &out);
    RegCloseKey(hKey);
    return out;
}

std::string UnderTestKey(const std::string &body)
{
    return "HKCU\r\n{\r\n\tNoRemove Software\r\n\t{\r\n\t\tNoRemove VurTest\r\n\t\t{\r\n" + body +
           "\r\n\t\t}\r\n\t}\r\n}\r\n";
}
