// Writing and removing the server's COM registration: the registry scripts
// of the class table's entries, then the type library.
#include "server/selfreg.h"
#include "server/registrar.h"
#include "server/servermodule.h"
#include "resources/resource_ids.h"

static_assert(sizeof(CLSID) == 16, "class ids are compared as 16 bytes");

void ModulePathForScripts(const char *pszPath, WCHAR *pszValue, int cchValue)
{
    char szPath[MAX_PATH];
    lstrcpynA(szPath, pszPath, sizeof szPath);
    char szShort[MAX_PATH];
    DWORD nShort = GetShortPathNameA(szPath, szShort, sizeof szShort);
    // A result of the buffer's size or more is the size it would need: the
    // buffer then holds nothing usable.
    if (nShort && nShort < sizeof szShort)
        lstrcpyA(szPath, szShort);
    if (!MultiByteToWideChar(CP_ACP, 0, szPath, -1, pszValue, cchValue))
        pszValue[0] = 0;
}

// The path of the program for the Module replacement and for opening it as
// a data file.
static void GetModulePathForScripts(WCHAR *pszPath, int cchPath)
{
    char szPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(g_module.hInstance, szPath, sizeof szPath);
    // Windows XP leaves a cut path without its NUL.
    if (n >= sizeof szPath)
        n = sizeof szPath - 1;
    szPath[n] = '\0';
    ModulePathForScripts(szPath, pszPath, cchPath);
}

HRESULT ApplyRegistryResource(UINT nResourceId, BOOL bRegister)
{
    Registrar registrar;
    WCHAR wszPath[MAX_PATH];
    GetModulePathForScripts(wszPath, MAX_PATH);
    registrar.AddReplacement(L"Module", wszPath);
    HRESULT hr = registrar.RunRegistryScriptResource(wszPath, nResourceId, "REGISTRY", bRegister);
    registrar.ClearReplacements();
    return hr;
}

HRESULT UpdateInstallerRegistry(BOOL bRegister)
{
    return ApplyRegistryResource(IDR_REGISTRY_CLASS, bRegister);
}

static bool IsSelected(const ClassEntry *pEntry, const CLSID *pclsid)
{
    if (!pclsid)
        return !(pEntry->describe && pEntry->describe());
    return memcmp(pEntry->pclsid, pclsid, sizeof(CLSID)) == 0;
}

// Component categories: no class of this program has any, so an entry's
// categories are not looked at.
HRESULT RegisterServer(BOOL bRegTypeLib, const CLSID *pclsid)
{
    HRESULT hr = S_OK;
    for (ClassEntry *pEntry = g_module.pClassTable; pEntry && pEntry->pclsid; pEntry++) {
        if (!IsSelected(pEntry, pclsid))
            continue;
        hr = pEntry->updateRegistry ? pEntry->updateRegistry(TRUE) : S_OK;
        if (FAILED(hr))
            return hr;
    }
    if (bRegTypeLib)
        return RegisterModuleTypeLib();
    return hr;
}

HRESULT UnregisterServer(BOOL bUnregTypeLib, const CLSID *pclsid)
{
    for (ClassEntry *pEntry = g_module.pClassTable; pEntry && pEntry->pclsid; pEntry++) {
        if (IsSelected(pEntry, pclsid) && pEntry->updateRegistry)
            pEntry->updateRegistry(FALSE);
    }
    if (bUnregTypeLib)
        UnregisterModuleTypeLib();
    return S_OK;
}
