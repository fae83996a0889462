// Date texts of install scripts ("DD/MM/YYYY HH:MM:SS", fixed positions)
// turned into file times.
#ifndef VUR_DATETEXT_H
#define VUR_DATETEXT_H

#include <windows.h>

// Writes the time into *pft, or zero (no time) when there is no text, the
// text is shorter than 17 characters or a field is out of range. Cuts the
// text in place: NULs over the separators at positions 2, 5, 10, 13, 16.
void ParseDateText(char *pszText, FILETIME *pft);

#endif
