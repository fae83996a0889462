// Text conversions of vurhost: inside the tool every text is UTF-8; the
// Windows side is UTF-16 (BSTRs, window texts, file names).
#ifndef VURHOST_TEXT_H
#define VURHOST_TEXT_H

#include <windows.h>
#include <oleauto.h>
#include <string>

std::string Utf8FromWide(const wchar_t *pwsz, int cch = -1);
std::wstring WideFromUtf8(const std::string &text);
// A BSTR's text up to its first NUL (the component's BSTRs end in one).
std::string Utf8FromBstr(BSTR bstr);
// Case-insensitive test of an ASCII prefix.
bool StartsWithNoCase(const std::string &text, const char *pszPrefix);

#endif
