// The fuzz pass: the corpus's seeds as they are, then mutated ones, five
// install scripts to one registry script, each run in a sandbox and checked
// for crashes, hangs, heap damage and stray writes (see README.md). Under
// ctest a short pass with a fixed seed; bench/fuzz.sh runs long ones through
// VUR_FUZZ_SEED, VUR_FUZZ_FIRST, VUR_FUZZ_COUNT and VUR_FUZZ_LIMIT_MS.
#include "fuzz.h"
#include "fuzzsandbox.h"
#include "host/bstr.h"
#include "host/installer.h"
#include "server/registrar.h"
#include "support/recordinghost.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include <gtest/gtest.h>
#include <winternl.h>
#include <process.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <algorithm>
#include <memory>

extern "C" decltype(&MessageBoxA) __imp_MessageBoxA;
extern "C" decltype(&RegOpenKeyExA) __imp_RegOpenKeyExA;
extern "C" decltype(&RegCreateKeyExA) __imp_RegCreateKeyExA;
extern "C" decltype(&RegDeleteKeyA) __imp_RegDeleteKeyA;

namespace {

// Running one input. The product's calls go through this program's
// import table: an entry pointed elsewhere catches them.

template <class Fn> Fn ReplaceImport(Fn *pEntry, Fn pfnNew)
{
    DWORD dwOld;
    VirtualProtect(pEntry, sizeof *pEntry, PAGE_READWRITE, &dwOld);
    Fn pfnOld = *pEntry;
    *pEntry = pfnNew;
    VirtualProtect(pEntry, sizeof *pEntry, dwOld, &dwOld);
    return pfnOld;
}

// A message box would wait for a person: it is answered OK at once.
volatile LONG s_nMessageBoxes;
int WINAPI DismissedMessageBox(HWND, LPCSTR, LPCSTR, UINT)
{
    return InterlockedIncrement(&s_nMessageBoxes), IDOK;
}

// The registrar's key calls while a registry script runs: one by an empty
// name opens the key the registrar was in, a key the script did not name.
decltype(&RegOpenKeyExA) s_pfnOpenKey;
decltype(&RegCreateKeyExA) s_pfnCreateKey;
decltype(&RegDeleteKeyA) s_pfnDeleteKey;
const char *s_pszUnnamed;
bool s_bWatchNames;

void NoteName(LPCSTR pszName, const char *pszCall)
{
    if (s_bWatchNames && (!pszName || !*pszName) && !s_pszUnnamed)
        s_pszUnnamed = pszCall;
}
LONG WINAPI OpenKeyWatched(HKEY hKey, LPCSTR pszName, DWORD dwOptions, REGSAM sam, PHKEY phResult)
{
    NoteName(pszName, "RegOpenKeyExA");
    return s_pfnOpenKey(hKey, pszName, dwOptions, sam, phResult);
}
LONG WINAPI CreateKeyWatched(HKEY hKey, LPCSTR pszName, DWORD dwReserved, LPSTR pszClass, DWORD dwOptions, REGSAM sam,
                             LPSECURITY_ATTRIBUTES pSecurity, PHKEY phResult, LPDWORD pdwDisposition)
{
    NoteName(pszName, "RegCreateKeyExA");
    return s_pfnCreateKey(hKey, pszName, dwReserved, pszClass, dwOptions, sam, pSecurity, phResult, pdwDisposition);
}
LONG WINAPI DeleteKeyWatched(HKEY hKey, LPCSTR pszName)
{
    NoteName(pszName, "RegDeleteKeyA");
    return s_pfnDeleteKey(hKey, pszName);
}

// Registered and then unregistered, with the program's path as self-registration gives it.
std::string RunRegistryInput(const std::string &script)
{
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

// The recording host, called straight from the install thread: it holds
// the free-threaded marshaler, so the callback a run gets is this object,
// not a proxy that has to wait for this thread to serve it.
class DirectHost : public RecordingHost {
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

void Send(Installer *p, const char *pszCommand, const char *pszName = NULL, const std::string &value = "")
{
    if (pszName) {
        BSTR bstrName = ToBstr(pszName), bstrValue = ToBstr(value.c_str());
        p->SetParameter(bstrName, bstrValue);
        SysFreeString(bstrValue);
        SysFreeString(bstrName);
    }
    if (pszCommand) {
        BSTR bstrCommand = ToBstr(pszCommand);
        p->ExecuteCmd(bstrCommand);
        SysFreeString(bstrCommand);
    }
}

// The end of a run posts WM_QUIT here, as it would end the server.
void DrainMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        if (msg.message != WM_QUIT)
            TranslateMessage(&msg), DispatchMessageA(&msg);
}

// Until the run has left: its thread ends after giving up g_csInstall. A
// run that never ends is the watchdog's to report.
void WaitForRun(Installer *p)
{
    DWORD dwThreadId = p->m_dwThreadId;
    HANDLE hThread = dwThreadId ? OpenThread(SYNCHRONIZE, FALSE, dwThreadId) : NULL;
    while (hThread && MsgWaitForMultipleObjects(1, &hThread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
        DrainMessages();
    if (hThread)
        CloseHandle(hThread);
    while (p->m_dwThreadId != 0)    // only when the thread was ending just as its id was read
        Sleep(1);
    EnterCriticalSection(&g_csInstall);
    LeaveCriticalSection(&g_csInstall);
    DrainMessages();
}

// An install script through a fresh Installer object: INSTALL, the script's
// download, then each [DL] request answered with a fresh copy (COPY deletes
// what it copied) of the fixture the address names, else one it picks; an
// address holding "dlerr" gets DLERR, and the install then waits for nothing.
// Gives the number of host calls.
size_t RunInstallInput(const std::string &script, DirectHost &host, Sandbox &sandbox, const std::string &fixtureDir,
                       const Strings &fixtures)
{
    IDiagPMP2Cmpt *pObject = NULL;
    if (FAILED(CreateInstallerObject(NULL, IID_IDiagPMP2Cmpt, (void **)&pObject)))
        return 0;
    Installer *p = static_cast<Installer *>(pObject);
    unsigned long dwCookie = 0;
    p->Advise(&host, &dwCookie);
    Send(p, NULL, "RESURL1", "http://fuzz.invalid/installed");
    Send(p, NULL, "RESURL2", "http://fuzz.invalid/present");
    Send(p, NULL, "ERRURL", "http://fuzz.invalid/error");
    Send(p, "INSTALL", "FILE", "http://fuzz.invalid/script.txt");
    WriteFileBytes(sandbox.Script(), script);
    std::string path = sandbox.Script(), url;
    size_t nCalls = host.Take().size();     // the script's own request
    for (int k = 1;; k++) {
        Send(p, "DLDONE", "DLPATH", path);
        WaitForRun(p);
        bool bRequested = false;
        for (const std::string &call : host.Take()) {
            nCalls++;
            if (call.compare(0, 17, "SetParameter URL=") == 0)
                url = call.substr(17);
            bRequested |= call == "ExecuteCmd DOWNLOAD";
        }
        if (!bRequested || fixtures.empty())
            break;
        if (url.find("dlerr") != std::string::npos) {
            Send(p, "DLERR", "DLURL", url);
            break;
        }
        const std::string *pFixture = NULL;
        size_t hash = 0;
        for (const std::string &f : fixtures)
            if (lstrcmpiA(f.c_str(), url.substr(url.find_last_of("/\\") + 1).c_str()) == 0)
                pFixture = &f;
        for (char ch : url)
            hash = hash * 31 + (unsigned char)ch;
        pFixture = pFixture ? pFixture : &fixtures[hash % fixtures.size()];
        path = sandbox.Downloads() + "\\" + std::to_string(k) + "-" + *pFixture;
        CopyFileA((fixtureDir + "\\" + *pFixture).c_str(), path.c_str(), FALSE);
    }
    p->StopInstallThread();
    if (p->m_pCallback)
        p->m_pCallback->Release(), p->m_pCallback = NULL;
    p->Release();
    DrainMessages();
    return nCalls + host.Take().size();
}

// The pass, and what the watchdog and the crash filter report.

struct Input {
    bool bRegistry;
    std::string name, text;
};

struct PassState {
    unsigned long long seed = 1, hostCalls = 0;
    unsigned long first = 0, next = 0, install = 0, registry = 0, crashes = 0, hangs = 0, heap = 0, stray = 0;
    DWORD dwLimitMs = 10000, dwStart = 0;
    const Input *volatile pInput = NULL;
    volatile unsigned long index = 0;
    volatile DWORD dwInputStart = 0;
    volatile bool bStop = false;
} g_pass;

unsigned long EnvNumber(const char *pszName, unsigned long dflt)
{
    const char *psz = getenv(pszName);
    return psz && *psz ? strtoul(psz, NULL, 10) : dflt;
}

// The file names (and with bText the contents) of dir's files matching pattern.
Strings FolderFiles(const std::string &dir, const char *pszPattern, Strings *pTexts)
{
    Strings names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\" + pszPattern).c_str(), &fd);
    for (BOOL b = h != INVALID_HANDLE_VALUE; b; b = FindNextFileA(h, &fd)) {
        std::string text;
        // Files named known-* hold faults found and not fixed yet: kept, not run.
        // Downloads are small files only: throughput matters more than size.
        if (pTexts ? strncmp(fd.cFileName, "known-", 6) != 0 && ReadFileBytes(dir + "\\" + fd.cFileName, &text)
                   : !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !fd.nFileSizeHigh && fd.nFileSizeLow < 200000) {
            names.push_back(fd.cFileName);
            if (pTexts)
                pTexts->push_back(text);
        }
    }
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);
    return names;
}

void PrintSummary()
{
    double seconds = (GetTickCount() - g_pass.dwStart) / 1000.0;
    printf("fuzz summary: seed=%llu first=%lu next=%lu install=%lu registry=%lu seconds=%.1f crashes=%lu hangs=%lu "
           "heap=%lu stray=%lu inputs/s=%.1f hostcalls/s=%.0f messageboxes=%ld\n",
           g_pass.seed, g_pass.first, g_pass.next, g_pass.install, g_pass.registry, seconds, g_pass.crashes, g_pass.hangs,
           g_pass.heap, g_pass.stray, seconds > 0 ? (g_pass.install + g_pass.registry) / seconds : 0.0,
           seconds > 0 ? g_pass.hostCalls / seconds : 0.0, s_nMessageBoxes);
    fflush(stdout);
}

// Reports the input at hand and keeps a copy in fuzz-findings\ of the
// current folder, to be minimised into the corpus. A crash, a hang or heap
// damage (nExitCode) ends the process: what the product left behind cannot
// be trusted. bench/fuzz.sh goes on from the next input.
void Finding(const char *pszWhat, const std::string &detail, int nExitCode = 0)
{
    const Input *pInput = g_pass.pInput;
    std::string saved;
    if (pInput) {
        CreateDirectoryA("fuzz-findings", NULL);
        saved = "fuzz-findings\\" + std::string(pszWhat) + "-" + std::to_string(g_pass.seed) + "-" +
                std::to_string(g_pass.index) + (pInput->bRegistry ? ".rgs" : ".txt");
        std::replace(saved.begin(), saved.end(), ' ', '-');
        WriteFileBytes(saved, pInput->text);
    }
    printf("fuzz: %s: %s: %s%s\n", pszWhat, pInput ? pInput->name.c_str() : "outside any input", detail.c_str(),
           saved.empty() ? "" : (" (saved as " + saved + ")").c_str());
    fflush(stdout);
    if (nExitCode) {
        g_pass.next = g_pass.index + 1;
        PrintSummary();
        TerminateProcess(GetCurrentProcess(), nExitCode);
    }
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS *pInfo)
{
    g_pass.crashes++;
    char szDetail[64];
    snprintf(szDetail, sizeof szDetail, "exception 0x%08lx at %p", (unsigned long)pInfo->ExceptionRecord->ExceptionCode,
             pInfo->ExceptionRecord->ExceptionAddress);
    Finding("crash", szDetail, 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

unsigned __stdcall Watchdog(void *)
{
    while (!g_pass.bStop) {
        Sleep(100);
        if (g_pass.pInput && GetTickCount() - g_pass.dwInputStart > g_pass.dwLimitMs)
            g_pass.hangs++, Finding("hang", "still running after " + std::to_string(g_pass.dwLimitMs) + " ms", 4);
    }
    return 0;
}

bool HeapsValid()
{
    HANDLE ahHeaps[64];
    DWORD n = GetProcessHeaps(64, ahHeaps);
    for (DWORD i = 0; i < n && i < 64; i++)
        if (!HeapValidate(ahHeaps[i], 0, NULL))
            return false;
    return true;
}

void RunPass(unsigned long count)
{
    std::string folder = ThisProgramPath().substr(0, ThisProgramPath().find_last_of('\\'));
    std::string fixtureDir = folder + "\\..\\sysops\\fixtures";
    Strings seedTexts[2], fixtures = FolderFiles(fixtureDir, "*", NULL);
    Strings seedNames[2] = { FolderFiles(folder + "\\corpus\\install", "*.txt", &seedTexts[0]),
                             FolderFiles(folder + "\\corpus\\registry", "*.rgs", &seedTexts[1]) };
    ASSERT_FALSE(seedNames[0].empty() || seedNames[1].empty());
    ReplaceImport(&__imp_MessageBoxA, DismissedMessageBox);
    s_pfnOpenKey = ReplaceImport(&__imp_RegOpenKeyExA, OpenKeyWatched);
    s_pfnCreateKey = ReplaceImport(&__imp_RegCreateKeyExA, CreateKeyWatched);
    s_pfnDeleteKey = ReplaceImport(&__imp_RegDeleteKeyA, DeleteKeyWatched);
    Sandbox sandbox;
    DirectHost host;
    for (unsigned long i = g_pass.first; i < g_pass.first + count; i++) {
        // Every sixth a registry script; the seeds first as they are, then
        // mutations decided by the seed and i, of the shorter of two seeds
        // drawn (the long ones, fifty downloads, would take most of the time).
        Input in;
        in.bRegistry = i % 6 == 5;
        const Strings &names = seedNames[in.bRegistry], &texts = seedTexts[in.bRegistry];
        unsigned long ordinal = in.bRegistry ? i / 6 : i - i / 6;
        in.name = std::string(in.bRegistry ? "registry" : "install") + " input " + std::to_string(i) + " (";
        if (ordinal < names.size()) {
            in.text = texts[ordinal];
            in.name += names[ordinal] + ")";
        } else {
            Rng rng{ g_pass.seed * 0x2545F4914F6CDD1Dull ^ i };
            size_t a = rng.Below(names.size()), b = rng.Below(names.size());
            size_t base = texts[a].size() <= texts[b].size() ? a : b;
            const std::string &donor = texts[rng.Below(names.size())];
            std::string how;
            in.text = Mutate(texts[base], donor, in.bRegistry, rng, &how);
            in.name += names[base] + ", " + how + ")";
        }
        sandbox.Reset();
        g_pass.index = i;
        g_pass.dwInputStart = GetTickCount();
        g_pass.pInput = &in;
        std::string strays;
        if (in.bRegistry)
            strays = RunRegistryInput(in.text), g_pass.registry++;
        else
            g_pass.hostCalls += RunInstallInput(in.text, host, sandbox, fixtureDir, fixtures), g_pass.install++;
        for (const std::string &what : sandbox.StrayWrites())
            strays += (strays.empty() ? "" : "; ") + what;
        if (!strays.empty())
            g_pass.stray++, Finding("stray write", strays);
        if (!HeapsValid())
            g_pass.heap++, Finding("heap damage", "a heap of the process fails HeapValidate", 5);
        g_pass.pInput = NULL;
        g_pass.next = i + 1;
    }
}

} // namespace

TEST(Fuzz, InstallAndRegistryScripts)
{
    g_pass.seed = EnvNumber("VUR_FUZZ_SEED", 1);
    g_pass.first = g_pass.next = EnvNumber("VUR_FUZZ_FIRST", 0);
    g_pass.dwLimitMs = EnvNumber("VUR_FUZZ_LIMIT_MS", 10000);
    // Two passes in one prefix would empty each other's sandbox.
    HANDLE hOnePass = CreateMutexA(NULL, FALSE, "VurFuzzPass");
    ASSERT_TRUE(hOnePass && GetLastError() != ERROR_ALREADY_EXISTS) << "another fuzz pass runs in this prefix";
    SetUnhandledExceptionFilter(OnCrash);
    HANDLE hWatchdog = (HANDLE)_beginthreadex(NULL, 0, Watchdog, NULL, 0, NULL);
    g_pass.dwStart = GetTickCount();
    RunPass(EnvNumber("VUR_FUZZ_COUNT", 3000));
    PrintSummary();
    g_pass.bStop = true;
    WaitForSingleObject(hWatchdog, INFINITE);
    CloseHandle(hWatchdog);
    CloseHandle(hOnePass);
    EXPECT_EQ(0u, g_pass.stray) << "stray writes (listed above)";
}
