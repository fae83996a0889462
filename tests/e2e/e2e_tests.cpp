// End-to-end cases as data, one test each: every folder under tests/e2e/
// with a case.txt (the format is in e2ecase.h). A case is run as it is
// read, one line at a time: vurhost drives the real server through its runs.
#include <winsock2.h>
#include "e2ecase.h"
#include "regtestkeys.h"
#include "searchtrees.h"
#include "serverfixture.h"
#include "support/installfolder.h"
#include "support/testmain.h"
#include "support/testtimes.h"
#include <process.h>
#include <algorithm>
#include <map>
#include <memory>
#include <sstream>

namespace {

typedef std::vector<std::string> Lines;
const char kKeyPath[] = TEST_KEY_PATH "\\E2E";
const DWORD kStandInClosed = 10;    // browserwindow.exe's exit status after WM_CLOSE

bool StartsWith(const std::string &s, const std::string &prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

// The first word of text, the rest after one blank left in *pText.
std::string TakeWord(std::string *pText)
{
    size_t blank = pText->find(' ');
    std::string word = pText->substr(0, blank);
    *pText = blank == std::string::npos ? "" : pText->substr(blank + 1);
    return word;
}

FILETIME ParseUtcTime(const std::string &text)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    EXPECT_EQ(6, sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s)) << text;
    return MakeUtcTime((WORD)y, (WORD)mo, (WORD)d, (WORD)h, (WORD)mi, (WORD)s);
}

// Every file below folder, relative.
void ListFiles(const std::string &folder, const std::string &prefix, Lines *pFiles)
{
    ForEachFile(folder, [&](const WIN32_FIND_DATAA &fd) {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + "\\" + fd.cFileName, prefix + fd.cFileName + "\\", pFiles);
        else
            pFiles->push_back(prefix + fd.cFileName);
    });
}

// "HKCU\path", "HKLM\path" or "HKCR\path"; NULL, a failure, for any
// other root or an empty path, so that no line can name a root key itself.
HKEY SplitRoot(const std::string &key, std::string *pPath)
{
    *pPath = key.substr(std::min(key.size(), (size_t)5));
    HKEY hRoot = pPath->empty() ? NULL
               : StartsWith(key, "HKLM\\") ? HKEY_LOCAL_MACHINE
               : StartsWith(key, "HKCR\\") ? HKEY_CLASSES_ROOT
               : StartsWith(key, "HKCU\\") ? HKEY_CURRENT_USER : NULL;
    EXPECT_TRUE(hRoot) << "not a key of HKCU, HKLM or HKCR: " << key;
    return hRoot;
}

// vurhost copies each download to <temp>\vurhost-<pid>-<n>\<k>\<name>, a
// folder it deletes when it ends: writes "<downloads>" for that folder
// wherever it shows (DLPATH, SRCFILE...), so that the rest of each path can
// be compared exactly.
void MaskDownloadPaths(Lines *pLines)
{
    char szTemp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof szTemp, szTemp);
    const std::string folder = std::string(szTemp, n < sizeof szTemp ? n : 0) + "vurhost-";
    for (std::string &line : *pLines) {
        size_t start = line.find(folder), end = line.find('\\', start + folder.size());
        if (start == std::string::npos || end == std::string::npos)
            continue;
        EXPECT_FALSE(StartsWith(line, "> SetParameter DLPATH=") && FileExists(line.substr(22))) << "not deleted: " << line;
        line.replace(start, end - start, "<downloads>");
    }
}

// A tiny web server on 127.0.0.1: answers GET requests for the paths it was
// given (the query left out), 404 for any other.
class LocalHttpServer {
public:
    explicit LocalHttpServer(const std::map<std::string, std::string> &files) : m_files(files)
    {
        WSADATA wsa;
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int cb = sizeof addr;
        if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0 || (m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) == INVALID_SOCKET ||
            bind(m_listener, (sockaddr *)&addr, sizeof addr) != 0 || listen(m_listener, 8) != 0 ||
            getsockname(m_listener, (sockaddr *)&addr, &cb) != 0)
            return;
        if ((m_hThread = (HANDLE)_beginthreadex(NULL, 0, ThreadProc, this, 0, NULL)) != NULL)
            m_url = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
    }
    ~LocalHttpServer()
    {
        if (m_listener != INVALID_SOCKET)
            closesocket(m_listener);     // accept fails: the thread ends
        if (m_hThread) {
            WaitForSingleObject(m_hThread, 10000);
            CloseHandle(m_hThread);
        }
        WSACleanup();
    }
    std::string m_url;      // "http://127.0.0.1:PORT"; empty when the server could not start

private:
    static unsigned __stdcall ThreadProc(void *pv)
    {
        LocalHttpServer *self = static_cast<LocalHttpServer *>(pv);
        // A client that connects and sends nothing gives up after 5 s.
        const DWORD dwTimeoutMs = 5000;
        for (SOCKET s; (s = accept(self->m_listener, NULL, NULL)) != INVALID_SOCKET; closesocket(s)) {
            setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, (const char *)&dwTimeoutMs, sizeof dwTimeoutMs);
            std::string request;
            char buf[1024];
            for (int n; request.find("\r\n\r\n") == std::string::npos && (n = recv(s, buf, sizeof buf, 0)) > 0;)
                request.append(buf, n);
            // "GET /path?query HTTP/1.1"
            size_t start = request.find(' ') + 1;
            auto it = self->m_files.find(request.substr(start, request.find_first_of(" ?", start) - start));
            bool bFound = it != self->m_files.end();
            std::string body = bFound ? it->second : "not here";
            std::string response = std::string(bFound ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
                                   "\r\nContent-Length: " + std::to_string(body.size()) +
                                   "\r\nConnection: close\r\n\r\n" + body;
            send(s, response.data(), (int)response.size(), 0);
        }
        return 0;
    }
    std::map<std::string, std::string> m_files;
    SOCKET m_listener = INVALID_SOCKET;
    HANDLE m_hThread = NULL;
};

// One case, run as its lines are read; what it set up is undone when it goes.
class CaseRun {
public:
    // The case's files are copied into <work>\case, its script with the
    // tokens given their values, so that a run never writes into the source
    // tree and a script can name the paths of the case.
    explicit CaseRun(const std::string &caseFolder)
        : m_case(m_work / "case"), m_install(m_work / "install"), m_keys(HKEY_CURRENT_USER, kKeyPath)
    {
        // A child of an earlier case that outlived it still holds the end
        // event, set.
        ResetEvent(m_hCaseEnd);
        CreateDirectoryA(m_install.c_str(), NULL);
        CreateDirectoryA(m_case.c_str(), NULL);
        m_folderValue.reset(new InstallFolderValue(m_install, ServerRegistryView()));
        Lines files;
        ListFiles(caseFolder, "", &files);
        for (const std::string &name : files)
            EXPECT_TRUE(CopyFileA((caseFolder + "\\" + name).c_str(), (m_case + "\\" + name).c_str(), FALSE)) << name;
    }
    // The last run is checked at the end of the case.
    ~CaseRun()
    {
        EndRun();
        EXPECT_TRUE(m_bStarted) << "the case has no run";
        SetEvent(m_hCaseEnd);
        CloseHandle(m_hCaseEnd);
        LetGo();
        for (HANDLE h : m_standIns) {
            TerminateProcess(h, 1);
            CloseHandle(h);
        }
        for (const std::string &scheme : m_schemes)
            DeleteTestTree(HKEY_CLASSES_ROOT, scheme);
    }
    // Each token and its value. The first five, longest paths first, are
    // also put back in the transcripts; a case cannot know their values.
    std::vector<std::pair<std::string, std::string>> Tokens() const
    {
        // <serverfixtures>: those of the server's own build tree, for a
        // library it loads, which must have its bitness.
        std::string server = ServerExePath(), serverDir = server.substr(0, server.rfind('\\'));
        return { { "<install>", m_install }, { "<case>", m_case }, { "<work>", m_work.Path() },
                 { "<fixtures>", BuildRoot() + "\\tests\\sysops\\fixtures" }, { "<http>", m_http ? m_http->m_url : "" },
                 { "<serverfixtures>", serverDir.substr(0, serverDir.rfind('\\')) + "\\tests\\sysops\\fixtures" },
                 { "<server-8.3>", ServerShortPath() }, { "<serverdir>", serverDir },
                 { "<server>", server }, { "<syskind>", ServerRegistryView() == KEY_WOW64_32KEY ? "win32" : "win64" },
                 { "<vurhost>", VurhostExePath() }, { "<self>", ThisProgramPath() },
                 { "<key>", std::string("HKCU\\") + kKeyPath }, { "<build>", BuildRoot() } };
    }
    std::string Expand(std::string text) const
    {
        for (const auto &token : Tokens())
            ReplaceAll(&text, token.first, token.second);
        return text;
    }

    void Line(const std::string &line)
    {
        size_t colon = line.find(": ");
        std::string keyword = line.substr(0, line.find(':'));
        std::string rest = colon == std::string::npos ? "" : line.substr(colon + 2);
        bool bExpected = StartsWith(line, "> ") || StartsWith(line, "< ") || StartsWith(line, "# ");
        if (m_bInRun && (bExpected || StartsWith(line, "! "))) {
            (bExpected ? m_wantTranscript : m_wantBoxes).push_back(line);
        } else if (m_bInRun && keyword == "exit") {
            m_wantExit = atol(rest.c_str());
        } else if (m_bInRun && keyword == "servers") {
            EXPECT_EQ((size_t)atol(rest.c_str()), RunningServers().size()) << m_runLine << ": installer.exe processes running";
        } else if (m_bInRun && (keyword == "output" || keyword == "no-output")) {
            ReplaceAll(&rest, "\\n", "\n");
            EXPECT_EQ(keyword == "output", m_output.find(rest) != std::string::npos)
                << m_runLine << ": " << line << " in:\n" << m_output;
        } else {
            EndRun();
            SCOPED_TRACE(line);
            if (keyword == "script") {
                m_script = rest;
            } else if (keyword == "run" || keyword == "exec") {
                StartRun(keyword, line.substr(std::min(line.size(), keyword.size() + 2)));
            } else if (!Setup(keyword, rest)) {
                Check(keyword, rest);
            }
        }
    }

    bool Setup(const std::string &keyword, std::string rest)
    {
        if (keyword == "http") {
            // Served paths are known before the server starts; <http> is
            // known only after it.
            std::string path = TakeWord(&rest);
            m_served[path] = rest;
            return true;
        }
        rest = Expand(rest);
        if (keyword == "installdir") {
            m_folderValue.reset();
            m_folderValue.reset(new InstallFolderValue(rest, ServerRegistryView()));
        } else if (keyword == "copy") {
            std::string from = TakeWord(&rest);
            EXPECT_TRUE(CopyFileA(from.c_str(), rest.c_str(), FALSE)) << GetLastError();
        } else if (keyword == "write") {
            std::string path = TakeWord(&rest);
            ReplaceAll(&rest, "\\n", "\r\n");
            EXPECT_TRUE(WriteFileBytes(path, rest));
        } else if (keyword == "mkdir") {
            EXPECT_TRUE(CreateDirectoryA(rest.c_str(), NULL));
        } else if (keyword == "settime") {
            std::string path = TakeWord(&rest);
            FILETIME ft = ParseUtcTime(rest);
            EXPECT_TRUE(WriteFileTimes(path, NULL, &ft));
        } else if (keyword == "drive") {
            // DRIVE_REMOVABLE (2), DRIVE_FIXED, DRIVE_REMOTE, DRIVE_CDROM (5)
            static const Lines s_types = { "removable", "fixed", "network", "cdrom" };
            std::string letter = TakeWord(&rest), folder = m_work / ("drive-" + letter);
            UINT uType = DRIVE_REMOVABLE + (UINT)(std::find(s_types.begin(), s_types.end(), rest) - s_types.begin());
            EXPECT_TRUE(letter.size() == 1 && uType <= DRIVE_CDROM && CreateDirectoryA(folder.c_str(), NULL)) << rest;
            if (!m_drives)
                m_drives.reset(new SearchDrives);
            EXPECT_TRUE(m_drives->ok() && m_drives->Map(letter[0], uType, folder));
        } else if (keyword == "tree") {
            std::string letter = TakeWord(&rest);
            EXPECT_TRUE(MakeTree(m_work / ("drive-" + letter), { rest }));
        } else if (keyword == "window") {
            std::string event = "VurE2EStandIn" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(m_standIns.size());
            HANDLE hReady = CreateEventA(NULL, TRUE, FALSE, event.c_str());
            std::string commandLine = "\"" + BuildRoot() + "\\tests\\browser\\fixtures\\browserwindow.exe\" " + event + " " + rest;
            HANDLE hProcess = StartProgram(commandLine);
            EXPECT_TRUE(hProcess) << commandLine;
            if (hProcess) {
                m_standIns.push_back(hProcess);
                HANDLE aWait[] = { hReady, hProcess };
                EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, aWait, FALSE, 15000)) << "the stand-in's windows are up";
            }
            CloseHandle(hReady);
        } else if (keyword == "scheme") {
            std::string recorder = m_work / "recorder.exe";
            EXPECT_TRUE(CopyFileA((BuildRoot() + "\\tests\\sysops\\fixtures\\recordargs.exe").c_str(), recorder.c_str(), FALSE));
            m_schemes.push_back(rest);
            EXPECT_TRUE(SetTestString(HKEY_CLASSES_ROOT, rest, "", "URL:" + rest));
            EXPECT_TRUE(SetTestString(HKEY_CLASSES_ROOT, rest, "URL Protocol", ""));
            EXPECT_TRUE(SetTestString(HKEY_CLASSES_ROOT, rest + "\\shell\\open\\command", "", "\"" + recorder + "\" \"%1\""));
        } else if (keyword == "hold") {
            HANDLE h = CreateFileA(rest.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
            EXPECT_NE(INVALID_HANDLE_VALUE, h);
            if (h != INVALID_HANDLE_VALUE)
                m_held.push_back(h);
        } else if (keyword == "regset") {
            std::string path, key = TakeWord(&rest), name = TakeWord(&rest);
            HKEY hKey = NULL, hRoot = SplitRoot(key, &path);
            EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(hRoot, path.c_str(), 0, NULL, 0, KEY_SET_VALUE | ServerRegistryView(),
                                                     NULL, &hKey, NULL)) << key;
            if (hKey) {
                RegSetValueExA(hKey, name == "@" ? NULL : name.c_str(), 0, REG_SZ, (const BYTE *)rest.c_str(),
                               (DWORD)rest.size() + 1);
                RegCloseKey(hKey);
            }
        } else if (keyword == "delete") {
            std::string path;
            DeleteTestTree(SplitRoot(rest, &path), path, ServerRegistryView());
        } else {
            return false;
        }
        return true;
    }

    // "run:" gives vurhost the run's options, then the case's script; "exec:"
    // runs a command line as it is.
    void StartRun(const std::string &keyword, const std::string &rest)
    {
        if (!m_bStarted && !m_served.empty()) {
            m_http.reset(new LocalHttpServer(m_served));
            EXPECT_FALSE(m_http->m_url.empty()) << "the local web server started";
        }
        std::string bytes;
        if (!m_bStarted && !m_script.empty() && ReadFileBytes(m_case + "\\" + m_script, &bytes)) {
            EXPECT_TRUE(WriteFileBytes(m_case + "\\" + m_script, Expand(bytes)));
        }
        m_bStarted = m_bInRun = true;
        m_runLine = keyword + ": " + rest;
        m_wantExit = -1;
        TempDir dir;
        std::string transcriptPath = dir / "transcript.txt", outputPath = dir / "output.txt", text;
        // Without a script: line, the runs name what vurhost is given themselves.
        std::string script = m_script.empty() ? "" : " \"" + Expand("<case>\\" + m_script) + "\"";
        std::string command = keyword == "exec" ? Expand(rest)
                            : "\"" + VurhostExePath() + "\" --transcript \"" + transcriptPath + "\" --timeout 60 " + Expand(rest) + script;
        // The output, stdout and stderr, goes to a file.
        SECURITY_ATTRIBUTES sa = { sizeof sa, NULL, TRUE };
        HANDLE hOut = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS, 0, NULL);
        EXPECT_NE(INVALID_HANDLE_VALUE, hOut) << outputPath;
        m_exitCode = RunAndWait(command, keyword == "exec" ? 30000 : 90000, hOut);
        CloseHandle(hOut);
        ReadFileBytes(outputPath, &m_output);
        ReadFileBytes(transcriptPath, &text);
        Lines lines = SplitLines(text);
        MaskDownloadPaths(&lines);
        auto tokens = Tokens();
        for (std::string masked : lines) {
            for (auto it = tokens.begin(); it != tokens.begin() + 5; ++it)
                ReplaceAll(&masked, it->second, it->first);
            // A case's author copies what a run showed from here.
            if (GetEnvironmentVariableA("VUR_E2E_SHOW", NULL, 0))
                printf("%s\n", masked.c_str());
            (StartsWith(masked, "! ") ? m_boxes : m_transcript).push_back(masked);
        }
    }

    // At the first line that is not the run's: its transcript, boxes and exit.
    void EndRun()
    {
        if (!m_bInRun)
            return;
        SCOPED_TRACE(m_runLine);
        m_bInRun = false;
        EXPECT_EQ(m_wantExit, m_exitCode) << m_output;
        EXPECT_EQ(m_wantTranscript, m_transcript);
        std::sort(m_boxes.begin(), m_boxes.end());
        std::sort(m_wantBoxes.begin(), m_wantBoxes.end());
        EXPECT_EQ(m_wantBoxes, m_boxes) << "the run's message boxes, in any order";
        for (Lines *pLines : { &m_transcript, &m_boxes, &m_wantTranscript, &m_wantBoxes })
            pLines->clear();
    }

    void Check(const std::string &keyword, std::string rest)
    {
        rest = Expand(rest);
        LetGo();
        std::string path, first = TakeWord(&rest);
        HKEY hRoot = keyword == "reg" || keyword == "values" || keyword == "subkeys" ? SplitRoot(first, &path) : NULL;
        if (keyword == "files") {
            Lines files, expected;
            ListFiles(first, "", &files);
            std::sort(files.begin(), files.end());
            for (std::istringstream names(rest); names >> rest;)
                expected.push_back(rest);
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(expected, files);
        } else if (keyword == "same") {
            std::string a, b;
            EXPECT_TRUE(ReadFileBytes(first, &a) && ReadFileBytes(rest, &b)) << "both files can be read";
            EXPECT_TRUE(a == b) << a.size() << " and " << b.size() << " bytes";
        } else if (keyword == "text") {
            std::string bytes;
            ReplaceAll(&rest, "\\n", "\r\n");
            for (int i = 0; i < 100 && !(ReadFileBytes(first, &bytes) && bytes == rest); i++)
                Sleep(100);
            EXPECT_EQ(rest, bytes);
        } else if (keyword == "mtime") {
            FileTimes times = {};
            EXPECT_TRUE(ReadFileTimes(first, &times));
            EXPECT_EQ(FileTimeText(ParseUtcTime(rest)), FileTimeText(times.ftLastWrite));
        } else if (keyword == "gone") {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(first.c_str()));
        } else if (keyword == "reg") {
            std::string name = TakeWord(&rest);
            EXPECT_EQ(rest, ReadTestValue(hRoot, path, name == "@" ? "" : name.c_str(), ServerRegistryView()));
        } else if (keyword == "values") {
            EXPECT_EQ(atoi(rest.c_str()), CountKeyEntries(hRoot, path, true, ServerRegistryView()));
        } else if (keyword == "subkeys") {
            int n = CountKeyEntries(hRoot, path, false, ServerRegistryView());
            EXPECT_EQ(m_subkeys.emplace(first, n).first->second, n) << "as many as at its first subkeys: line";
        } else if (keyword == "windows") {
            std::istringstream fates(first + " " + rest);
            for (HANDLE h : m_standIns) {
                std::string expected;
                fates >> expected;
                DWORD dwCode = STILL_ACTIVE;
                if (WaitForSingleObject(h, expected == "closed" ? 10000 : 0) == WAIT_OBJECT_0)
                    GetExitCodeProcess(h, &dwCode);
                EXPECT_EQ(expected, dwCode == kStandInClosed ? "closed" : dwCode == STILL_ACTIVE ? "running" : "ended");
            }
        } else {
            ADD_FAILURE() << "a line of no known form";
        }
    }

private:
    // Files held during the runs are let go before the checks read them.
    void LetGo()
    {
        for (HANDLE h : m_held)
            CloseHandle(h);
        m_held.clear();
    }

    // The child modes of this program that a case starts wait for it.
    HANDLE m_hCaseEnd = CreateEventA(NULL, TRUE, FALSE, "VurE2ECaseEnd");
    TempDir m_work;
    std::string m_case, m_install, m_script;
    PrivateKeyTree m_keys;
    std::unique_ptr<InstallFolderValue> m_folderValue;
    std::unique_ptr<SearchDrives> m_drives;
    std::map<std::string, std::string> m_served;
    std::map<std::string, int> m_subkeys;
    std::unique_ptr<LocalHttpServer> m_http;
    std::vector<HANDLE> m_standIns, m_held;
    Lines m_schemes;
    bool m_bStarted = false, m_bInRun = false;
    // The run that the lines now read belong to: what it gave, what they expect.
    std::string m_runLine, m_output;
    long m_exitCode = -1, m_wantExit = -1;
    Lines m_transcript, m_boxes, m_wantTranscript, m_wantBoxes;
};

std::string CasesFolder()
{
    std::string path = "Z:" VUR_E2E_CASES_DIR;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Every folder with a case.txt, sorted.
Lines CaseNames()
{
    Lines names;
    ForEachFile(CasesFolder(), [&](const WIN32_FIND_DATAA &fd) {
        if (FileExists(CasesFolder() + "\\" + fd.cFileName + "\\case.txt"))
            names.push_back(fd.cFileName);
    });
    std::sort(names.begin(), names.end());
    return names;
}

// A registered server that starts but never offers its class object.
VUR_CHILD_MODE(neveroffers)
{
    return WaitForTestRelease("VurE2ECaseEnd", 30000);
}

class EndToEnd : public RealServerTest, public testing::WithParamInterface<std::string> {};

TEST_P(EndToEnd, Case)
{
    std::string folder = CasesFolder() + "\\" + GetParam(), text;
    ASSERT_TRUE(ReadFileBytes(folder + "\\case.txt", &text)) << folder;
    CaseRun c(folder);
    for (const std::string &line : SplitLines(text)) {
        if (!line.empty() && !StartsWith(line, "//"))
            c.Line(line);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, testing::ValuesIn(CaseNames()), [](const testing::TestParamInfo<std::string> &info) {
    std::string name = info.param;
    std::replace_if(name.begin(), name.end(), [](char ch) { return !isalnum((unsigned char)ch); }, '_');
    return name;
});

}
