// The fuzz sandbox. Each predefined root names its own key under
// HKCU\Software\VurFuzz for the whole pass, so a mutated key path, whatever
// it says, lands there; files go to the temp folder. Changes anywhere else
// in the registry or on drive C: are stray writes, and so is a sandbox root
// key that an input removed or changed (no script can name a root key).
#ifndef VUR_TEST_FUZZSANDBOX_H
#define VUR_TEST_FUZZSANDBOX_H

#include "fuzz.h"
#include "support/testfiles.h"
#include <winternl.h>
#include <stdio.h>
#include <string.h>

extern "C" NTSTATUS NTAPI NtOpenKey(PHANDLE pKey, ACCESS_MASK access, POBJECT_ATTRIBUTES pAttributes);

namespace {

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

}

#endif
