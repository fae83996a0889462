// Report formatting: see report.h.
#include "report.h"
#include <stdlib.h>

const char *ErrorMeaning(long lCode)
{
    switch (lCode) {
    case 1: return "the downloaded install script cannot be opened";
    case 2: return "the host answered a download with DLERR";
    case 3: return "COPY failed";
    case 4: return "EXEC failed";
    case 5: return "REGISTER failed";
    case 6: return "MD failed to make a folder";
    case 10: return "copying a plug-in file failed";
    case 11: return "the install thread's event cannot be created";
    case 12: return "the install thread cannot be started";
    case 13: return "COPYVER failed";
    case 14: return "COPYDATE failed";
    default: return "unknown error code";
    }
}

bool IsErrorReport(const ReportParams &params)
{
    for (const auto &p : params) {
        if (p.first == "NUMERR")
            return true;
    }
    return false;
}

std::vector<std::string> FormatReport(const ReportParams &params)
{
    std::vector<std::string> lines;
    lines.push_back(IsErrorReport(params) ? "Error report:" : "Result report:");
    for (const auto &p : params) {
        std::string line = "  " + p.first + " = " + p.second;
        if (p.first == "NUMERR")
            line += std::string(" (") + ErrorMeaning(atol(p.second.c_str())) + ")";
        lines.push_back(line);
    }
    return lines;
}
