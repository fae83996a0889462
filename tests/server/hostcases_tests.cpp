// Host behaviours end to end: each hostcases/*.case file (the format is in
// hostcase.h) runs vurhost against the real server with the options it
// names, and compares the transcript, the exit status and the servers
// left running.
#include "hostcase.h"
#include "serverfixture.h"
#include <algorithm>

namespace {

std::string CasesFolder()
{
    std::string path = "Z:" VUR_HOSTCASES_DIR;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

class HostCases : public RealServerTest, public testing::WithParamInterface<std::string> {};

TEST_P(HostCases, Run)
{
    RunHostCase(CasesFolder(), ReadHostCase(CasesFolder(), GetParam()));
}

std::string CaseTestName(const testing::TestParamInfo<std::string> &info)
{
    return HostCaseTestName(info.param);
}

INSTANTIATE_TEST_SUITE_P(Files, HostCases, testing::ValuesIn(HostCaseNames(CasesFolder())), CaseTestName);

}
