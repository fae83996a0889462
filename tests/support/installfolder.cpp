// Install folder value for tests: see installfolder.h.
#include "support/installfolder.h"

static const char kKey[] = "Software\\VUR";

InstallFolderValue::InstallFolderValue(const std::string &folder, REGSAM samView) : m_samView(samView)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | samView, &hKey) == ERROR_SUCCESS) {
        char buf[1024];
        DWORD cb = sizeof buf - 1, dwType = 0;
        if (RegQueryValueExA(hKey, NULL, NULL, &dwType, (BYTE *)buf, &cb) == ERROR_SUCCESS && dwType == REG_SZ) {
            buf[cb] = '\0';
            m_previous = buf;
        }
        RegCloseKey(hKey);
    }
    Put(folder);
}

void InstallFolderValue::Put(const std::string &folder)
{
    HKEY hKey;
    REGSAM sam = KEY_SET_VALUE | m_samView;
    LONG r = folder.empty() ? RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, sam, &hKey)
                            : RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, NULL, 0, sam, NULL, &hKey, NULL);
    if (r != ERROR_SUCCESS)
        return;
    if (folder.empty())
        RegDeleteValueA(hKey, NULL);
    else
        RegSetValueExA(hKey, NULL, 0, REG_SZ, (const BYTE *)folder.c_str(), (DWORD)folder.size() + 1);
    RegCloseKey(hKey);
}
