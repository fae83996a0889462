// Support of the server tests: the built programs, the server's
// registration in the private prefix, and its processes.
#ifndef VUR_TEST_SERVERFIXTURE_H
#define VUR_TEST_SERVERFIXTURE_H

#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "support/testfiles.h"

// The build tree (build\<arch>), found from this program's place in it.
std::string BuildRoot();

// The server and vurhost that the tests load or run: the build's own,
// unless the environment names others in VUR_SERVER_EXE and VUR_VURHOST_EXE
// (Windows paths), as test.sh does to run them against the shipping i686
// build.
std::string ServerExePath();
std::string VurhostExePath();
// The server's path in its 8.3 form, as it registers itself.
std::string ServerShortPath();

// The registry view that the server under test reads and writes:
// KEY_WOW64_32KEY for a 32-bit program, KEY_WOW64_64KEY for a 64-bit one.
REGSAM ServerRegistryView();

// Ids of the running installer.exe processes.
std::vector<DWORD> RunningServers();

// A top-level window of that class in process dwPid (with bVisible, a
// visible one); NULL when there is none.
HWND FindProcessWindow(DWORD dwPid, const char *pszClass, bool bVisible);

// Base of tests that use the real server: registers it for COM in the
// prefix unless it already is, and makes sure no server of an earlier test
// is left over, before and after.
class RealServerTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

#endif
