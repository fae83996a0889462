// Running a registry script: its root blocks one after the other, with the
// rollback of a root block that fails in register mode; and running a
// script stored as a resource of a module file.
#include "server/registrar.h"

static const struct {
    const char *pszName;
    HKEY hKey;
} s_aRootKeys[] = {
    { "HKCR", HKEY_CLASSES_ROOT },
    { "HKCU", HKEY_CURRENT_USER },
    { "HKLM", HKEY_LOCAL_MACHINE },
    { "HKU", HKEY_USERS },
    { "HKPD", HKEY_PERFORMANCE_DATA },
    { "HKDD", HKEY_DYN_DATA },
    { "HKCC", HKEY_CURRENT_CONFIG },
    { "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT },
    { "HKEY_CURRENT_USER", HKEY_CURRENT_USER },
    { "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE },
    { "HKEY_USERS", HKEY_USERS },
    { "HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA },
    { "HKEY_DYN_DATA", HKEY_DYN_DATA },
    { "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG },
};

static HKEY RootKeyFromName(const char *pszName)
{
    for (size_t i = 0; i < sizeof s_aRootKeys / sizeof s_aRootKeys[0]; i++)
        if (lstrcmpiA(pszName, s_aRootKeys[i].pszName) == 0)
            return s_aRootKeys[i].hKey;
    return NULL;
}

HRESULT HresultFromLastError()
{
    DWORD dwError = GetLastError();
    if ((LONG)dwError <= 0)
        return (HRESULT)dwError;
    return (HRESULT)(0x80070000 | (dwError & 0xFFFF));
}

HRESULT Registrar::RunRegistryScript(LPCSTR pszScript, BOOL bRegister)
{
    m_cbFailedAt = (size_t)-1;
    if (!pszScript)
        return E_POINTER;
    char *pszText = NULL;
    HRESULT hr = ExpandVariables(pszScript, &pszText);
    if (FAILED(hr))
        return hr;

    char szToken[REGISTRAR_TOKEN_SIZE];
    m_pCursor = pszText;
    m_nDepth = 0;
    // Leading blanks too: a script of blanks only is an empty script.
    SkipBlanks();
    while (*m_pCursor) {
        hr = ReadToken(szToken, sizeof szToken);
        if (FAILED(hr))
            break;
        HKEY hRoot = RootKeyFromName(szToken);
        if (!hRoot) {
            hr = DISP_E_EXCEPTION;
            break;
        }
        hr = ReadToken(szToken, sizeof szToken);
        if (FAILED(hr))
            break;
        if (szToken[0] != '{') {
            hr = DISP_E_EXCEPTION;
            break;
        }
        const char *pBlock = m_pCursor;
        hr = ProcessBlock(szToken, hRoot, bRegister, FALSE);
        if (FAILED(hr)) {
            // Undo the failing root block by unregistering it from its start;
            // root blocks that succeeded before it stay.
            const char *pFailed = m_pToken;
            if (bRegister) {
                m_pCursor = pBlock;
                m_nDepth = 0;
                ProcessBlock(szToken, hRoot, FALSE, FALSE);
            }
            m_pToken = pFailed;
            break;
        }
        SkipBlanks();
    }
    if (FAILED(hr))
        m_cbFailedAt = (size_t)(m_pToken - pszText);
    m_pCursor = NULL;
    m_pToken = NULL;
    CoTaskMemFree(pszText);
    return hr;
}

HRESULT Registrar::RunRegistryScriptResource(LPCWSTR pszModule, UINT nId, LPCSTR pszType, BOOL bRegister)
{
    if (!pszModule || !pszType)
        return E_POINTER;
    // A path that does not fit MAX_PATH bytes fails as a file that is not there.
    char szModule[MAX_PATH];
    if (!WideCharToMultiByte(CP_ACP, 0, pszModule, -1, szModule, sizeof szModule, NULL, NULL))
        return HresultFromLastError();

    HMODULE hModule = LoadLibraryExA(szModule, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!hModule)
        return HresultFromLastError();
    HRESULT hr;
    HRSRC hResource = FindResourceA(hModule, MAKEINTRESOURCEA(nId), pszType);
    HGLOBAL hData = hResource ? LoadResource(hModule, hResource) : NULL;
    const char *pData = hData ? (const char *)LockResource(hData) : NULL;
    if (!pData) {
        hr = HresultFromLastError();
    } else {
        // The resource holds no NUL of its own.
        DWORD cb = SizeofResource(hModule, hResource);
        char *pszScript = cb < (DWORD)-1 ? (char *)CoTaskMemAlloc((SIZE_T)cb + 1) : NULL;
        if (!pszScript) {
            hr = E_OUTOFMEMORY;
        } else {
            CopyMemory(pszScript, pData, cb);
            pszScript[cb] = '\0';
            hr = RunRegistryScript(pszScript, bRegister);
            CoTaskMemFree(pszScript);
        }
    }
    FreeLibrary(hModule);
    return hr;
}
