// Benchmark of host messages from the install thread: the same script of
// [TEXT] lines run through the in-process recording host and through
// vurhost and the real out-of-process server, in one run; and the time
// from CoCreateInstance to the first message (server activation).
#include "benchsupport.h"
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

// The message phase runs from the first SETMSG to the result report's SEND.
Figures RunThroughVurhost(const std::string &scriptPath, const std::string &transcriptPath, int nLines,
                          double *pWallSeconds)
{
    Figures f;
    double firstMessage = 0, report = 0;
    size_t nMessages = 0;
    long lExit = RunVurhostFollowing(scriptPath, "--timeout 3600 --param RESURL2=http://example.invalid/done",
                                     transcriptPath, [&](const std::string &line, double t) {
                                         if (line == "< ExecuteCmd SETMSG" && nMessages++ == 0)
                                             firstMessage = t;
                                         else if (line == "< ExecuteCmd SEND")
                                             report = t;
                                     }, pWallSeconds);
    // The report ending's two messages come before SEND: not script lines.
    f.nMessages = nMessages >= 2 ? nMessages - 2 : 0;
    f.nCalls = f.nMessages * 3;
    f.seconds = report - firstMessage;
    f.ok = lExit == 0 && f.nMessages == (size_t)nLines && f.seconds > 0;
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
