// The component's reports as vurhost shows them: the parameters sent
// before SEND, and the meaning of the error code NUMERR.
#ifndef VURHOST_REPORT_H
#define VURHOST_REPORT_H

#include <string>
#include <utility>
#include <vector>

typedef std::vector<std::pair<std::string, std::string>> ReportParams;

// What an error code means; "unknown error code" for any other value.
const char *ErrorMeaning(long lCode);

// True when the parameters hold NUMERR: an error report.
bool IsErrorReport(const ReportParams &params);

// Readable lines: a heading, then each parameter in the order it came,
// NUMERR with its meaning.
std::vector<std::string> FormatReport(const ReportParams &params);

#endif
