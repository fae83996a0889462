// Install folder value for tests: see installfolder.h.
#include "support/installfolder.h"

static const char kKey[] = "Software\\VUR";

void InstallFolderValue::Save()
{
    char buf[1024];
    DWORD cb = sizeof buf;
    DWORD dwType = 0;
    m_bHad = RegGetValueA(HKEY_LOCAL_MACHINE, kKey, NULL, RRF_RT_REG_SZ, &dwType, buf, &cb) == ERROR_SUCCESS;
    if (m_bHad)
        m_previous = buf;
}

InstallFolderValue::InstallFolderValue(const std::string &folder)
{
    Save();
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kKey, NULL, REG_SZ, folder.c_str(), (DWORD)folder.size() + 1);
}

InstallFolderValue::InstallFolderValue()
{
    Save();
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
        RegDeleteValueA(hKey, NULL);
        RegCloseKey(hKey);
    }
}

InstallFolderValue::~InstallFolderValue()
{
    if (m_bHad) {
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, kKey, NULL, REG_SZ, m_previous.c_str(), (DWORD)m_previous.size() + 1);
    } else {
        HKEY hKey;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
            RegDeleteValueA(hKey, NULL);
            RegCloseKey(hKey);
        }
    }
}
