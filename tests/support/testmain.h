// Shared entry of the test programs: COM apartment, type library, globals,
// and the --child=<mode> switch for tests that need a second process.
#ifndef VUR_TEST_TESTMAIN_H
#define VUR_TEST_TESTMAIN_H

#include <windows.h>
#include <string>

typedef int (*ChildModeProc)(int argc, char **argv);

// Registers a child mode: "prog.exe --child=NAME args..." runs proc instead
// of the tests, and the process exits with its result.
struct ChildMode {
    ChildMode(const char *pszName, ChildModeProc proc);
};
#define VUR_CHILD_MODE(name) \
    static int ChildMode_##name([[maybe_unused]] int argc, [[maybe_unused]] char **argv); \
    static ChildMode s_childMode_##name(#name, ChildMode_##name); \
    static int ChildMode_##name([[maybe_unused]] int argc, [[maybe_unused]] char **argv)

// Path of the running test program.
std::string ThisProgramPath();

// True under Wine (ntdll exports wine_get_version), for the checks that
// name a difference of Wine from Windows.
bool RunningOnWine();

// For child modes that stand for a program which never ends by itself:
// waits until the test signals the manual-reset event of that name (at most
// dwMaxMs, so nothing is left behind), then gives 0.
int WaitForTestRelease(const char *pszEventName, DWORD dwMaxMs);

// Starts a command line; gives the process handle (the caller closes it)
// or NULL, and its id in *pdwPid when asked. With hOutput (inheritable),
// its standard output and error go there.
HANDLE StartProgram(const std::string &commandLine, HANDLE hOutput = NULL, DWORD *pdwPid = NULL);

// Runs a command line and waits for it (at most dwTimeoutMs); gives its exit
// code, or -1 when it could not start or did not end in time (it is killed).
// With hOutput (inheritable), its standard output and error go there.
long RunAndWait(const std::string &commandLine, DWORD dwTimeoutMs, HANDLE hOutput = NULL);

#endif
