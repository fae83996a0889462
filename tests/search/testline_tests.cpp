// [TEST] lines through the interpreter, in-process: the rows of
// testlines.txt on keys, files and drives made here, and the lines outside
// the grammar and the skipping of a section's rest.
#include "casefiles.h"
#include "searchtrees.h"
#include "regtestkeys.h"
#include "support/harness.h"
#include "support/installfolder.h"
#include "support/testtimes.h"
#include <gtest/gtest.h>

namespace {

const char kWaitText[] = "SetParameter TEXTMSG=Veuillez patienter pendant l'installation...";

// Runs the rows of testlines.txt of one kind (in any case) as one script.
void ExpectRows(const char *pszKind)
{
    std::vector<std::vector<std::string>> rows;
    for (const std::vector<std::string> &row : ReadTable(VUR_SEARCH_DATA "/testlines.txt"))
        if (lstrcmpiA(row[0].c_str(), pszKind) == 0)
            rows.push_back(row);
    ASSERT_GE(rows.size(), 8u) << pszKind;
    std::string script;
    for (size_t i = 0; i < rows.size(); i++)
        script += "[INSTALL]\n[TEST]\n" + rows[i][0] + "\n" + rows[i][1] + "\n[DL]\n[TEXT]\n0;row " +
                  std::to_string(i) + "\n";
    InstallerHarness h;
    h.Start(script + "[END]\n");
    ASSERT_TRUE(h.WaitForQuit(60000));
    for (size_t i = 0; i < rows.size(); i++)
        EXPECT_EQ(rows[i][2] == "1", !h.host.Has("SetParameter TEXTMSG=row " + std::to_string(i))) << rows[i][1];
}

// One [TEST] section; what the run left in the object.
struct Outcome {
    LONG bTestResult;
    DWORD nPluginDirs;
    bool bSearched;
};

Outcome RunTestSection(const std::string &lines)
{
    InstallerHarness h;
    h.Start("[TEST]\n" + lines + "[END]\n");
    EXPECT_TRUE(h.WaitForQuit(60000));
    return { h.Object()->m_bTestResult, h.Object()->m_nPluginDirs, h.host.Has(kWaitText) };
}

#define KEY "HKEY_CURRENT_USER\\Software\\VurTest\\TestLines"

TEST(TestLines, Registry)
{
    PrivateKeyTree tree(HKEY_CURRENT_USER, "Software\\VurTest\\TestLines");
    const std::string key = "Software\\VurTest\\TestLines";
    auto number = [&](const char *pszName, DWORD dw) {
        RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), pszName, REG_DWORD, &dw, sizeof dw);
    };
    number("Five", 5);
    number("One", 1);
    number("Three", 3);
    number("Max", 0xFFFFFFFF);
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, key, "Text", "Abc"));
    RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), "Expand", REG_EXPAND_SZ, "Abc", 4);
    RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), "Binary", REG_BINARY, "Abc", 4);
    ExpectRows("[REGISTRY]");
}

TEST(TestLines, FileDateAndFileVersionInTheInstallFolder)
{
    TempDir folder;
    InstallFolderValue value(folder.Path() + "\\");
    ASSERT_TRUE(MakeTree(folder.Path(), { "dated.txt=x", "v.dll<ver_us_1015.dll", "plain.dll<plain.dll",
                                          "fr.dll<ver_fr_2000.dll" }));
    FILETIME ft = MakeUtcTime(1999, 12, 25, 13, 30, 0);
    ASSERT_TRUE(WriteFileTimes(folder / "dated.txt", NULL, &ft));
    ExpectRows("[FILEDATE]");
    ExpectRows("[FILEVER]");
}

TEST(TestLines, FilesOnTheFixedDrives)
{
    TreeDrives drives;
    ASSERT_TRUE(drives.ok());
    std::string m = drives.Drive('M', DRIVE_FIXED, { "x\\a.dll=0123456789", "y\\z\\b.dll", "big\\" });
    ASSERT_TRUE(MakeTree(m, { "y\\z\\b.dll=" + std::string(1024, 'b') }));
    drives.Drive('N', DRIVE_REMOVABLE, { "only.dll" });
    drives.Drive('O', DRIVE_CDROM, { "only.dll" });
    drives.Drive('P', DRIVE_REMOTE, { "only.dll" });
    // 4 GiB and 1234 bytes, sparse: sizes compare on their low 32 bits.
    HANDLE h = CreateFileA((m + "\\big\\big.bin").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    LARGE_INTEGER size;
    size.QuadPart = 0x100000000LL + 1234;
    EXPECT_TRUE(SetFilePointerEx(h, size, NULL, FILE_BEGIN) && SetEndOfFile(h));
    CloseHandle(h);
    ExpectRows("[FILE]");
}

// Our choices: a line outside its kind's grammar, or a name that does not
// fit its record, does not hold and starts no search.
TEST(TestLines, LinesOutsideTheGrammarDoNotHoldAndSearchNothing)
{
    TreeDrives drives;
    ASSERT_TRUE(drives.ok());
    drives.Drive('M', DRIVE_FIXED, { "ie\\iexplore.exe", std::string(127, 'n') });
    struct Check { std::string lines; bool searched; } checks[] = {
        { "[FILE]\n" + std::string(128, 'n') + "\n", false },
        { "[FILE]\na.dll;" + std::string(128, 'n') + ":0\n", false },
        { "[PLUGIN]\nnp.dll\n", false },
        { "[PLUGIN]\nnp.dll;a;b\n", false },
        { "[PLUGIN]\n" + std::string(128, 'p') + ";a;b;c;1, 0, 0, 0\n", false },
        { "[plugin]\n" + std::string(127, 'p') + ";a;b;c;1, 0, 0, 0\n", true },
    };
    for (const Check &check : checks) {
        SCOPED_TRACE(check.lines.substr(0, 30));
        Outcome outcome = RunTestSection(check.lines);
        EXPECT_EQ(0, outcome.bTestResult);
        EXPECT_EQ(check.searched, outcome.bSearched);
    }
    EXPECT_EQ(1, RunTestSection("[FILE]\n" + std::string(127, 'n') + "\n").bTestResult)
        << "a name of 127 characters fits";
}

TEST(TestLines, TheFirstLineThatDoesNotHoldSkipsTheRestOfTheSection)
{
    TreeDrives drives;
    ASSERT_TRUE(drives.ok());
    drives.Drive('M', DRIVE_FIXED, { "ie\\iexplore.exe" });
    Outcome alone = RunTestSection("[PLUGIN]\nnp.dll;a;b;c\n");
    EXPECT_EQ(0, alone.bTestResult);
    EXPECT_EQ(1u, alone.nPluginDirs) << "the [PLUGIN] line alone fills the table";
    Outcome after = RunTestSection("[REGISTRY]\n" KEY "\\Missing\n[PLUGIN]\nnp.dll;a;b;c\n");
    EXPECT_EQ(0u, after.nPluginDirs);
    EXPECT_FALSE(after.bSearched);
    // A line before any kind header changes nothing but skips the rest:
    // the registry line after it, which would hold, is not evaluated.
    EXPECT_EQ(1, RunTestSection("[REGISTRY]\nHKEY_CURRENT_USER\\Software\n").bTestResult);
    EXPECT_EQ(0, RunTestSection("HKEY_CURRENT_USER\\Software\n[REGISTRY]\nHKEY_CURRENT_USER\\Software\n").bTestResult);
}

}
