// RunProgramAndWait and RegisterComponentFile on the fixture program
// (recordargs.exe records its command line in its own path + ".txt", exits
// with 1) and the fixture libraries (registers.dll's DllRegisterServer
// returns what the test asks).
// The exec-programs and register-components cases run them end to end.
#include "sysops/programs.h"
#include "sysopsfixtures.h"
#include <gtest/gtest.h>

class ProgramsTest : public testing::Test {
protected:
    TempDir dir;
    std::string program = dir / "recordargs.exe";
    void SetUp() override { ASSERT_TRUE(CopyFileA(FixturePath("recordargs.exe").c_str(), program.c_str(), FALSE)); }
    // What the copy at PATH recorded (its line, then "ended"), and forgets it.
    std::string Recorded(const std::string &path)
    {
        std::string s = FileText(path + ".txt");
        DeleteFileA((path + ".txt").c_str());
        return s == "(unreadable)" ? "(not run)" : s;
    }
};

TEST_F(ProgramsTest, RunsExactlyTheCommandLineGivenOrNothingAndATimeOutLeavesItRunning)
{
    char szLine[] = "first \"second arg\" /x";
    EXPECT_EQ(1u, RunProgramAndWait(program.c_str(), szLine, INFINITE)) << "exit code 1 is still a success";
    EXPECT_EQ("first \"second arg\" /x\r\nended\r\n", Recorded(program)) << "the path is not put in front";

    // No path: the command line must not be taken as the program to run.
    std::string line = "\"" + program + "\" via the line", missing = dir / "missing.exe", notProgram = FixturePath("small.bin");
    for (const char *pszPath : { missing.c_str(), notProgram.c_str(), "", (const char *)NULL }) {
        SCOPED_TRACE(pszPath ? pszPath : "(null)");
        EXPECT_EQ(0u, RunProgramAndWait(pszPath, &line[0], 10000));
        EXPECT_EQ("(not run)", Recorded(program));
    }

    // "ended" comes half a second after the line: still running after a 100 ms wait.
    std::string own = program + ".txt";
    EXPECT_EQ(1u, RunProgramAndWait(program.c_str(), NULL, 100));
    EXPECT_EQ(std::string::npos, FileText(own).find("ended")) << "waited past the time-out";
    for (int i = 0; i < 100 && FileText(own).find("ended") == std::string::npos; i++)
        Sleep(100);
    EXPECT_NE(std::string::npos, FileText(own).find("ended")) << "the program did not go on";
}

TEST_F(ProgramsTest, RegistersProgramsWithRegserverAndLibrariesThroughDllRegisterServer)
{
    // Only a lower-case final e makes a program: RECORD.EXE is loaded as a
    // library, has no DllRegisterServer and is not run.
    std::string upper = dir / "RECORD.EXE";
    ASSERT_TRUE(CopyFileA(program.c_str(), upper.c_str(), FALSE));
    const struct {
        std::string path;
        const char *pszResult;      // what DllRegisterServer returns
        UINT uExpected;
        const char *pszRecorded;    // the program's command line
    } cases[] = {
        {program, "0", 1, "/regserver\r\nended\r\n"},
        {upper, "0", 0, "(not run)"},
        {FixturePath("registers.dll"), "1", 1, "(not run)"},        // S_FALSE succeeds
        {FixturePath("registers.dll"), "80004005", 0, "(not run)"}, // E_FAIL
        {FixturePath("small.bin"), "0", 0, "(not run)"},           // not a library
        {dir / "missing.dll", "0", 0, "(not run)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path + " returning " + c.pszResult);
        SetEnvironmentVariableA("VUR_FIXTURE_REG_RESULT", c.pszResult);
        EXPECT_EQ(c.uExpected, RegisterComponentFile(c.path.c_str()));
        EXPECT_EQ(c.pszRecorded, Recorded(c.path));
        EXPECT_EQ(nullptr, GetModuleHandleA(c.path.c_str())) << "the library is still loaded";
    }
    EXPECT_EQ(0u, RegisterComponentFile(NULL));
    EXPECT_EQ(0u, RegisterComponentFile(""));
}
