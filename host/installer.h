// The installer object: the component's face to the host (IDiagPMP2Cmpt)
// and the one record that holds the whole state of an installation. Every
// subsystem works on these fields under these names.
#ifndef VUR_INSTALLER_H
#define VUR_INSTALLER_H

#include <windows.h>
#include <ole2.h>
#include "installer_h.h"

#define INSTALLER_TEXT_SIZE 256     // every text field of the object
#define INSTALLER_PATH_SIZE 260     // paths built from the install folder
#define MAX_DOWNLOADS       50
#define MAX_PLUGIN_DIRS     50

// Section state of the interpreter.
enum {
    SECTION_NONE = 0,               // waiting for the script's download
    SECTION_LOADED = 1,
    SECTION_INSTALL = 2,
    SECTION_TEST = 3,
    SECTION_DL = 4,
    SECTION_ACTIONS = 5,
    SECTION_TEXT = 6,
    SECTION_REQUIRED_ACTIONS = 7,
    SECTION_END = 255
};

// Kind of the test lines that follow inside [TEST].
enum {
    TESTKIND_NONE = 0,
    TESTKIND_REGISTRY = 1,
    TESTKIND_PLUGIN = 2,
    TESTKIND_FILE = 3,
    TESTKIND_FILEDATE = 4,
    TESTKIND_FILEVER = 5
};

struct DownloadEntry {
    char szPath[INSTALLER_TEXT_SIZE];   // the host's DLPATH, valid once DLDONE came
    FILETIME ftTime;                    // time from the [DL] line; zero: none
};

struct PluginDirEntry {
    char szDir[INSTALLER_TEXT_SIZE];    // a browser's "\Plugins" folder
    char szName[128];                   // plug-in file name the test looked for
    LONG bExplorer;                     // 1: iexplore.exe, 0: netscape.exe
};

#ifndef _WIN64
static_assert(sizeof(DownloadEntry) == 264, "DownloadEntry is 264 bytes on 32-bit Windows");
static_assert(sizeof(PluginDirEntry) == 388, "PluginDirEntry is 388 bytes on 32-bit Windows");
static_assert(sizeof(FILETIME) == 8, "FILETIME is two 32-bit halves");
#endif

class Installer final : public IDiagPMP2Cmpt {
public:
    Installer() = default;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDiagPMP2Cmpt: every method returns S_OK whatever happens.
    STDMETHODIMP ExecuteCmd(BSTR bstrName) override;
    STDMETHODIMP SetParameter(BSTR bstrName, BSTR bstrValue) override;
    STDMETHODIMP GetParameter(BSTR bstrName, BSTR *bstrValue) override;
    STDMETHODIMP Advise(IDiagCmpt2PMP *pCallback, unsigned long *dwCookie) override;
    STDMETHODIMP Unadvise(unsigned long dwCookie) override;
    STDMETHODIMP ForceRemove() override;

    // Install thread (host/installthread.cpp).
    void StartInstallThread();
    void EndInstallThread();
    void StopInstallThread();
    void RequestStop();
    BOOL WaitForRun(HANDLE hEvent, DWORD dwLimitMs);
    HANDLE DuplicateRunEvent();

    // Host notifications (host/notify.cpp). viaThread 1: the install
    // thread's callback; 0: the one Advise received.
    void SendParameter(const char *pszName, const char *pszValue, int viaThread);
    void SendCommand(const char *pszName, int viaThread);
    void SendError(LONG lCode, int viaThread);
    void CmptOut();

    // Download handshake (host/download.cpp).
    void RunDownloadLine();
    void ReceiveDownload();
    void ReportDownloadError();

    // Script engine (script/).
    void LoadScript();
    void RunScript();
    BOOL ReadNextLine();
    void PumpMessages();
    void RunTextLine();
    void RunTestLine(LONG *pbSkipTest);
    void RunActionLine(LONG *pbRelaunch);
    void SendReport();

    // Fields, in this order. A new object starts with every field zero.
    volatile LONG m_cRef = 0;
    IDiagCmpt2PMP *m_pCallback = NULL;
    IDiagCmpt2PMP *m_pThreadCallback = NULL;
    char m_szFile[INSTALLER_TEXT_SIZE] = {};
    LONG m_lJobId = 0;
    LONG m_lAppId = 0;
    char m_szResUrl1[INSTALLER_TEXT_SIZE] = {};
    char m_szResUrl2[INSTALLER_TEXT_SIZE] = {};
    char m_szErrUrl[INSTALLER_TEXT_SIZE] = {};
    char m_szResFrm1[INSTALLER_TEXT_SIZE] = {};
    char m_szResFrm2[INSTALLER_TEXT_SIZE] = {};
    char m_szErrFrm[INSTALLER_TEXT_SIZE] = {};
    LONG m_nSection = 0;
    char m_szScriptPath[INSTALLER_TEXT_SIZE] = {};
    char *m_pScript = NULL;
    char *m_pCursor = NULL;
    char *m_pLine = NULL;
    char m_szDlPath[INSTALLER_TEXT_SIZE] = {};
    char m_szDlUrl[INSTALLER_TEXT_SIZE] = {};
    LONG m_bTestResult = 0;
    LONG m_nTestKind = 0;
    DWORD m_nDownloads = 0;
    LONG m_bInstalled = 0;
    DownloadEntry m_aDownloads[MAX_DOWNLOADS] = {};
    volatile LONG m_bStop = 0;
    volatile LONG m_bAbort = 0;
    PluginDirEntry m_aPluginDirs[MAX_PLUGIN_DIRS] = {};
    DWORD m_nPluginDirs = 0;
    HANDLE m_hThread = NULL;
    HANDLE m_hEvent = NULL;
    volatile DWORD m_dwThreadId = 0;

    // Beyond the record above: what keeps the two threads apart when the
    // host does not follow the handshake (answers from inside a request,
    // stops from inside a callback, answers twice).
    volatile LONG m_bAwaitingDownload = 0;  // a [DL] file was asked for and not yet received
    volatile LONG m_bQuitRequested = 0;     // a stop was asked for; runs act on it at once
    volatile LONG m_lHostCall = 0;          // number of the run's call to the host under way; 0: none
};

// Creates an Installer for COM (refuses aggregation; takes a server lock).
HRESULT CreateInstallerObject(IUnknown *pOuter, REFIID riid, void **ppv);

extern CRITICAL_SECTION g_csInstall;
extern IStream *g_pCallbackStream;
extern DWORD g_dwMainThreadId;
extern volatile LONG g_bClosingBrowser;

#endif
