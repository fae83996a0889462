// Running vurhost from the server tests: see vurhostrun.h.
#include "vurhostrun.h"
#include "serverfixture.h"
#include <gtest/gtest.h>
#include <algorithm>

VurhostRun RunVurhost(const TempDir &dir, const std::string &args, DWORD dwTimeoutMs)
{
    VurhostRun run;
    std::string transcriptPath = dir / "transcript.txt";
    DeleteFileA(transcriptPath.c_str());
    run.exitCode = RunCaptured("\"" + VurhostExePath() + "\" --transcript \"" + transcriptPath + "\" " + args,
                               dwTimeoutMs, &run.output);
    std::string text;
    ReadFileBytes(transcriptPath, &text);
    run.transcript = SplitLines(text);
    return run;
}

Lines MaskDownloadPaths(Lines lines)
{
    const std::string prefix = "> SetParameter DLPATH=";
    std::string folder;
    for (const std::string &line : lines) {
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string path = line.substr(prefix.size());
        size_t start = path.find("\\vurhost-");
        size_t end = start == std::string::npos ? start : path.find('\\', start + 1);
        EXPECT_NE(std::string::npos, end) << "not in vurhost's download folder: " << path;
        EXPECT_FALSE(FileExists(path)) << "vurhost deletes its downloads when it ends: " << path;
        if (end == std::string::npos)
            continue;
        if (folder.empty())
            folder = path.substr(0, end);
        EXPECT_EQ(folder, path.substr(0, end)) << "one download folder for the run";
    }
    if (folder.empty())
        return lines;
    for (std::string &line : lines) {
        for (size_t at = line.find(folder); at != std::string::npos; at = line.find(folder, at))
            line.replace(at, folder.size(), "<downloads>");
    }
    return lines;
}

std::string Quoted(const std::string &s)
{
    return "\"" + s + "\"";
}

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

size_t CountOf(const Lines &lines, const std::string &line)
{
    return (size_t)std::count(lines.begin(), lines.end(), line);
}
