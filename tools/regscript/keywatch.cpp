// The import-table watch of the registry calls.
#include "keywatch.h"
#include "regtree.h"

namespace {

KeyWatcher *s_pWatcher;
bool s_bInTouch;

typedef LONG(WINAPI *OpenKeyExProc)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
typedef LONG(WINAPI *CreateKeyExProc)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
typedef LONG(WINAPI *DeleteKeyProc)(HKEY, LPCSTR);
typedef LONG(WINAPI *SetValueExProc)(HKEY, LPCSTR, DWORD, DWORD, const BYTE *, DWORD);
typedef LONG(WINAPI *DeleteValueProc)(HKEY, LPCSTR);

OpenKeyExProc s_pfnOpenKeyEx;
CreateKeyExProc s_pfnCreateKeyEx;
DeleteKeyProc s_pfnDeleteKey;
SetValueExProc s_pfnSetValueEx;
DeleteValueProc s_pfnDeleteValue;

// FALSE when the watcher refuses a call on this key.
bool Allowed(HKEY hKey, LPCSTR pszSubKey, bool bKeyPath)
{
    if (!s_pWatcher || s_bInTouch || !RootName(hKey))
        return true;
    std::string first;
    if (bKeyPath && pszSubKey) {
        first = pszSubKey;
        first = first.substr(0, first.find('\\'));
    }
    s_bInTouch = true;
    bool bAllowed = s_pWatcher->Touch(hKey, first);
    s_bInTouch = false;
    return bAllowed;
}

LONG WINAPI WatchOpenKeyEx(HKEY hKey, LPCSTR pszSubKey, DWORD dwOptions, REGSAM sam, PHKEY phResult)
{
    if (!Allowed(hKey, pszSubKey, true))
        return ERROR_ACCESS_DENIED;
    return s_pfnOpenKeyEx(hKey, pszSubKey, dwOptions, sam, phResult);
}

LONG WINAPI WatchCreateKeyEx(HKEY hKey, LPCSTR pszSubKey, DWORD dwReserved, LPSTR pszClass, DWORD dwOptions,
                             REGSAM sam, LPSECURITY_ATTRIBUTES psa, PHKEY phResult, LPDWORD pdwDisposition)
{
    if (!Allowed(hKey, pszSubKey, true))
        return ERROR_ACCESS_DENIED;
    return s_pfnCreateKeyEx(hKey, pszSubKey, dwReserved, pszClass, dwOptions, sam, psa, phResult, pdwDisposition);
}

LONG WINAPI WatchDeleteKey(HKEY hKey, LPCSTR pszSubKey)
{
    if (!Allowed(hKey, pszSubKey, true))
        return ERROR_ACCESS_DENIED;
    return s_pfnDeleteKey(hKey, pszSubKey);
}

LONG WINAPI WatchSetValueEx(HKEY hKey, LPCSTR pszName, DWORD dwReserved, DWORD dwType, const BYTE *pData, DWORD cbData)
{
    if (!Allowed(hKey, NULL, false))
        return ERROR_ACCESS_DENIED;
    return s_pfnSetValueEx(hKey, pszName, dwReserved, dwType, pData, cbData);
}

LONG WINAPI WatchDeleteValue(HKEY hKey, LPCSTR pszName)
{
    if (!Allowed(hKey, NULL, false))
        return ERROR_ACCESS_DENIED;
    return s_pfnDeleteValue(hKey, pszName);
}

// This program's import slot of an advapi32 function, or NULL.
void **ImportSlot(const char *pszFunction)
{
    BYTE *pBase = (BYTE *)GetModuleHandleA(NULL);
    IMAGE_NT_HEADERS *pNt = (IMAGE_NT_HEADERS *)(pBase + ((IMAGE_DOS_HEADER *)pBase)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return NULL;
    for (IMAGE_IMPORT_DESCRIPTOR *pDesc = (IMAGE_IMPORT_DESCRIPTOR *)(pBase + dir.VirtualAddress); pDesc->Name; pDesc++) {
        if (lstrcmpiA((const char *)(pBase + pDesc->Name), "advapi32.dll") != 0)
            continue;
        DWORD rvaNames = pDesc->OriginalFirstThunk ? pDesc->OriginalFirstThunk : pDesc->FirstThunk;
        IMAGE_THUNK_DATA *pName = (IMAGE_THUNK_DATA *)(pBase + rvaNames);
        IMAGE_THUNK_DATA *pSlot = (IMAGE_THUNK_DATA *)(pBase + pDesc->FirstThunk);
        for (; pName->u1.AddressOfData; pName++, pSlot++) {
            if (IMAGE_SNAP_BY_ORDINAL(pName->u1.Ordinal))
                continue;
            const IMAGE_IMPORT_BY_NAME *pImport = (const IMAGE_IMPORT_BY_NAME *)(pBase + pName->u1.AddressOfData);
            if (lstrcmpA((const char *)pImport->Name, pszFunction) == 0)
                return (void **)&pSlot->u1.Function;
        }
    }
    return NULL;
}

bool Swap(void **ppSlot, void *pNew, void **ppOld)
{
    DWORD dwProtect;
    if (!ppSlot || !VirtualProtect(ppSlot, sizeof *ppSlot, PAGE_READWRITE, &dwProtect))
        return false;
    if (ppOld)
        *ppOld = *ppSlot;
    *ppSlot = pNew;
    VirtualProtect(ppSlot, sizeof *ppSlot, dwProtect, &dwProtect);
    return true;
}

struct Hook {
    const char *pszFunction;
    void *pWatch;
    void **ppOriginal;
};

const Hook s_aHooks[] = {
    { "RegOpenKeyExA", reinterpret_cast<void *>(WatchOpenKeyEx), reinterpret_cast<void **>(&s_pfnOpenKeyEx) },
    { "RegCreateKeyExA", reinterpret_cast<void *>(WatchCreateKeyEx), reinterpret_cast<void **>(&s_pfnCreateKeyEx) },
    { "RegDeleteKeyA", reinterpret_cast<void *>(WatchDeleteKey), reinterpret_cast<void **>(&s_pfnDeleteKey) },
    { "RegSetValueExA", reinterpret_cast<void *>(WatchSetValueEx), reinterpret_cast<void **>(&s_pfnSetValueEx) },
    { "RegDeleteValueA", reinterpret_cast<void *>(WatchDeleteValue), reinterpret_cast<void **>(&s_pfnDeleteValue) },
};

} // namespace

KeyWatch::KeyWatch(KeyWatcher *pWatcher) : m_bActive(true)
{
    // Every slot is found before any is changed: a watch that misses one
    // call would miss changes, so it is all or nothing.
    for (const Hook &hook : s_aHooks)
        if (!ImportSlot(hook.pszFunction))
            m_bActive = false;
    if (!m_bActive)
        return;
    s_pWatcher = pWatcher;
    for (const Hook &hook : s_aHooks)
        Swap(ImportSlot(hook.pszFunction), hook.pWatch, hook.ppOriginal);
}

KeyWatch::~KeyWatch()
{
    if (!m_bActive)
        return;
    for (const Hook &hook : s_aHooks)
        Swap(ImportSlot(hook.pszFunction), *hook.ppOriginal, NULL);
    s_pWatcher = NULL;
}
