// The program's type library: loaded from the program file or, failing
// that, from the ".tlb" file of the same name beside it; registered and
// unregistered through OLE Automation.
#include "server/selfreg.h"
#include "server/servermodule.h"

typedef HRESULT(WINAPI *UnRegisterTypeLibProc)(REFGUID, WORD, WORD, LCID, SYSKIND);

// Replaces the extension of pszPath (from its last ".", wherever it is) by
// ".tlb", or appends ".tlb" when there is no dot. False when the result
// would not fit cbPath bytes.
static bool MakeTlbPath(char *pszPath, size_t cbPath)
{
    char *pDot = NULL;
    char *p = pszPath;
    while (*p) {
        if (*p == '.')
            pDot = p;
        p = CharNextA(p);
    }
    char *pExt = pDot ? pDot : p;
    if ((size_t)(pExt - pszPath) + sizeof ".tlb" > cbPath)
        return false;
    lstrcpyA(pExt, ".tlb");
    return true;
}

static HRESULT LoadTypeLibAnsi(const char *pszPath, ITypeLib **ppTypeLib, BSTR *pbstrPath)
{
    WCHAR wszPath[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, pszPath, -1, wszPath, MAX_PATH))
        wszPath[0] = 0;
    HRESULT hr = LoadTypeLib(wszPath, ppTypeLib);
    if (FAILED(hr))
        return hr;
    *pbstrPath = SysAllocString(wszPath);
    if (!*pbstrPath) {
        (*ppTypeLib)->Release();
        *ppTypeLib = NULL;
        return E_OUTOFMEMORY;
    }
    return hr;
}

HRESULT LoadModuleTypeLib(ITypeLib **ppTypeLib, BSTR *pbstrPath)
{
    *ppTypeLib = NULL;
    *pbstrPath = NULL;
    char szPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(g_module.hInstance, szPath, sizeof szPath);
    if (n >= sizeof szPath)
        n = sizeof szPath - 1;
    szPath[n] = '\0';
    HRESULT hr = LoadTypeLibAnsi(szPath, ppTypeLib, pbstrPath);
    if (SUCCEEDED(hr))
        return hr;
    // A ".tlb" path too long for the buffer is not tried: the first error stands.
    if (!MakeTlbPath(szPath, sizeof szPath))
        return hr;
    return LoadTypeLibAnsi(szPath, ppTypeLib, pbstrPath);
}

// The program's type library and its path for one operation, released on
// every path.
struct ModuleTypeLib {
    ITypeLib *pTypeLib = NULL;
    BSTR bstrPath = NULL;
    HRESULT hr;

    ModuleTypeLib() { hr = LoadModuleTypeLib(&pTypeLib, &bstrPath); }
    ~ModuleTypeLib()
    {
        if (pTypeLib)
            pTypeLib->Release();
        SysFreeString(bstrPath);
    }
    ModuleTypeLib(const ModuleTypeLib &) = delete;
    ModuleTypeLib &operator=(const ModuleTypeLib &) = delete;
};

HRESULT RegisterModuleTypeLib()
{
    ModuleTypeLib lib;
    if (FAILED(lib.hr))
        return lib.hr;
    // The help folder: the path up to and including its last separator.
    WCHAR wszHelpDir[MAX_PATH];
    int cch = 0;
    for (int i = 0; lib.bstrPath[i]; i++)
        if (lib.bstrPath[i] == L'\\' || lib.bstrPath[i] == L'/' || lib.bstrPath[i] == L':')
            cch = i + 1;
    if (cch > MAX_PATH - 1)
        cch = MAX_PATH - 1;
    CopyMemory(wszHelpDir, lib.bstrPath, cch * sizeof(WCHAR));
    wszHelpDir[cch] = 0;
    return RegisterTypeLib(lib.pTypeLib, lib.bstrPath, wszHelpDir);
}

HRESULT UnregisterModuleTypeLib()
{
    ModuleTypeLib lib;
    if (FAILED(lib.hr))
        return lib.hr;
    TLIBATTR *pAttr = NULL;
    if (SUCCEEDED(lib.pTypeLib->GetLibAttr(&pAttr)) && pAttr) {
        // Looked up at run time: the first OLE Automation of Windows 95 has
        // no UnRegisterTypeLib.
        HMODULE hOleAut = LoadLibraryA("oleaut32.dll");
        if (hOleAut) {
            UnRegisterTypeLibProc pfn = (UnRegisterTypeLibProc)(void *)GetProcAddress(hOleAut, "UnRegisterTypeLib");
            if (pfn)
                pfn(pAttr->guid, pAttr->wMajorVerNum, pAttr->wMinorVerNum, pAttr->lcid, pAttr->syskind);
            FreeLibrary(hOleAut);
        }
        lib.pTypeLib->ReleaseTLibAttr(pAttr);
    }
    return lib.hr;
}
