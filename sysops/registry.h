// Registry access by path text ("HKEY_LOCAL_MACHINE\Software\VUR"): keys
// opened, created, tested, and values read and written. Every failure shows
// only as no key (NULL), no value (NULL) or a 0 result.
#ifndef VUR_REGISTRY_H
#define VUR_REGISTRY_H

#include <windows.h>

#define REG_VALUE_SIZE 8192

// Receives the data of every value read; the next read overwrites it.
extern BYTE g_abRegValue[REG_VALUE_SIZE];

// The predefined key that the path names and, in *ppszSubKey, the subkey
// text inside the path; NULL (and *ppszSubKey NULL) when the path holds
// none of the four root names.
HKEY SplitRegistryPath(const char *pszPath, const char **ppszSubKey);

HKEY OpenRegistryKey(HKEY hKey, const char *pszSubKey);
HKEY CreateRegistryKey(HKEY hKey, const char *pszSubKey);
void CloseRegistryKey(HKEY hKey);
HKEY OpenRegistryPath(const char *pszPath);
HKEY CreateRegistryPath(const char *pszPath);
UINT RegistryPathExists(const char *pszPath);

// Pointer to the value's data in g_abRegValue, or NULL. The type goes to
// *pdwType when given and a value is returned. Text values always end with
// a NUL inside the buffer.
BYTE *QueryRegistryValue(HKEY hKey, const char *pszName, DWORD *pdwType);
BYTE *QueryRegistryPathValue(const char *pszPath, const char *pszName, DWORD *pdwType);
BYTE *QueryRegistryKeyValue(HKEY hKey, const char *pszSubKey, const char *pszName, DWORD *pdwType);

// Write a REG_SZ (text and its NUL) or REG_DWORD value, creating the key
// and the missing keys above it. 1 if written.
UINT SetRegistryPathString(const char *pszPath, const char *pszName, const char *pszText);
UINT SetRegistryPathNumber(const char *pszPath, const char *pszName, DWORD dwNumber);

#endif
