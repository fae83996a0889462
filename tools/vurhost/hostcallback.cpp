// The host callback: see hostcallback.h.
#include "hostcallback.h"
#include "console.h"
#include "text.h"

HostCallback::HostCallback(Transcript *pTranscript, HostState *pState, bool bQuiet)
    : m_pTranscript(pTranscript), m_pState(pState), m_bQuiet(bQuiet)
{
}

STDMETHODIMP HostCallback::QueryInterface(REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDiagCmpt2PMP))
        return E_NOINTERFACE;
    *ppv = static_cast<IDiagCmpt2PMP *>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) HostCallback::AddRef()
{
    return InterlockedIncrement(&m_cRef);
}

STDMETHODIMP_(ULONG) HostCallback::Release()
{
    LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return cRef;
}

STDMETHODIMP HostCallback::SetParameter(BSTR bstrName, BSTR bstrValue)
{
    std::string name = Utf8FromBstr(bstrName);
    std::string value = Utf8FromBstr(bstrValue);
    m_pTranscript->Line("< SetParameter " + name + "=" + value);
    if (name == "TEXTMSG")
        m_textMsg = value;
    else if (name == "NUMMSG")
        m_numMsg = value;
    else if (name == "URL")
        m_url = value;
    else if (name != "SIZE")
        m_reportParams.emplace_back(name, value);
    return S_OK;
}

STDMETHODIMP HostCallback::ExecuteCmd(BSTR bstrName)
{
    std::string name = Utf8FromBstr(bstrName);
    m_pTranscript->Line("< ExecuteCmd " + name);
    if (name == "SETMSG")
        ShowProgress();
    else if (name == "DOWNLOAD")
        m_pState->downloadsAsked.push_back(m_url);
    else if (name == "SEND")
        TakeReport();
    if (m_hook)
        m_hook(name);
    return S_OK;
}

// The component never asks; answer like the component does: no value.
STDMETHODIMP HostCallback::GetParameter(BSTR bstrName, BSTR *pbstrValue)
{
    m_pTranscript->Line("< GetParameter " + Utf8FromBstr(bstrName));
    if (pbstrValue)
        *pbstrValue = NULL;
    return S_OK;
}

STDMETHODIMP HostCallback::CmptOut()
{
    m_pTranscript->Line("< CmptOut");
    m_pState->bCmptOut = true;
    if (!m_bQuiet)
        SayLine("The component says it is done (CmptOut).");
    if (m_hook)
        m_hook("CmptOut");
    return S_OK;
}

void HostCallback::ShowProgress()
{
    if (!m_bQuiet)
        SayLine("  [" + m_numMsg + "] " + (m_textMsg.empty() ? "(no text)" : m_textMsg));
}

void HostCallback::TakeReport()
{
    if (IsErrorReport(m_reportParams))
        m_pState->nErrorReports++;
    else
        m_pState->nResultReports++;
    for (const std::string &line : FormatReport(m_reportParams))
        SayLine(line);
    m_reportParams.clear();
}
