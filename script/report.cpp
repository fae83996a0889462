// The report ending of a script: clear the host's message line, then send
// the result page (RESURL1 when installation work was done, else RESURL2).
#include "host/installer.h"
#include "script/texthelpers.h"

void Installer::SendReport()
{
    SendParameter("TEXTMSG", "", 1);
    SendCommand("SETMSG", 1);
    SendParameter("TEXTMSG", "", 1);
    SendParameter("NUMMSG", "1", 1);
    SendCommand("SETMSG", 1);

    const char *pszUrl = m_bInstalled ? m_szResUrl1 : m_szResUrl2;
    const char *pszFrame = m_bInstalled ? m_szResFrm1 : m_szResFrm2;
    if (!pszUrl[0])
        return;
    SendParameter("APPID", LongToText(m_lAppId), 1);
    SendParameter("JOBID", LongToText(m_lJobId), 1);
    SendParameter("TURL", pszUrl, 1);
    if (pszFrame[0])
        SendParameter("BFRM", pszFrame, 1);
    SendCommand("SEND", 1);
}
