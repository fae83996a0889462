// [TEST] sections end to end: each cases/*.case file (the format is in
// tests/server/hostcase.h) runs vurhost against the real server, with the
// drives its drive: lines name as the machine's only fixed drives.
#include "hostcase.h"
#include "searchtrees.h"
#include "serverfixture.h"
#include <algorithm>
#include <sstream>

namespace {

std::string CasesFolder()
{
    std::string path = "Z:" VUR_SEARCHCASES_DIR;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

UINT DriveType(const std::string &name)
{
    static const struct { const char *pszName; UINT uType; } s_aTypes[] = {
        { "fixed", DRIVE_FIXED }, { "removable", DRIVE_REMOVABLE }, { "cdrom", DRIVE_CDROM },
        { "network", DRIVE_REMOTE },
    };
    for (const auto &t : s_aTypes) {
        if (name == t.pszName)
            return t.uType;
    }
    return DRIVE_UNKNOWN;
}

class SearchCases : public RealServerTest, public testing::WithParamInterface<std::string> {};

TEST_P(SearchCases, Run)
{
    const std::string folder = CasesFolder();
    HostCase c = ReadHostCase(folder, GetParam());
    SearchDrives drives;
    ASSERT_TRUE(drives.ok());
    for (const std::string &drive : c.drives) {
        std::istringstream fields(drive);
        std::string letter, type, tree;
        fields >> letter >> type >> tree;
        ASSERT_TRUE(letter.size() == 1 && DriveType(type) != DRIVE_UNKNOWN) << "drive: " << drive;
        ASSERT_TRUE(drives.Map(letter[0], DriveType(type), folder + "\\files\\" + tree)) << "drive: " << drive;
    }
    RunHostCase(folder, c);
}

std::string CaseTestName(const testing::TestParamInfo<std::string> &info)
{
    return HostCaseTestName(info.param);
}

INSTANTIATE_TEST_SUITE_P(Files, SearchCases, testing::ValuesIn(HostCaseNames(CasesFolder())), CaseTestName);

}
