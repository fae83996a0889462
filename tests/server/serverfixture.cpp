// Server test support: see serverfixture.h.
#include "serverfixture.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include "serverprocess.h"
#include "installer_h.h"

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

REGSAM ServerRegistryView()
{
    DWORD dwType = SCS_64BIT_BINARY;
    GetBinaryTypeA(ServerExePath().c_str(), &dwType);
    return dwType == SCS_32BIT_BINARY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

static std::string LongPath(const std::string &path)
{
    char sz[MAX_PATH];
    DWORD n = GetLongPathNameA(path.c_str(), sz, sizeof sz);
    return n > 0 && n < sizeof sz ? std::string(sz) : path;
}

// The server registers itself, as it does on a user's machine; other tests
// may have removed its entries since, or another build may hold them, so
// the class key is looked at first.
bool RegisterServerForTests()
{
    HKEY hKey;
    char szServer[MAX_PATH];
    DWORD cb = sizeof szServer - 1, dwType = 0;
    bool bRegistered = false;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{63C43601-34EF-11D2-94F6-204C4F4F5020}\\LocalServer32", 0,
                      KEY_QUERY_VALUE | ServerRegistryView(), &hKey) == ERROR_SUCCESS) {
        if (RegQueryValueExA(hKey, NULL, NULL, &dwType, (BYTE *)szServer, &cb) == ERROR_SUCCESS && dwType == REG_SZ) {
            szServer[cb] = '\0';
            bRegistered = lstrcmpiA(LongPath(szServer).c_str(), LongPath(ServerExePath()).c_str()) == 0;
        }
        RegCloseKey(hKey);
    }
    return bRegistered || RunAndWait("\"" + ServerExePath() + "\" /RegServer", 60000) == 0;
}

bool UnregisterServerForTests()
{
    return RunAndWait("\"" + ServerExePath() + "\" /UnregServer", 60000) == 0;
}

std::vector<DWORD> RunningServers()
{
    return ProcessesNamed("installer.exe");
}

ServerProcess::~ServerProcess()
{
    if (!m_hProcess)
        return;
    if (WaitForSingleObject(m_hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(m_hProcess, 99);
        WaitForSingleObject(m_hProcess, 5000);
    }
    CloseHandle(m_hProcess);
}

bool ServerProcess::Start(const std::string &program, const std::string &args)
{
    std::string cmd = "\"" + program + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    m_hProcess = pi.hProcess;
    m_dwPid = pi.dwProcessId;
    return true;
}

bool ServerProcess::AttachNew(const std::vector<DWORD> &before)
{
    DWORD dwPid = PickServerProcess(before, RunningServers());
    if (!dwPid)
        return false;
    m_hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, dwPid);
    m_dwPid = m_hProcess ? dwPid : 0;
    return m_hProcess != NULL;
}

struct TrayWindowSearch {
    DWORD dwPid;
    HWND hwnd;
};

static BOOL CALLBACK FindTrayWindow(HWND hwnd, LPARAM lParam)
{
    TrayWindowSearch *pSearch = reinterpret_cast<TrayWindowSearch *>(lParam);
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hwnd, &dwPid);
    char szClass[32];
    if (dwPid == pSearch->dwPid && GetClassNameA(hwnd, szClass, sizeof szClass) &&
        lstrcmpiA(szClass, "Button") == 0) {
        pSearch->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND ServerProcess::TrayWindow(DWORD dwTimeoutMs)
{
    DWORD dwStart = GetTickCount();
    do {
        TrayWindowSearch search = { m_dwPid, NULL };
        EnumWindows(FindTrayWindow, (LPARAM)&search);
        if (search.hwnd)
            return search.hwnd;
    } while (!WaitForEnd(50) && GetTickCount() - dwStart < dwTimeoutMs);
    return NULL;
}

bool ServerProcess::WaitForEnd(DWORD dwTimeoutMs)
{
    return m_hProcess && WaitForSingleObject(m_hProcess, dwTimeoutMs) == WAIT_OBJECT_0;
}

DWORD ServerProcess::ExitCode()
{
    DWORD dwCode = 0xdeadbeef;
    if (m_hProcess)
        GetExitCodeProcess(m_hProcess, &dwCode);
    return dwCode;
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

