// vurhost's side of the callback interface: records and shows what the
// component sends, and notes what the host must do next. By default it never
// answers from inside the component's call: the main loop acts on HostState
// after the call has returned, as an asynchronous plug-in would. The
// session's hook may act from inside, to play a plug-in that does.
#ifndef VURHOST_HOSTCALLBACK_H
#define VURHOST_HOSTCALLBACK_H

#include <windows.h>
#include "installer_h.h"
#include "report.h"
#include "transcript.h"
#include <functional>
#include <string>
#include <vector>

struct HostState {
    std::vector<std::string> downloadsAsked;    // URLs of DOWNLOAD requests not yet answered
    int nResultReports = 0;
    int nErrorReports = 0;
    bool bCmptOut = false;
};

class HostCallback final : public IDiagCmpt2PMP {
public:
    HostCallback(Transcript *pTranscript, HostState *pState, bool bQuiet);

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP ExecuteCmd(BSTR bstrName) override;
    STDMETHODIMP SetParameter(BSTR bstrName, BSTR bstrValue) override;
    STDMETHODIMP GetParameter(BSTR bstrName, BSTR *pbstrValue) override;
    STDMETHODIMP CmptOut() override;

    // Called at the end of each ExecuteCmd (with the command's name) and
    // CmptOut ("CmptOut"), still inside the component's call.
    void SetCallHook(std::function<void(const std::string &)> hook) { m_hook = hook; }

private:
    ~HostCallback() = default;
    void ShowProgress();
    void TakeReport();

    volatile LONG m_cRef = 1;
    Transcript *m_pTranscript;
    HostState *m_pState;
    bool m_bQuiet;
    std::string m_textMsg, m_numMsg, m_url;
    ReportParams m_reportParams;     // sent since the last SEND
    std::function<void(const std::string &)> m_hook;
};

#endif
