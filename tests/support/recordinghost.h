// An in-process host for the tests: implements the host callback, records
// every call in order, and pumps the test thread's messages so that calls
// marshalled from the install thread are served.
#ifndef VUR_TEST_RECORDINGHOST_H
#define VUR_TEST_RECORDINGHOST_H

#include <windows.h>
#include "installer_h.h"
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Text of a BSTR up to its first NUL, converted to the ANSI code page.
std::string BstrText(BSTR bstr);

class RecordingHost : public IDiagCmpt2PMP {
public:
    virtual ~RecordingHost() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    // Tests own the host on the stack: the count never frees it.
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&m_cRef); }
    // Recorded as "SetParameter NAME=VALUE", "ExecuteCmd NAME", "CmptOut";
    // GetParameter is recorded as "GetParameter NAME" and gives null.
    STDMETHODIMP ExecuteCmd(BSTR bstrName) override { return Record("ExecuteCmd " + BstrText(bstrName)); }
    STDMETHODIMP SetParameter(BSTR bstrName, BSTR bstrValue) override
    {
        return Record("SetParameter " + BstrText(bstrName) + "=" + BstrText(bstrValue));
    }
    STDMETHODIMP GetParameter(BSTR bstrName, BSTR *bstrValue) override;
    STDMETHODIMP CmptOut() override { return Record("CmptOut"); }

    std::vector<std::string> Calls();   // copy of everything recorded so far
    std::vector<std::string> Take();    // the same, and forget them
    size_t CallCount() { return Calls().size(); }
    bool Has(const std::string &call);  // recorded at least once

    // Pumps messages until pred() holds, WM_QUIT arrives (noted in
    // QuitSeen()), or dwTimeoutMs passes. Gives pred()'s last value.
    bool PumpUntil(const std::function<bool()> &pred, DWORD dwTimeoutMs = 10000);
    // Pumps for a fixed time (to show that nothing more happens).
    void PumpFor(DWORD dwMs) { PumpUntil([] { return false; }, dwMs); }
    bool QuitSeen() const { return m_bQuitSeen; }
    void ResetQuit() { m_bQuitSeen = false; }
    LONG RefCount() const { return m_cRef; }

private:
    HRESULT Record(const std::string &call);    // gives S_OK
    volatile LONG m_cRef = 1;
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
    bool m_bQuitSeen = false;
};

#endif
