// Benchmark of host messages from the install thread: the same script of
// [TEXT] lines run through the in-process recording host and through
// vurhost and the real out-of-process server, in one run; and the time
// from CoCreateInstance to the first message (server activation).
#include "support/harness.h"
#include "serverprocess.h"
#include "host/bstr.h"
#include "installer_h.h"
#include <stdio.h>
#include <stdlib.h>
#include <algorithm>
#include <string>
#include <vector>

namespace {

double Now()
{
    static LARGE_INTEGER s_freq;
    if (!s_freq.QuadPart)
        QueryPerformanceFrequency(&s_freq);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)s_freq.QuadPart;
}

std::string ProgramFolder()
{
    char sz[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, sz, MAX_PATH);
    std::string path(sz, n < MAX_PATH ? n : 0);
    return path.substr(0, path.find_last_of('\\'));
}

std::string MakeScript(int nLines)
{
    std::string text = "[TEXT]\r\n";
    for (int i = 0; i < nLines; i++)
        text += std::to_string(i % 100) + ";Progression de l'installation, ligne " + std::to_string(i) + "\r\n";
    return text + "[END]\r\n";
}

struct Figures {
    size_t nMessages = 0;       // SETMSG of the [TEXT] lines
    size_t nCalls = 0;          // every host call of those lines
    double seconds = 0;
    bool ok = false;
};

// The recording host in this process: the install thread's calls are
// marshalled to this thread's apartment.
Figures RunInProcess(const std::string &script, int nLines)
{
    Figures f;
    InstallerHarness h;
    h.Set("RESURL2", "http://example.invalid/done");
    double t0 = Now();
    h.Start(script);
    f.ok = h.WaitForQuit(1800000);
    f.seconds = Now() - t0;
    std::vector<std::string> calls = h.host.Calls();
    f.nMessages = (size_t)std::count(calls.begin(), calls.end(), "ExecuteCmd SETMSG") - 2;
    f.nCalls = (size_t)nLines * 3;
    f.ok = f.ok && f.nMessages == (size_t)nLines;
    return f;
}

// Follows vurhost's transcript as it grows: the message phase runs from
// the first SETMSG to the result report's SEND.
class TranscriptFollower {
public:
    explicit TranscriptFollower(const std::string &path) : m_path(path) {}
    ~TranscriptFollower()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    void Poll()
    {
        if (m_h == INVALID_HANDLE_VALUE)
            m_h = CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, 0, NULL);
        if (m_h == INVALID_HANDLE_VALUE)
            return;
        char buf[65536];
        DWORD n = 0;
        while (ReadFile(m_h, buf, sizeof buf, &n, NULL) && n > 0) {
            m_partial.append(buf, n);
            size_t eol;
            while ((eol = m_partial.find('\n')) != std::string::npos) {
                Line(m_partial.substr(0, eol));
                m_partial.erase(0, eol + 1);
            }
        }
    }
    double firstMessage = 0, report = 0;
    size_t nMessages = 0;

private:
    void Line(const std::string &line)
    {
        if (line == "< ExecuteCmd SETMSG" && nMessages++ == 0)
            firstMessage = Now();
        else if (line == "< ExecuteCmd SEND")
            report = Now();
    }
    std::string m_path;
    HANDLE m_h = INVALID_HANDLE_VALUE;
    std::string m_partial;
};

Figures RunThroughVurhost(const std::string &scriptPath, const std::string &transcriptPath, int nLines,
                          double *pWallSeconds)
{
    Figures f;
    std::string cmd = "\"" + ProgramFolder() + "\\..\\tools\\vurhost\\vurhost.exe\" --quiet --timeout 3600 "
                      "--param RESURL2=http://example.invalid/done --transcript \"" + transcriptPath + "\" \"" +
                      scriptPath + "\"";
    DeleteFileA(transcriptPath.c_str());
    // vurhost's own report would mix with these figures.
    SECURITY_ATTRIBUTES sa = { sizeof sa, NULL, TRUE };
    HANDLE hNul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, NULL);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = hNul;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    double t0 = Now();
    BOOL bStarted = CreateProcessA(NULL, &cmd[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi);
    if (hNul != INVALID_HANDLE_VALUE)
        CloseHandle(hNul);
    if (!bStarted)
        return f;
    CloseHandle(pi.hThread);
    TranscriptFollower follower(transcriptPath);
    while (WaitForSingleObject(pi.hProcess, 5) == WAIT_TIMEOUT)
        follower.Poll();
    follower.Poll();
    *pWallSeconds = Now() - t0;
    DWORD dwExit = 1;
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hProcess);
    // The report ending's two messages come before SEND: not script lines.
    f.nMessages = follower.nMessages >= 2 ? follower.nMessages - 2 : 0;
    f.nCalls = f.nMessages * 3;
    f.seconds = follower.report - follower.firstMessage;
    f.ok = dwExit == 0 && f.nMessages == (size_t)nLines && f.seconds > 0;
    return f;
}

// One activation: CoCreateInstance until the server's first message
// (URL, the answer to INSTALL) reaches this process. The server is ended
// again with ForceRemove.
bool MeasureActivation(double *pCreated, double *pFirstMessage)
{
    RecordingHost host;
    double t0 = Now();
    IDiagPMP2Cmpt *pInstaller = NULL;
    if (FAILED(CoCreateInstance(CLSID_Installer, NULL, CLSCTX_LOCAL_SERVER, IID_IDiagPMP2Cmpt,
                                (void **)&pInstaller)))
        return false;
    *pCreated = Now() - t0;
    unsigned long dwCookie = 0;
    pInstaller->Advise(&host, &dwCookie);
    BSTR bstrName = ToBstr("FILE"), bstrValue = ToBstr("http://example.invalid/script.txt");
    pInstaller->SetParameter(bstrName, bstrValue);
    SysFreeString(bstrValue);
    SysFreeString(bstrName);
    bstrName = ToBstr("INSTALL");
    pInstaller->ExecuteCmd(bstrName);
    SysFreeString(bstrName);
    bool ok = host.PumpUntil([&] { return host.CallCount() > 0; }, 60000);
    *pFirstMessage = Now() - t0;
    pInstaller->ForceRemove();
    pInstaller->Release();
    // Wait for that server to be gone before the next one starts.
    host.PumpUntil([] { return ProcessesNamed("installer.exe").empty(); }, 30000);
    return ok;
}

void PrintRate(const char *pszWhat, const Figures &f)
{
    printf("%-44s %6zu messages (%zu host calls) in %7.2f s: %8.1f messages/s (%8.1f calls/s)\n", pszWhat,
           f.nMessages, f.nCalls, f.seconds, f.nMessages / f.seconds, f.nCalls / f.seconds);
}

}

int main(int argc, char **argv)
{
    int nLines = argc > 1 ? atoi(argv[1]) : 10000;
    if (nLines <= 0)
        nLines = 10000;
    CoInitialize(NULL);
    g_dwMainThreadId = GetCurrentThreadId();
    InitializeCriticalSection(&g_csInstall);
    if (RegisteredServerName(CLSID_Installer).empty()) {
        fprintf(stderr, "bench: Installer is not registered (run installer.exe /RegServer first)\n");
        return 1;
    }
    TempDir dir;
    std::string script = dir / "messages.txt";
    WriteFileBytes(script, MakeScript(nLines));
    printf("Host messages from the install thread: a script of %d [TEXT] lines (3 host calls each)\n\n", nLines);

    Figures inProcess = RunInProcess(MakeScript(nLines), nLines);
    double wall = 0;
    Figures crossProcess = RunThroughVurhost(script, dir / "transcript.txt", nLines, &wall);
    if (!inProcess.ok || !crossProcess.ok) {
        fprintf(stderr, "bench: a run did not complete (in-process %d, vurhost %d)\n", inProcess.ok,
                crossProcess.ok);
        return 1;
    }
    PrintRate("in-process recording host:", inProcess);
    PrintRate("vurhost, out-of-process server:", crossProcess);
    printf("%-44s %.1f x\n", "ratio (in-process / out-of-process):", (inProcess.nMessages / inProcess.seconds) /
                                                                   (crossProcess.nMessages / crossProcess.seconds));
    printf("%-44s %.2f s (vurhost start to its end, server start and end included)\n\n",
           "vurhost run, whole:", wall);

    printf("Server activation (CoCreateInstance to the first message), 3 runs:\n");
    for (int i = 0; i < 3; i++) {
        double created = 0, first = 0;
        if (!MeasureActivation(&created, &first)) {
            fprintf(stderr, "bench: activation %d failed\n", i + 1);
            return 1;
        }
        printf("  run %d: CoCreateInstance returned after %6.1f ms, first message after %6.1f ms\n", i + 1,
               created * 1000, first * 1000);
    }
    CoUninitialize();
    return 0;
}
