// Version comparison: "1, 0, 1, 5" texts, as version resources store their
// FileVersion string, and a file's FileVersion against a wanted version.
#ifndef VUR_VERSIONCOMPARE_H
#define VUR_VERSIONCOMPARE_H

#include <windows.h>

// 1 if a is the same version as b or a later one; 0 if earlier, if either
// text is absent or if either has fewer than three commas. Both texts are
// the same afterwards (the commas are cut while reading and put back).
UINT VersionTextAtLeast(char *pszA, char *pszB);

// 1 if the file's FileVersion string, under the translation (eight hex
// digits such as "040C04E4"; none: "040904E4"), is at least pszWanted.
UINT FileVersionAtLeast(const char *pszPath, char *pszWanted, const char *pszTranslation);

#endif
