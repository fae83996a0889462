// Every folder under tests/e2e/ with a case.txt is one test (the format is
// in e2ecase.h): vurhost drives the real server through the case's runs.
#include "e2ecase.h"
#include "serverfixture.h"
#include "support/testmain.h"
#include <algorithm>

namespace {

std::string CasesFolder()
{
    std::string path = "Z:" VUR_E2E_CASES_DIR;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// A registered server that starts but never offers its class object.
VUR_CHILD_MODE(neveroffers)
{
    (void)argc;
    (void)argv;
    return WaitForTestRelease("VurE2ECaseEnd", 30000);
}

class EndToEnd : public RealServerTest, public testing::WithParamInterface<std::string> {};

TEST_P(EndToEnd, Case)
{
    RunE2ECase(CasesFolder() + "\\" + GetParam());
}

std::string CaseTestName(const testing::TestParamInfo<std::string> &info)
{
    std::string name = info.param;
    std::replace_if(name.begin(), name.end(), [](char ch) { return !isalnum((unsigned char)ch); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, testing::ValuesIn(E2ECaseNames(CasesFolder())), CaseTestName);

}
