// Server test support: see serverfixture.h.
#include "serverfixture.h"
#include "regtestkeys.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include "serverprocess.h"

std::string BuildRoot()
{
    // tests/server/server_tests.exe in the build tree: ".." takes off the
    // program's name, then its two folders.
    std::string up = ThisProgramPath() + "\\..\\..\\..";
    char szFull[MAX_PATH];
    DWORD n = GetFullPathNameA(up.c_str(), MAX_PATH, szFull, NULL);
    return n > 0 && n < MAX_PATH ? std::string(szFull) : up;
}

static std::string FromEnvironment(const char *pszName, const std::string &fallback)
{
    char sz[MAX_PATH];
    DWORD n = GetEnvironmentVariableA(pszName, sz, sizeof sz);
    return n > 0 && n < sizeof sz ? std::string(sz) : fallback;
}

std::string ServerExePath()
{
    return FromEnvironment("VUR_SERVER_EXE", BuildRoot() + "\\server\\installer.exe");
}

std::string VurhostExePath()
{
    return FromEnvironment("VUR_VURHOST_EXE", BuildRoot() + "\\tools\\vurhost\\vurhost.exe");
}

std::string ServerShortPath()
{
    char sz[MAX_PATH];
    DWORD n = GetShortPathNameA(ServerExePath().c_str(), sz, sizeof sz);
    return n > 0 && n < sizeof sz ? std::string(sz) : ServerExePath();
}

REGSAM ServerRegistryView()
{
    DWORD dwType = SCS_64BIT_BINARY;
    GetBinaryTypeA(ServerExePath().c_str(), &dwType);
    return dwType == SCS_32BIT_BINARY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

std::vector<DWORD> RunningServers()
{
    return ProcessesNamed("installer.exe");
}

HWND FindProcessWindow(DWORD dwPid, const char *pszClass, bool bVisible)
{
    for (HWND hwnd = NULL; (hwnd = FindWindowExA(NULL, hwnd, pszClass, NULL)) != NULL;) {
        DWORD dwOwner = 0;
        GetWindowThreadProcessId(hwnd, &dwOwner);
        if (dwOwner == dwPid && (!bVisible || IsWindowVisible(hwnd)))
            return hwnd;
    }
    return NULL;
}

// A server left by a failed test would take the next test's activation.
static void EndLeftoverServers(const char *pszWhen)
{
    std::vector<DWORD> left = RunningServers();
    for (DWORD dwPid : left) {
        HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, dwPid);
        if (h && WaitForSingleObject(h, 5000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "an installer.exe (" << dwPid << ") was still running " << pszWhen;
            TerminateProcess(h, 99);
            WaitForSingleObject(h, 5000);
        }
        if (h)
            CloseHandle(h);
    }
}

// The server registers itself, as it does on a user's machine, with its
// 8.3 path; other tests may have removed its entries since, or another
// build may hold them, so the class key is looked at first.
void RealServerTest::SetUp()
{
    std::string value = ReadTestValue(HKEY_CLASSES_ROOT, "CLSID\\{63C43601-34EF-11D2-94F6-204C4F4F5020}\\LocalServer32",
                                      "", ServerRegistryView());
    ASSERT_TRUE(lstrcmpiA(value.c_str(), ("REG_SZ:" + ServerShortPath()).c_str()) == 0 ||
                RunAndWait("\"" + ServerExePath() + "\" /RegServer", 60000) == 0) << "installer.exe /RegServer failed";
    EndLeftoverServers("before the test");
}

void RealServerTest::TearDown()
{
    EndLeftoverServers("after the test");
}
