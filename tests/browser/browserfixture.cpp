// Browser test support: see browserfixture.h.
#include "browserfixture.h"
#include "browser/browsericons.h"
#include "browser/processes.h"
#include "support/testmain.h"
#include "standin.h"

std::string BuildPath(const std::string &relative)
{
    // tests/browser/browser_tests.exe in the build tree.
    std::string exe = ThisProgramPath();
    return exe.substr(0, exe.find_last_of('\\')) + "\\..\\..\\" + relative;
}

std::string FixtureIcon(const char *pszName, int iByte, int delta)
{
    HRSRC hResource = FindResourceA(NULL, pszName, "ICONS");
    HGLOBAL hData = hResource ? LoadResource(NULL, hResource) : NULL;
    if (!hData || SizeofResource(NULL, hResource) != BROWSER_ICON_BYTES)
        return "";
    std::string pixels((const char *)LockResource(hData), BROWSER_ICON_BYTES);
    pixels[iByte] = (char)((BYTE)pixels[iByte] + delta);
    return pixels;
}

bool ProcessesCanBeListed()
{
    return GetPlatformId() == VER_PLATFORM_WIN32_WINDOWS || !RunningOnWine();
}

const char *FateName(Fate fate)
{
    static const char *const s_apszNames[] = { "running", "closed", "ended", "other" };
    return s_apszNames[fate];
}

StandIns::~StandIns()
{
    for (int i = 0; i < Count(); i++) {
        End(i);
        CloseHandle(m_items[i].hProcess);
    }
}

struct ThreadStart {
    const char *pszKind;
    const std::string *pPixels;
    HANDLE hReady;
};

static DWORD WINAPI StandInThread(void *pv)
{
    const ThreadStart *pStart = (const ThreadStart *)pv;
    if (!OpenStandInWindows(pStart->pszKind, pStart->pPixels->empty() ? NULL : (const BYTE *)pStart->pPixels->data()))
        return STANDIN_BAD_KIND;
    SetEvent(pStart->hReady);
    return (DWORD)RunStandIn();
}

int StandIns::Start(const std::string &program, const char *pszKind, const std::string &pixels)
{
    // A folder each: Wine folds the letter case of file names, so that
    // iexplore.exe and IExplore.exe would be one file.
    int i = Count();
    std::string dir = m_dir / std::to_string(i), exe = dir + "\\" + program, pixelFile = dir + "\\pixels.bin";
    char szEvent[64];
    wsprintfA(szEvent, "vur-browser-ready-%lu-%d", GetCurrentProcessId(), i);
    HANDLE hReady = CreateEventA(NULL, TRUE, FALSE, szEvent);
    std::string line = "\"" + exe + "\" " + szEvent + " " + pszKind + " \"" + pixelFile + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ThreadStart start = { pszKind, &pixels, hReady };
    bool bStarted;
    if (program.empty()) {
        pi.hProcess = CreateThread(NULL, 0, StandInThread, &start, 0, &pi.dwThreadId);
        bStarted = hReady && pi.hProcess;
    } else {
        bStarted = hReady && CreateDirectoryA(dir.c_str(), NULL)
            && CopyFileA(BuildPath("tests\\browser\\fixtures\\browserwindow.exe").c_str(), exe.c_str(), TRUE)
            && (pixels.empty() || WriteFileBytes(pixelFile, pixels))
            && CreateProcessA(exe.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi);
        if (bStarted)
            CloseHandle(pi.hThread);
        pi.dwThreadId = 0;
    }
    if (bStarted) {
        m_items.push_back({ pi.hProcess, pi.dwProcessId, pi.dwThreadId });
        // Either it is up or it has failed: both end the wait.
        HANDLE ahWait[] = { hReady, pi.hProcess };
        bStarted = WaitForMultipleObjects(2, ahWait, FALSE, 10000) == WAIT_OBJECT_0;
    }
    if (hReady)
        CloseHandle(hReady);
    return bStarted ? i : -1;
}

Fate StandIns::FateOf(int i, DWORD dwWaitMs)
{
    DWORD dwCode = 0;
    if (WaitForSingleObject(m_items[i].hProcess, dwWaitMs) != WAIT_OBJECT_0)
        return RUNNING;
    if (m_items[i].dwThreadId)
        GetExitCodeThread(m_items[i].hProcess, &dwCode);
    else
        GetExitCodeProcess(m_items[i].hProcess, &dwCode);
    return dwCode == STANDIN_CLOSED ? CLOSED : dwCode == 1 ? ENDED : OTHER;
}

void StandIns::End(int i)
{
    if (WaitForSingleObject(m_items[i].hProcess, 0) == WAIT_TIMEOUT) {
        if (m_items[i].dwThreadId)
            PostThreadMessageA(m_items[i].dwThreadId, WM_QUIT, 99, 0);
        else
            TerminateProcess(m_items[i].hProcess, 99);
        WaitForSingleObject(m_items[i].hProcess, 5000);
    }
}
