// Recording host: see recordinghost.h.
#include "support/recordinghost.h"
#include <algorithm>
#include <utility>

STDMETHODIMP RecordingHost::QueryInterface(REFIID riid, void **ppv)
{
    bool bKnown = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDiagCmpt2PMP);
    *ppv = bKnown ? static_cast<IDiagCmpt2PMP *>(this) : NULL;
    if (bKnown)
        AddRef();
    return bKnown ? S_OK : E_NOINTERFACE;
}

std::string BstrText(BSTR bstr)
{
    int n = bstr ? WideCharToMultiByte(CP_ACP, 0, bstr, -1, NULL, 0, NULL, NULL) : 0;
    if (n <= 0)
        return std::string();
    std::string s(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, bstr, -1, &s[0], n, NULL, NULL);
    s.resize(n - 1);
    return s;
}

HRESULT RecordingHost::Record(const std::string &call)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(call);
    return S_OK;
}

STDMETHODIMP RecordingHost::GetParameter(BSTR bstrName, BSTR *bstrValue)
{
    if (bstrValue)
        *bstrValue = NULL;
    return Record("GetParameter " + BstrText(bstrName));
}

std::vector<std::string> RecordingHost::Calls()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

std::vector<std::string> RecordingHost::Take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_calls, {});
}

bool RecordingHost::Has(const std::string &call)
{
    std::vector<std::string> calls = Calls();
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

bool RecordingHost::PumpUntil(const std::function<bool()> &pred, DWORD dwTimeoutMs)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                m_bQuitSeen = true;
            else
                DispatchMessageA(&msg);
        }
        if (pred())
            return true;
        if (GetTickCount() - dwStart >= dwTimeoutMs)
            return pred();
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}
