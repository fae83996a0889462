// The registrar: runs registry scripts (a tree of keys and values under
// root keys) in register or unregister mode, after replacing each %name%
// from its replacement map. Self-registration runs the program's REGISTRY
// resources with it.
#ifndef VUR_REGISTRAR_H
#define VUR_REGISTRAR_H

#include <windows.h>
#include <ole2.h>

#define REGISTRAR_TOKEN_SIZE 4096       // token, type, value and scratch buffers
#define REGISTRAR_NAME_SIZE 260         // value name after "Val", saved key name
#define REGISTRAR_VARIABLE_MAX 31       // longest %name%, in bytes
#define REGISTRAR_MAX_DEPTH 128         // nested { } blocks, the root block included

// Pairs (name, value) of wide texts, each copied into its own allocation.
struct ReplacementMap {
    struct Pair {
        LPWSTR pszName;
        LPWSTR pszValue;
    };
    Pair *pPairs = NULL;
    int nCount = 0;
    int nCapacity = 0;

    HRESULT Add(LPCWSTR pszName, LPCWSTR pszValue);
    void Clear();
    // First pair whose name, in the ANSI code page, equals pszName with case
    // ignored; NULL when none does.
    LPCWSTR Find(const char *pszName) const;
};

class Registrar {
public:
    Registrar() = default;
    ~Registrar();
    Registrar(const Registrar &) = delete;
    Registrar &operator=(const Registrar &) = delete;

    // S_OK, E_OUTOFMEMORY (nothing added), or E_INVALIDARG for a NULL text.
    HRESULT AddReplacement(LPCWSTR pszName, LPCWSTR pszValue);
    HRESULT ClearReplacements();

    // pszScript is ANSI text. S_OK, DISP_E_EXCEPTION for a syntax error,
    // E_FAIL, E_OUTOFMEMORY, or E_POINTER for a NULL script.
    HRESULT RunRegistryScript(LPCSTR pszScript, BOOL bRegister);

    // Runs the resource (nId, pszType) of the module file pszModule, opened
    // as a data file. Failing to load it gives the HRESULT form of the last
    // error.
    HRESULT RunRegistryScriptResource(LPCWSTR pszModule, UINT nId, LPCSTR pszType, BOOL bRegister);

    // The script with every %name% replaced and every %% made one %. On
    // success *ppszOut is a NUL-ended CoTaskMemAlloc text for the caller to
    // free; on failure it is NULL.
    HRESULT ExpandVariables(LPCSTR pszScript, char **ppszOut) const;

    // Where the last run failed: the offset, in the text ExpandVariables
    // makes of its script, of the token it was reading or had just read (the
    // end of the text when a token was missing). (size_t)-1 after a success,
    // or when the expansion itself failed.
    size_t FailedAt() const { return m_cbFailedAt; }

private:
    void SkipBlanks();
    HRESULT ReadToken(char *pszBuf, int cbBuf);
    HRESULT ProcessBlock(char *pszToken, HKEY hParent, BOOL bRegister, BOOL bRecover);
    HRESULT EndOfEntry(char *pszToken, HKEY hKey, BOOL bRegister);
    HRESULT WriteValue(HKEY hKey, LPCSTR pszValueName, char *pszToken);
    HRESULT SkipValueSpec(char *pszToken);

    ReplacementMap m_map;
    const char *m_pCursor = NULL;   // position in the expanded text of the run
    const char *m_pToken = NULL;    // where the token ReadToken read last starts
    size_t m_cbFailedAt = (size_t)-1;
    int m_nDepth = 0;               // block levels in progress
};

// Registry helpers of the registrar.
LONG DeleteKeyTree(HKEY hParent, LPCSTR pszName);   // Windows error code
bool HasSubkeys(HKEY hKey);
bool HasNamedValues(HKEY hKey);                     // the unnamed default value does not count

// HRESULT form of GetLastError: a positive code e gives 0x80070000 + (e & 0xFFFF);
// zero or a negative value is returned unchanged.
HRESULT HresultFromLastError();

#endif
