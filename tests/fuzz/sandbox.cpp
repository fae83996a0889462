// The fuzz sandbox and its watches: see sandbox.h.
#include "sandbox.h"
#include "support/testfiles.h"
#include <winternl.h>

extern "C" NTSTATUS NTAPI NtOpenKey(PHANDLE pKey, ACCESS_MASK access, POBJECT_ATTRIBUTES pAttributes);

namespace {

const char kRegBase[] = "Software\\VurFuzz";
const char kCanaryName[] = "VurFuzz canary";
const char kCanary[] = "no script can name this key";

// HKEY_PERFORMANCE_DATA has no key to stand for it; nothing can be made
// under it either.
const struct {
    HKEY hRoot;
    const char *pszName;
} kRoots[] = {
    { HKEY_CLASSES_ROOT, "HKCR" }, { HKEY_CURRENT_USER, "HKCU" },   { HKEY_LOCAL_MACHINE, "HKLM" },
    { HKEY_USERS, "HKU" },         { HKEY_CURRENT_CONFIG, "HKCC" }, { HKEY_DYN_DATA, "HKDD" },
};
static_assert(sizeof kRoots / sizeof kRoots[0] == Sandbox::kRootCount, "one sandbox key per root");

std::vector<std::string> SubkeyNames(HKEY hKey)
{
    std::vector<std::string> names;
    char szName[256];
    DWORD cch = sizeof szName;
    for (DWORD i = 0; RegEnumKeyExA(hKey, i, szName, &cch, NULL, NULL, NULL, NULL) == ERROR_SUCCESS; i++) {
        names.push_back(szName);
        cch = sizeof szName;
    }
    return names;
}

// A real handle of a root key. A watch armed through a predefined key
// would be armed on a handle that pointing that key at the sandbox closes,
// and closing a handle fires its watches.
HKEY OpenRootKey(const wchar_t *pszPath)
{
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, pszPath);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, NULL, NULL);
    HANDLE h = NULL;
    return NtOpenKey(&h, KEY_NOTIFY | KEY_ENUMERATE_SUB_KEYS, &attributes) == 0 ? (HKEY)h : NULL;
}

} // namespace

// One-shot notifications, re-armed after each look: registry keys (each
// with its own event, to name what changed) and the folders of drive C:
// (one shared event; the buffers say which files).
struct Sandbox::Watches {
    struct Key {
        HKEY hKey;
        bool bSubtree;
        std::string name;
        HANDLE hEvent;
    };
    struct Folder {
        HANDLE hDir;
        std::string path;
        OVERLAPPED ov;
        DWORD abBuffer[512];
    };
    std::vector<Key> keys;
    std::vector<std::unique_ptr<Folder>> folders;
    HANDLE hFolderEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    std::string temp;
    std::string fence;      // a folder of the harness's own, watched like the others

    ~Watches()
    {
        ClearKeys();
        for (auto &f : folders) {
            CancelIo(f->hDir);
            CloseHandle(f->hDir);
        }
        CloseHandle(hFolderEvent);
    }

    void ClearKeys()
    {
        for (Key &k : keys) {
            RegCloseKey(k.hKey);
            CloseHandle(k.hEvent);
        }
        keys.clear();
    }

    void Arm(Key &k)
    {
        ResetEvent(k.hEvent);
        RegNotifyChangeKeyValue(k.hKey, k.bSubtree, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, k.hEvent, TRUE);
    }

    void AddKey(HKEY hKey, bool bSubtree, const std::string &name)
    {
        keys.push_back({ hKey, bSubtree, name, CreateEventA(NULL, TRUE, FALSE, NULL) });
        Arm(keys.back());
    }

    // hKey's own values and subkey list, and every subkey's tree except the
    // one on the way to the sandbox, which is followed down the same way.
    void AddAllBut(HKEY hKey, const std::string &name, const std::vector<std::string> &path, size_t depth)
    {
        AddKey(hKey, false, name);
        for (const std::string &sub : SubkeyNames(hKey)) {
            bool bOnPath = lstrcmpiA(sub.c_str(), path[depth].c_str()) == 0;
            if (bOnPath && depth + 1 == path.size())
                continue;
            HKEY hSub;
            if (RegOpenKeyExA(hKey, sub.c_str(), 0, KEY_NOTIFY | KEY_ENUMERATE_SUB_KEYS, &hSub) != ERROR_SUCCESS)
                continue;
            if (bOnPath)
                AddAllBut(hSub, name + "\\" + sub, path, depth + 1);
            else
                AddKey(hSub, true, name + "\\" + sub + " (tree)");
        }
    }

    // HKCR and HKCC lie in HKLM, HKCU in HKU; only Wine has dynamic data.
    void WatchRegistry()
    {
        ClearKeys();
        if (HKEY hKey = OpenRootKey(L"\\Registry\\Machine"))
            AddKey(hKey, true, "HKLM (tree)");
        if (HKEY hKey = OpenRootKey(L"\\Registry\\DynData"))
            AddKey(hKey, true, "HKDD (tree)");
        HKEY hUsers = OpenRootKey(L"\\Registry\\User");
        if (!hUsers)
            return;
        // HKCU is the user key that holds the sandbox.
        std::string user;
        for (const std::string &sub : SubkeyNames(hUsers)) {
            HKEY hKey;
            if (RegOpenKeyExA(hUsers, (sub + "\\" + kRegBase).c_str(), 0, KEY_READ, &hKey) == ERROR_SUCCESS) {
                RegCloseKey(hKey);
                user = sub;
            }
        }
        AddAllBut(hUsers, "HKU", { user, "Software", "VurFuzz" }, 0);
    }

    void Issue(Folder &f)
    {
        f.ov = OVERLAPPED();
        f.ov.hEvent = hFolderEvent;
        ReadDirectoryChangesW(f.hDir, f.abBuffer, sizeof f.abBuffer, FALSE,
                              FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE |
                                  FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_ATTRIBUTES,
                              NULL, &f.ov, NULL);
    }

    // Every folder of the drive but the temp folder's tree, one level each:
    // Wine does not report changes of a whole tree from the drive's root.
    // Links (to the user's own folders outside the drive) are not followed.
    void WatchFolders(const std::string &path)
    {
        if (lstrcmpiA((path + "\\").c_str(), temp.c_str()) == 0)
            return;
        auto f = std::make_unique<Folder>();
        f->path = path;
        f->hDir = CreateFileA((path + "\\").c_str(), FILE_LIST_DIRECTORY,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, NULL);
        if (f->hDir == INVALID_HANDLE_VALUE)
            return;
        Issue(*f);
        folders.push_back(std::move(f));
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE)
            return;
        do {
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                lstrcmpA(fd.cFileName, ".") && lstrcmpA(fd.cFileName, ".."))
                WatchFolders(path + "\\" + fd.cFileName);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }

    // Wine reads the file system's notices in order, on its own time: once
    // a change of our own made after the input's is reported, so is
    // everything the input did.
    bool Fence()
    {
        WriteFileBytes(fence + "\\fence", "x");
        Folder *pFence = NULL;
        for (auto &f : folders)
            if (f->path == fence)
                pFence = f.get();
        for (DWORD dwStart = GetTickCount(); pFence && !HasOverlappedIoCompleted(&pFence->ov);) {
            if (GetTickCount() - dwStart > 2000)
                return false;
            WaitForSingleObject(hFolderEvent, 10);
            ResetEvent(hFolderEvent);
        }
        return pFence != NULL;
    }

    // A folder's notices that come while its watch is not re-armed wait for
    // the next watch: after a folder that had any, the fence is passed again.
    void FolderChanges(std::vector<std::string> *pOut)
    {
        for (bool bAgain = true; bAgain;) {
            bAgain = false;
            if (!Fence()) {
                pOut->push_back("files: no notice of a change made in " + fence + " came within 2 s");
                return;
            }
            for (auto &f : folders) {
                DWORD cb = 0;
                if (!HasOverlappedIoCompleted(&f->ov))
                    continue;
                GetOverlappedResult(f->hDir, &f->ov, &cb, FALSE);
                if (cb == 0)
                    pOut->push_back("files: many changes in " + f->path);
                for (BYTE *p = (BYTE *)f->abBuffer; cb;) {
                    FILE_NOTIFY_INFORMATION *pInfo = (FILE_NOTIFY_INFORMATION *)p;
                    char szName[MAX_PATH * 2] = "";
                    WideCharToMultiByte(CP_ACP, 0, pInfo->FileName, (int)(pInfo->FileNameLength / 2), szName,
                                        sizeof szName - 1, NULL, NULL);
                    std::string full = f->path + "\\" + szName;
                    // The temp folder's own time changes with what happens in it.
                    if (lstrcmpiA((full + "\\").c_str(), temp.c_str()) != 0 && full != fence + "\\fence") {
                        pOut->push_back("files: " + full + " (change " + std::to_string(pInfo->Action) + ")");
                        bAgain = true;
                    }
                    if (!pInfo->NextEntryOffset)
                        break;
                    p += pInfo->NextEntryOffset;
                }
                Issue(*f);
            }
        }
    }
};

Sandbox::Sandbox() : m_pWatches(new Watches)
{
    char szTemp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof szTemp, szTemp);
    m_pWatches->temp = n && n < sizeof szTemp ? szTemp : "C:\\";
    m_base = m_pWatches->temp + "vurfuzz";
    m_install = m_base + "\\install";
    m_downloads = m_base + "\\downloads";
    m_script = m_base + "\\script.txt";
    m_pWatches->fence = "C:\\vurfuzz-fence";
    DeleteTree(m_base);
    CreateDirectoryA(m_base.c_str(), NULL);
    RegDeleteTreeA(HKEY_CURRENT_USER, kRegBase);
    RegCreateKeyExA(HKEY_CURRENT_USER, kRegBase, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_hContainer, NULL);
    m_pWatches->WatchRegistry();
    CreateDirectoryA(m_pWatches->fence.c_str(), NULL);
    m_pWatches->WatchFolders("C:");
    // From here on, for the whole pass: the harness itself reaches the
    // registry only through handles it opened before.
    for (size_t i = 0; i < kRootCount; i++)
        MakeRoot(i);
}

Sandbox::~Sandbox()
{
    for (size_t i = 0; i < kRootCount; i++) {
        RegOverridePredefKey(kRoots[i].hRoot, NULL);
        RegCloseKey(m_ahRoots[i]);
        CloseHandle(m_ahChanged[i]);
    }
    std::string fence = m_pWatches->fence;
    m_pWatches.reset();
    DeleteTree(fence);
    RegCloseKey(m_hContainer);
    RegDeleteTreeA(HKEY_CURRENT_USER, kRegBase);
    RegDeleteKeyA(HKEY_CURRENT_USER, kRegBase);
    DeleteTree(m_base);
}

// A root key with its canary (and under HKLM the install folder value),
// made anew, the predefined root pointed at it, and a watch on its tree that
// tells the next Reset whether an input changed it.
void Sandbox::MakeRoot(size_t i)
{
    if (m_ahRoots[i])
        RegCloseKey(m_ahRoots[i]);
    m_ahRoots[i] = NULL;
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

// What the product leaves (read-only attributes included) goes; the folder
// stays: removing and making it costs more than looking into it empty.
static void EmptyFolder(const std::string &path)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) {
        CreateDirectoryA(path.c_str(), NULL);
        return;
    }
    do {
        std::string item = path + "\\" + fd.cFileName;
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                SetFileAttributesA(item.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(item.c_str());
        } else if (lstrcmpA(fd.cFileName, ".") && lstrcmpA(fd.cFileName, "..")) {
            EmptyFolder(item);
            RemoveDirectoryA(item.c_str());
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

void Sandbox::Reset()
{
    EmptyFolder(m_install);
    EmptyFolder(m_downloads);
    DeleteFileA(m_script.c_str());
    if (WaitForMultipleObjects(kRootCount, m_ahChanged, FALSE, 0) == WAIT_TIMEOUT)
        return;
    for (size_t i = 0; i < kRootCount; i++)
        if (WaitForSingleObject(m_ahChanged[i], 0) != WAIT_TIMEOUT)
            MakeRoot(i);
}

std::vector<std::string> Sandbox::StrayWrites()
{
    std::vector<std::string> found;
    for (size_t i = 0; i < kRootCount; i++) {
        char szValue[sizeof kCanary + 1] = "";
        DWORD cb = sizeof szValue;
        if (RegQueryValueExA(m_ahRoots[i], kCanaryName, NULL, NULL, (BYTE *)szValue, &cb) != ERROR_SUCCESS ||
            lstrcmpA(szValue, kCanary) != 0)
            found.push_back(std::string("registry: the sandbox key standing for ") + kRoots[i].pszName +
                            " was removed or changed");
    }
    // One look at all the keys' events (they are fewer than 64), then each
    // one when any fired; a new or removed key changes what is watched.
    std::vector<HANDLE> events;
    for (const Watches::Key &k : m_pWatches->keys)
        events.push_back(k.hEvent);
    if (!events.empty() && WaitForMultipleObjects((DWORD)events.size(), events.data(), FALSE, 0) != WAIT_TIMEOUT) {
        for (const Watches::Key &k : m_pWatches->keys)
            if (WaitForSingleObject(k.hEvent, 0) == WAIT_OBJECT_0)
                found.push_back("registry: " + k.name + " changed");
        m_pWatches->WatchRegistry();
    }
    m_pWatches->FolderChanges(&found);
    return found;
}
