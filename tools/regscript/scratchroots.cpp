// The scratch tree and the overrides of the predefined keys.
#include "scratchroots.h"
#include "regtree.h"
#include "server/registrar.h"
#include "sysops/handles.h"
#include <stdio.h>

static const HKEY s_ahRoots[] = { HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                  HKEY_USERS, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA };
static const char s_szScratch[] = "Software\\VUR regscript scratch";

typedef LONG(WINAPI *OverridePredefKeyProc)(HKEY, HKEY);

static OverridePredefKeyProc OverrideProc()
{
    HMODULE hAdvapi = GetModuleHandleA("advapi32.dll");
    return hAdvapi ? reinterpret_cast<OverridePredefKeyProc>(
                         reinterpret_cast<void *>(GetProcAddress(hAdvapi, "RegOverridePredefKey")))
                   : NULL;
}

bool ScratchRoots::Begin(std::string *pError)
{
    OverridePredefKeyProc pfnOverride = OverrideProc();
    if (!pfnOverride) {
        *pError = "this system cannot stand in for the predefined keys (no RegOverridePredefKey)";
        return false;
    }
    char szPath[96];
    snprintf(szPath, sizeof szPath, "%s\\%lu", s_szScratch, (unsigned long)GetCurrentProcessId());
    m_path = szPath;
    DeleteKeyTree(HKEY_CURRENT_USER, m_path.c_str());
    // Every stand-in is made before any root is overridden: HKCU is one.
    RegKey aKeys[sizeof s_ahRoots / sizeof s_ahRoots[0]];
    for (size_t i = 0; i < sizeof s_ahRoots / sizeof s_ahRoots[0]; i++) {
        std::string path = m_path + "\\" + RootName(s_ahRoots[i]);
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                            &aKeys[i].h, NULL) != ERROR_SUCCESS) {
            *pError = "cannot make the scratch key HKCU\\" + path;
            End();
            return false;
        }
    }
    for (size_t i = 0; i < sizeof s_ahRoots / sizeof s_ahRoots[0]; i++)
        if (pfnOverride(s_ahRoots[i], aKeys[i].h) == ERROR_SUCCESS)
            m_fOverridden |= 1u << i;
    return true;
}

void ScratchRoots::End()
{
    OverridePredefKeyProc pfnOverride = OverrideProc();
    for (size_t i = 0; i < sizeof s_ahRoots / sizeof s_ahRoots[0]; i++)
        if (m_fOverridden & (1u << i))
            pfnOverride(s_ahRoots[i], NULL);
    m_fOverridden = 0;
    if (!m_path.empty()) {
        DeleteKeyTree(HKEY_CURRENT_USER, m_path.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, s_szScratch);     // when no other run uses it
        m_path.clear();
    }
}

bool ScratchRoots::StandsIn(HKEY hRoot) const
{
    for (size_t i = 0; i < sizeof s_ahRoots / sizeof s_ahRoots[0]; i++)
        if (s_ahRoots[i] == hRoot)
            return (m_fOverridden & (1u << i)) != 0;
    return false;
}
