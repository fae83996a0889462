// Reading the tests' data cases and tables.
#include "casefiles.h"
#include "support/testfiles.h"
#include <stdlib.h>

static std::string Unescape(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text.compare(i, 3, "{0x") == 0 && i + 6 <= text.size() && text[i + 5] == '}') {
            out += (char)strtol(text.substr(i + 3, 2).c_str(), NULL, 16);
            i += 5;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<DataCase> ReadDataCases(const std::string &path)
{
    std::string text;
    ReadFileBytes(path, &text);
    std::vector<DataCase> cases;
    bool bExpected = false;
    for (const std::string &line : SplitLines(text)) {
        if (line.compare(0, 4, "=== ") == 0) {
            cases.push_back(DataCase{ line.substr(4), "", "" });
            bExpected = false;
        } else if (cases.empty()) {
            continue;
        } else if (line == "---" && !bExpected) {
            bExpected = true;
        } else if (bExpected) {
            cases.back().expected += line + "\n";
        } else {
            cases.back().body += (cases.back().body.empty() ? "" : "\n") + Unescape(line);
        }
    }
    return cases;
}

std::vector<std::vector<std::string>> ReadTable(const std::string &path)
{
    std::string text;
    ReadFileBytes(path, &text);
    std::vector<std::vector<std::string>> rows;
    for (const std::string &line : SplitLines(text)) {
        if (line.empty() || line[0] == '#')
            continue;
        rows.emplace_back();
        for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
            end = line.find('|', start);
            rows.back().push_back(Unescape(line.substr(start, end == std::string::npos ? end : end - start)));
        }
    }
    return rows;
}
