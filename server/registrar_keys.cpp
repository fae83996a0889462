// Registry helpers of the registrar: removing a key with everything below
// it, and the two questions that decide whether unregistering may remove a
// key that other software could share.
#include "server/registrar.h"

LONG DeleteKeyTree(HKEY hParent, LPCSTR pszName)
{
    HKEY hKey;
    LONG lResult = RegOpenKeyExA(hParent, pszName, 0, KEY_READ | KEY_WRITE, &hKey);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    // Always index 0: each subkey deleted moves the next one there. A subkey
    // that cannot be enumerated ends the loop, and the key's own deletion
    // then fails, so the walk never repeats itself.
    for (;;) {
        char szSubkey[256];
        DWORD cchSubkey = sizeof szSubkey;
        if (RegEnumKeyExA(hKey, 0, szSubkey, &cchSubkey, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        lResult = DeleteKeyTree(hKey, szSubkey);
        if (lResult != ERROR_SUCCESS) {
            RegCloseKey(hKey);
            return lResult;
        }
    }
    RegCloseKey(hKey);
    return RegDeleteKeyA(hParent, pszName);
}

bool HasSubkeys(HKEY hKey)
{
    DWORD cSubkeys = 0;
    if (RegQueryInfoKeyA(hKey, NULL, NULL, NULL, &cSubkeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL) !=
        ERROR_SUCCESS)
        cSubkeys = 0;
    return cSubkeys > 0;
}

bool HasNamedValues(HKEY hKey)
{
    DWORD cValues = 0;
    if (RegQueryInfoKeyA(hKey, NULL, NULL, NULL, NULL, NULL, NULL, &cValues, NULL, NULL, NULL, NULL) !=
        ERROR_SUCCESS)
        return false;
    if (cValues != 1)
        return cValues > 1;
    char szName[REGISTRAR_TOKEN_SIZE];
    DWORD cchName = sizeof szName;
    if (RegEnumValueA(hKey, 0, szName, &cchName, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
        return false;
    return szName[0] != '\0';
}
