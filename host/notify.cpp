// Host notifications: the only ways in which the component talks to the
// host. Failures of the host's calls are ignored; nothing is retried.
#include "host/installer.h"
#include "host/bstr.h"
#include "script/texthelpers.h"

static IDiagCmpt2PMP *ChooseCallback(Installer *pInstaller, int viaThread)
{
    return viaThread ? pInstaller->m_pThreadCallback : pInstaller->m_pCallback;
}

void Installer::SendParameter(const char *pszName, const char *pszValue, int viaThread)
{
    IDiagCmpt2PMP *pCallback = ChooseCallback(this, viaThread);
    if (!pCallback)
        return;
    BSTR bstrValue = ToBstr(pszValue);
    BSTR bstrName = ToBstr(pszName);
    pCallback->SetParameter(bstrName, bstrValue);
    SysFreeString(bstrName);
    SysFreeString(bstrValue);
}

void Installer::SendCommand(const char *pszName, int viaThread)
{
    IDiagCmpt2PMP *pCallback = ChooseCallback(this, viaThread);
    if (!pCallback)
        return;
    BSTR bstrName = ToBstr(pszName);
    pCallback->ExecuteCmd(bstrName);
    SysFreeString(bstrName);
}

// Numbers are formatted on the stack: both threads send error reports, and
// LongToText's one static buffer would be shared between them.
static void SendNumber(Installer *pInstaller, const char *pszName, LONG lValue, int viaThread)
{
    char szNumber[16];
    wsprintfA(szNumber, "%ld", lValue);
    pInstaller->SendParameter(pszName, szNumber, viaThread);
}

void Installer::SendError(LONG lCode, int viaThread)
{
    SendNumber(this, "APPID", m_lAppId, viaThread);
    SendNumber(this, "JOBID", m_lJobId, viaThread);
    SendNumber(this, "NUMERR", lCode, viaThread);
    if (m_szErrUrl[0])
        SendParameter("TURL", m_szErrUrl, viaThread);
    if (m_szErrFrm[0])
        SendParameter("BFRM", m_szErrFrm, viaThread);
    SendCommand("SEND", viaThread);
}
