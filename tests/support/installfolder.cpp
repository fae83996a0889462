// Install folder value for tests: see installfolder.h.
#include "support/installfolder.h"
#include "sysops/handles.h"

static const char kKey[] = "Software\\VUR";

InstallFolderValue::InstallFolderValue(const std::string &folder, REGSAM samView) : m_samView(samView)
{
    RegKey key;
    char buf[1024];
    DWORD cb = sizeof buf, dwType = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | samView, &key.h) == ERROR_SUCCESS &&
        RegQueryValueExA(key.h, NULL, NULL, &dwType, (BYTE *)buf, &cb) == ERROR_SUCCESS && dwType == REG_SZ)
        m_previous = std::string(buf, cb).c_str();     // up to the NUL, stored or not
    Put(folder);
}

void InstallFolderValue::Put(const std::string &folder)
{
    RegKey key;
    REGSAM sam = KEY_SET_VALUE | m_samView;
    if (folder.empty() && RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, sam, &key.h) == ERROR_SUCCESS)
        RegDeleteValueA(key.h, NULL);
    else if (!folder.empty() &&
             RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, NULL, 0, sam, NULL, &key.h, NULL) == ERROR_SUCCESS)
        RegSetValueExA(key.h, NULL, 0, REG_SZ, (const BYTE *)folder.c_str(), (DWORD)folder.size() + 1);
}
