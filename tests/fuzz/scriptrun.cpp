// Running one fuzz input: see scriptrun.h.
#include "scriptrun.h"
#include "host/installer.h"
#include "host/bstr.h"
#include "server/registrar.h"
#include "support/testfiles.h"

extern "C" decltype(&MessageBoxA) __imp_MessageBoxA;
extern "C" decltype(&RegOpenKeyExA) __imp_RegOpenKeyExA;
extern "C" decltype(&RegCreateKeyExA) __imp_RegCreateKeyExA;
extern "C" decltype(&RegDeleteKeyA) __imp_RegDeleteKeyA;

// The product's calls go through this program's import table: an entry
// pointed elsewhere catches them. Gives what the entry held.
template <class Fn> static Fn ReplaceImport(Fn *pEntry, Fn pfnNew)
{
    DWORD dwOld;
    VirtualProtect(pEntry, sizeof *pEntry, PAGE_READWRITE, &dwOld);
    Fn pfnOld = *pEntry;
    *pEntry = pfnNew;
    VirtualProtect(pEntry, sizeof *pEntry, dwOld, &dwOld);
    return pfnOld;
}

// A message box would wait for a person, or for a watcher to find it.
static volatile LONG s_nMessageBoxes;

static int WINAPI DismissedMessageBox(HWND, LPCSTR, LPCSTR, UINT)
{
    InterlockedIncrement(&s_nMessageBoxes);
    return IDOK;
}

long InstallScriptRunner::MessageBoxes()
{
    return s_nMessageBoxes;
}

// The recording host, called straight from the install thread: it holds
// the free-threaded marshaler, so the callback a run gets is this object,
// not a proxy that has to wait for this thread to serve it.
class InstallScriptRunner::DirectHost : public RecordingHost {
public:
    DirectHost() { CoCreateFreeThreadedMarshaler(static_cast<IDiagCmpt2PMP *>(this), &m_pMarshaler); }
    ~DirectHost() override
    {
        if (m_pMarshaler)
            m_pMarshaler->Release();
    }
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (IsEqualIID(riid, IID_IMarshal) && m_pMarshaler)
            return m_pMarshaler->QueryInterface(riid, ppv);
        return RecordingHost::QueryInterface(riid, ppv);
    }

private:
    IUnknown *m_pMarshaler = NULL;
};

static void Set(Installer *p, const char *pszName, const std::string &value)
{
    BSTR bstrName = ToBstr(pszName), bstrValue = ToBstr(value.c_str());
    p->SetParameter(bstrName, bstrValue);
    SysFreeString(bstrValue);
    SysFreeString(bstrName);
}

static void Command(Installer *p, const char *pszName)
{
    BSTR bstrName = ToBstr(pszName);
    p->ExecuteCmd(bstrName);
    SysFreeString(bstrName);
}

// The end of a run posts WM_QUIT here, as it would end the server.
static void DrainMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Until the run has left: its thread ends after giving up g_csInstall. A
// run that never ends is the watchdog's to report.
static void WaitForRun(Installer *p)
{
    DWORD dwThreadId = p->m_dwThreadId;
    HANDLE hThread = dwThreadId ? OpenThread(SYNCHRONIZE, FALSE, dwThreadId) : NULL;
    while (hThread && MsgWaitForMultipleObjects(1, &hThread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
        DrainMessages();
    if (hThread)
        CloseHandle(hThread);
    // Only when the thread was ending just as its id was read.
    while (p->m_dwThreadId != 0)
        Sleep(1);
    EnterCriticalSection(&g_csInstall);
    LeaveCriticalSection(&g_csInstall);
    DrainMessages();
}

InstallScriptRunner::InstallScriptRunner(const std::string &fixtureDir, Sandbox *pSandbox)
    : m_pHost(new DirectHost), m_pSandbox(pSandbox), m_fixtureDir(fixtureDir)
{
    ReplaceImport(&__imp_MessageBoxA, DismissedMessageBox);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((fixtureDir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        // Small files only: throughput matters more than size here.
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && fd.nFileSizeHigh == 0 && fd.nFileSizeLow < 200000)
            m_fixtures.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

InstallScriptRunner::~InstallScriptRunner()
{
    delete m_pHost;
}

// A fresh copy for every download: COPY deletes what it copied. The file is
// the fixture the address names, or one chosen by the address.
std::string InstallScriptRunner::Download(const std::string &url, int k)
{
    if (m_fixtures.empty())
        return std::string();
    size_t slash = url.find_last_of("/\\");
    std::string name = url.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string *pFixture = NULL;
    for (const std::string &f : m_fixtures)
        if (lstrcmpiA(f.c_str(), name.c_str()) == 0)
            pFixture = &f;
    if (!pFixture) {
        size_t hash = 0;
        for (char ch : url)
            hash = hash * 31 + (unsigned char)ch;
        pFixture = &m_fixtures[hash % m_fixtures.size()];
    }
    std::string path = m_pSandbox->Downloads() + "\\" + std::to_string(k) + "-" + *pFixture;
    CopyFileA((m_fixtureDir + "\\" + *pFixture).c_str(), path.c_str(), FALSE);
    return path;
}

void InstallScriptRunner::Run(const std::string &script)
{
    IDiagPMP2Cmpt *pObject = NULL;
    if (FAILED(CreateInstallerObject(NULL, IID_IDiagPMP2Cmpt, (void **)&pObject)))
        return;
    Installer *p = static_cast<Installer *>(pObject);
    unsigned long dwCookie = 0;
    p->Advise(m_pHost, &dwCookie);
    Set(p, "RESURL1", "http://fuzz.invalid/installed");
    Set(p, "RESURL2", "http://fuzz.invalid/present");
    Set(p, "ERRURL", "http://fuzz.invalid/error");
    Set(p, "FILE", "http://fuzz.invalid/script.txt");
    WriteFileBytes(m_pSandbox->ScriptPath(), script);
    Command(p, "INSTALL");
    m_nCalls += m_pHost->Take().size();     // the script's own request
    Set(p, "DLPATH", m_pSandbox->ScriptPath());
    Command(p, "DLDONE");

    // Each [DL] line ends a run with a request; the answer starts the next.
    std::string url;
    for (int k = 1;; k++) {
        WaitForRun(p);
        bool bRequested = false;
        for (const std::string &call : m_pHost->Take()) {
            m_nCalls++;
            if (call.compare(0, 17, "SetParameter URL=") == 0)
                url = call.substr(17);
            else if (call == "ExecuteCmd DOWNLOAD")
                bRequested = true;
        }
        if (!bRequested)
            break;
        // An address that asks for it is refused; the install then waits
        // for nothing more.
        if (url.find("dlerr") != std::string::npos) {
            Set(p, "DLURL", url);
            Command(p, "DLERR");
            break;
        }
        Set(p, "DLPATH", Download(url, k));
        Command(p, "DLDONE");
    }
    p->StopInstallThread();
    if (p->m_pCallback) {
        p->m_pCallback->Release();
        p->m_pCallback = NULL;
    }
    p->Release();
    m_nCalls += m_pHost->Take().size();
    DrainMessages();
}

// The registrar's key calls while a registry script runs.
static decltype(&RegOpenKeyExA) s_pfnOpenKey;
static decltype(&RegCreateKeyExA) s_pfnCreateKey;
static decltype(&RegDeleteKeyA) s_pfnDeleteKey;
static bool s_bWatchNames;
static const char *s_pszUnnamed;

static void NoteName(LPCSTR pszName, const char *pszCall)
{
    if (s_bWatchNames && (!pszName || !*pszName) && !s_pszUnnamed)
        s_pszUnnamed = pszCall;
}

static LONG WINAPI OpenKeyWatched(HKEY hKey, LPCSTR pszName, DWORD dwOptions, REGSAM sam, PHKEY phResult)
{
    NoteName(pszName, "RegOpenKeyExA");
    return s_pfnOpenKey(hKey, pszName, dwOptions, sam, phResult);
}

static LONG WINAPI CreateKeyWatched(HKEY hKey, LPCSTR pszName, DWORD dwReserved, LPSTR pszClass, DWORD dwOptions,
                                    REGSAM sam, LPSECURITY_ATTRIBUTES pSecurity, PHKEY phResult, LPDWORD pdwDisposition)
{
    NoteName(pszName, "RegCreateKeyExA");
    return s_pfnCreateKey(hKey, pszName, dwReserved, pszClass, dwOptions, sam, pSecurity, phResult, pdwDisposition);
}

static LONG WINAPI DeleteKeyWatched(HKEY hKey, LPCSTR pszName)
{
    NoteName(pszName, "RegDeleteKeyA");
    return s_pfnDeleteKey(hKey, pszName);
}

std::string RunRegistryInput(const std::string &script)
{
    if (!s_pfnOpenKey) {
        s_pfnOpenKey = ReplaceImport(&__imp_RegOpenKeyExA, OpenKeyWatched);
        s_pfnCreateKey = ReplaceImport(&__imp_RegCreateKeyExA, CreateKeyWatched);
        s_pfnDeleteKey = ReplaceImport(&__imp_RegDeleteKeyA, DeleteKeyWatched);
    }
    // The program's own scripts are given its path, as self-registration does.
    Registrar registrar;
    registrar.AddReplacement(L"Module", L"C:\\PROGRA~1\\VUR\\INSTAL~1.EXE");
    s_pszUnnamed = NULL;
    s_bWatchNames = true;
    registrar.RunRegistryScript(script.c_str(), TRUE);
    registrar.RunRegistryScript(script.c_str(), FALSE);
    s_bWatchNames = false;
    return s_pszUnnamed ? std::string("registry: the registrar called ") + s_pszUnnamed +
                              " with an empty key name, on the key it was in"
                        : std::string();
}
