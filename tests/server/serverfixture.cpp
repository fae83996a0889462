// Server test support: see serverfixture.h.
#include "serverfixture.h"
#include "regtestkeys.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include "serverprocess.h"

std::string BuildRoot()
{
    // tests/server/server_tests.exe in the build tree.
    std::string exe = ThisProgramPath();
    std::string dir = exe.substr(0, exe.find_last_of('\\'));
    char szFull[MAX_PATH];
    DWORD n = GetFullPathNameA((dir + "\\..\\..").c_str(), MAX_PATH, szFull, NULL);
    return n > 0 && n < MAX_PATH ? std::string(szFull) : dir + "\\..\\..";
}

std::string InstallerExePath()
{
    return BuildRoot() + "\\server\\installer.exe";
}

static std::string FromEnvironment(const char *pszName, const std::string &fallback)
{
    char sz[MAX_PATH];
    DWORD n = GetEnvironmentVariableA(pszName, sz, sizeof sz);
    return n > 0 && n < sizeof sz ? std::string(sz) : fallback;
}

std::string ServerExePath()
{
    return FromEnvironment("VUR_SERVER_EXE", InstallerExePath());
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

// The server registers itself, as it does on a user's machine, with its
// 8.3 path; other tests may have removed its entries since, or another
// build may hold them, so the class key is looked at first.
bool RegisterServerForTests()
{
    std::string value = ReadTestValue(HKEY_CLASSES_ROOT, "CLSID\\{63C43601-34EF-11D2-94F6-204C4F4F5020}\\LocalServer32",
                                      "", ServerRegistryView());
    return lstrcmpiA(value.c_str(), ("REG_SZ:" + ServerShortPath()).c_str()) == 0 ||
           RunAndWait("\"" + ServerExePath() + "\" /RegServer", 60000) == 0;
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

void RealServerTest::SetUp()
{
    ASSERT_TRUE(RegisterServerForTests()) << "installer.exe /RegServer failed for " << InstallerExePath();
    EndLeftoverServers("before the test");
}

void RealServerTest::TearDown()
{
    EndLeftoverServers("after the test");
}

long RunCaptured(const std::string &commandLine, DWORD dwTimeoutMs, std::string *pOutput)
{
    TempDir dir;
    std::string outPath = dir / "output.txt";
    SECURITY_ATTRIBUTES sa = { sizeof sa, NULL, TRUE };
    HANDLE hOut = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hOut == INVALID_HANDLE_VALUE)
        return -1;
    long result = RunAndWait(commandLine, dwTimeoutMs, hOut);
    CloseHandle(hOut);
    ReadFileBytes(outPath, pOutput);
    return result;
}

