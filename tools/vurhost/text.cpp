// Text conversions: see text.h.
#include "text.h"

std::string Utf8FromWide(const wchar_t *pwsz, int cch)
{
    if (!pwsz || cch == 0)
        return std::string();
    int cb = WideCharToMultiByte(CP_UTF8, 0, pwsz, cch, NULL, 0, NULL, NULL);
    if (cb <= 0)
        return std::string();
    std::string s(cb, '\0');
    WideCharToMultiByte(CP_UTF8, 0, pwsz, cch, &s[0], cb, NULL, NULL);
    if (cch < 0)
        s.resize(cb - 1);       // the converted NUL
    return s;
}

std::wstring WideFromUtf8(const std::string &text)
{
    if (text.empty())
        return std::wstring();
    int cch = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0);
    if (cch <= 0)
        return std::wstring();
    std::wstring w(cch, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &w[0], cch);
    return w;
}

std::string Utf8FromBstr(BSTR bstr)
{
    return bstr ? Utf8FromWide(bstr) : std::string();
}

bool StartsWithNoCase(const std::string &text, const char *pszPrefix)
{
    size_t n = lstrlenA(pszPrefix);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; i++) {
        char a = text[i], b = pszPrefix[i];
        if (a >= 'A' && a <= 'Z')
            a = (char)(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = (char)(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}
