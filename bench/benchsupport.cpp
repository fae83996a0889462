// Benchmark support: see benchsupport.h.
#include "benchsupport.h"

double Now()
{
    static LARGE_INTEGER s_freq;
    if (!s_freq.QuadPart)
        QueryPerformanceFrequency(&s_freq);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)s_freq.QuadPart;
}

std::string ProgramFolder()
{
    char sz[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, sz, MAX_PATH);
    std::string path(sz, n < MAX_PATH ? n : 0);
    return path.substr(0, path.find_last_of('\\'));
}

namespace {

// Reads the transcript as it grows and hands on each complete line.
class TranscriptFollower {
public:
    TranscriptFollower(const std::string &path, const std::function<void(const std::string &, double)> &onLine)
        : m_path(path), m_onLine(onLine)
    {
    }
    ~TranscriptFollower()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    void Poll()
    {
        if (m_h == INVALID_HANDLE_VALUE)
            m_h = CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, 0, NULL);
        if (m_h == INVALID_HANDLE_VALUE)
            return;
        char buf[65536];
        DWORD n = 0;
        double t = Now();
        while (ReadFile(m_h, buf, sizeof buf, &n, NULL) && n > 0) {
            m_partial.append(buf, n);
            size_t start = 0, eol;
            while ((eol = m_partial.find('\n', start)) != std::string::npos) {
                m_onLine(m_partial.substr(start, eol - start), t);
                start = eol + 1;
            }
            m_partial.erase(0, start);
        }
    }

private:
    std::string m_path;
    std::function<void(const std::string &, double)> m_onLine;
    HANDLE m_h = INVALID_HANDLE_VALUE;
    std::string m_partial;
};

}

long RunVurhostFollowing(const std::string &scriptPath, const std::string &options,
                         const std::string &transcriptPath,
                         const std::function<void(const std::string &line, double t)> &onLine,
                         double *pWallSeconds)
{
    std::string cmd = "\"" + ProgramFolder() + "\\..\\tools\\vurhost\\vurhost.exe\" --quiet " + options +
                      " --transcript \"" + transcriptPath + "\" \"" + scriptPath + "\"";
    DeleteFileA(transcriptPath.c_str());
    // vurhost's own report would mix with the figures.
    SECURITY_ATTRIBUTES sa = { sizeof sa, NULL, TRUE };
    HANDLE hNul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, NULL);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = hNul;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    double t0 = Now();
    BOOL bStarted = CreateProcessA(NULL, &cmd[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi);
    if (hNul != INVALID_HANDLE_VALUE)
        CloseHandle(hNul);
    if (!bStarted)
        return -1;
    CloseHandle(pi.hThread);
    TranscriptFollower follower(transcriptPath, onLine);
    // Ends with vurhost, which --timeout bounds.
    while (WaitForSingleObject(pi.hProcess, 5) == WAIT_TIMEOUT)
        follower.Poll();
    follower.Poll();
    *pWallSeconds = Now() - t0;
    DWORD dwExit = 1;
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hProcess);
    return (long)dwExit;
}
