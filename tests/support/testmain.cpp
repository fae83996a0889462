// Entry of every test program: one Wine start runs all its tests.
#include "support/testmain.h"
#include "host/installer.h"
#include "sysops/handles.h"
#include <gtest/gtest.h>
#include <map>
#include <string.h>

static std::map<std::string, ChildModeProc> &ChildModes()
{
    static std::map<std::string, ChildModeProc> s_modes;
    return s_modes;
}

ChildMode::ChildMode(const char *pszName, ChildModeProc proc)
{
    ChildModes()[pszName] = proc;
}

std::string ThisProgramPath()
{
    char szPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, szPath, sizeof szPath);
    return std::string(szPath, n < sizeof szPath ? n : 0);
}

bool RunningOnWine()
{
    HMODULE hNtdll = GetModuleHandleA("ntdll.dll");
    return hNtdll && GetProcAddress(hNtdll, "wine_get_version");
}

int WaitForTestRelease(const char *pszEventName, DWORD dwMaxMs)
{
    KernelHandle release;
    release.h = CreateEventA(NULL, TRUE, FALSE, pszEventName);
    WaitForSingleObject(release.h, dwMaxMs);    // fails at once without the event
    return 0;
}

HANDLE StartProgram(const std::string &commandLine, HANDLE hOutput, DWORD *pdwPid)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = hOutput ? STARTF_USESTDHANDLES : 0;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = si.hStdError = hOutput;
    PROCESS_INFORMATION pi = {};
    std::string buf = commandLine;
    if (!CreateProcessA(NULL, &buf[0], NULL, NULL, hOutput != NULL, 0, NULL, NULL, &si, &pi))
        return NULL;
    CloseHandle(pi.hThread);
    if (pdwPid)
        *pdwPid = pi.dwProcessId;
    return pi.hProcess;
}

long RunAndWait(const std::string &commandLine, DWORD dwTimeoutMs, HANDLE hOutput)
{
    KernelHandle process;
    process.h = StartProgram(commandLine, hOutput);
    DWORD dwCode = (DWORD)-1;
    if (process.h && WaitForSingleObject(process.h, dwTimeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.h, &dwCode);
    } else if (process.h) {
        TerminateProcess(process.h, 1);
        WaitForSingleObject(process.h, 5000);
    }
    return (long)dwCode;
}

// The callback interface is marshalled through its type library, as in the
// real server: register the copy embedded in this program.
static void RegisterEmbeddedTypeLib()
{
    WCHAR wszPath[MAX_PATH];
    GetModuleFileNameW(NULL, wszPath, MAX_PATH);
    ITypeLib *pTypeLib = NULL;
    HRESULT hr = LoadTypeLibEx(wszPath, REGKIND_REGISTER, &pTypeLib);
    if (FAILED(hr))
        fprintf(stderr, "warning: type library not registered (0x%08lx)\n", (unsigned long)hr);
    else
        pTypeLib->Release();
}

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; i++) {
        if (strncmp(argv[i], "--child=", 8) != 0)
            continue;
        auto it = ChildModes().find(argv[i] + 8);
        if (it != ChildModes().end())
            return it->second(argc, argv);
        fprintf(stderr, "unknown child mode %s\n", argv[i] + 8);
        return 99;
    }
    testing::InitGoogleTest(&argc, argv);
    CoInitialize(NULL);
    RegisterEmbeddedTypeLib();
    g_dwMainThreadId = GetCurrentThreadId();
    InitializeCriticalSection(&g_csInstall);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
