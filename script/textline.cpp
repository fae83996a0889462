// A [TEXT] line: "number;text" shown by the host as a progress message.
#include "host/installer.h"
#include "script/texthelpers.h"

void Installer::RunTextLine()
{
    const char *pszText = "";
    char *pSemicolon = StrChr(m_pLine, ';');
    if (pSemicolon) {
        *pSemicolon = '\0';
        pszText = pSemicolon + 1;
    }
    char szNumber[16];
    wsprintfA(szNumber, "%ld", TextToLong(m_pLine));
    SendParameter("TEXTMSG", pszText, 1);
    SendParameter("NUMMSG", szNumber, 1);
    SendCommand("SETMSG", 1);
}
