// RunProgramAndWait and RegisterComponentFile on the fixture program
// (recordargs.exe records its command line in its own path + ".txt", then
// "ended" half a second later) and the fixture library registers.dll (its
// DllRegisterServer returns what the test asks). The exec-programs and
// register-components cases run the exact command line, /regserver, a
// file that is no program and a library without the entry point.
#include "sysops/programs.h"
#include "sysopsfixtures.h"
#include <gtest/gtest.h>

// Without a path nothing runs: the command line must not be taken as the
// program to run.
TEST(Programs, RunsOnlyThePathGivenAndATimeOutLeavesItRunning)
{
    TempDir dir;
    std::string program = dir / "recordargs.exe", record = program + ".txt", line = "\"" + program + "\" via the line";
    ASSERT_TRUE(CopyFileA(FixturePath("recordargs.exe").c_str(), program.c_str(), FALSE));
    EXPECT_EQ(0u, RunProgramAndWait("", &line[0], 10000));
    EXPECT_EQ(0u, RunProgramAndWait(NULL, &line[0], 10000));
    EXPECT_FALSE(FileExists(record)) << "the program the line names was run";

    EXPECT_EQ(1u, RunProgramAndWait(program.c_str(), NULL, 100));
    EXPECT_EQ(std::string::npos, FileText(record).find("ended")) << "waited past the time-out";
    for (int i = 0; i < 100 && FileText(record).find("ended") == std::string::npos; i++)
        Sleep(100);
    EXPECT_NE(std::string::npos, FileText(record).find("ended")) << "the program did not go on";
}

// Only a lower-case final e makes a program: RECORD.EXE is loaded as a
// library, has no DllRegisterServer and is not run. The library's own
// result decides (S_FALSE succeeds), and it is unloaded after.
TEST(Programs, RegistersLibrariesThroughDllRegisterServer)
{
    TempDir dir;
    std::string upper = dir / "RECORD.EXE", registers = FixturePath("registers.dll");
    ASSERT_TRUE(CopyFileA(FixturePath("recordargs.exe").c_str(), upper.c_str(), FALSE));
    const struct {
        std::string path;
        const char *pszResult;      // what DllRegisterServer returns
        UINT uExpected;
    } cases[] = { {upper, "0", 0}, {registers, "1", 1}, {registers, "80004005", 0}, {dir / "missing.dll", "0", 0} };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path + " returning " + c.pszResult);
        SetEnvironmentVariableA("VUR_FIXTURE_REG_RESULT", c.pszResult);
        EXPECT_EQ(c.uExpected, RegisterComponentFile(c.path.c_str()));
        EXPECT_EQ(nullptr, GetModuleHandleA(c.path.c_str())) << "the library is still loaded";
    }
    EXPECT_FALSE(FileExists(upper + ".txt")) << "RECORD.EXE was run";
    EXPECT_EQ(0u, RegisterComponentFile(NULL));
}
