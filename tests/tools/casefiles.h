// Data files of the tests: cases ("=== title", a body and, after a "---"
// line, what it must give) and tables (one row a line, fields split at '|').
#ifndef VUR_TEST_CASEFILES_H
#define VUR_TEST_CASEFILES_H

#include <gtest/gtest.h>
#include <string>
#include <vector>

struct DataCase {
    std::string title;
    std::string body;               // lines joined with LF; {0xHH} made the byte HH
    std::string expected;           // lines after "---", each ending with LF
};

// The cases of a file; lines before the first "===" are comments.
std::vector<DataCase> ReadDataCases(const std::string &path);

// Gives each case of the file, of which there must be at least nMin, to
// check, traced by its title.
template <class Check> void ForEachCase(const std::string &path, size_t nMin, Check check)
{
    std::vector<DataCase> cases = ReadDataCases(path);
    ASSERT_GE(cases.size(), nMin) << path;
    for (const DataCase &c : cases) {
        SCOPED_TRACE(c.title);
        check(c);
    }
}

// The rows of a table file: each line that is not empty and does not start
// with '#', its fields split at '|', {0xHH} made the byte HH.
std::vector<std::vector<std::string>> ReadTable(const std::string &path);

#endif
