// The fuzz pass: the corpus's seeds as they are, then mutated ones, five
// install scripts to one registry script, each run in a sandbox and checked
// for crashes, hangs, heap damage and stray writes (see README.md). Under
// ctest a short pass with a fixed seed; bench/fuzz.sh runs long ones through
// VUR_FUZZ_SEED, VUR_FUZZ_FIRST, VUR_FUZZ_COUNT and VUR_FUZZ_LIMIT_MS.
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

extern "C" NTSTATUS NTAPI NtOpenKey(PHANDLE pKey, ACCESS_MASK access, POBJECT_ATTRIBUTES pAttributes);
extern "C" decltype(&MessageBoxA) __imp_MessageBoxA;
extern "C" decltype(&RegOpenKeyExA) __imp_RegOpenKeyExA;
extern "C" decltype(&RegCreateKeyExA) __imp_RegCreateKeyExA;
extern "C" decltype(&RegDeleteKeyA) __imp_RegDeleteKeyA;

namespace {

typedef std::vector<std::string> Strings;

// ---- Mutations: the same seed gives the same input.

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

// Lengths around the 256-byte text fields and 260-byte paths, and far past
// them; 4094 to 4096 meet the registrar's token buffer.
const size_t kLengths[] = { 255, 256, 257, 260, 272, 1000, 4094, 4095, 4096, 10000 };
const char *const kNumbers[] = { "4294967295", "4294967296", "2147483647", "2147483648", "-1", "-2147483648",
                                 "-2147483649", "99999999999999999999", "-0", " +7", "0x10" };
const char *const kHeaders[] = { "[INSTALL]", "[TEST]", "[DL]", "[ACTIONS]", "[TEXT]", "[REQUIRED_ACTIONS]",
                                 "[END]", "[REGISTRY]", "[PLUGIN]", "[FILE]", "[FILEDATE]", "[FILEVER]" };
const char *const kTokens[] = { "''", "{", "}", "=", "}}", "{x", "Delete", "ForceRemove", "NoRemove", "Val", "s", "d",
                                "b", "q", "HKCU", "HKPD", "HKDD", "CLSID", "'", "'it''s'", "%MODULE%", "%%", "%x" };

// Lines with their ends ("\n" closes a line; a CR stays with its line).
Strings Lines(const std::string &text)
{
    Strings lines;
    for (size_t start = 0, end; start < text.size(); start = end) {
        end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// Runs of characters that pred accepts, as (start, length).
template <class Pred> std::vector<std::pair<size_t, size_t>> Runs(const std::string &text, Pred pred)
{
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t i = 0, start; i < text.size(); i++)
        if (pred(text[i])) {
            for (start = i; i < text.size() && pred(text[i]); i++) {
            }
            runs.push_back({ start, i - start });
        }
    return runs;
}

// One structural change; gives its name.
const char *ChangeOnce(std::string &text, const std::string &donor, bool bRegistry, Rng &rng)
{
    // Install fields end at ';', ':' and line ends; registry tokens at blanks.
    auto separator = [&](char ch) {
        return ch == '\r' || ch == '\n' || (bRegistry ? ch == ' ' || ch == '\t' : ch == ';' || ch == ':');
    };
    auto replaceSpan = [&](const std::string &with) {     // a field or token; none: at the start
        auto spans = Runs(text, [&](char ch) { return !separator(ch); });
        auto s = spans.empty() ? std::make_pair<size_t, size_t>(0, 0) : spans[rng.Below(spans.size())];
        text.replace(s.first, s.second, with);
    };
    auto filler = [&](size_t n) { return std::string(n, "x9;\\. "[rng.Below(6)]); };
    Strings lines = Lines(text), donorLines = Lines(donor);
    size_t n = lines.size();
    auto insertLine = [&](const std::string &line) {
        lines.insert(lines.begin() + rng.Below(n + 1), line);
        text.clear();
        for (const std::string &l : lines)
            text += l;
    };
    switch (rng.Below(16)) {
    case 0:
        if (n)
            lines.erase(lines.begin() + rng.Below(n--));
        return insertLine(""), "drop-line";
    case 1:
        return insertLine(n ? lines[rng.Below(n)] : ""), "double-line";
    case 2:
        if (n)
            std::swap(lines[rng.Below(n)], lines[rng.Below(n)]);
        return insertLine(""), "swap-lines";
    case 3:
        return insertLine(donorLines.empty() ? "" : donorLines[rng.Below(donorLines.size())]), "splice-line";
    case 4:
        return insertLine(std::string(bRegistry ? rng.Pick(kTokens) : rng.Pick(kHeaders)) + "\r\n"),
               bRegistry ? "add-token" : "add-header";
    case 5:
    case 6: {
        // Half the time up to 63 bytes shorter: a name joined to the install
        // folder's path then meets the same limits.
        size_t len = kLengths[rng.Below(sizeof kLengths / sizeof kLengths[0])];
        len -= rng.Below(2) ? rng.Below(64) : 0;
        bool bQuoted = bRegistry && rng.Below(2);
        return replaceSpan(bQuoted ? "'" + filler(len) + "'" : filler(len)), "long-field";
    }
    case 7: {       // two fields or tokens run together
        auto at = Runs(text, [&](char ch) { return separator(ch) && ch != '\n'; });
        if (!at.empty())
            text.erase(at[rng.Below(at.size())].first, 1);
        return "drop-separator";
    }
    case 8: {
        auto digits = Runs(text, [](char ch) { return ch >= '0' && ch <= '9'; });
        const char *pszNumber = rng.Pick(kNumbers);
        if (digits.empty())
            replaceSpan(pszNumber);
        else {
            auto s = digits[rng.Below(digits.size())];
            text.replace(s.first, s.second, pszNumber);
        }
        return "number";
    }
    case 9:
        if (bRegistry) {    // half the time the empty name, which would stand for the key around it
            bool bEmpty = rng.Below(2);
            return replaceSpan(bEmpty ? "''" : rng.Pick(kTokens)), bEmpty ? "empty-name" : "token";
        }
        return replaceSpan(""), "empty-field";
    case 10:
        text.insert(rng.Below(text.size() + 1), 1, rng.Below(2) ? '\0' : (char)(0x80 + rng.Below(128)));
        return "odd-byte";
    case 11: {
        std::string out;
        for (size_t i = 0; i < text.size(); i++)
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
                out += text[i] == '\n' ? '\r' : text[i];
        text = out;
        return "cr-only";
    }
    case 12:
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        return "no-final-newline";
    case 13:
        text.clear();
        return "empty";
    case 14:
        return insertLine("1;" + filler(1 << 20) + "\r\n"), "1mb-line";
    default:
        if (bRegistry) {    // around the registrar's limit of nested blocks, and far past it
            static const size_t kDepths[] = { 126, 127, 128, 129, 5000 };
            size_t depth = kDepths[rng.Below(5)];
            std::string nest;
            for (size_t i = 0; i < depth; i++)
                nest += "k { ";
            return insertLine(nest + std::string(depth, '}') + "\r\n"), "deep-nesting";
        }
        if (n)
            lines[rng.Below(n)].insert(0, "  ");
        return insertLine(""), "indent";
    }
}

// One to three structural changes, or one to eight byte changes.
std::string Mutate(std::string text, const std::string &donor, bool bRegistry, Rng &rng, std::string *pHow)
{
    if (rng.Below(2)) {
        for (size_t i = 0, n = 1 + rng.Below(3); i < n; i++)
            *pHow += (i ? "+" : "") + std::string(ChangeOnce(text, donor, bRegistry, rng));
        return text;
    }
    static const char kBytes[] = { '\0', '\xff', '\x80', ';', ':', '\r', '\n', '\\', '\'', '{', '}', '%', '=', ' ' };
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

// ---- The sandbox. Each predefined root names its own key under
// HKCU\Software\VurFuzz for the whole pass, so a mutated key path, whatever
// it says, lands there; files go to the temp folder. Changes anywhere else
// in the registry or on drive C: are stray writes, and so is a sandbox root
// key that an input removed or changed (no script can name a root key).

const char kRegBase[] = "Software\\VurFuzz", kCanaryName[] = "VurFuzz canary", kCanary[] = "no script can name this key";
// HKEY_PERFORMANCE_DATA has no key to stand for it; nothing can be made under it either.
const struct {
    HKEY hRoot;
    const char *pszName;
} kRoots[] = {
    { HKEY_CLASSES_ROOT, "HKCR" }, { HKEY_CURRENT_USER, "HKCU" },   { HKEY_LOCAL_MACHINE, "HKLM" },
    { HKEY_USERS, "HKU" },         { HKEY_CURRENT_CONFIG, "HKCC" }, { HKEY_DYN_DATA, "HKDD" },
};
const size_t kRootCount = sizeof kRoots / sizeof kRoots[0];

Strings SubkeyNames(HKEY hKey)
{
    Strings names;
    char szName[256];
    for (DWORD i = 0, cch = sizeof szName; RegEnumKeyExA(hKey, i, szName, &cch, 0, 0, 0, 0) == 0; i++, cch = sizeof szName)
        names.push_back(szName);
    return names;
}

// One-shot watches, re-armed after each look. Each key has its own event,
// to name what changed; folders are change notifications.
struct Watch {
    HANDLE h;       // the event of a key, the notification of a folder
    HKEY hKey;      // NULL for a folder
    BOOL bTree;
    std::string name;
};

class Sandbox {
public:
    Sandbox()
    {
        char szTemp[MAX_PATH];
        DWORD n = GetTempPathA(sizeof szTemp, szTemp);
        m_temp = n && n < sizeof szTemp ? szTemp : "C:\\";
        m_base = m_temp + "vurfuzz";
        m_install = m_base + "\\install";
        m_downloads = m_base + "\\downloads";
        DeleteTree(m_base);
        CreateDirectoryA(m_base.c_str(), NULL);
        RegDeleteTreeA(HKEY_CURRENT_USER, kRegBase);
        RegCreateKeyExA(HKEY_CURRENT_USER, kRegBase, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_hContainer, NULL);
        WatchRegistry();
        // The fence file is there before the watches: writing it again
        // changes no folder's list of names.
        CreateDirectoryA(m_fence.c_str(), NULL);
        WriteFileBytes(m_fence + "\\fence", "x");
        m_tempParent = m_temp.substr(0, m_temp.find_last_of('\\', m_temp.size() - 2));
        WatchFolders(m_fence);
        WatchFolders("C:");
        // From here on the harness reaches the registry only through handles it opened before.
        for (size_t i = 0; i < kRootCount; i++)
            MakeRoot(i);
    }
    ~Sandbox()
    {
        for (size_t i = 0; i < kRootCount; i++) {
            RegOverridePredefKey(kRoots[i].hRoot, NULL);
            RegCloseKey(m_ahRoots[i]);
            CloseHandle(m_ahChanged[i]);
        }
        ClearKeys();
        for (Watch &w : m_folders)
            FindCloseChangeNotification(w.h);
        DeleteTree(m_fence);
        RegCloseKey(m_hContainer);
        RegDeleteTreeA(HKEY_CURRENT_USER, kRegBase);
        RegDeleteKeyA(HKEY_CURRENT_USER, kRegBase);
        DeleteTree(m_base);
    }

    // Empties the folders, and makes again the root keys an input changed.
    void Reset()
    {
        DeleteTree(m_install);
        DeleteTree(m_downloads);
        DeleteFileA(Script().c_str());
        CreateDirectoryA(m_install.c_str(), NULL);
        CreateDirectoryA(m_downloads.c_str(), NULL);
        for (size_t i = 0; i < kRootCount; i++)
            if (WaitForSingleObject(m_ahChanged[i], 0) != WAIT_TIMEOUT)
                MakeRoot(i);
    }

    // What changed outside the sandbox since the last call, one line each.
    Strings StrayWrites()
    {
        Strings found;
        for (size_t i = 0; i < kRootCount; i++) {
            char szValue[sizeof kCanary + 1] = "";
            DWORD cb = sizeof szValue;
            if (RegQueryValueExA(m_ahRoots[i], kCanaryName, NULL, NULL, (BYTE *)szValue, &cb) || strcmp(szValue, kCanary))
                found.push_back(std::string("registry: the sandbox key standing for ") + kRoots[i].pszName +
                                " was removed or changed");
        }
        bool bKeys = false;     // a new or removed key changes what is watched
        for (Watch &w : m_keys)
            if (WaitForSingleObject(w.h, 0) == WAIT_OBJECT_0)
                bKeys = true, found.push_back("registry: " + w.name + " changed");
        if (bKeys)
            WatchRegistry();
        // Wine reads the file system's notices in order: once a change of our
        // own made after the input's is seen, so is everything the input did.
        // A folder that had notices may get more while it is not re-armed:
        // then the fence is passed again.
        for (bool bAgain = true; bAgain;) {
            bAgain = false;
            WriteFileBytes(m_fence + "\\fence", "x");
            if (WaitForSingleObject(m_folders[0].h, 2000) != WAIT_OBJECT_0) {
                found.push_back("files: no notice of a change made in " + m_fence + " came within 2 s");
                break;
            }
            for (Watch &w : m_folders)
                if (WaitForSingleObject(w.h, 0) == WAIT_OBJECT_0) {
                    if (&w != &m_folders[0])
                        bAgain = true, found.push_back("files: " + w.name + " changed");
                    FindNextChangeNotification(w.h);
                }
        }
        return found;
    }

    std::string Downloads() const { return m_downloads; }
    std::string Script() const { return m_base + "\\script.txt"; }

private:
    // A root key with its canary (and under HKLM the install folder value),
    // made anew, the predefined root pointed at it, and a watch on its tree
    // that tells the next Reset whether an input changed it.
    void MakeRoot(size_t i)
    {
        if (m_ahRoots[i])
            RegCloseKey(m_ahRoots[i]);
        RegCreateKeyExA(m_hContainer, kRoots[i].pszName, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_ahRoots[i], NULL);
        RegDeleteTreeA(m_ahRoots[i], NULL);
        RegSetValueExA(m_ahRoots[i], kCanaryName, 0, REG_SZ, (const BYTE *)kCanary, sizeof kCanary);
        if (kRoots[i].hRoot == HKEY_LOCAL_MACHINE)
            RegSetKeyValueA(m_ahRoots[i], "Software\\VUR", NULL, REG_SZ, m_install.c_str(), (DWORD)m_install.size() + 1);
        RegOverridePredefKey(kRoots[i].hRoot, m_ahRoots[i]);
        if (!m_ahChanged[i])
            m_ahChanged[i] = CreateEventA(NULL, TRUE, FALSE, NULL);
        ResetEvent(m_ahChanged[i]);
        RegNotifyChangeKeyValue(m_ahRoots[i], TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, m_ahChanged[i], TRUE);
    }

    void AddKey(HKEY hKey, BOOL bTree, const std::string &name)
    {
        m_keys.push_back({ CreateEventA(NULL, TRUE, FALSE, NULL), hKey, bTree, name });
        RegNotifyChangeKeyValue(hKey, bTree, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, m_keys.back().h, TRUE);
    }
    void ClearKeys()
    {
        for (Watch &w : m_keys)
            RegCloseKey(w.hKey), CloseHandle(w.h);
        m_keys.clear();
    }
    // hKey's own values and subkey list, and every subkey's tree except the
    // one on the way to the sandbox, which is followed down the same way.
    void AddAllBut(HKEY hKey, const std::string &name, const Strings &path, size_t depth)
    {
        AddKey(hKey, FALSE, name);
        for (const std::string &sub : SubkeyNames(hKey)) {
            bool bOnPath = lstrcmpiA(sub.c_str(), path[depth].c_str()) == 0;
            HKEY hSub;
            if ((bOnPath && depth + 1 == path.size()) ||
                RegOpenKeyExA(hKey, sub.c_str(), 0, KEY_NOTIFY | KEY_ENUMERATE_SUB_KEYS, &hSub))
                continue;
            if (bOnPath)
                AddAllBut(hSub, name + "\\" + sub, path, depth + 1);
            else
                AddKey(hSub, TRUE, name + "\\" + sub + " (tree)");
        }
    }
    // Real handles of the root keys: a watch armed through a predefined key
    // would be on a handle that pointing the key at the sandbox closes, and
    // closing a handle fires its watches. HKCR and HKCC lie in HKLM, HKCU in
    // HKU; only Wine has dynamic data.
    static HKEY OpenRootKey(const wchar_t *pszPath)
    {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, pszPath);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, NULL, NULL);
        HANDLE h = NULL;
        return NtOpenKey(&h, KEY_NOTIFY | KEY_ENUMERATE_SUB_KEYS, &attributes) == 0 ? (HKEY)h : NULL;
    }
    void WatchRegistry()
    {
        ClearKeys();
        if (HKEY hKey = OpenRootKey(L"\\Registry\\Machine"))
            AddKey(hKey, TRUE, "HKLM (tree)");
        if (HKEY hKey = OpenRootKey(L"\\Registry\\DynData"))
            AddKey(hKey, TRUE, "HKDD (tree)");
        HKEY hUsers = OpenRootKey(L"\\Registry\\User"), hKey;
        std::string user;       // the one that holds the sandbox: HKCU
        for (const std::string &sub : hUsers ? SubkeyNames(hUsers) : Strings())
            if (RegOpenKeyExA(hUsers, (sub + "\\" + kRegBase).c_str(), 0, KEY_READ, &hKey) == 0)
                RegCloseKey(hKey), user = sub;
        if (hUsers)
            AddAllBut(hUsers, "HKU", { user, "Software", "VurFuzz" }, 0);
    }

    // Every folder of the drive but the temp folder's tree, one level each
    // (Wine does not report changes of a whole tree from the drive's root),
    // the fence first. Links (to the user's folders outside the drive) are
    // not followed. The temp folder's own time changes with what happens in
    // it: its parent is watched for names only.
    void WatchFolders(const std::string &path)
    {
        if (lstrcmpiA((path + "\\").c_str(), m_temp.c_str()) == 0)
            return;
        bool bParent = lstrcmpiA(path.c_str(), m_tempParent.c_str()) == 0;
        DWORD dwFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                         (bParent ? 0 : FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_ATTRIBUTES);
        HANDLE h = FindFirstChangeNotificationA((path + "\\").c_str(), FALSE, dwFilter);
        if (h == INVALID_HANDLE_VALUE)
            return;
        m_folders.push_back({ h, NULL, FALSE, path });
        WIN32_FIND_DATAA fd;
        HANDLE hFind = FindFirstFileA((path + "\\*").c_str(), &fd);
        for (BOOL b = hFind != INVALID_HANDLE_VALUE; b; b = FindNextFileA(hFind, &fd))
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, "..") && path + "\\" + fd.cFileName != m_fence)
                WatchFolders(path + "\\" + fd.cFileName);
        if (hFind != INVALID_HANDLE_VALUE)
            FindClose(hFind);
    }

    HKEY m_hContainer = NULL;               // HKCU\Software\VurFuzz, opened before the roots were pointed
    HKEY m_ahRoots[kRootCount] = {};        // the sandbox keys the roots stand for
    HANDLE m_ahChanged[kRootCount] = {};    // each signalled when an input changed its tree
    std::string m_temp, m_tempParent, m_base, m_install, m_downloads, m_fence = "C:\\vurfuzz-fence";
    std::vector<Watch> m_keys, m_folders;   // m_folders[0]: the fence
};

// ---- Running one input. The product's calls go through this program's
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

// ---- The pass, and what the watchdog and the crash filter report.

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
