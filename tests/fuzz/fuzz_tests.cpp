// The fuzz pass: the corpus's install scripts as they are, then mutated
// ones, each run in a sandbox and checked for crashes, hangs, heap damage and
// stray file writes (see README.md). Under
// ctest a short pass with a fixed seed; bench/fuzz.sh runs long ones through
// VUR_FUZZ_SEED, VUR_FUZZ_FIRST, VUR_FUZZ_COUNT and VUR_FUZZ_LIMIT_MS.
#include "support/harness.h"
#include "support/testmain.h"
#include <gtest/gtest.h>
#include <process.h>
#include <stdint.h>
#include <algorithm>
#include <functional>
#include <map>

namespace {

typedef std::vector<std::string> Strings;
typedef std::vector<std::pair<size_t, size_t>> Runs;    // (start, length)

// The same seed gives the same inputs.
struct Rng {
    uint64_t state;
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t Below(size_t n) { return n ? (size_t)(Next() % n) : 0; }
    template <size_t N> const char *Pick(const char *const (&a)[N]) { return a[Below(N)]; }
};

// The inputs' mutations.

// Lengths around the 256-byte text fields and 260-byte paths, and far past them.
const size_t kLengths[] = { 255, 256, 257, 260, 272, 1000, 4096, 10000 };
const char *const kNumbers[] = { "4294967295", "4294967296", "2147483647", "2147483648", "-1", "-2147483648",
                                 "-2147483649", "99999999999999999999", "-0", " +7", "0x10" };
const char *const kHeaders[] = { "[INSTALL]", "[TEST]", "[DL]", "[ACTIONS]", "[TEXT]", "[REQUIRED_ACTIONS]",
                                 "[END]", "[REGISTRY]", "[PLUGIN]", "[FILE]", "[FILEDATE]", "[FILEVER]" };
const char kBytes[] = { '\0', '\xff', '\x80', ';', ':', '\r', '\n', '\\', ' ' };

// Lines with their ends ("\n" closes a line; a CR stays with its line).
Strings Lines(const std::string &text)
{
    Strings lines;
    for (size_t start = 0, end; start < text.size(); start = end) {
        end = std::min(text.find('\n', start), text.size() - 1) + 1;
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

Runs RunsOf(const std::string &text, const std::function<bool(char)> &pred)
{
    Runs runs;
    for (size_t i = 0, start; i < text.size(); i++)
        if (pred(text[i])) {
            for (start = i; i < text.size() && pred(text[i]); i++) {
            }
            runs.push_back({ start, i - start });
        }
    return runs;
}

// One structural change; gives its name.
std::string ChangeOnce(std::string &text, const std::string &donor, Rng &rng)
{
    auto separator = [](char ch) { return ch == '\r' || ch == '\n' || ch == ';' || ch == ':'; };
    // A run of the text replaced; none: inserted at the start.
    auto replaceRun = [&](const Runs &runs, const std::string &with, const char *pszHow) {
        auto s = runs.empty() ? std::make_pair<size_t, size_t>(0, 0) : runs[rng.Below(runs.size())];
        return text.replace(s.first, s.second, with), std::string(pszHow);
    };
    Runs fields = RunsOf(text, [&](char ch) { return !separator(ch); });
    auto filler = [&](size_t n) { return std::string(n, "x9;\\. "[rng.Below(6)]); };
    Strings lines = Lines(text);
    std::string line, how;      // line: a line to insert somewhere
    switch (rng.Below(11)) {
    case 0:
        if (!lines.empty())
            lines.erase(lines.begin() + rng.Below(lines.size()));
        how = "drop-line";
        break;
    case 1:
        if (!lines.empty())
            std::swap(lines[rng.Below(lines.size())], lines[rng.Below(lines.size())]);
        how = "swap-lines";
        break;
    case 2: {   // a line of this seed doubled, or one of another seed
        Strings from = rng.Below(2) ? lines : Lines(donor);
        line = from.empty() ? "" : from[rng.Below(from.size())], how = "copy-line";
        break;
    }
    case 3:
        line = std::string(rng.Pick(kHeaders)) + "\r\n", how = "add-header";
        break;
    case 4:
    case 5: {
        // Half the time up to 63 bytes shorter: a name joined to the install
        // folder's path then meets the same limits.
        size_t len = kLengths[rng.Below(sizeof kLengths / sizeof kLengths[0])] - (rng.Below(2) ? rng.Below(64) : 0);
        return replaceRun(fields, filler(len), "long-field");
    }
    case 6:     // two fields run together
        return replaceRun(RunsOf(text, [&](char ch) { return separator(ch) && ch != '\n'; }), "", "drop-separator");
    case 7: {
        Runs digits = RunsOf(text, [](char ch) { return ch >= '0' && ch <= '9'; });
        return replaceRun(digits.empty() ? fields : digits, rng.Pick(kNumbers), "number");
    }
    case 8:
        return replaceRun(fields, "", "empty-field");
    case 9:
        ReplaceAll(&text, "\r\n", "\r");
        ReplaceAll(&text, "\n", "\r");
        return "cr-only";
    default:
        line = "1;" + filler(1 << 20) + "\r\n", how = "1mb-line";
    }
    if (!line.empty())
        lines.insert(lines.begin() + rng.Below(lines.size() + 1), line);
    text.clear();
    for (const std::string &l : lines)
        text += l;
    return how;
}

// One to three structural changes, or one to eight byte changes; *pHow
// gets their names.
std::string Mutate(std::string text, const std::string &donor, Rng &rng, std::string *pHow)
{
    if (rng.Below(2)) {
        for (size_t i = 0, n = 1 + rng.Below(3); i < n; i++)
            *pHow += (i ? "+" : "") + ChangeOnce(text, donor, rng);
        return text;
    }
    size_t n = 1 + rng.Below(8);
    for (size_t i = 0; i < n; i++) {
        size_t at = rng.Below(text.size() + 1), kind = rng.Below(5);
        if (kind == 2)
            text.insert(at, 1, (char)rng.Below(256));
        else if (at >= text.size())
            continue;
        else if (kind == 0)
            text[at] ^= (char)(1 << rng.Below(8));
        else if (kind == 1)
            text[at] = kBytes[rng.Below(sizeof kBytes)];
        else if (kind == 3)
            text.erase(at, 1 + rng.Below(4));
        else
            text.insert(rng.Below(text.size() + 1), text.substr(at, 1 + rng.Below(16)));
    }
    *pHow += "bytes x" + std::to_string(n);
    return text;
}

// The sandbox. Each predefined root names its own key under HKU\VurFuzz:
// the product reaches the registry only through those roots, so whatever
// key a mutated REGISTRY line names lands there, and what lands there is
// the script's own doing. A change on drive C: outside the temp folder is
// a stray write.
const char kSandbox[] = "VurFuzz";
// HKEY_PERFORMANCE_DATA has no key to stand for it; nothing can be made under it either.
const struct {
    HKEY hRoot;
    const char *pszName;
} kRoots[] = {
    { HKEY_CLASSES_ROOT, "HKCR" }, { HKEY_CURRENT_USER, "HKCU" },   { HKEY_LOCAL_MACHINE, "HKLM" },
    { HKEY_USERS, "HKU" },         { HKEY_CURRENT_CONFIG, "HKCC" }, { HKEY_DYN_DATA, "HKDD" },
};
const size_t kRootCount = sizeof kRoots / sizeof kRoots[0], kHklm = 2;
// The host's callback reaches the install thread through a proxy that COM
// builds from these keys of HKCR: each fresh sandbox gets the real ones.
const char *const kMarshalKeys[] = { "Interface\\{DA6D2210-4028-11D1-B2B1-0020AFC82F1C}",
                                     "TypeLib\\{63C43602-34EF-11D2-94F6-204C4F4F5020}",
                                     "CLSID\\{00020424-0000-0000-C000-000000000046}" };

class Sandbox {
public:
    Sandbox()
    {
        char szTemp[MAX_PATH];
        DWORD n = GetTempPathA(sizeof szTemp, szTemp);
        m_temp.assign(szTemp, n && n < sizeof szTemp ? n - 1 : 0);
        RegDeleteTreeA(HKEY_USERS, kSandbox);
        RegCreateKeyExA(HKEY_USERS, kSandbox, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_hSandbox, NULL);
        SnapFiles("C:", m_files);
        for (size_t i = 0; i < 3; i++)
            RegOpenKeyExA(HKEY_CLASSES_ROOT, kMarshalKeys[i], 0, KEY_READ, &m_ahMarshal[i]);
    }
    ~Sandbox()
    {
        for (size_t i = 0; i < kRootCount; i++)
            RegOverridePredefKey(kRoots[i].hRoot, NULL), RegCloseKey(m_ahRoots[i]);
        RegDeleteTreeA(m_hSandbox, NULL);
        RegCloseKey(m_hSandbox);
        RegDeleteKeyA(HKEY_USERS, kSandbox);
        for (HKEY hKey : m_ahMarshal)
            RegCloseKey(hKey);
    }

    // Empties the folders; makes the root keys anew (under HKLM with the
    // install folder value) and points the roots there.
    // False when a root could not be pointed there: the input must not run
    // against the real registry.
    bool Reset()
    {
        DeleteTree(m_dir / "install");
        DeleteTree(Downloads());
        CreateDirectoryA((m_dir / "install").c_str(), NULL);
        CreateDirectoryA(Downloads().c_str(), NULL);
        if (!m_hSandbox)
            return false;
        RegDeleteTreeA(m_hSandbox, NULL);
        for (size_t i = 0; i < kRootCount; i++) {
            RegCloseKey(m_ahRoots[i]);
            m_ahRoots[i] = NULL;
            if (RegCreateKeyExA(m_hSandbox, kRoots[i].pszName, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_ahRoots[i], NULL) ||
                RegOverridePredefKey(kRoots[i].hRoot, m_ahRoots[i]))
                return false;
        }
        for (size_t i = 0; i < 3; i++) {
            HKEY hCopy = NULL;
            RegCreateKeyExA(m_ahRoots[0], kMarshalKeys[i], 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hCopy, NULL);
            RegCopyTreeA(m_ahMarshal[i], NULL, hCopy);
            RegCloseKey(hCopy);
        }
        std::string install = m_dir / "install";
        RegSetKeyValueA(m_ahRoots[kHklm], "Software\\VUR", NULL, REG_SZ, install.c_str(), (DWORD)install.size() + 1);
        return true;
    }

    // What changed outside the sandbox since the last look, one line each.
    Strings Look()
    {
        Strings found;
        std::map<std::string, std::string> files;
        SnapFiles("C:", files);
        for (const auto &entry : files) {
            auto was = m_files.find(entry.first);
            if (was == m_files.end() || was->second != entry.second)
                found.push_back("files: " + entry.first + (was == m_files.end() ? " made" : " changed"));
        }
        for (const auto &entry : m_files)
            if (!files.count(entry.first))
                found.push_back("files: " + entry.first + " removed");
        m_files.swap(files);
        return found;
    }

    std::string Downloads() const { return m_dir / "downloads"; }

private:
    // Each file's attributes, size and last write time; a folder's
    // attributes (the names in it are listed anyway). Links (to the user's
    // folders outside the drive) are not followed.
    void SnapFiles(const std::string &dir, std::map<std::string, std::string> &out)
    {
        ForEachFile(dir, [&](const WIN32_FIND_DATAA &fd) {
            std::string path = dir + "\\" + fd.cFileName, &what = out[path];
            what = std::to_string(fd.dwFileAttributes);
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                what += " " + std::to_string(fd.nFileSizeLow) + " " + std::to_string(fd.ftLastWriteTime.dwLowDateTime);
            else if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && lstrcmpiA(path.c_str(), m_temp.c_str()))
                SnapFiles(path, out);
        });
    }

    TempDir m_dir;
    std::string m_temp;             // the temp folder, without its final backslash
    std::map<std::string, std::string> m_files;    // a path -> what tells a change
    HKEY m_hSandbox = NULL;         // HKU\VurFuzz, whose keys the roots stand for
    HKEY m_ahRoots[kRootCount] = {}, m_ahMarshal[3] = {};
};

// An install script through the in-process host: INSTALL, the script's
// download, then each [DL] request answered with a fresh copy (COPY deletes
// what it copied) of the fixture the address names, else one it picks; an
// address holding "dlerr" gets DLERR, and the install then waits for nothing.
// Message boxes are pressed by the harness's watcher.
void RunInstallInput(const std::string &script, Sandbox &sandbox, const std::string &fixtureDir, const Strings &fixtures)
{
    InstallerHarness h;
    h.Set("RESURL1", "http://fuzz.invalid/installed");
    h.Set("RESURL2", "http://fuzz.invalid/present");
    h.Set("ERRURL", "http://fuzz.invalid/error");
    h.Start(script);
    std::string url;
    size_t nAsked = 1;      // the script's own request
    auto asked = [&] {
        Strings calls = h.host.Calls();
        for (size_t i = 0, n = 0; i < calls.size(); i++)
            if (calls[i].compare(0, 17, "SetParameter URL=") == 0)
                url = calls[i].substr(17);
            else if (calls[i] == "ExecuteCmd DOWNLOAD" && ++n > nAsked)
                return true;
        return false;
    };
    for (int k = 1; !fixtures.empty(); k++) {
        h.host.PumpUntil([&] { return asked() || !h.Object()->m_dwThreadId; }, INFINITE);
        if (!asked())
            break;
        nAsked++;
        if (url.find("dlerr") != std::string::npos) {
            h.Set("DLURL", url);
            h.Command("DLERR");
            break;
        }
        std::string name = url.substr(url.find_last_of("/\\") + 1);
        auto named = std::find_if(fixtures.begin(), fixtures.end(),
                                  [&](const std::string &f) { return lstrcmpiA(f.c_str(), name.c_str()) == 0; });
        const std::string &fixture = named != fixtures.end() ? *named : fixtures[std::hash<std::string>()(url) % fixtures.size()];
        std::string path = sandbox.Downloads() + "\\" + std::to_string(k) + "-" + fixture;
        CopyFileA((fixtureDir + "\\" + fixture).c_str(), path.c_str(), FALSE);
        h.AnswerDownload(path, 0);
    }
    h.WaitForRunEnd(INFINITE);
}

// The pass, and what the watchdog and the crash filter report.

struct Input {
    std::string name, text;
};

enum Kind { kCrash, kHang, kHeapDamage, kStrayWrite };
const char *const kKindNames[] = { "crash", "hang", "heap damage", "stray write" };

struct PassState {
    unsigned long long seed;
    unsigned long first, next, inputs, found[4];
    DWORD dwLimitMs, dwStart;
    const Input *volatile pInput;
    volatile unsigned long index;
    volatile DWORD dwInputStart;
} g_pass;

unsigned long EnvNumber(const char *pszName, unsigned long dflt)
{
    const char *psz = getenv(pszName);
    return psz && *psz ? strtoul(psz, NULL, 10) : dflt;
}

void PrintSummary()
{
    printf("fuzz summary: seed=%llu first=%lu next=%lu inputs=%lu seconds=%.1f crashes=%lu hangs=%lu heap=%lu stray=%lu\n",
           g_pass.seed, g_pass.first, g_pass.next, g_pass.inputs, (GetTickCount() - g_pass.dwStart) / 1000.0,
           g_pass.found[kCrash], g_pass.found[kHang], g_pass.found[kHeapDamage], g_pass.found[kStrayWrite]);
    fflush(stdout);
}

// Reports the input at hand and keeps a copy in fuzz-findings\ of the
// current folder, to be minimised into the corpus. A crash, a hang or heap
// damage ends the process with exit code 3, 4 or 5: what the product left
// behind cannot be trusted. bench/fuzz.sh goes on from the next input.
void Finding(Kind kind, const std::string &detail)
{
    const Input *pInput = g_pass.pInput;
    std::string saved = "fuzz-findings\\" + std::to_string(g_pass.seed) + "-" + std::to_string(g_pass.index) + ".txt";
    CreateDirectoryA("fuzz-findings", NULL);
    g_pass.found[kind]++;
    printf("fuzz: %s: %s: %s (saved as %s)\n", kKindNames[kind], pInput ? pInput->name.c_str() : "outside any input",
           detail.c_str(), pInput && WriteFileBytes(saved, pInput->text) ? saved.c_str() : "nothing");
    fflush(stdout);
    if (kind != kStrayWrite) {
        g_pass.next = g_pass.index + 1;
        PrintSummary();
        TerminateProcess(GetCurrentProcess(), 3 + kind);
    }
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS *pInfo)
{
    char szDetail[64];
    snprintf(szDetail, sizeof szDetail, "exception 0x%08lx at %p", (unsigned long)pInfo->ExceptionRecord->ExceptionCode,
             pInfo->ExceptionRecord->ExceptionAddress);
    Finding(kCrash, szDetail);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Runs to the end of the process.
unsigned __stdcall Watchdog(void *)
{
    for (;;) {
        Sleep(100);
        if (g_pass.pInput && GetTickCount() - g_pass.dwInputStart > g_pass.dwLimitMs)
            Finding(kHang, "still running after " + std::to_string(g_pass.dwLimitMs) + " ms");
    }
}

void RunPass(unsigned long count)
{
    std::string folder = ThisProgramPath().substr(0, ThisProgramPath().find_last_of('\\'));
    std::string fixtureDir = folder + "\\..\\sysops\\fixtures";
    Strings fixtures, names, seeds;
    // Downloads are small files only: throughput matters more than size.
    ForEachFile(fixtureDir, [&](const WIN32_FIND_DATAA &fd) {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !fd.nFileSizeHigh && fd.nFileSizeLow < 200000)
            fixtures.push_back(fd.cFileName);
    });
    // Files named known-* hold faults found and not fixed yet: kept, not run.
    std::string corpus = folder + "\\corpus\\", text;
    ForEachFile(corpus, [&](const WIN32_FIND_DATAA &fd) {
        if (strncmp(fd.cFileName, "known-", 6) && ReadFileBytes(corpus + fd.cFileName, &text))
            names.push_back(fd.cFileName), seeds.push_back(text);
    });
    ASSERT_FALSE(seeds.empty());
    Sandbox sandbox;
    for (unsigned long i = g_pass.first; i < g_pass.first + count; i++) {
        // The seeds first as they are, then mutations decided by the seed
        // and i, of the shorter of two seeds drawn (the long ones, fifty
        // downloads, would take most of the time).
        Input in;
        in.name = "input " + std::to_string(i) + " (";
        if (i < seeds.size()) {
            in.text = seeds[i];
            in.name += names[i] + ")";
        } else {
            Rng rng{ g_pass.seed * 0x2545F4914F6CDD1Dull ^ i };
            size_t a = rng.Below(seeds.size()), b = rng.Below(seeds.size());
            size_t base = seeds[a].size() <= seeds[b].size() ? a : b;
            std::string how;
            in.text = Mutate(seeds[base], seeds[rng.Below(seeds.size())], rng, &how);
            in.name += names[base] + ", " + how + ")";
        }
        if (!sandbox.Reset()) {
            ADD_FAILURE() << "the registry sandbox could not be made: the pass stops at input " << i;
            break;
        }
        g_pass.index = i;
        g_pass.dwInputStart = GetTickCount();
        g_pass.pInput = &in;
        RunInstallInput(in.text, sandbox, fixtureDir, fixtures);
        g_pass.inputs++;
        for (const std::string &what : sandbox.Look())
            Finding(kStrayWrite, what);
        HANDLE ahHeaps[64];
        for (DWORD k = 0, n = GetProcessHeaps(64, ahHeaps); k < n && k < 64; k++)
            if (!HeapValidate(ahHeaps[k], 0, NULL))
                Finding(kHeapDamage, "a heap of the process fails HeapValidate");
        g_pass.pInput = NULL;
        g_pass.next = i + 1;
    }
}

} // namespace

TEST(Fuzz, InstallScripts)
{
    g_pass.seed = EnvNumber("VUR_FUZZ_SEED", 1);
    g_pass.first = g_pass.next = EnvNumber("VUR_FUZZ_FIRST", 0);
    g_pass.dwLimitMs = EnvNumber("VUR_FUZZ_LIMIT_MS", 10000);
    // Two passes in one prefix would empty each other's sandbox.
    HANDLE hOnePass = CreateMutexA(NULL, FALSE, "VurFuzzPass");
    ASSERT_TRUE(hOnePass && GetLastError() != ERROR_ALREADY_EXISTS) << "another fuzz pass runs in this prefix";
    SetUnhandledExceptionFilter(OnCrash);
    CloseHandle((HANDLE)_beginthreadex(NULL, 0, Watchdog, NULL, 0, NULL));
    g_pass.dwStart = GetTickCount();
    RunPass(EnvNumber("VUR_FUZZ_COUNT", 3000));
    PrintSummary();
    CloseHandle(hOnePass);
    EXPECT_EQ(0u, g_pass.found[kStrayWrite]) << "stray writes (listed above)";
}
