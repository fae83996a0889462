// Host behaviours end to end: each hostcases/*.case file runs vurhost (one
// or more times) against the real server with the options it names, and
// compares the transcript, the exit status and the servers left running.
//
// A case file holds, line by line:
//   // comment            ignored
//   script: NAME          the script, in hostcases/files/ (its downloads too)
//   run: OPTIONS          starts a run of vurhost with these options
//   > ... < ... # ...     the run's transcript, in order
//   ! CAPTION | TEXT      a message box of the run: found by a thread that
//                         polls, so compared as a set, not in order
//   !? CAPTION | TEXT     a box that may show: the server's end may close it
//                         before it is seen
//   exit: N               the run's exit status
//   servers: N            installer.exe processes running after the run
// In transcripts, <files> stands for hostcases\files and <downloads> for
// vurhost's download folder.
#include "serverfixture.h"
#include "vurhostrun.h"
#include "support/testfiles.h"
#include <algorithm>

namespace {

struct HostRun {
    std::string options;
    Lines transcript;           // without the message-box lines
    Lines boxes;
    Lines optionalBoxes;
    long exitCode = -1;
    long servers = -1;          // not checked when not given
};

struct HostCase {
    std::string script;
    std::vector<HostRun> runs;
};

std::string CasesFolder()
{
    std::string path = "Z:" VUR_HOSTCASES_DIR;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

bool StartsWith(const std::string &s, const char *pszPrefix)
{
    return s.compare(0, strlen(pszPrefix), pszPrefix) == 0;
}

HostCase ReadCase(const std::string &name)
{
    HostCase c;
    std::string text;
    ReadFileBytes(CasesFolder() + "\\" + name, &text);
    for (const std::string &line : SplitLines(text)) {
        if (StartsWith(line, "run:")) {
            c.runs.emplace_back();
            c.runs.back().options = line.substr(line.size() > 4 && line[4] == ' ' ? 5 : 4);
        } else if (StartsWith(line, "script: ")) {
            c.script = line.substr(8);
        } else if (c.runs.empty()) {
            continue;
        } else if (StartsWith(line, "servers: ")) {
            c.runs.back().servers = atol(line.c_str() + 9);
        } else if (StartsWith(line, "exit: ")) {
            c.runs.back().exitCode = atol(line.c_str() + 6);
        } else if (StartsWith(line, "! ")) {
            c.runs.back().boxes.push_back(line);
        } else if (StartsWith(line, "!? ")) {
            c.runs.back().optionalBoxes.push_back("! " + line.substr(3));
        } else if (StartsWith(line, "> ") || StartsWith(line, "< ") || StartsWith(line, "# ")) {
            c.runs.back().transcript.push_back(line);
        }
    }
    return c;
}

std::vector<std::string> CaseNames()
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((CasesFolder() + "\\*.case").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(fd.cFileName);
    while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
    std::sort(names.begin(), names.end());
    return names;
}

// Splits a transcript into its ordered part and its message boxes, with the
// case's folders masked.
void Normalise(Lines lines, Lines *pOrdered, Lines *pBoxes)
{
    const std::string files = CasesFolder() + "\\files";
    for (std::string &line : MaskDownloadPaths(lines)) {
        for (size_t at = line.find(files); at != std::string::npos; at = line.find(files, at))
            line.replace(at, files.size(), "<files>");
        (StartsWith(line, "! ") ? pBoxes : pOrdered)->push_back(line);
    }
}

class HostCases : public RealServerTest, public testing::WithParamInterface<std::string> {};

TEST_P(HostCases, Run)
{
    HostCase c = ReadCase(GetParam());
    ASSERT_FALSE(c.runs.empty()) << GetParam() << " has no run";
    TempDir dir;
    std::string script = Quoted(CasesFolder() + "\\files\\" + c.script);
    for (size_t i = 0; i < c.runs.size(); i++) {
        const HostRun &expected = c.runs[i];
        SCOPED_TRACE("run " + std::to_string(i + 1) + ": " + expected.options);
        VurhostRun run = RunVurhost(dir, "--quiet --timeout 60 " + expected.options + " " + script, 90000);
        Lines ordered, boxes, missing = expected.boxes;
        Normalise(run.transcript, &ordered, &boxes);
        EXPECT_EQ(expected.exitCode, run.exitCode) << run.output;
        EXPECT_EQ(expected.transcript, ordered);
        for (const std::string &box : boxes) {
            auto it = std::find(missing.begin(), missing.end(), box);
            if (it != missing.end())
                missing.erase(it);
            else
                EXPECT_EQ(1u, CountOf(expected.optionalBoxes, box)) << "unexpected " << box;
        }
        EXPECT_EQ(Lines(), missing) << "boxes that did not show";
        if (expected.servers >= 0) {
            EXPECT_EQ((size_t)expected.servers, RunningServers().size()) << "installer.exe processes running";
        }
    }
}

std::string CaseTestName(const testing::TestParamInfo<std::string> &info)
{
    std::string name = info.param.substr(0, info.param.size() - 5);
    for (char &ch : name) {
        if (!isalnum((unsigned char)ch))
            ch = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Files, HostCases, testing::ValuesIn(CaseNames()), CaseTestName);

}
