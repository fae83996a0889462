// devregister: registers a build's installer.exe with COM in the current
// (Wine) prefix, for the tests, the demo and the benchmark: the class's
// LocalServer32 and AppID entries, and the type library the program
// carries. "devregister /u PROGRAM" takes them away again.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <stdio.h>
#include <string.h>
#include "installer_h.h"

static const char kClassKey[] = "CLSID\\{63C43601-34EF-11D2-94F6-204C4F4F5020}";
static const char kAppIdKey[] = "AppID\\{63C43600-34EF-11D2-94F6-204C4F4F5020}";
static const char kAppId[] = "{63C43600-34EF-11D2-94F6-204C4F4F5020}";

static bool SetKeyValue(const char *pszKey, const char *pszName, const char *pszValue)
{
    HKEY hKey = NULL;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, pszKey, 0, NULL, 0, KEY_WRITE, NULL, &hKey, NULL) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExA(hKey, pszName, 0, REG_SZ, (const BYTE *)pszValue, lstrlenA(pszValue) + 1);
    RegCloseKey(hKey);
    return r == ERROR_SUCCESS;
}

static void DeleteKeyTree(HKEY hParent, const char *pszKey)
{
    HKEY hKey = NULL;
    if (RegOpenKeyExA(hParent, pszKey, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return;
    char szSub[256];
    while (RegEnumKeyA(hKey, 0, szSub, sizeof szSub) == ERROR_SUCCESS)
        DeleteKeyTree(hKey, szSub);
    RegCloseKey(hKey);
    RegDeleteKeyA(hParent, pszKey);
}

static int Register(const char *pszProgram)
{
    char szLong[MAX_PATH], szShort[MAX_PATH];
    DWORD n = GetFullPathNameA(pszProgram, MAX_PATH, szLong, NULL);
    if (n == 0 || n >= MAX_PATH || GetFileAttributesA(szLong) == INVALID_FILE_ATTRIBUTES) {
        fprintf(stderr, "devregister: no program %s\n", pszProgram);
        return 1;
    }
    // As the program's own registration writes it: the 8.3 form if any.
    n = GetShortPathNameA(szLong, szShort, MAX_PATH);
    const char *pszPath = n > 0 && n < MAX_PATH ? szShort : szLong;
    char szServerKey[128];
    wsprintfA(szServerKey, "%s\\LocalServer32", kClassKey);
    if (!SetKeyValue(kClassKey, NULL, "Installer Class") || !SetKeyValue(kClassKey, "AppID", kAppId) ||
        !SetKeyValue(szServerKey, NULL, pszPath) || !SetKeyValue(kAppIdKey, NULL, "Installer")) {
        fprintf(stderr, "devregister: cannot write the class entries\n");
        return 1;
    }
    WCHAR wszPath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, szLong, -1, wszPath, MAX_PATH);
    ITypeLib *pTypeLib = NULL;
    HRESULT hr = LoadTypeLibEx(wszPath, REGKIND_REGISTER, &pTypeLib);
    if (pTypeLib)
        pTypeLib->Release();
    if (FAILED(hr)) {
        fprintf(stderr, "devregister: cannot register the type library of %s (0x%08lX)\n", szLong,
                (unsigned long)hr);
        return 1;
    }
    printf("devregister: %s registered\n", pszPath);
    return 0;
}

static int Unregister()
{
    DeleteKeyTree(HKEY_CLASSES_ROOT, kClassKey);
    DeleteKeyTree(HKEY_CLASSES_ROOT, kAppIdKey);
    UnRegisterTypeLib(LIBID_InstallerLib, 1, 0, LOCALE_NEUTRAL, sizeof(void *) == 8 ? SYS_WIN64 : SYS_WIN32);
    printf("devregister: unregistered\n");
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 3 && (strcmp(argv[1], "/u") == 0 || strcmp(argv[1], "-u") == 0))
        return Unregister();
    if (argc != 2 || argv[1][0] == '-') {
        fprintf(stderr, "Usage: devregister PROGRAM     register PROGRAM (installer.exe) for COM\n"
                        "       devregister /u PROGRAM  take the registration away\n");
        return 2;
    }
    CoInitialize(NULL);
    int r = Register(argv[1]);
    CoUninitialize();
    return r;
}
