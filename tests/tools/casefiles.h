// Data cases of the tools and script tests: text files of "=== title" cases, each a
// body and, after a "---" line, what it must give.
#ifndef VUR_TEST_CASEFILES_H
#define VUR_TEST_CASEFILES_H

#include <string>
#include <vector>

struct DataCase {
    std::string title;
    std::string body;               // lines joined with LF; {0xHH} made the byte HH
    std::string expected;           // lines after "---", each ending with LF
};

// The cases of a file; lines before the first "===" are comments.
std::vector<DataCase> ReadDataCases(const std::string &path);

#endif
