// Install folder value for tests: see installfolder.h.
#include "support/installfolder.h"

static const char kKey[] = "Software\\VUR";

void InstallFolderValue::Save()
{
    m_bHad = false;
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | m_samView, &hKey) != ERROR_SUCCESS)
        return;
    char buf[1024];
    DWORD cb = sizeof buf - 1;
    DWORD dwType = 0;
    m_bHad = RegQueryValueExA(hKey, NULL, NULL, &dwType, (BYTE *)buf, &cb) == ERROR_SUCCESS && dwType == REG_SZ;
    RegCloseKey(hKey);
    if (m_bHad) {
        buf[cb] = '\0';
        m_previous = buf;
    }
}

void InstallFolderValue::Put(const std::string *pFolder)
{
    HKEY hKey;
    if (pFolder) {
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, NULL, 0, KEY_SET_VALUE | m_samView, NULL, &hKey, NULL) !=
            ERROR_SUCCESS)
            return;
        RegSetValueExA(hKey, NULL, 0, REG_SZ, (const BYTE *)pFolder->c_str(), (DWORD)pFolder->size() + 1);
    } else {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE | m_samView, &hKey) != ERROR_SUCCESS)
            return;
        RegDeleteValueA(hKey, NULL);
    }
    RegCloseKey(hKey);
}

InstallFolderValue::InstallFolderValue(const std::string &folder, REGSAM samView) : m_samView(samView)
{
    Save();
    Put(&folder);
}

InstallFolderValue::InstallFolderValue(REGSAM samView) : m_samView(samView)
{
    Save();
    Put(NULL);
}

InstallFolderValue::~InstallFolderValue()
{
    Put(m_bHad ? &m_previous : NULL);
}
