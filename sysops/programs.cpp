// Program execution and self-registration of components. The install
// thread has initialised COM, so a library's registration code runs there.
#include "sysops/programs.h"
#include "sysops/handles.h"
#include "script/texthelpers.h"

#define REGSERVER_TIMEOUT_MS 10000

// How often a wait looks at its cancel flag.
#define CANCEL_POLL_MS 50

UINT RunProgramAndWait(const char *pszPath, char *pszCommandLine, DWORD dwTimeoutMs, const volatile LONG *pbCancel)
{
    // Without an application name CreateProcessA would take the program
    // from the command line: never run what the line happens to name.
    if (!pszPath || !*pszPath)
        return 0;

    // The child is shown the way this process was asked to show itself.
    STARTUPINFOA si;
    GetStartupInfoA(&si);
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(pszPath, pszCommandLine, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return 0;

    KernelHandle process, thread;
    process.h = pi.hProcess;
    thread.h = pi.hThread;
    DWORD dwStart = GetTickCount();
    for (;;) {
        DWORD dwWait = dwTimeoutMs;
        if (dwTimeoutMs != INFINITE) {
            DWORD dwElapsed = GetTickCount() - dwStart;
            dwWait = dwElapsed >= dwTimeoutMs ? 0 : dwTimeoutMs - dwElapsed;
        }
        if (pbCancel && dwWait > CANCEL_POLL_MS)
            dwWait = CANCEL_POLL_MS;
        DWORD r = WaitForSingleObject(process.h, dwWait);
        if (r == WAIT_FAILED)
            return 0;
        if (r == WAIT_OBJECT_0 || (pbCancel && *pbCancel))
            return 1;
        if (dwTimeoutMs != INFINITE && GetTickCount() - dwStart >= dwTimeoutMs)
            return 1;
    }
}

typedef HRESULT(STDAPICALLTYPE *DllRegisterServerProc)(void);

UINT RegisterComponentFile(const char *pszPath)
{
    if (!pszPath)
        return 0;

    // Only a lower-case final e (".exe") makes a program: "SERVER.EXE" is
    // tried as a library.
    int cch = StrLen(pszPath);
    if (cch > 0 && pszPath[cch - 1] == 'e') {
        char szSwitch[] = "/regserver";
        return RunProgramAndWait(pszPath, szSwitch, REGSERVER_TIMEOUT_MS);
    }

    HMODULE hModule = LoadLibraryA(pszPath);
    if ((ULONG_PTR)hModule < 32)
        return 0;
    UINT uResult = 0;
    FARPROC proc = GetProcAddress(hModule, "DllRegisterServer");
    if (proc) {
        // Through void (*)(void): the one cast between function types that
        // the compiler takes as deliberate.
        DllRegisterServerProc pfnRegister = (DllRegisterServerProc)(void (*)(void))proc;
        uResult = SUCCEEDED(pfnRegister()) ? 1 : 0;
    }
    FreeLibrary(hModule);
    return uResult;
}
