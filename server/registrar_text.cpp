// The registrar's text layer: %name% expansion and the tokenizer. Text is
// walked a character at a time (a double-byte character moves and copies
// whole), while every special character is tested as one byte.
#include "server/registrar.h"

static bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}

// CharNextA, never stepping over the NUL that ends the text, whatever a
// lead byte at the very end makes of it.
static const char *NextChar(const char *p)
{
    if (!*p)
        return p;
    const char *q = CharNextA(p);
    if (q <= p || (q > p + 1 && !p[1]))
        q = p + 1;
    return q;
}

// The growable output of ExpandVariables.
struct ExpandedText {
    char *pText = NULL;
    size_t cb = 0;
    size_t cbCapacity = 0;

    ~ExpandedText() { CoTaskMemFree(pText); }

    bool Reserve(size_t cbMore)
    {
        if (cbMore > (size_t)-1 - cb)
            return false;
        size_t cbNeed = cb + cbMore;
        if (cbNeed <= cbCapacity)
            return true;
        size_t cbNew = cbCapacity ? cbCapacity : 16;
        while (cbNew < cbNeed) {
            if (cbNew > (size_t)-1 / 2)
                return false;
            cbNew *= 2;
        }
        char *pNew = (char *)CoTaskMemRealloc(pText, cbNew);
        if (!pNew)
            return false;
        pText = pNew;
        cbCapacity = cbNew;
        return true;
    }

    bool Append(const char *p, size_t cbAdd)
    {
        if (!Reserve(cbAdd))
            return false;
        CopyMemory(pText + cb, p, cbAdd);
        cb += cbAdd;
        return true;
    }
};

HRESULT Registrar::ExpandVariables(LPCSTR pszScript, char **ppszOut) const
{
    *ppszOut = NULL;
    ExpandedText out;
    size_t cbScript = (size_t)lstrlenA(pszScript);
    if (cbScript > (size_t)-1 / 2 || !out.Reserve(cbScript * 2))
        return E_OUTOFMEMORY;

    const char *p = pszScript;
    while (*p) {
        if (*p != '%') {
            const char *pNext = NextChar(p);
            if (!out.Append(p, pNext - p))
                return E_OUTOFMEMORY;
            p = pNext;
            continue;
        }
        if (p[1] == '%') {
            if (!out.Append("%", 1))
                return E_OUTOFMEMORY;
            p += 2;
            continue;
        }
        const char *pName = p + 1;
        const char *pEnd = pName;
        while (*pEnd && *pEnd != '%')
            pEnd = NextChar(pEnd);
        if (!*pEnd)
            return DISP_E_EXCEPTION;
        size_t cbName = pEnd - pName;
        if (cbName > REGISTRAR_VARIABLE_MAX)
            return E_FAIL;
        char szName[REGISTRAR_VARIABLE_MAX + 1];
        CopyMemory(szName, pName, cbName);
        szName[cbName] = '\0';
        LPCWSTR pszValue = m_map.Find(szName);
        if (!pszValue)
            return DISP_E_EXCEPTION;
        // Inserted as it is: no quotes added, no quote doubled.
        int cbValue = WideCharToMultiByte(CP_ACP, 0, pszValue, -1, NULL, 0, NULL, NULL);
        if (cbValue > 1) {
            if (!out.Reserve(cbValue))
                return E_OUTOFMEMORY;
            int n = WideCharToMultiByte(CP_ACP, 0, pszValue, -1, out.pText + out.cb, cbValue, NULL, NULL);
            if (n > 1)
                out.cb += n - 1;
        }
        p = pEnd + 1;
    }
    if (!out.Append("", 1))
        return E_OUTOFMEMORY;
    *ppszOut = out.pText;
    out.pText = NULL;
    return S_OK;
}

void Registrar::SkipBlanks()
{
    while (IsBlank(*m_pCursor))
        m_pCursor++;
}

// Reads the next token into pszBuf (cbBuf bytes). A quoted token fails once
// it holds cbBuf - 2 bytes and a further character follows.
HRESULT Registrar::ReadToken(char *pszBuf, int cbBuf)
{
    SkipBlanks();
    m_pToken = m_pCursor;
    if (!*m_pCursor)
        return DISP_E_EXCEPTION;
    int cb = 0;
    if (*m_pCursor == '\'') {
        m_pCursor++;
        while (*m_pCursor && !(m_pCursor[0] == '\'' && m_pCursor[1] != '\'')) {
            if (*m_pCursor == '\'')
                m_pCursor++;    // the first of a doubled quote
            const char *pChar = m_pCursor;
            m_pCursor = NextChar(m_pCursor);
            if (cb >= cbBuf - 2)
                return DISP_E_EXCEPTION;
            while (pChar < m_pCursor)
                pszBuf[cb++] = *pChar++;
        }
        if (!*m_pCursor)
            return DISP_E_EXCEPTION;
        pszBuf[cb] = '\0';
        m_pCursor++;
        return S_OK;
    }
    // An unquoted token that does not fit the buffer with its NUL is refused
    // rather than cut, so that no cut name reaches the registry.
    while (*m_pCursor && !IsBlank(*m_pCursor)) {
        const char *pNext = NextChar(m_pCursor);
        if (cb + (pNext - m_pCursor) > cbBuf - 1)
            return DISP_E_EXCEPTION;
        while (m_pCursor < pNext)
            pszBuf[cb++] = *m_pCursor++;
    }
    pszBuf[cb] = '\0';
    return S_OK;
}
