// Registry helpers of the server tests: see regtestkeys.h.
#include "regtestkeys.h"
#include <stdio.h>

PrivateKeyTree::PrivateKeyTree(HKEY hRoot, const std::string &path) : m_hRoot(hRoot), m_path(path)
{
    DeleteTestTree(m_hRoot, m_path);
}

PrivateKeyTree::~PrivateKeyTree()
{
    DeleteTestTree(m_hRoot, m_path);
}

void DeleteTestTree(HKEY hRoot, const std::string &path)
{
    RegDeleteTreeA(hRoot, path.c_str());
    RegDeleteKeyA(hRoot, path.c_str());
}

bool KeyExists(HKEY hRoot, const std::string &path)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

bool SetTestString(HKEY hRoot, const std::string &path, const char *pszName, const std::string &value)
{
    HKEY hKey;
    if (RegCreateKeyExA(hRoot, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL) != ERROR_SUCCESS)
        return false;
    LONG l = RegSetValueExA(hKey, *pszName ? pszName : NULL, 0, REG_SZ, (const BYTE *)value.c_str(),
                            (DWORD)value.size() + 1);
    RegCloseKey(hKey);
    return l == ERROR_SUCCESS;
}

static std::string FormatValue(DWORD dwType, const BYTE *pData, DWORD cb)
{
    char szPart[16];
    std::string text;
    if (dwType == REG_SZ) {
        text = "REG_SZ:";
        // The stored size includes the NUL; show anything behind it too.
        text.append((const char *)pData, cb);
        if (!text.empty() && text.back() == '\0')
            text.pop_back();
        else
            text += "(no NUL)";
    } else if (dwType == REG_DWORD && cb == 4) {
        DWORD dw;
        memcpy(&dw, pData, 4);
        sprintf(szPart, "%lu", (unsigned long)dw);
        text = std::string("REG_DWORD:") + szPart;
    } else {
        sprintf(szPart, "type%lu:", (unsigned long)dwType);
        text = szPart;
        for (DWORD i = 0; i < cb; i++) {
            sprintf(szPart, "%02X", pData[i]);
            text += szPart;
        }
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
    LONG l = RegQueryValueExA(hKey, *pszName ? pszName : NULL, NULL, &dwType, abData, &cb);
    RegCloseKey(hKey);
    if (l != ERROR_SUCCESS)
        return "(none)";
    return FormatValue(dwType, abData, cb);
}

static int CountInfo(HKEY hRoot, const std::string &path, bool bSubkeys)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return -1;
    DWORD cSubkeys = 0, cValues = 0;
    RegQueryInfoKeyA(hKey, NULL, NULL, NULL, &cSubkeys, NULL, NULL, &cValues, NULL, NULL, NULL, NULL);
    RegCloseKey(hKey);
    return (int)(bSubkeys ? cSubkeys : cValues);
}

int CountSubkeys(HKEY hRoot, const std::string &path)
{
    return CountInfo(hRoot, path, true);
}

int CountValues(HKEY hRoot, const std::string &path)
{
    return CountInfo(hRoot, path, false);
}

static void DumpKey(HKEY hKey, const std::string &name, std::string *pOut)
{
    *pOut += name + "\n";
    for (DWORD i = 0;; i++) {
        char szName[512];
        BYTE abData[8192];
        DWORD cchName = sizeof szName, cb = sizeof abData, dwType = 0;
        if (RegEnumValueA(hKey, i, szName, &cchName, NULL, &dwType, abData, &cb) != ERROR_SUCCESS)
            break;
        *pOut += "  [" + std::string(szName) + "] " + FormatValue(dwType, abData, cb) + "\n";
    }
    for (DWORD i = 0;; i++) {
        char szName[512];
        DWORD cchName = sizeof szName;
        if (RegEnumKeyExA(hKey, i, szName, &cchName, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        HKEY hSub;
        if (RegOpenKeyExA(hKey, szName, 0, KEY_READ, &hSub) == ERROR_SUCCESS) {
            DumpKey(hSub, name + "\\" + szName, pOut);
            RegCloseKey(hSub);
        }
    }
}

std::string DumpTestTree(HKEY hRoot, const std::string &path)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "(none)";
    std::string out;
    DumpKey(hKey, path, &out);
    RegCloseKey(hKey);
    return out;
}

std::string UnderTestKey(const std::string &body)
{
    return "HKCU\r\n{\r\n\tNoRemove Software\r\n\t{\r\n\t\tNoRemove VurTest\r\n\t\t{\r\n" + body +
           "\r\n\t\t}\r\n\t}\r\n}\r\n";
}
