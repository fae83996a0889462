// Text conversions at the COM boundary: ANSI text <-> BSTR.
#ifndef VUR_BSTR_H
#define VUR_BSTR_H

#include <windows.h>
#include <oleauto.h>

#define BSTR_MAX_CHARS 32000

// A BSTR one character longer than the text: its last counted character is
// the NUL. NULL when the allocation fails (the null BSTR is then sent).
BSTR ToBstr(const char *pszText);

// A new heap text (free with FreeText) of the BSTR up to its first NUL, in
// the ANSI code page, sized for the converted bytes, from at most 32000
// characters. A null BSTR gives NULL.
char *FromBstr(BSTR bstr);
void FreeText(char *pszText);

#endif
