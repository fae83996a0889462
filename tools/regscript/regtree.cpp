// Reading registry trees and telling two of them apart.
#include "regtree.h"
#include "sysops/handles.h"
#include <algorithm>
#include <stdio.h>

static const struct {
    HKEY hKey;
    const char *pszName;
} s_aRoots[] = {
    { HKEY_CLASSES_ROOT, "HKCR" },
    { HKEY_CURRENT_USER, "HKCU" },
    { HKEY_LOCAL_MACHINE, "HKLM" },
    { HKEY_USERS, "HKU" },
    { HKEY_PERFORMANCE_DATA, "HKPD" },
    { HKEY_CURRENT_CONFIG, "HKCC" },
    { HKEY_DYN_DATA, "HKDD" },
};

const char *RootName(HKEY hKey)
{
    for (const auto &root : s_aRoots)
        if (root.hKey == hKey)
            return root.pszName;
    return NULL;
}

// Registry names compare without case; a separator below every character
// keeps a key's subkeys together right after it.
static std::string SortKey(const std::string &path)
{
    std::string key = path;
    for (char &ch : key)
        ch = ch == '\\' ? '\x01' : (ch >= 'a' && ch <= 'z') ? (char)(ch - 'a' + 'A') : ch;
    return key;
}

static void ReadValues(HKEY hKey, RegKeyState *pState)
{
    DWORD cchMaxName = 0, cbMaxData = 0;
    if (RegQueryInfoKeyA(hKey, NULL, NULL, NULL, NULL, NULL, NULL, NULL, &cchMaxName, &cbMaxData, NULL, NULL) !=
        ERROR_SUCCESS)
        return;
    std::vector<char> name(cchMaxName + 2);
    std::vector<BYTE> data(cbMaxData + 1);
    for (DWORD i = 0;; i++) {
        DWORD cchName = (DWORD)name.size(), cbData = (DWORD)data.size(), dwType = 0;
        LONG l = RegEnumValueA(hKey, i, &name[0], &cchName, NULL, &dwType, &data[0], &cbData);
        if (l != ERROR_SUCCESS)
            break;
        pState->values.push_back(RegValueState{ std::string(&name[0], cchName), dwType,
                                                std::string((const char *)&data[0], cbData) });
    }
    std::sort(pState->values.begin(), pState->values.end(),
              [](const RegValueState &a, const RegValueState &b) { return SortKey(a.name) < SortKey(b.name); });
}

static void CaptureKey(HKEY hKey, const std::string &path, RegTree *pTree)
{
    RegKeyState &state = (*pTree)[SortKey(path)];
    state.path = path;
    state.bValuesOnly = false;
    ReadValues(hKey, &state);
    for (DWORD i = 0;; i++) {
        char szName[256];
        DWORD cchName = sizeof szName;
        if (RegEnumKeyExA(hKey, i, szName, &cchName, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        RegKey sub;
        if (RegOpenKeyExA(hKey, szName, 0, KEY_READ, &sub.h) == ERROR_SUCCESS)
            CaptureKey(sub.h, path + "\\" + szName, pTree);
    }
}

void CaptureTree(HKEY hRoot, const std::string &first, RegTree *pTree)
{
    std::string rootName = RootName(hRoot) ? RootName(hRoot) : "?";
    if (first.empty()) {
        RegKeyState &state = (*pTree)[SortKey(rootName)];
        state.path = rootName;
        state.bValuesOnly = true;
        state.values.clear();
        ReadValues(hRoot, &state);
        return;
    }
    RegKey key;
    if (RegOpenKeyExA(hRoot, first.c_str(), 0, KEY_READ, &key.h) == ERROR_SUCCESS)
        CaptureKey(key.h, rootName + "\\" + first, pTree);
}

// A value as a registry script writes it: s 'text', d number, b hex.
static std::string ValueText(const RegValueState &v)
{
    char sz[32];
    std::string hex;
    for (unsigned char b : v.data) {
        snprintf(sz, sizeof sz, "%02X", b);
        hex += sz;
    }
    if (v.dwType == REG_SZ) {
        std::string text = v.data;
        if (!text.empty() && text.back() == '\0')
            text.pop_back();
        std::string quoted = "s '";
        for (char ch : text)
            quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
        return quoted + "'";
    }
    if (v.dwType == REG_DWORD && v.data.size() == 4) {
        DWORD dw;
        memcpy(&dw, v.data.data(), 4);
        snprintf(sz, sizeof sz, "d %lu", (unsigned long)dw);
        return sz;
    }
    if (v.dwType == REG_BINARY)
        return "b " + hex;
    snprintf(sz, sizeof sz, "type %lu ", (unsigned long)v.dwType);
    return sz + hex;
}

static std::string ValueLine(const char *pszIndent, char chSign, const RegKeyState &key, const RegValueState &v)
{
    return std::string(pszIndent) + chSign + " value " + key.path + " " + (v.name.empty() ? "(default)" : v.name) +
           " = " + ValueText(v) + "\n";
}

static const RegValueState *FindValue(const RegKeyState &key, const std::string &name)
{
    for (const RegValueState &v : key.values)
        if (SortKey(v.name) == SortKey(name))
            return &v;
    return NULL;
}

std::string DiffTrees(const RegTree &before, const RegTree &after, const char *pszIndent)
{
    static const RegKeyState s_none = { "", true, {} };
    std::string out;
    auto itB = before.begin();
    auto itA = after.begin();
    while (itB != before.end() || itA != after.end()) {
        bool bOnlyBefore = itA == after.end() || (itB != before.end() && itB->first < itA->first);
        bool bOnlyAfter = !bOnlyBefore && (itB == before.end() || itA->first < itB->first);
        const RegKeyState &b = bOnlyAfter ? s_none : itB->second;
        const RegKeyState &a = bOnlyBefore ? s_none : itA->second;
        const RegKeyState &shown = bOnlyBefore ? b : a;
        if (bOnlyAfter && !a.bValuesOnly)
            out += std::string(pszIndent) + "+ key " + a.path + "\n";
        for (const RegValueState &v : a.values) {
            const RegValueState *pOld = FindValue(b, v.name);
            if (!pOld)
                out += ValueLine(pszIndent, '+', shown, v);
            else if (pOld->dwType != v.dwType || pOld->data != v.data) {
                std::string line = ValueLine(pszIndent, '~', shown, v);
                line.insert(line.size() - 1, " (was " + ValueText(*pOld) + ")");
                out += line;
            }
        }
        for (const RegValueState &v : b.values)
            if (!FindValue(a, v.name))
                out += ValueLine(pszIndent, '-', shown, v);
        if (bOnlyBefore && !b.bValuesOnly)
            out += std::string(pszIndent) + "- key " + b.path + "\n";
        if (!bOnlyAfter)
            ++itB;
        if (!bOnlyBefore)
            ++itA;
    }
    return out;
}
