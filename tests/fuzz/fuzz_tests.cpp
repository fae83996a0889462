// The fuzz pass: the corpus's seeds as they are, then mutated ones, five
// install scripts to one registry script, each run in the sandbox and
// checked for crashes, hangs, heap damage and stray writes. Under ctest it
// is a short pass with a fixed seed; bench/fuzz.sh runs long ones through
// VUR_FUZZ_SEED, VUR_FUZZ_FIRST (index of the first input) and
// VUR_FUZZ_COUNT, and VUR_FUZZ_LIMIT_MS bounds the time of one input.
#include "mutate.h"
#include "sandbox.h"
#include "scriptrun.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include <gtest/gtest.h>
#include <process.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

struct Seed {
    std::string name, text;
};

struct Input {
    ScriptKind kind;
    std::string name, text;
};

struct Counts {
    unsigned long install = 0, registry = 0, crashes = 0, hangs = 0, heap = 0, stray = 0;
};

// What the watchdog and the crash filter need to report the input at hand.
struct PassState {
    unsigned long long seed = 1;
    unsigned long first = 0, next = 0;
    DWORD dwLimitMs = 10000;
    DWORD dwStart = 0;
    Counts counts;
    unsigned long long hostCalls = 0;
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

std::string ProgramFolder()
{
    std::string path = ThisProgramPath();
    return path.substr(0, path.find_last_of('\\'));
}

// Files named known-* hold faults found and not fixed yet: kept, not run.
std::vector<Seed> LoadSeeds(const std::string &dir, const char *pszExt)
{
    std::vector<Seed> seeds;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*" + pszExt).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return seeds;
    do {
        Seed s{ fd.cFileName, "" };
        if (strncmp(fd.cFileName, "known-", 6) != 0 && ReadFileBytes(dir + "\\" + s.name, &s.text))
            seeds.push_back(s);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return seeds;
}

void PrintSummary()
{
    const Counts &c = g_pass.counts;
    double seconds = (GetTickCount() - g_pass.dwStart) / 1000.0;
    unsigned long n = c.install + c.registry;
    printf("fuzz: %lu inputs (%lu install scripts, %lu registry scripts) in %.1f s: %.1f inputs/s, "
           "%.0f host calls/s, %ld message boxes; %lu crashes, %lu hangs, %lu heap damage, %lu stray writes\n",
           n, c.install, c.registry, seconds, seconds > 0 ? n / seconds : 0.0,
           seconds > 0 ? g_pass.hostCalls / seconds : 0.0, InstallScriptRunner::MessageBoxes(), c.crashes, c.hangs, c.heap, c.stray);
    printf("fuzz summary: seed=%llu first=%lu next=%lu install=%lu registry=%lu seconds=%.1f crashes=%lu hangs=%lu "
           "heap=%lu stray=%lu\n",
           g_pass.seed, g_pass.first, g_pass.next, c.install, c.registry, seconds, c.crashes, c.hangs, c.heap, c.stray);
    fflush(stdout);
}

// Reports the input at hand and keeps a copy in fuzz-findings\ of the
// current folder, to be minimised into the corpus.
void Finding(const char *pszWhat, const std::string &detail)
{
    const Input *pInput = g_pass.pInput;
    std::string saved;
    if (pInput) {
        CreateDirectoryA("fuzz-findings", NULL);
        saved = std::string("fuzz-findings\\") + pszWhat + "-" + std::to_string(g_pass.seed) + "-" +
                std::to_string(g_pass.index) + (pInput->kind == ScriptKind::Install ? ".txt" : ".rgs");
        for (char &ch : saved)
            ch = ch == ' ' ? '-' : ch;
        WriteFileBytes(saved, pInput->text);
    }
    printf("fuzz: %s: %s: %s%s\n", pszWhat, pInput ? pInput->name.c_str() : "outside any input", detail.c_str(),
           saved.empty() ? "" : (" (saved as " + saved + ")").c_str());
    fflush(stdout);
}

// A crash or a hang ends the process: what the product left behind cannot
// be trusted. bench/fuzz.sh goes on from the next input.
void StopAfter(int nExitCode)
{
    g_pass.next = g_pass.index + 1;
    PrintSummary();
    TerminateProcess(GetCurrentProcess(), nExitCode);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS *pInfo)
{
    g_pass.counts.crashes++;
    char szDetail[64];
    snprintf(szDetail, sizeof szDetail, "exception 0x%08lx at %p", (unsigned long)pInfo->ExceptionRecord->ExceptionCode,
             pInfo->ExceptionRecord->ExceptionAddress);
    Finding("crash", szDetail);
    StopAfter(3);
    return EXCEPTION_EXECUTE_HANDLER;
}

unsigned __stdcall Watchdog(void *)
{
    while (!g_pass.bStop) {
        Sleep(100);
        if (g_pass.pInput && GetTickCount() - g_pass.dwInputStart > g_pass.dwLimitMs) {
            g_pass.counts.hangs++;
            Finding("hang", "still running after " + std::to_string(g_pass.dwLimitMs) + " ms");
            StopAfter(4);
        }
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

class Pass {
public:
    Pass()
        : m_install(LoadSeeds(ProgramFolder() + "\\corpus\\install", ".txt")),
          m_registry(LoadSeeds(ProgramFolder() + "\\corpus\\registry", ".rgs")),
          m_runner(ProgramFolder() + "\\..\\sysops\\fixtures", &m_sandbox)
    {
    }

    // Input i: every sixth a registry script; the seeds come first as they
    // are, then mutations, structural or byte-wise, decided by the seed and i.
    Input Make(unsigned long i)
    {
        bool bRegistry = i % 6 == 5;
        const std::vector<Seed> &seeds = bRegistry ? m_registry : m_install;
        unsigned long ordinal = bRegistry ? i / 6 : i - i / 6;
        Input in;
        in.kind = bRegistry ? ScriptKind::Registry : ScriptKind::Install;
        std::string prefix = std::string(bRegistry ? "registry" : "install") + " input " + std::to_string(i) + " (";
        if (ordinal < seeds.size()) {
            in.text = seeds[ordinal].text;
            in.name = prefix + seeds[ordinal].name + ")";
            return in;
        }
        // The base is the shorter of two seeds drawn: the long ones (fifty
        // downloads) would otherwise take most of the time.
        Rng rng(g_pass.seed * 0x2545F4914F6CDD1Dull ^ i);
        const Seed &first = seeds[rng.Below(seeds.size())];
        const Seed &second = seeds[rng.Below(seeds.size())];
        const Seed &base = first.text.size() <= second.text.size() ? first : second;
        const Seed &donor = seeds[rng.Below(seeds.size())];
        std::string how;
        in.text = rng.Below(2) ? MutateStructure(base.text, donor.text, in.kind, rng, &how)
                               : MutateBytes(base.text, rng, &how);
        in.name = prefix + base.name + ", " + how + ")";
        return in;
    }

    void Run(unsigned long count)
    {
        ASSERT_FALSE(m_install.empty());
        ASSERT_FALSE(m_registry.empty());
        for (unsigned long i = g_pass.first; i < g_pass.first + count; i++) {
            Input in = Make(i);
            m_sandbox.Reset();
            g_pass.index = i;
            g_pass.dwInputStart = GetTickCount();
            g_pass.pInput = &in;
            std::string strays;
            if (in.kind == ScriptKind::Install) {
                m_runner.Run(in.text);
                g_pass.counts.install++;
            } else {
                strays = RunRegistryInput(in.text);
                g_pass.counts.registry++;
            }
            g_pass.hostCalls = m_runner.HostCalls();
            for (const std::string &what : m_sandbox.StrayWrites())
                strays += (strays.empty() ? "" : "; ") + what;
            if (!strays.empty()) {
                g_pass.counts.stray++;
                Finding("stray write", strays);
            }
            if (!HeapsValid()) {
                g_pass.counts.heap++;
                Finding("heap damage", "a heap of the process fails HeapValidate");
                StopAfter(5);
            }
            g_pass.pInput = NULL;
            g_pass.next = i + 1;
        }
    }

private:
    std::vector<Seed> m_install, m_registry;
    Sandbox m_sandbox;
    InstallScriptRunner m_runner;
};

} // namespace

TEST(Fuzz, InstallAndRegistryScripts)
{
    g_pass.seed = EnvNumber("VUR_FUZZ_SEED", 1);
    g_pass.first = g_pass.next = EnvNumber("VUR_FUZZ_FIRST", 0);
    g_pass.dwLimitMs = EnvNumber("VUR_FUZZ_LIMIT_MS", 10000);
    unsigned long count = EnvNumber("VUR_FUZZ_COUNT", 3000);
    // Two passes in one prefix would empty each other's sandbox.
    HANDLE hOnePass = CreateMutexA(NULL, FALSE, "VurFuzzPass");
    ASSERT_TRUE(hOnePass && GetLastError() != ERROR_ALREADY_EXISTS) << "another fuzz pass runs in this prefix";
    SetUnhandledExceptionFilter(OnCrash);
    HANDLE hWatchdog = (HANDLE)_beginthreadex(NULL, 0, Watchdog, NULL, 0, NULL);
    g_pass.dwStart = GetTickCount();
    {
        Pass pass;
        pass.Run(count);
    }
    PrintSummary();
    g_pass.bStop = true;
    WaitForSingleObject(hWatchdog, INFINITE);
    CloseHandle(hWatchdog);
    CloseHandle(hOnePass);
    EXPECT_EQ(0u, g_pass.counts.stray) << "stray writes (listed above)";
}
