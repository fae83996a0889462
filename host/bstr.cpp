// BSTR conversions at the host boundary.
#include "host/bstr.h"
#include "script/texthelpers.h"

BSTR ToBstr(const char *pszText)
{
    int cch = StrLen(pszText);
    if (cch > BSTR_MAX_CHARS)
        cch = BSTR_MAX_CHARS;
    BSTR bstr = SysAllocStringLen(NULL, cch + 1);
    if (!bstr)
        return NULL;
    // A multi-byte text never needs more characters than it has bytes.
    int n = cch ? MultiByteToWideChar(CP_ACP, 0, pszText, cch, bstr, cch) : 0;
    for (int i = n; i <= cch + 1; i++)
        bstr[i] = 0;
    return bstr;
}

char *FromBstr(BSTR bstr)
{
    if (!bstr)
        return NULL;
    int cch = 0;
    UINT cchMax = SysStringLen(bstr);
    while ((UINT)cch < cchMax && cch < BSTR_MAX_CHARS && bstr[cch])
        cch++;
    // Sized for the converted bytes: in a double-byte code page a text can
    // need more bytes than the BSTR has characters.
    int cb = cch ? WideCharToMultiByte(CP_ACP, 0, bstr, cch, NULL, 0, NULL, NULL) : 0;
    char *pszText = (char *)HeapAlloc(GetProcessHeap(), 0, cb + 1);
    if (!pszText)
        return NULL;
    int n = cb ? WideCharToMultiByte(CP_ACP, 0, bstr, cch, pszText, cb, NULL, NULL) : 0;
    pszText[n] = '\0';
    return pszText;
}

void FreeText(char *pszText)
{
    if (pszText)
        HeapFree(GetProcessHeap(), 0, pszText);
}
