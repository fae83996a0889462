// Host notifications: the only ways in which the component talks to the
// host. Failures of the host's calls are ignored; nothing is retried.
#include "host/installer.h"
#include "host/bstr.h"
#include "script/texthelpers.h"

static IDiagCmpt2PMP *ChooseCallback(Installer *pInstaller, int viaThread)
{
    return viaThread ? pInstaller->m_pThreadCallback : pInstaller->m_pCallback;
}

// The install thread's calls are marked, so that a stop asked for from
// inside one (the host may call Unadvise or ForceRemove from a callback)
// does not wait for the run. Such a stop is acted on as soon as the call
// returns: the run drops its callback, so the host hears nothing more.
static void EnterHostCall(Installer *pInstaller, int viaThread)
{
    static LONG s_lCalls;
    if (!viaThread)
        return;
    LONG lCall = InterlockedIncrement(&s_lCalls);
    pInstaller->m_lHostCall = lCall ? lCall : 1;
}

static void LeaveHostCall(Installer *pInstaller, int viaThread)
{
    if (!viaThread)
        return;
    pInstaller->m_lHostCall = 0;
    if (pInstaller->m_bQuitRequested) {
        pInstaller->m_bStop = 1;
        pInstaller->m_bAbort = 1;
        if (pInstaller->m_pThreadCallback) {
            pInstaller->m_pThreadCallback->Release();
            pInstaller->m_pThreadCallback = NULL;
        }
    }
}

void Installer::SendParameter(const char *pszName, const char *pszValue, int viaThread)
{
    IDiagCmpt2PMP *pCallback = ChooseCallback(this, viaThread);
    if (!pCallback)
        return;
    BSTR bstrValue = ToBstr(pszValue);
    BSTR bstrName = ToBstr(pszName);
    EnterHostCall(this, viaThread);
    pCallback->SetParameter(bstrName, bstrValue);
    LeaveHostCall(this, viaThread);
    SysFreeString(bstrName);
    SysFreeString(bstrValue);
}

void Installer::SendCommand(const char *pszName, int viaThread)
{
    IDiagCmpt2PMP *pCallback = ChooseCallback(this, viaThread);
    if (!pCallback)
        return;
    BSTR bstrName = ToBstr(pszName);
    EnterHostCall(this, viaThread);
    pCallback->ExecuteCmd(bstrName);
    LeaveHostCall(this, viaThread);
    SysFreeString(bstrName);
}

// CmptOut goes to the callback that Advise received, when it is still
// there. That callback belongs to the COM thread's apartment, so the
// install thread reaches it through its own marshalled copy of the same
// callback, before giving that copy up.
void Installer::CmptOut()
{
    if (!m_pCallback || !m_pThreadCallback)
        return;
    EnterHostCall(this, 1);
    m_pThreadCallback->CmptOut();
    LeaveHostCall(this, 1);
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
