// The install script's line reader.
#include "script/linereader.h"
#include "script/texthelpers.h"

char *ReadScriptLine(char **ppCursor)
{
    char *pCursor = *ppCursor;
    for (;;) {
        char *pszLine = pCursor;
        while (*pCursor && *pCursor != '\n' && *pCursor != '\r')
            pCursor++;
        if (*pCursor) {
            *pCursor++ = '\0';
            while (*pCursor == '\n' || *pCursor == '\r')
                pCursor++;
        } else if (pszLine == pCursor) {
            *ppCursor = pCursor;
            return NULL;
        }
        StrTrim(pszLine);
        if (pszLine[0] == '\0' || (pszLine[0] == '/' && pszLine[1] == '/'))
            continue;
        *ppCursor = pCursor;
        return pszLine;
    }
}
