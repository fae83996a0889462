// Running vurhost from the server tests: its exit status, its output and
// its transcript, with the paths of its own download folder masked.
#ifndef VUR_TEST_VURHOSTRUN_H
#define VUR_TEST_VURHOSTRUN_H

#include "support/testfiles.h"
#include <windows.h>
#include <string>
#include <vector>

typedef std::vector<std::string> Lines;

struct VurhostRun {
    long exitCode = -1;
    std::string output;
    Lines transcript;
};

// Runs vurhost with ARGS, its transcript written in dir.
VurhostRun RunVurhost(const TempDir &dir, const std::string &args, DWORD dwTimeoutMs = 180000);

// vurhost copies each download to <temp>\vurhost-<pid>-<n>\<k>\<name>.
// Checks that every DLPATH lies there and is gone once vurhost has ended,
// then writes "<downloads>" for that folder wherever it shows (DLPATH,
// SRCFILE...), so that the rest of each path can be compared exactly.
Lines MaskDownloadPaths(Lines lines);

std::string Quoted(const std::string &s);
bool Contains(const std::string &text, const std::string &part);
size_t CountOf(const Lines &lines, const std::string &line);

#endif
