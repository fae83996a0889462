// End-to-end cases as data: see e2ecase.h.
#include "e2ecase.h"
#include "localhttpserver.h"
#include "regtestkeys.h"
#include "searchtrees.h"
#include "serverfixture.h"
#include "support/installfolder.h"
#include "support/testtimes.h"
#include <algorithm>
#include <map>
#include <memory>
#include <sstream>

namespace {

const char kKeyPath[] = TEST_KEY_PATH "\\E2E";
const char kStandInClosed = 10;     // browserwindow.exe's exit status after WM_CLOSE

bool StartsWith(const std::string &s, const std::string &prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

void ReplaceAll(std::string *pText, const std::string &from, const std::string &to)
{
    for (size_t at = pText->find(from); !from.empty() && at != std::string::npos; at = pText->find(from, at + to.size()))
        pText->replace(at, from.size(), to);
}

// "keyword: rest" split; false for a line of another form.
bool SplitDirective(const std::string &line, std::string *pKeyword, std::string *pRest)
{
    size_t colon = line.find(": ");
    if (colon == std::string::npos || colon == 0 || line.find(' ') < colon)
        return false;
    *pKeyword = line.substr(0, colon);
    *pRest = line.substr(colon + 2);
    return true;
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

void ListFiles(const std::string &folder, const std::string &prefix, Lines *pFiles)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + "\\" + name, prefix + name + "\\", pFiles);
        else
            pFiles->push_back(prefix + name);
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
}

UINT DriveType(const std::string &name)
{
    static const std::map<std::string, UINT> s_types = {
        { "fixed", DRIVE_FIXED }, { "removable", DRIVE_REMOVABLE }, { "cdrom", DRIVE_CDROM }, { "network", DRIVE_REMOTE },
    };
    auto it = s_types.find(name);
    return it == s_types.end() ? DRIVE_UNKNOWN : it->second;
}

// "HKCU\path" or "HKLM\path".
HKEY SplitRoot(const std::string &key, std::string *pPath)
{
    *pPath = key.substr(std::min(key.size(), (size_t)5));
    return StartsWith(key, "HKLM\\") ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// What one case sets up, undone when it goes.
class CaseWorld {
public:
    // The case's files are copied into <work>\case, its script with the
    // tokens given their values, so that a run never writes into the source
    // tree and a script can name the paths of the case.
    explicit CaseWorld(const std::string &caseFolder)
        : m_case(m_work / "case"), m_install(m_work / "install"), m_keys(HKEY_CURRENT_USER, kKeyPath)
    {
        CreateDirectoryA(m_install.c_str(), NULL);
        CreateDirectoryA(m_case.c_str(), NULL);
        m_folderValue.reset(new InstallFolderValue(m_install, ServerRegistryView()));
        Lines files;
        ListFiles(caseFolder, "", &files);
        for (const std::string &name : files)
            EXPECT_TRUE(CopyFileA((caseFolder + "\\" + name).c_str(), (m_case + "\\" + name).c_str(), FALSE)) << name;
    }

    // Once the setup is done, every token has its value. A case may name a
    // script that is not there.
    void ExpandScript(const std::string &script)
    {
        std::string bytes;
        if (!script.empty() && ReadFileBytes(m_case + "\\" + script, &bytes)) {
            EXPECT_TRUE(WriteFileBytes(m_case + "\\" + script, Expand(bytes)));
        }
    }

    ~CaseWorld()
    {
        LetGo();
        for (HANDLE h : m_standIns) {
            TerminateProcess(h, 1);
            CloseHandle(h);
        }
        for (const std::string &scheme : m_schemes)
            DeleteTestTree(HKEY_CLASSES_ROOT, scheme);
    }

    std::string Expand(std::string text) const
    {
        ReplaceAll(&text, "<case>", m_case);
        ReplaceAll(&text, "<install>", m_install);
        ReplaceAll(&text, "<work>", m_work.Path());
        ReplaceAll(&text, "<fixtures>", BuildRoot() + "\\tests\\sysops\\fixtures");
        ReplaceAll(&text, "<key>", std::string("HKCU\\") + kKeyPath);
        if (m_http)
            ReplaceAll(&text, "<http>", m_http->BaseUrl());
        return text;
    }

    // The reverse of Expand for transcripts, the longest paths first.
    std::string Mask(std::string line) const
    {
        ReplaceAll(&line, m_install, "<install>");
        ReplaceAll(&line, m_case, "<case>");
        ReplaceAll(&line, m_work.Path(), "<work>");
        ReplaceAll(&line, BuildRoot() + "\\tests\\sysops\\fixtures", "<fixtures>");
        if (m_http)
            ReplaceAll(&line, m_http->BaseUrl(), "<http>");
        return line;
    }

    void Prepare(const Lines &setup);
    // Files held during the runs are let go before the checks read them.
    void LetGo()
    {
        for (HANDLE h : m_held)
            CloseHandle(h);
        m_held.clear();
    }
    void Check(const std::string &keyword, std::string rest);

private:
    void StartStandIn(const std::string &kind);
    void RegisterScheme(const std::string &scheme);

    TempDir m_work;
    std::string m_case;
    std::string m_install;
    PrivateKeyTree m_keys;
    std::unique_ptr<InstallFolderValue> m_folderValue;
    std::unique_ptr<SearchDrives> m_drives;
    std::map<std::string, std::string> m_served;
    std::unique_ptr<LocalHttpServer> m_http;
    std::vector<HANDLE> m_standIns, m_held;
    Lines m_schemes;
};

void CaseWorld::Prepare(const Lines &setup)
{
    for (const std::string &line : setup) {
        SCOPED_TRACE(line);
        std::string keyword, rest;
        SplitDirective(line, &keyword, &rest);
        if (keyword == "http") {
            // Served paths are known before the server starts; <http> is
            // known only after it.
            std::string path = TakeWord(&rest);
            m_served[path] = rest;
            continue;
        }
        rest = Expand(rest);
        if (keyword == "installdir") {
            m_folderValue.reset();
            m_folderValue.reset(new InstallFolderValue(rest, ServerRegistryView()));
        } else if (keyword == "copy") {
            std::string from = TakeWord(&rest);
            ASSERT_TRUE(CopyFileA(from.c_str(), rest.c_str(), FALSE)) << GetLastError();
        } else if (keyword == "write") {
            std::string path = TakeWord(&rest);
            ReplaceAll(&rest, "\\n", "\r\n");
            ASSERT_TRUE(WriteFileBytes(path, rest));
        } else if (keyword == "mkdir") {
            ASSERT_TRUE(CreateDirectoryA(rest.c_str(), NULL));
        } else if (keyword == "settime") {
            std::string path = TakeWord(&rest);
            FILETIME ft = ParseUtcTime(rest);
            ASSERT_TRUE(WriteFileTimes(path, NULL, &ft));
        } else if (keyword == "drive") {
            std::string letter = TakeWord(&rest);
            std::string folder = m_work / ("drive-" + letter);
            ASSERT_TRUE(letter.size() == 1 && DriveType(rest) != DRIVE_UNKNOWN && CreateDirectoryA(folder.c_str(), NULL));
            if (!m_drives)
                m_drives.reset(new SearchDrives);
            ASSERT_TRUE(m_drives->ok() && m_drives->Map(letter[0], DriveType(rest), folder));
        } else if (keyword == "tree") {
            std::string letter = TakeWord(&rest);
            ASSERT_TRUE(MakeTree(m_work / ("drive-" + letter), { rest }));
        } else if (keyword == "window") {
            StartStandIn(rest);
        } else if (keyword == "scheme") {
            RegisterScheme(rest);
        } else if (keyword == "hold") {
            HANDLE h = CreateFileA(rest.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
            m_held.push_back(h);
        } else {
            FAIL() << "unknown line";
        }
    }
    if (!m_served.empty()) {
        m_http.reset(new LocalHttpServer(m_served));
        ASSERT_FALSE(m_http->BaseUrl().empty()) << "the local web server started";
    }
}

void CaseWorld::StartStandIn(const std::string &kind)
{
    std::string event = "VurE2EStandIn" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(m_standIns.size());
    HANDLE hReady = CreateEventA(NULL, TRUE, FALSE, event.c_str());
    std::string commandLine = "\"" + BuildRoot() + "\\tests\\browser\\fixtures\\browserwindow.exe\" " + event + " " + kind;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        CloseHandle(hReady);
        FAIL() << "cannot start " << commandLine;
    }
    CloseHandle(pi.hThread);
    m_standIns.push_back(pi.hProcess);
    HANDLE aWait[] = { hReady, pi.hProcess };
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, aWait, FALSE, 15000)) << "the stand-in's windows are up";
    CloseHandle(hReady);
}

void CaseWorld::RegisterScheme(const std::string &scheme)
{
    std::string recorder = m_work / "recorder.exe";
    ASSERT_TRUE(CopyFileA((BuildRoot() + "\\tests\\sysops\\fixtures\\recordargs.exe").c_str(), recorder.c_str(), FALSE));
    m_schemes.push_back(scheme);
    ASSERT_TRUE(SetTestString(HKEY_CLASSES_ROOT, scheme, "", "URL:" + scheme));
    ASSERT_TRUE(SetTestString(HKEY_CLASSES_ROOT, scheme, "URL Protocol", ""));
    ASSERT_TRUE(SetTestString(HKEY_CLASSES_ROOT, scheme + "\\shell\\open\\command", "", "\"" + recorder + "\" \"%1\""));
}

void CaseWorld::Check(const std::string &keyword, std::string rest)
{
    rest = Expand(rest);
    if (keyword == "files") {
        std::string folder = TakeWord(&rest);
        Lines files, expected;
        ListFiles(folder, "", &files);
        std::sort(files.begin(), files.end());
        for (std::istringstream names(rest); names >> rest;)
            expected.push_back(rest);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, files);
    } else if (keyword == "same") {
        std::string first = TakeWord(&rest), a, b;
        ASSERT_TRUE(ReadFileBytes(first, &a) && ReadFileBytes(rest, &b)) << "both files can be read";
        size_t i = std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin()).first - a.begin();
        EXPECT_TRUE(a == b) << a.size() << " and " << b.size() << " bytes, differing from byte " << i;
    } else if (keyword == "text") {
        std::string path = TakeWord(&rest), bytes;
        ReplaceAll(&rest, "\\n", "\r\n");
        for (int i = 0; i < 100 && !(ReadFileBytes(path, &bytes) && bytes == rest); i++)
            Sleep(100);
        EXPECT_EQ(rest, bytes);
    } else if (keyword == "mtime") {
        std::string path = TakeWord(&rest);
        FileTimes times = {};
        EXPECT_TRUE(ReadFileTimes(path, &times));
        EXPECT_EQ(FileTimeText(ParseUtcTime(rest)), FileTimeText(times.ftLastWrite));
    } else if (keyword == "gone") {
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(rest.c_str()));
    } else if (keyword == "reg") {
        std::string path, key = TakeWord(&rest), name = TakeWord(&rest);
        HKEY hRoot = SplitRoot(key, &path);
        EXPECT_EQ(rest, ReadTestValue(hRoot, path, name == "@" ? "" : name.c_str()));
    } else if (keyword == "values") {
        std::string path, key = TakeWord(&rest);
        HKEY hRoot = SplitRoot(key, &path);
        EXPECT_EQ(atoi(rest.c_str()), CountValues(hRoot, path));
    } else if (keyword == "requests") {
        ASSERT_TRUE(m_http != nullptr);
        EXPECT_EQ(atoi(rest.c_str()), m_http->Requests());
    } else if (keyword == "windows") {
        std::istringstream fates(rest);
        for (HANDLE h : m_standIns) {
            std::string expected;
            fates >> expected;
            DWORD dwCode = STILL_ACTIVE;
            if (WaitForSingleObject(h, expected == "closed" ? 10000 : 0) == WAIT_OBJECT_0)
                GetExitCodeProcess(h, &dwCode);
            EXPECT_EQ(expected, dwCode == (DWORD)kStandInClosed ? "closed" : dwCode == STILL_ACTIVE ? "running" : "ended");
        }
    } else {
        ADD_FAILURE() << "unknown line";
    }
}

bool IsSetup(const std::string &keyword)
{
    static const Lines s_setup = { "installdir", "copy", "write", "mkdir", "settime", "drive",
                                   "tree", "http", "window", "scheme", "hold" };
    return std::find(s_setup.begin(), s_setup.end(), keyword) != s_setup.end();
}

}

E2ECase ReadE2ECase(const std::string &caseFolder)
{
    E2ECase c;
    std::string text;
    EXPECT_TRUE(ReadFileBytes(caseFolder + "\\case.txt", &text)) << caseFolder;
    for (const std::string &line : SplitLines(text)) {
        std::string keyword, rest;
        E2ERun *pRun = c.runs.empty() ? NULL : &c.runs.back();
        if (StartsWith(line, "//") || line.empty()) {
            continue;
        } else if (StartsWith(line, "run:")) {
            c.runs.emplace_back();
            c.runs.back().options = line.substr(line.size() > 4 ? 5 : 4);
        } else if (pRun && (StartsWith(line, "> ") || StartsWith(line, "< ") || StartsWith(line, "# "))) {
            pRun->transcript.push_back(line);
        } else if (pRun && StartsWith(line, "! ")) {
            pRun->boxes.push_back(line);
        } else if (pRun && StartsWith(line, "!? ")) {
            pRun->optionalBoxes.push_back("! " + line.substr(3));
        } else if (!SplitDirective(line, &keyword, &rest)) {
            ADD_FAILURE() << "case.txt: a line of no known form: " << line;
        } else if (keyword == "script") {
            c.script = rest;
        } else if (pRun && keyword == "exit") {
            pRun->exitCode = atol(rest.c_str());
        } else if (pRun && keyword == "servers") {
            pRun->servers = atol(rest.c_str());
        } else if (pRun && (keyword == "output" || keyword == "no-output")) {
            ReplaceAll(&rest, "\\n", "\n");
            (keyword == "output" ? pRun->output : pRun->noOutput).push_back(rest);
        } else {
            (IsSetup(keyword) ? c.setup : c.checks).push_back(line);
        }
    }
    return c;
}

std::vector<std::string> E2ECaseNames(const std::string &casesFolder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((casesFolder + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do {
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && FileExists(casesFolder + "\\" + fd.cFileName + "\\case.txt"))
            names.push_back(fd.cFileName);
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
    std::sort(names.begin(), names.end());
    return names;
}

void RunE2ECase(const std::string &caseFolder, const E2ECase &c)
{
    ASSERT_FALSE(c.runs.empty()) << "the case has no run";
    CaseWorld world(caseFolder);
    world.Prepare(c.setup);
    world.ExpandScript(c.script);
    if (testing::Test::HasFatalFailure())
        return;
    TempDir dir;
    // Without a script: line the runs name what vurhost is given themselves.
    std::string script = c.script.empty() ? "" : Quoted(world.Expand("<case>\\" + c.script));
    for (size_t i = 0; i < c.runs.size(); i++) {
        const E2ERun &expected = c.runs[i];
        SCOPED_TRACE("run " + std::to_string(i + 1) + ": " + expected.options);
        VurhostRun run = RunVurhost(dir, "--timeout 60 " + world.Expand(expected.options) + " " + script, 90000);
        Lines ordered, missing = expected.boxes;
        for (const std::string &line : MaskDownloadPaths(run.transcript)) {
            std::string masked = world.Mask(line);
            // A case's author copies what a run showed from here.
            if (GetEnvironmentVariableA("VUR_E2E_SHOW", NULL, 0))
                printf("%s\n", masked.c_str());
            if (!StartsWith(masked, "! ")) {
                ordered.push_back(masked);
                continue;
            }
            auto it = std::find(missing.begin(), missing.end(), masked);
            if (it != missing.end())
                missing.erase(it);
            else
                EXPECT_EQ(1u, CountOf(expected.optionalBoxes, masked)) << "unexpected " << masked;
        }
        EXPECT_EQ(expected.exitCode, run.exitCode) << run.output;
        EXPECT_EQ(expected.transcript, ordered);
        EXPECT_EQ(Lines(), missing) << "boxes that did not show";
        for (const std::string &text : expected.output)
            EXPECT_TRUE(Contains(run.output, text)) << text << " in:\n" << run.output;
        for (const std::string &text : expected.noOutput)
            EXPECT_FALSE(Contains(run.output, text)) << text << " in:\n" << run.output;
        if (expected.servers >= 0) {
            EXPECT_EQ((size_t)expected.servers, RunningServers().size()) << "installer.exe processes running";
        }
    }
    world.LetGo();
    for (const std::string &line : c.checks) {
        SCOPED_TRACE(line);
        std::string keyword, rest;
        SplitDirective(line, &keyword, &rest);
        world.Check(keyword, rest);
    }
}
