// Recording host: see recordinghost.h.
#include "support/recordinghost.h"

RecordingHost::RecordingHost() : m_cRef(1), m_bQuitSeen(false)
{
    InitializeCriticalSection(&m_cs);
}

RecordingHost::~RecordingHost()
{
    DeleteCriticalSection(&m_cs);
}

STDMETHODIMP RecordingHost::QueryInterface(REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDiagCmpt2PMP)) {
        *ppv = static_cast<IDiagCmpt2PMP *>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) RecordingHost::AddRef()
{
    return InterlockedIncrement(&m_cRef);
}

// Tests own the host on the stack: the count never frees it.
STDMETHODIMP_(ULONG) RecordingHost::Release()
{
    return InterlockedDecrement(&m_cRef);
}

std::string BstrText(BSTR bstr)
{
    if (!bstr)
        return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, bstr, -1, NULL, 0, NULL, NULL);
    if (n <= 0)
        return std::string();
    std::string s(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, bstr, -1, &s[0], n, NULL, NULL);
    s.resize(n - 1);
    return s;
}

void RecordingHost::Record(const std::string &call)
{
    EnterCriticalSection(&m_cs);
    m_calls.push_back(call);
    m_threads.push_back(GetCurrentThreadId());
    LeaveCriticalSection(&m_cs);
}

STDMETHODIMP RecordingHost::ExecuteCmd(BSTR bstrName)
{
    Record("ExecuteCmd " + BstrText(bstrName));
    return S_OK;
}

STDMETHODIMP RecordingHost::SetParameter(BSTR bstrName, BSTR bstrValue)
{
    Record("SetParameter " + BstrText(bstrName) + "=" + BstrText(bstrValue));
    return S_OK;
}

STDMETHODIMP RecordingHost::GetParameter(BSTR bstrName, BSTR *bstrValue)
{
    Record("GetParameter " + BstrText(bstrName));
    if (bstrValue)
        *bstrValue = NULL;
    return S_OK;
}

STDMETHODIMP RecordingHost::CmptOut()
{
    Record("CmptOut");
    return S_OK;
}

std::vector<std::string> RecordingHost::Calls()
{
    EnterCriticalSection(&m_cs);
    std::vector<std::string> copy = m_calls;
    LeaveCriticalSection(&m_cs);
    return copy;
}

std::vector<std::string> RecordingHost::Take()
{
    EnterCriticalSection(&m_cs);
    std::vector<std::string> taken;
    taken.swap(m_calls);
    m_threads.clear();
    LeaveCriticalSection(&m_cs);
    return taken;
}

size_t RecordingHost::CallCount()
{
    EnterCriticalSection(&m_cs);
    size_t n = m_calls.size();
    LeaveCriticalSection(&m_cs);
    return n;
}

bool RecordingHost::Has(const std::string &call)
{
    std::vector<std::string> calls = Calls();
    for (const std::string &c : calls)
        if (c == call)
            return true;
    return false;
}

std::vector<DWORD> RecordingHost::CallingThreads()
{
    EnterCriticalSection(&m_cs);
    std::vector<DWORD> copy = m_threads;
    LeaveCriticalSection(&m_cs);
    return copy;
}

bool RecordingHost::PumpUntil(const std::function<bool()> &pred, DWORD dwTimeoutMs)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                m_bQuitSeen = true;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (pred())
            return true;
        if (GetTickCount() - dwStart >= dwTimeoutMs)
            return pred();
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}

void RecordingHost::PumpFor(DWORD dwMs)
{
    PumpUntil([] { return false; }, dwMs);
}
