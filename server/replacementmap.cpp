// The registrar's replacement map: the (name, value) pairs that %name% in a
// registry script stands for.
#include "server/registrar.h"
#include <limits.h>

#define MAP_FIRST_CAPACITY 10

static LPWSTR CopyWide(LPCWSTR psz)
{
    int cch = lstrlenW(psz) + 1;
    LPWSTR pszCopy = (LPWSTR)CoTaskMemAlloc(cch * sizeof(WCHAR));
    if (pszCopy)
        CopyMemory(pszCopy, psz, cch * sizeof(WCHAR));
    return pszCopy;
}

HRESULT ReplacementMap::Add(LPCWSTR pszName, LPCWSTR pszValue)
{
    if (nCount == nCapacity) {
        if (nCapacity > INT_MAX / 2 || (size_t)nCapacity * 2 > (size_t)-1 / sizeof(Pair))
            return E_OUTOFMEMORY;
        int nNew = nCapacity ? nCapacity * 2 : MAP_FIRST_CAPACITY;
        Pair *pNew = (Pair *)CoTaskMemRealloc(pPairs, nNew * sizeof(Pair));
        if (!pNew)
            return E_OUTOFMEMORY;
        pPairs = pNew;
        nCapacity = nNew;
    }
    LPWSTR pszNameCopy = CopyWide(pszName);
    LPWSTR pszValueCopy = pszNameCopy ? CopyWide(pszValue) : NULL;
    if (!pszValueCopy) {
        CoTaskMemFree(pszNameCopy);
        return E_OUTOFMEMORY;
    }
    pPairs[nCount].pszName = pszNameCopy;
    pPairs[nCount].pszValue = pszValueCopy;
    nCount++;
    return S_OK;
}

void ReplacementMap::Clear()
{
    for (int i = 0; i < nCount; i++) {
        CoTaskMemFree(pPairs[i].pszName);
        CoTaskMemFree(pPairs[i].pszValue);
    }
    nCount = 0;
}

LPCWSTR ReplacementMap::Find(const char *pszName) const
{
    for (int i = 0; i < nCount; i++) {
        // A stored name too long for this buffer cannot equal a script's
        // name, which is at most REGISTRAR_VARIABLE_MAX bytes.
        char szStored[4 * (REGISTRAR_VARIABLE_MAX + 1)];
        if (!WideCharToMultiByte(CP_ACP, 0, pPairs[i].pszName, -1, szStored, sizeof szStored, NULL, NULL))
            continue;
        if (lstrcmpiA(szStored, pszName) == 0)
            return pPairs[i].pszValue;
    }
    return NULL;
}

Registrar::~Registrar()
{
    m_map.Clear();
    CoTaskMemFree(m_map.pPairs);
}

HRESULT Registrar::AddReplacement(LPCWSTR pszName, LPCWSTR pszValue)
{
    if (!pszName || !pszValue)
        return E_INVALIDARG;
    return m_map.Add(pszName, pszValue);
}

HRESULT Registrar::ClearReplacements()
{
    m_map.Clear();
    return S_OK;
}
