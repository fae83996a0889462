// One vurhost run: see session.h. Everything here runs on the main thread,
// a single-threaded apartment whose message loop also serves the
// component's calls; the host's answers are made from this loop, never
// from inside a call of the component.
#include "session.h"
#include "console.h"
#include "dialogs.h"
#include "download.h"
#include "hostcallback.h"
#include "serverprocess.h"
#include "text.h"
#include "transcript.h"
#include <process.h>
#include <shlwapi.h>
#include <deque>
#include <memory>

// After ForceRemove the component has this long to end.
static const DWORD kEndAfterForceRemoveMs = 10000;
// The longest sleep of the loop: finished downloads are looked at this often
// even if their wake-up message was eaten by a modal loop.
static const DWORD kLoopTickMs = 100;

namespace {

struct DownloadJob {
    std::string address;            // as the component asked for it
    DownloadSource source;
    std::string destPath;
    std::string error;              // why it failed
    bool bOk = false;
    volatile LONG bDone = 0;
    HANDLE hThread = NULL;
    DWORD dwNotifyThreadId = 0;
};

unsigned __stdcall DownloadThreadProc(void *pv)
{
    DownloadJob *pJob = static_cast<DownloadJob *>(pv);
    pJob->bOk = FetchDownload(pJob->source, pJob->destPath, &pJob->error);
    InterlockedExchange(&pJob->bDone, 1);
    PostThreadMessageW(pJob->dwNotifyThreadId, WM_NULL, 0, 0);
    return 0;
}

bool IsAddress(const std::string &s)
{
    return StartsWithNoCase(s, "http:") || StartsWithNoCase(s, "https:") || StartsWithNoCase(s, "file:");
}

std::string FullPath(const std::string &path)
{
    WCHAR wsz[MAX_PATH * 2];
    DWORD n = GetFullPathNameW(WideFromUtf8(path).c_str(), MAX_PATH * 2, wsz, NULL);
    return n > 0 && n < MAX_PATH * 2 ? Utf8FromWide(wsz) : path;
}

std::string FolderOf(const std::string &path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string HresultText(HRESULT hr)
{
    char sz[16];
    wsprintfA(sz, "0x%08lX", (unsigned long)hr);
    std::string text = sz;
    WCHAR wszMessage[512];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, (DWORD)hr, 0,
                             wszMessage, 512, NULL);
    while (n > 0 && (wszMessage[n - 1] == L'\n' || wszMessage[n - 1] == L'\r' || wszMessage[n - 1] == L' '))
        n--;
    if (n > 0)
        text += " (" + Utf8FromWide(wszMessage, (int)n) + ")";
    return text;
}

class Session {
public:
    explicit Session(const HostOptions &options) : m_o(options) {}
    ~Session();
    int Run();

private:
    bool Prepare();
    bool CreateComponent();
    void StartInstall();
    int Serve();
    int TimeOut();
    int Finish();
    void ComponentEnded();
    void TakeDownloadRequests();
    void AnswerFinishedDownloads();
    void Answer(DownloadJob *pJob);
    void Set(const std::string &name, const std::string &value);
    void Command(const std::string &name);
    void Note(HRESULT hr, const char *pszCall);
    void Pump();
    bool TimeIsUp() const { return GetTickCount() - m_dwStart >= m_dwLimitMs; }
    void Say(const std::string &line) const { if (!m_o.quiet) SayLine(line); }

    HostOptions m_o;
    std::string m_scriptAddress;
    std::string m_root;
    Transcript m_transcript;
    DownloadFolder m_folder;
    HostState m_state;
    HostCallback *m_pCallback = NULL;
    IDiagPMP2Cmpt *m_pInstaller = NULL;
    HANDLE m_hProcess = NULL;
    std::unique_ptr<DialogWatch> m_dialogs;
    std::deque<DownloadJob *> m_jobs;
    DWORD m_dwStart = 0;
    DWORD m_dwLimitMs = 0;
    bool m_bComInitialized = false;
    bool m_bEnded = false;
    bool m_bCallFailed = false;
};

Session::~Session()
{
    m_dialogs.reset();
    if (m_pInstaller)
        m_pInstaller->Release();
    if (m_pCallback) {
        // The component may still hold proxies to it; COM drops them.
        CoDisconnectObject(m_pCallback, 0);
        m_pCallback->Release();
    }
    if (m_hProcess)
        CloseHandle(m_hProcess);
    for (DownloadJob *pJob : m_jobs) {
        // A fetch still under way is left to end with the process.
        if (pJob->hThread && WaitForSingleObject(pJob->hThread, 0) != WAIT_OBJECT_0)
            continue;
        if (pJob->hThread)
            CloseHandle(pJob->hThread);
        delete pJob;
    }
    if (m_bComInitialized)
        CoUninitialize();
}

int Session::Run()
{
    m_dwStart = GetTickCount();
    m_dwLimitMs = m_o.timeoutSeconds * 1000;
    if (!Prepare())
        return EXIT_BAD_USAGE;
    CoInitialize(NULL);
    m_bComInitialized = true;
    if (!CreateComponent())
        return EXIT_NOT_CREATED;
    StartInstall();
    return Serve();
}

bool Session::Prepare()
{
    if (IsAddress(m_o.script)) {
        m_scriptAddress = m_o.script;
        DownloadSource src;
        std::string error;
        if (StartsWithNoCase(m_o.script, "file:") && ResolveDownloadAddress(m_o.script, "", &src, &error))
            m_root = FolderOf(src.location);
    } else {
        // The component hands the address back for download: make it one
        // that does not depend on --root.
        m_scriptAddress = FullPath(m_o.script);
        m_root = FolderOf(m_scriptAddress);
    }
    if (!m_o.root.empty())
        m_root = FullPath(m_o.root);
    if (m_root.empty())
        m_root = FullPath(".");
    if (!m_o.transcript.empty() && !m_transcript.Open(m_o.transcript)) {
        SayErrorLine("vurhost: cannot write the transcript " + m_o.transcript);
        return false;
    }
    if (!m_folder.Create()) {
        SayErrorLine("vurhost: cannot make a temporary folder for the downloads");
        return false;
    }
    return true;
}

bool Session::CreateComponent()
{
    std::string serverName = RegisteredServerName(CLSID_Installer);
    std::vector<DWORD> before = ProcessesNamed(serverName);
    HRESULT hr = CoCreateInstance(CLSID_Installer, NULL, CLSCTX_LOCAL_SERVER, IID_IDiagPMP2Cmpt,
                                  (void **)&m_pInstaller);
    if (FAILED(hr) || !m_pInstaller) {
        m_pInstaller = NULL;
        SayErrorLine("vurhost: cannot create the Installer component: HRESULT " + HresultText(hr));
        SayErrorLine("Is it registered? Run \"installer.exe /RegServer\" (under Wine: in the same prefix).");
        return false;
    }
    DWORD dwPid = PickServerProcess(before, ProcessesNamed(serverName));
    if (dwPid)
        m_hProcess = OpenProcess(SYNCHRONIZE, FALSE, dwPid);
    if (!m_hProcess) {
        SayErrorLine("vurhost: cannot tell which process serves the component; its message boxes and its "
                     "end are not watched");
        return true;
    }
    m_dialogs.reset(new DialogWatch(dwPid, m_o.dialogsOk, &m_transcript, m_o.quiet));
    return true;
}

void Session::StartInstall()
{
    m_pCallback = new HostCallback(&m_transcript, &m_state, m_o.quiet);
    m_transcript.Line("> Advise");
    unsigned long dwCookie = 0;
    Note(m_pInstaller->Advise(m_pCallback, &dwCookie), "Advise");
    Set("FILE", m_scriptAddress);
    for (const auto &p : m_o.params)
        Set(p.first, p.second);
    Say("Installing " + m_scriptAddress);
    Command("INSTALL");
}

int Session::Serve()
{
    bool bUnadvised = false;
    for (;;) {
        TakeDownloadRequests();
        AnswerFinishedDownloads();
        // After an error report the component stays and waits: let it go.
        if (m_state.nErrorReports > 0 && !bUnadvised) {
            bUnadvised = true;
            m_transcript.Line("> Unadvise");
            Note(m_pInstaller->Unadvise(0), "Unadvise");
            continue;
        }
        if (!m_hProcess && (m_state.bCmptOut || bUnadvised || m_bCallFailed))
            return Finish();
        if (TimeIsUp())
            return TimeOut();
        DWORD dwLeft = m_dwLimitMs - (GetTickCount() - m_dwStart);
        DWORD r = MsgWaitForMultipleObjects(m_hProcess ? 1 : 0, &m_hProcess, FALSE,
                                            dwLeft < kLoopTickMs ? dwLeft : kLoopTickMs, QS_ALLINPUT);
        if (m_hProcess && r == WAIT_OBJECT_0) {
            ComponentEnded();
            return Finish();
        }
        Pump();
    }
}

int Session::TimeOut()
{
    m_transcript.Line("# timeout");
    char sz[96];
    wsprintfA(sz, "vurhost: time-out after %lu s: stopping the component (ForceRemove)", m_o.timeoutSeconds);
    SayErrorLine(sz);
    m_transcript.Line("> ForceRemove");
    Note(m_pInstaller->ForceRemove(), "ForceRemove");
    if (m_hProcess) {
        DWORD dwStart = GetTickCount();
        while (GetTickCount() - dwStart < kEndAfterForceRemoveMs) {
            if (MsgWaitForMultipleObjects(1, &m_hProcess, FALSE, kLoopTickMs, QS_ALLINPUT) == WAIT_OBJECT_0) {
                ComponentEnded();
                break;
            }
            Pump();
        }
    }
    return EXIT_TIMEOUT;
}

// Exit status by what the component sent: an error report wins over a
// result report; the report ending counts as a result even when it sent
// no page (no TURL), since it ends with CmptOut.
int Session::Finish()
{
    if (m_state.nErrorReports > 0)
        return EXIT_ERROR_REPORT;
    if (m_state.nResultReports > 0 || m_state.bCmptOut)
        return EXIT_RESULT_REPORT;
    SayErrorLine("vurhost: the component ended without any report (did it reopen the result page itself?)");
    return EXIT_NO_REPORT;
}

void Session::ComponentEnded()
{
    m_bEnded = true;
    m_transcript.Line("# component ended");
    Say("The component's process has ended.");
}

void Session::TakeDownloadRequests()
{
    for (const std::string &address : m_state.downloadsAsked) {
        DownloadJob *pJob = new DownloadJob;
        pJob->address = address;
        m_jobs.push_back(pJob);
        bool bRefused = false;
        for (const std::string &pattern : m_o.dlerrPatterns) {
            if (address.find(pattern) != std::string::npos) {
                bRefused = true;
                pJob->error = "refused by --dlerr " + pattern;
                break;
            }
        }
        if (bRefused || !ResolveDownloadAddress(address, m_root, &pJob->source, &pJob->error)) {
            pJob->bDone = 1;
            continue;
        }
        pJob->destPath = m_folder.NewFilePath(DownloadFileName(pJob->source));
        pJob->dwNotifyThreadId = GetCurrentThreadId();
        if (!pJob->destPath.empty())
            pJob->hThread = (HANDLE)_beginthreadex(NULL, 0, DownloadThreadProc, pJob, 0, NULL);
        if (!pJob->hThread) {
            pJob->error = "cannot start the download";
            pJob->bDone = 1;
        }
    }
    m_state.downloadsAsked.clear();
}

// Answers go in the order of the requests.
void Session::AnswerFinishedDownloads()
{
    while (!m_jobs.empty() && m_jobs.front()->bDone) {
        DownloadJob *pJob = m_jobs.front();
        m_jobs.pop_front();
        if (pJob->hThread) {
            WaitForSingleObject(pJob->hThread, INFINITE);
            CloseHandle(pJob->hThread);
        }
        Answer(pJob);
        delete pJob;
    }
}

void Session::Answer(DownloadJob *pJob)
{
    if (pJob->bOk) {
        Say("  download " + pJob->address + " -> " + pJob->destPath);
        Set("DLPATH", pJob->destPath);
        Command("DLDONE");
    } else {
        Say("  download " + pJob->address + " failed: " + pJob->error);
        Set("DLURL", pJob->address);
        Command("DLERR");
    }
}

void Session::Set(const std::string &name, const std::string &value)
{
    m_transcript.Line("> SetParameter " + name + "=" + value);
    BSTR bstrName = SysAllocString(WideFromUtf8(name).c_str());
    BSTR bstrValue = SysAllocString(WideFromUtf8(value).c_str());
    Note(m_pInstaller->SetParameter(bstrName, bstrValue), "SetParameter");
    SysFreeString(bstrValue);
    SysFreeString(bstrName);
}

void Session::Command(const std::string &name)
{
    m_transcript.Line("> ExecuteCmd " + name);
    BSTR bstrName = SysAllocString(WideFromUtf8(name).c_str());
    Note(m_pInstaller->ExecuteCmd(bstrName), "ExecuteCmd");
    SysFreeString(bstrName);
}

// The component answers S_OK to everything: a failure means COM could not
// reach it (most often: its process has ended).
void Session::Note(HRESULT hr, const char *pszCall)
{
    if (SUCCEEDED(hr))
        return;
    m_bCallFailed = true;
    SayErrorLine(std::string("vurhost: ") + pszCall + " failed: HRESULT " + HresultText(hr));
}

void Session::Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}

int RunHostSession(const HostOptions &options)
{
    Session session(options);
    return session.Run();
}
