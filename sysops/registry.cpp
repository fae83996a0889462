// Registry keys named by path texts, and the one buffer values are read to.
#include "sysops/registry.h"
#include "sysops/handles.h"
#include "script/texthelpers.h"

BYTE g_abRegValue[REG_VALUE_SIZE];

static_assert(sizeof g_abRegValue == 8192, "registry values are read into 8192 bytes");

// In the order in which they are looked for: the first one found anywhere
// in the path decides, wherever it stands.
static const struct {
    const char *pszName;
    HKEY hKey;
} s_aRoots[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
};

HKEY SplitRegistryPath(const char *pszPath, const char **ppszSubKey)
{
    if (ppszSubKey)
        *ppszSubKey = NULL;
    if (!pszPath)
        return NULL;
    for (const auto &root : s_aRoots) {
        const char *pszRoot = StrFind(pszPath, root.pszName);
        if (!pszRoot)
            continue;
        // The character after the name is skipped unseen (a backslash in
        // every script). A path that ends right after the name has no such
        // character: its subkey is the empty text, and it names the root
        // key itself, as "HKEY_CURRENT_USER\" does.
        const char *pszSubKey = pszRoot + StrLen(root.pszName);
        if (*pszSubKey)
            pszSubKey++;
        if (ppszSubKey)
            *ppszSubKey = pszSubKey;
        return root.hKey;
    }
    return NULL;
}

// Full access also for reading: a key where it is refused counts as
// missing.
HKEY OpenRegistryKey(HKEY hKey, const char *pszSubKey)
{
    if (!hKey)
        return NULL;
    HKEY hResult = NULL;
    if (RegOpenKeyExA(hKey, pszSubKey, 0, KEY_ALL_ACCESS, &hResult) != ERROR_SUCCESS)
        return NULL;
    return hResult;
}

HKEY CreateRegistryKey(HKEY hKey, const char *pszSubKey)
{
    if (!hKey)
        return NULL;
    HKEY hResult = NULL;
    DWORD dwDisposition;
    if (RegCreateKeyExA(hKey, pszSubKey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                        &hResult, &dwDisposition) != ERROR_SUCCESS)
        return NULL;
    return hResult;
}

void CloseRegistryKey(HKEY hKey)
{
    if (hKey)
        RegCloseKey(hKey);
}

HKEY OpenRegistryPath(const char *pszPath)
{
    const char *pszSubKey;
    HKEY hRoot = SplitRegistryPath(pszPath, &pszSubKey);
    return OpenRegistryKey(hRoot, pszSubKey);
}

HKEY CreateRegistryPath(const char *pszPath)
{
    const char *pszSubKey;
    HKEY hRoot = SplitRegistryPath(pszPath, &pszSubKey);
    return CreateRegistryKey(hRoot, pszSubKey);
}

UINT RegistryPathExists(const char *pszPath)
{
    RegKey key;
    key.h = OpenRegistryPath(pszPath);
    return key.h ? 1 : 0;
}

static BOOL IsTextType(DWORD dwType)
{
    return dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ;
}

BYTE *QueryRegistryValue(HKEY hKey, const char *pszName, DWORD *pdwType)
{
    if (!hKey)
        return NULL;
    DWORD dwType = REG_NONE;
    DWORD cbData = sizeof g_abRegValue;
    if (RegQueryValueExA(hKey, pszName, NULL, &dwType, g_abRegValue, &cbData) != ERROR_SUCCESS)
        return NULL;
    // A text stored without its NUL must still end here, not in what an
    // earlier, longer value left behind; one that fills the whole buffer
    // has no room for its NUL and is as missing as a larger one.
    if (cbData < sizeof g_abRegValue)
        g_abRegValue[cbData] = '\0';
    else if (IsTextType(dwType) && g_abRegValue[cbData - 1] != '\0')
        return NULL;
    if (pdwType)
        *pdwType = dwType;
    return g_abRegValue;
}

BYTE *QueryRegistryPathValue(const char *pszPath, const char *pszName, DWORD *pdwType)
{
    RegKey key;
    key.h = OpenRegistryPath(pszPath);
    return QueryRegistryValue(key.h, pszName, pdwType);
}

BYTE *QueryRegistryKeyValue(HKEY hKey, const char *pszSubKey, const char *pszName, DWORD *pdwType)
{
    RegKey key;
    key.h = OpenRegistryKey(hKey, pszSubKey);
    return QueryRegistryValue(key.h, pszName, pdwType);
}

static UINT SetRegistryPathValue(const char *pszPath, const char *pszName, DWORD dwType,
                                 const BYTE *pData, DWORD cbData)
{
    RegKey key;
    key.h = CreateRegistryPath(pszPath);
    if (!key.h)
        return 0;
    return RegSetValueExA(key.h, pszName, 0, dwType, pData, cbData) == ERROR_SUCCESS ? 1 : 0;
}

UINT SetRegistryPathString(const char *pszPath, const char *pszName, const char *pszText)
{
    if (!pszText)
        return 0;
    return SetRegistryPathValue(pszPath, pszName, REG_SZ, (const BYTE *)pszText,
                                (DWORD)StrLen(pszText) + 1);
}

UINT SetRegistryPathNumber(const char *pszPath, const char *pszName, DWORD dwNumber)
{
    // REG_DWORD is little-endian, as the number is in memory here.
    return SetRegistryPathValue(pszPath, pszName, REG_DWORD, (const BYTE *)&dwNumber,
                                sizeof dwNumber);
}
