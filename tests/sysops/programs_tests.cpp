// RunProgramAndWait and RegisterComponentFile on the fixture program
// (recordargs.exe records its command line, exits with 1) and the fixture
// libraries (DllRegisterServer giving S_OK, S_FALSE, E_FAIL, or none).
#include "sysops/programs.h"
#include "sysopsfixtures.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include <gtest/gtest.h>

// Waits on the named event given after the mode (ten seconds at most), so
// that a test can leave it running past a time-out and then end it.
VUR_CHILD_MODE(waitevent)
{
    if (argc < 3)
        return 2;
    HANDLE hEvent = OpenEventA(SYNCHRONIZE, FALSE, argv[2]);
    if (!hEvent)
        return 3;
    DWORD dw = WaitForSingleObject(hEvent, 10000);
    CloseHandle(hEvent);
    return dw == WAIT_OBJECT_0 ? 0 : 4;
}

class ProgramsTest : public testing::Test {
protected:
    TempDir dir;
    std::string record = dir / "record.txt";
    std::string program = dir / "recordargs.exe";
    void SetUp() override
    {
        ASSERT_TRUE(CopyFileA(FixturePath("recordargs.exe").c_str(), program.c_str(), FALSE));
        SetEnvironmentVariableA("VUR_RECORD_FILE", record.c_str());
        SetEnvironmentVariableA("VUR_FIXTURE_REGISTERED", NULL);
    }
    void TearDown() override { SetEnvironmentVariableA("VUR_RECORD_FILE", NULL); }
    std::string Recorded()
    {
        std::string s;
        if (!ReadFileBytes(record, &s))
            return "(not run)";
        return s;
    }
    static bool Registered() { return GetEnvironmentVariableA("VUR_FIXTURE_REGISTERED", NULL, 0) != 0; }
};

TEST_F(ProgramsTest, RunsWithExactlyTheCommandLineGiven)
{
    char szLine[] = "first \"second arg\" /x";
    EXPECT_EQ(1u, RunProgramAndWait(program.c_str(), szLine, INFINITE)) << "exit code 1 is still a success";
    EXPECT_EQ("first \"second arg\" /x", Recorded()) << "the path is not put in front";
    EXPECT_STREQ("first \"second arg\" /x", szLine);

    DeleteFileA(record.c_str());
    EXPECT_EQ(1u, RunProgramAndWait(program.c_str(), NULL, 10000));
    // No command line: the platform makes one of the path. Wine difference:
    // Wine puts it in quotes; Windows takes the path as it is.
    std::string expected = RunningOnWine() ? "\"" + program + "\"" : program;
    EXPECT_EQ(expected, Recorded()) << "no command line: the platform uses the path";
}

TEST_F(ProgramsTest, ProgramsThatCannotStart)
{
    char szLine[] = "x";
    DWORD dwStart = GetTickCount();
    EXPECT_EQ(0u, RunProgramAndWait((dir / "missing.exe").c_str(), szLine, INFINITE));
    EXPECT_EQ(0u, RunProgramAndWait((dir / "record.txt").c_str(), szLine, INFINITE));
    EXPECT_LT(GetTickCount() - dwStart, 5000u) << "a missing program is not waited for";
    // No path: the command line must not be taken as the program to run.
    std::string line = "\"" + program + "\" via the line";
    EXPECT_EQ(0u, RunProgramAndWait(NULL, &line[0], 10000));
    EXPECT_EQ(0u, RunProgramAndWait("", &line[0], 10000));
    EXPECT_EQ("(not run)", Recorded());
}

TEST_F(ProgramsTest, ATimeOutLeavesTheProgramRunning)
{
    char szEvent[64];
    wsprintfA(szEvent, "vur-sysops-release-%lu", GetCurrentProcessId());
    HANDLE hRelease = CreateEventA(NULL, TRUE, FALSE, szEvent);
    ASSERT_NE(nullptr, hRelease);
    std::string self = ThisProgramPath();
    std::string line = "\"" + self + "\" --child=waitevent " + szEvent;

    DWORD dwStart = GetTickCount();
    EXPECT_EQ(1u, RunProgramAndWait(self.c_str(), &line[0], 300));
    DWORD dwElapsed = GetTickCount() - dwStart;
    EXPECT_LT(dwElapsed, 5000u) << "waited past the time-out";
    SetEvent(hRelease);
    CloseHandle(hRelease);
}

TEST_F(ProgramsTest, RegistersAProgramWithRegserver)
{
    EXPECT_EQ(1u, RegisterComponentFile(program.c_str()));
    EXPECT_EQ("/regserver", Recorded());
}

// Only a lower-case final e makes a program: RECORD.EXE is loaded as a
// library, has no DllRegisterServer and is not run.
TEST_F(ProgramsTest, AnUpperCaseExeIsTriedAsALibrary)
{
    std::string upper = dir / "RECORD.EXE";
    ASSERT_TRUE(CopyFileA(program.c_str(), upper.c_str(), FALSE));
    EXPECT_EQ(0u, RegisterComponentFile(upper.c_str()));
    EXPECT_EQ("(not run)", Recorded());
}

TEST_F(ProgramsTest, RegistersLibrariesThroughDllRegisterServer)
{
    static const struct {
        const char *pszFile;
        UINT uExpected;
        bool bCalled;
    } s_aCases[] = {
        {"reg_ok.dll", 1, true},
        {"reg_false.dll", 1, true},      // S_FALSE is a success code
        {"reg_fail.dll", 0, true},
        {"plain.dll", 0, false},         // no entry point
        {"text.txt", 0, false},          // not a library
        {"missing.dll", 0, false},
    };
    for (const auto &c : s_aCases) {
        SCOPED_TRACE(c.pszFile);
        SetEnvironmentVariableA("VUR_FIXTURE_REGISTERED", NULL);
        std::string path = FixturePath(c.pszFile);
        EXPECT_EQ(c.uExpected, RegisterComponentFile(path.c_str()));
        EXPECT_EQ(c.bCalled, Registered()) << "DllRegisterServer called";
        EXPECT_EQ(nullptr, GetModuleHandleA(path.c_str())) << "the library is still loaded";
    }
    EXPECT_EQ(0u, RegisterComponentFile(NULL));
    EXPECT_EQ(0u, RegisterComponentFile(""));
}
