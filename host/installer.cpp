// The installer object's COM face: the methods the host calls, all on the
// server's COM thread, all returning S_OK whatever happens.
#include "host/installer.h"
#include "host/bstr.h"
#include "host/errors.h"
#include "script/texthelpers.h"
#include "host/messagewait.h"
#include "server/servermodule.h"
#include "server/liveinstallers.h"
#include <new>

CRITICAL_SECTION g_csInstall;
IStream *g_pCallbackStream;
DWORD g_dwMainThreadId;
volatile LONG g_bClosingBrowser;

HRESULT CreateInstallerObject(IUnknown *pOuter, REFIID riid, void **ppv)
{
    if (pOuter)
        return CLASS_E_NOAGGREGATION;
    Installer *pInstaller = new (std::nothrow) Installer();
    if (!pInstaller)
        return E_OUTOFMEMORY;
    // The server's shutdown finds running installs through this list.
    if (!TrackInstaller(pInstaller)) {
        delete pInstaller;
        return E_OUTOFMEMORY;
    }
    g_module.Lock();
    HRESULT hr = pInstaller->QueryInterface(riid, ppv);
    if (hr != S_OK) {
        ForgetInstaller(pInstaller);
        g_module.Unlock();
        delete pInstaller;
    }
    return hr;
}

STDMETHODIMP Installer::QueryInterface(REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDiagPMP2Cmpt))
        return E_NOINTERFACE;
    *ppv = static_cast<IDiagPMP2Cmpt *>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Installer::AddRef()
{
    return InterlockedIncrement(&m_cRef);
}

// The install thread holds a reference of its own, so the count changes on
// two threads. The last release does not stop an install (ForceRemove does).
STDMETHODIMP_(ULONG) Installer::Release()
{
    LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0) {
        ForgetInstaller(this);
        // An install that never reached its end still holds its script.
        if (m_pScript)
            HeapFree(GetProcessHeap(), 0, m_pScript);
        m_cRef = 1;
        delete this;
        g_module.Unlock();
    }
    return cRef;
}

// Text fields hold at most 255 characters: longer values are cut there.
static void StoreText(char (&szField)[INSTALLER_TEXT_SIZE], const char *pszValue)
{
    StrCopyMax(szField, pszValue, sizeof szField);
}

STDMETHODIMP Installer::SetParameter(BSTR bstrName, BSTR bstrValue)
{
    char *pszName = FromBstr(bstrName);
    char *pszValue = FromBstr(bstrValue);
    struct TextParameter {
        const char *pszName;
        char (Installer::*pField)[INSTALLER_TEXT_SIZE];
    };
    static const TextParameter s_aTexts[] = {
        { "RESURL1", &Installer::m_szResUrl1 },
        { "RESURL2", &Installer::m_szResUrl2 },
        { "ERRURL", &Installer::m_szErrUrl },
        { "RESFRM1", &Installer::m_szResFrm1 },
        { "RESFRM2", &Installer::m_szResFrm2 },
        { "ERRFRM", &Installer::m_szErrFrm },
        { "DLPATH", &Installer::m_szDlPath },
        { "DLURL", &Installer::m_szDlUrl },
    };
    if (StrEqualNoCase(pszName, "FILE") == 0) {
        StoreText(m_szFile, pszValue);
    } else if (StrEqualNoCase(pszName, "JOBID") == 0) {
        m_lJobId = TextToLong(pszValue);
    } else if (StrEqualNoCase(pszName, "APPID") == 0) {
        m_lAppId = TextToLong(pszValue);
    } else {
        for (const TextParameter &p : s_aTexts) {
            if (StrEqualNoCase(pszName, p.pszName) == 0) {
                StoreText(this->*p.pField, pszValue);
                break;
            }
        }
    }
    FreeText(pszValue);
    FreeText(pszName);
    return S_OK;
}

STDMETHODIMP Installer::GetParameter(BSTR, BSTR *bstrValue)
{
    if (bstrValue)
        *bstrValue = NULL;
    return S_OK;
}

STDMETHODIMP Installer::ExecuteCmd(BSTR bstrName)
{
    char *pszName = FromBstr(bstrName);
    if (StrEqualNoCase(pszName, "INSTALL") == 0) {
        // Starting again: a run still working on the previous script stops
        // first (it has left unless it is inside a call to the host), and a
        // file asked for by that script is no longer awaited.
        StopInstallThread();
        m_bAwaitingDownload = 0;
        m_nSection = SECTION_NONE;
        SendParameter("URL", m_szFile, 0);
        SendCommand("DOWNLOAD", 0);
    } else if (StrEqualNoCase(pszName, "DLDONE") == 0) {
        if (m_nSection == SECTION_NONE)
            LoadScript();
        else
            ReceiveDownload();
    } else if (StrEqualNoCase(pszName, "DLERR") == 0) {
        ReportDownloadError();
    }
    FreeText(pszName);
    return S_OK;
}

STDMETHODIMP Installer::Advise(IDiagCmpt2PMP *pCallback, unsigned long *dwCookie)
{
    if (pCallback)
        pCallback->AddRef();
    if (m_pCallback)
        m_pCallback->Release();
    m_pCallback = pCallback;
    if (dwCookie)
        *dwCookie = 0;
    return S_OK;
}

STDMETHODIMP Installer::Unadvise(unsigned long)
{
    if (m_dwThreadId != 0 && m_pThreadCallback) {
        // The install thread gives up its callback at its next message drain.
        HANDLE hEvent = DuplicateRunEvent();
        PostThreadMessageA(m_dwThreadId, WM_USER + 1, 0, 0);
        if (hEvent) {
            WaitForRun(hEvent, 4000);
            CloseHandle(hEvent);
        }
    }
    if (m_pCallback) {
        m_pCallback->Release();
        m_pCallback = NULL;
    }
    if (!g_bClosingBrowser)
        ForceRemove();
    return S_OK;
}

STDMETHODIMP Installer::ForceRemove()
{
    StopInstallThread();
    PostThreadMessageA(g_dwMainThreadId, WM_QUIT, 0, 0);
    return S_OK;
}
