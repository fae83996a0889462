// Finding the server process: see serverprocess.h.
#include "serverprocess.h"
#include "text.h"
#include <tlhelp32.h>
#include <algorithm>

// The value may be quoted and may carry arguments after the program.
static std::wstring ProgramOfCommand(const std::wstring &command)
{
    if (!command.empty() && command[0] == L'"') {
        size_t end = command.find(L'"', 1);
        return command.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
    }
    std::wstring program = command;
    while (GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
        size_t space = program.find_last_of(L' ');
        if (space == std::wstring::npos)
            return command;
        program.resize(space);
    }
    return program;
}

// The class's LocalServer32 value in one view of the registry.
static bool ReadLocalServer(const std::wstring &key, REGSAM samView, WCHAR *pwszValue, DWORD cbValue)
{
    HKEY hKey;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE | samView, &hKey) != ERROR_SUCCESS)
        return false;
    DWORD dwType = 0;
    LONG l = RegQueryValueExW(hKey, NULL, NULL, &dwType, (BYTE *)pwszValue, &cbValue);
    RegCloseKey(hKey);
    return l == ERROR_SUCCESS && (dwType == REG_SZ || dwType == REG_EXPAND_SZ);
}

std::string RegisteredServerName(REFCLSID clsid)
{
    WCHAR wszClsid[40];
    StringFromGUID2(clsid, wszClsid, 40);
    std::wstring key = std::wstring(L"CLSID\\") + wszClsid + L"\\LocalServer32";
    // A 32-bit server registers its class in the 32-bit view of the
    // registry, a 64-bit one in the 64-bit view, and COM starts a local
    // server of either bitness for any client. Our own view first: when
    // both are registered, COM starts the one in the client's own view.
    static const REGSAM s_aViews[] = { 0, sizeof(void *) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY };
    WCHAR wszValue[MAX_PATH * 2];
    bool bFound = false;
    for (REGSAM samView : s_aViews) {
        bFound = ReadLocalServer(key, samView, wszValue, sizeof wszValue);
        if (bFound)
            break;
    }
    if (!bFound)
        return std::string();
    wszValue[MAX_PATH * 2 - 1] = L'\0';
    std::wstring program = ProgramOfCommand(wszValue);
    // The registration may hold the 8.3 form; the process list the long one.
    WCHAR wszLong[MAX_PATH * 2];
    DWORD n = GetLongPathNameW(program.c_str(), wszLong, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2)
        program = wszLong;
    size_t slash = program.find_last_of(L"\\/");
    return Utf8FromWide(program.substr(slash == std::wstring::npos ? 0 : slash + 1).c_str());
}

std::vector<DWORD> ProcessesNamed(const std::string &fileName)
{
    std::vector<DWORD> ids;
    if (fileName.empty())
        return ids;
    std::wstring wanted = WideFromUtf8(fileName);
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32W pe;
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32FirstW(hSnap, &pe); ok; ok = Process32NextW(hSnap, &pe)) {
        const WCHAR *pName = pe.szExeFile;
        for (const WCHAR *p = pe.szExeFile; *p; p++) {
            if (*p == L'\\' || *p == L'/')
                pName = p + 1;
        }
        if (lstrcmpiW(pName, wanted.c_str()) == 0)
            ids.push_back(pe.th32ProcessID);
    }
    CloseHandle(hSnap);
    return ids;
}

DWORD PickServerProcess(const std::vector<DWORD> &before, const std::vector<DWORD> &after)
{
    std::vector<DWORD> fresh;
    for (DWORD id : after) {
        if (std::find(before.begin(), before.end(), id) == before.end())
            fresh.push_back(id);
    }
    if (fresh.size() == 1)
        return fresh[0];
    if (fresh.empty() && after.size() == 1)
        return after[0];
    return 0;
}
