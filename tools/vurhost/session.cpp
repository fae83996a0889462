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
#include <map>
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
    DownloadJob *NewJob(const std::string &address);
    void Answer(DownloadJob *pJob, int nTimes);
    void OnComponentCall(const std::string &event);
    void React(const std::string &action);
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
    std::map<std::string, unsigned> m_callCounts;   // the component's calls so far, by event
    std::vector<std::string> m_actionsAfter;        // --after reactions due, in order
    std::string m_lastDlPath;
    DWORD m_dwStart = 0;
    DWORD m_dwLimitMs = 0;
    bool m_bComInitialized = false;
    bool m_bEnded = false;
    bool m_bCallFailed = false;
    bool m_bUnadvised = false;
    bool m_bLeft = false;                           // released without Unadvise (exit)
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

static void SayNotCreated(HRESULT hr)
{
    SayErrorLine("vurhost: cannot create the Installer component: HRESULT " + HresultText(hr));
    SayErrorLine("Is it registered? Run \"installer.exe /RegServer\" (under Wine: in the same prefix).");
}

// CoCreateInstance has no time limit of its own (a server that starts but
// never registers its class object, a prefix still settling): a watchdog
// ends vurhost when the activation outlives the run's time-out.
struct ActivationWatch {
    HANDLE hDone;
    DWORD dwLimitMs;
};

static unsigned __stdcall ActivationWatchProc(void *pv)
{
    ActivationWatch *pWatch = static_cast<ActivationWatch *>(pv);
    if (WaitForSingleObject(pWatch->hDone, pWatch->dwLimitMs) == WAIT_TIMEOUT) {
        SayNotCreated(RPC_E_TIMEOUT);
        SayErrorLine("The activation did not finish within the time-out: is the server stuck at its start?"
                     " (under Wine: run \"wineserver -w\" after making a new prefix)");
        ExitProcess(EXIT_NOT_CREATED);
    }
    return 0;
}

bool Session::CreateComponent()
{
    std::string serverName = RegisteredServerName(CLSID_Installer);
    std::vector<DWORD> before = ProcessesNamed(serverName);
    ActivationWatch watch = { CreateEventA(NULL, TRUE, FALSE, NULL), m_dwLimitMs };
    HANDLE hWatch = watch.hDone
        ? (HANDLE)_beginthreadex(NULL, 0, ActivationWatchProc, &watch, 0, NULL) : NULL;
    HRESULT hr = CoCreateInstance(CLSID_Installer, NULL, CLSCTX_LOCAL_SERVER, IID_IDiagPMP2Cmpt,
                                  (void **)&m_pInstaller);
    if (hWatch) {
        SetEvent(watch.hDone);
        WaitForSingleObject(hWatch, INFINITE);
        CloseHandle(hWatch);
    }
    if (watch.hDone)
        CloseHandle(watch.hDone);
    if (FAILED(hr) || !m_pInstaller) {
        m_pInstaller = NULL;
        SayNotCreated(hr);
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
    m_pCallback->SetCallHook([this](const std::string &event) { OnComponentCall(event); });
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
    for (;;) {
        if (m_bLeft)
            return EXIT_LEFT;
        TakeDownloadRequests();
        AnswerFinishedDownloads();
        while (!m_actionsAfter.empty() && !m_bLeft) {
            std::string action = m_actionsAfter.front();
            m_actionsAfter.erase(m_actionsAfter.begin());
            React(action);
        }
        if (m_bLeft)
            return EXIT_LEFT;
        // After an error report the component stays and waits: let it go.
        if (m_state.nErrorReports > 0 && !m_bUnadvised) {
            React("Unadvise");
            continue;
        }
        if (!m_hProcess && (m_state.bCmptOut || m_bUnadvised || m_bCallFailed))
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

// Plays a plug-in that acts on the component's calls: answers a download
// from inside the request, or calls back from inside (or right after) a
// chosen call.
void Session::OnComponentCall(const std::string &event)
{
    unsigned n = ++m_callCounts[event];
    // Twice is answered from inside too: the run that asked is then still in
    // its request, so the second DLDONE meets a component that is waiting
    // for nothing, whatever the timing. The script's own request (asked by
    // INSTALL, with no run to hold back) is answered once, after the call.
    bool bTwice = m_o.answer == ANSWER_TWICE && !m_state.downloadsAsked.empty() &&
                  m_state.downloadsAsked.back() != m_scriptAddress;
    if (event == "DOWNLOAD" && (m_o.answer == ANSWER_INSIDE || bTwice) && !m_state.downloadsAsked.empty()) {
        DownloadJob *pJob = NewJob(m_state.downloadsAsked.back());
        m_state.downloadsAsked.pop_back();
        if (!pJob->bDone)
            pJob->bOk = FetchDownload(pJob->source, pJob->destPath, &pJob->error);
        Answer(pJob, bTwice ? 2 : 1);
        delete pJob;
    }
    for (const HostReaction &r : m_o.reactions) {
        if (r.event != event || r.n != n)
            continue;
        if (r.bInside)
            React(r.action);
        else
            m_actionsAfter.push_back(r.action);
    }
}

void Session::React(const std::string &action)
{
    if (m_bLeft)
        return;
    if (action == "die") {
        // Ends as a crashed plug-in does, but leaves no temporary files.
        m_transcript.Line("# die");
        m_folder.Remove();
        TerminateProcess(GetCurrentProcess(), EXIT_DIED);
    } else if (action == "exit") {
        // The component keeps whatever it holds of ours; COM drops it.
        m_transcript.Line("> Release");
        m_pInstaller->Release();
        m_pInstaller = NULL;
        m_bLeft = true;
    } else if (action == "Unadvise") {
        m_bUnadvised = true;
        m_transcript.Line("> Unadvise");
        Note(m_pInstaller->Unadvise(0), "Unadvise");
    } else if (action == "ForceRemove") {
        m_transcript.Line("> ForceRemove");
        Note(m_pInstaller->ForceRemove(), "ForceRemove");
    } else if (action == "DLDONE") {
        Set("DLPATH", m_lastDlPath);
        Command("DLDONE");
    } else {
        Command(action);
    }
}

int Session::TimeOut()
{
    m_transcript.Line("# timeout");
    if (!m_pInstaller)
        return EXIT_TIMEOUT;
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
    // The closing notice came first: the component reopened the page itself.
    if (m_dialogs) {
        for (const std::string &box : m_dialogs->Seen()) {
            if (box.find("| Votre browser va") != std::string::npos) {
                SayErrorLine("vurhost: the component closed the browsers and ended without a report: it reopens "
                             "the result page itself (relaunch ending)");
                return EXIT_RELAUNCH;
            }
        }
    }
    SayErrorLine("vurhost: the component ended without any report (did it reopen the result page itself?)");
    return EXIT_NO_REPORT;
}

void Session::ComponentEnded()
{
    m_bEnded = true;
    m_transcript.Line("# component ended");
    Say("The component's process has ended.");
}

// A job for one request: refused (--dlerr) or unresolvable ones are done at
// once; the others have their destination and wait to be fetched.
DownloadJob *Session::NewJob(const std::string &address)
{
    DownloadJob *pJob = new DownloadJob;
    pJob->address = address;
    for (const std::string &pattern : m_o.dlerrPatterns) {
        if (address.find(pattern) != std::string::npos) {
            pJob->error = "refused by --dlerr " + pattern;
            pJob->bDone = 1;
            return pJob;
        }
    }
    if (!ResolveDownloadAddress(address, m_root, &pJob->source, &pJob->error)) {
        pJob->bDone = 1;
        return pJob;
    }
    pJob->destPath = m_folder.NewFilePath(DownloadFileName(pJob->source));
    if (pJob->destPath.empty()) {
        pJob->error = "cannot make a place for the download";
        pJob->bDone = 1;
    }
    return pJob;
}

void Session::TakeDownloadRequests()
{
    for (const std::string &address : m_state.downloadsAsked) {
        DownloadJob *pJob = NewJob(address);
        m_jobs.push_back(pJob);
        if (pJob->bDone)
            continue;
        pJob->dwNotifyThreadId = GetCurrentThreadId();
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
        Answer(pJob, 1);
        delete pJob;
    }
}

void Session::Answer(DownloadJob *pJob, int nTimes)
{
    if (!m_pInstaller)
        return;
    if (pJob->bOk) {
        Say("  download " + pJob->address + " -> " + pJob->destPath);
        m_lastDlPath = pJob->destPath;
        for (int i = 0; i < nTimes; i++) {
            Set("DLPATH", pJob->destPath);
            Command("DLDONE");
        }
    } else {
        Say("  download " + pJob->address + " failed: " + pJob->error);
        Set("DLURL", pJob->address);
        Command("DLERR");
    }
}

void Session::Set(const std::string &name, const std::string &value)
{
    if (!m_pInstaller)
        return;
    m_transcript.Line("> SetParameter " + name + "=" + value);
    BSTR bstrName = SysAllocString(WideFromUtf8(name).c_str());
    BSTR bstrValue = SysAllocString(WideFromUtf8(value).c_str());
    Note(m_pInstaller->SetParameter(bstrName, bstrValue), "SetParameter");
    SysFreeString(bstrValue);
    SysFreeString(bstrName);
}

void Session::Command(const std::string &name)
{
    if (!m_pInstaller)
        return;
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
