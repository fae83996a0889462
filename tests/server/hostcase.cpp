// End-to-end cases as data: see hostcase.h.
#include "hostcase.h"
#include "serverfixture.h"
#include "support/testfiles.h"
#include <algorithm>

namespace {

bool StartsWith(const std::string &s, const char *pszPrefix)
{
    return s.compare(0, strlen(pszPrefix), pszPrefix) == 0;
}

// Splits a transcript into its ordered part and its message boxes, with the
// case's folders masked.
void Normalise(const std::string &folder, Lines lines, Lines *pOrdered, Lines *pBoxes)
{
    const std::string files = folder + "\\files";
    for (std::string &line : MaskDownloadPaths(lines)) {
        for (size_t at = line.find(files); at != std::string::npos; at = line.find(files, at))
            line.replace(at, files.size(), "<files>");
        (StartsWith(line, "! ") ? pBoxes : pOrdered)->push_back(line);
    }
}

}

HostCase ReadHostCase(const std::string &folder, const std::string &name)
{
    HostCase c;
    std::string text;
    ReadFileBytes(folder + "\\" + name, &text);
    for (const std::string &line : SplitLines(text)) {
        if (StartsWith(line, "run:")) {
            c.runs.emplace_back();
            c.runs.back().options = line.substr(line.size() > 4 && line[4] == ' ' ? 5 : 4);
        } else if (StartsWith(line, "script: ")) {
            c.script = line.substr(8);
        } else if (StartsWith(line, "drive: ")) {
            c.drives.push_back(line.substr(7));
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

std::vector<std::string> HostCaseNames(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((folder + "\\*.case").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(fd.cFileName);
    while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
    std::sort(names.begin(), names.end());
    return names;
}

void RunHostCase(const std::string &folder, const HostCase &c)
{
    ASSERT_FALSE(c.runs.empty()) << "the case has no run";
    TempDir dir;
    std::string script = Quoted(folder + "\\files\\" + c.script);
    for (size_t i = 0; i < c.runs.size(); i++) {
        const HostRun &expected = c.runs[i];
        SCOPED_TRACE("run " + std::to_string(i + 1) + ": " + expected.options);
        VurhostRun run = RunVurhost(dir, "--quiet --timeout 60 " + expected.options + " " + script, 90000);
        Lines ordered, boxes, missing = expected.boxes;
        Normalise(folder, run.transcript, &ordered, &boxes);
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

std::string HostCaseTestName(const std::string &fileName)
{
    std::string name = fileName.substr(0, fileName.size() - 5);
    for (char &ch : name) {
        if (!isalnum((unsigned char)ch))
            ch = '_';
    }
    return name;
}
