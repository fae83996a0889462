// [TEST] lines through the interpreter, in-process. A table runs as one
// script of install units, one a row: the unit's [TEXT] line shows only
// when its test line did not hold.
#include "searchtrees.h"
#include "regtestkeys.h"
#include "support/harness.h"
#include "support/installfolder.h"
#include "support/testtimes.h"
#include <gtest/gtest.h>
#include <set>

namespace {

struct Row {
    std::string line;
    bool holds;
};

const char kWaitText[] = "SetParameter TEXTMSG=Veuillez patienter pendant l'installation...";

void ExpectRows(const char *pszKind, const std::vector<Row> &rows)
{
    std::string script;
    for (size_t i = 0; i < rows.size(); i++)
        script += std::string("[INSTALL]\n[TEST]\n") + pszKind + "\n" + rows[i].line + "\n[DL]\n[TEXT]\n0;row " +
                  std::to_string(i) + "\n";
    InstallerHarness h;
    h.Start(script + "[END]\n");
    ASSERT_TRUE(h.WaitForQuit(60000));
    std::set<std::string> shown;
    for (const std::string &call : h.host.Calls())
        shown.insert(call);
    for (size_t i = 0; i < rows.size(); i++) {
        SCOPED_TRACE(rows[i].line);
        EXPECT_EQ(rows[i].holds, shown.count("SetParameter TEXTMSG=row " + std::to_string(i)) == 0);
    }
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
    ExpectRows("[REGISTRY]", {
        { KEY, true },
        { KEY "\\Missing", false },
        { KEY ";Five;>;3", true },
        { KEY ";Five;<;3", false },
        { KEY ";Five;<;6", true },
        { KEY ";Five;=;5", true },
        { KEY ";Five;=; 5", true },
        { KEY ";Five;=;4", false },
        { KEY ";Five;!;5", false },
        { KEY ";Five;!;4", true },
        { KEY ";Three;>=;3", false },           // only the first character counts
        { KEY ";Three;=>;3", true },
        { KEY ";One;<;-1", true },              // -1 is 4294967295
        { KEY ";Max;=;-1", true },
        { KEY ";Max;=;4294967295", true },
        { KEY ";Max;>;2147483647", true },      // unsigned
        { KEY ";Text;=;ABC", true },
        { KEY ";Text;!;aBc", false },
        { KEY ";Text;!;abd", true },
        { KEY ";Text;<;abd", true },
        { KEY ";Text;>;ab", true },             // a text that begins the other sorts first
        { KEY ";Text;<;abcd", true },
        { KEY ";Text;<;\xE9", true },           // bytes compare unsigned
        { KEY ";Text;>;\xE9", false },
        { KEY ";Expand;=;Abc", false },         // other types never hold
        { KEY ";Binary;=;Abc", false },
        { KEY ";Binary;!;x", false },
        { KEY ";Five;?;5", false },
        { KEY ";Five;;5", false },
        { KEY ";Missing;!;5", false },
        { "HKLM\\Software;x;!;5", false },
        // Outside the grammar: a value and nothing to compare it with.
        { KEY ";Five", false },
        { KEY ";Five;=", false },
    });
}

TEST(TestLines, FileDateAndFileVersionInTheInstallFolder)
{
    TempDir folder;
    InstallFolderValue value(folder.Path() + "\\");
    ASSERT_TRUE(MakeTree(folder.Path(), { "dated.txt=x", "v.dll<ver_us_1015.dll", "plain.dll<plain.dll",
                                          "fr.dll<ver_fr_2000.dll" }));
    FILETIME ft = MakeUtcTime(1999, 12, 25, 13, 30, 0);
    ASSERT_TRUE(WriteFileTimes(folder / "dated.txt", NULL, &ft));
    ExpectRows("[FILEDATE]", {
        { "dated.txt;25/12/1999 14:30:00", true },      // the hour counts one less
        { "dated.txt;25/12/1999 14:30:01", false },
        { "dated.txt;25/12/1999 13:29:59", true },
        { "DATED.TXT;01/01/1980 00:00:00", true },
        { "missing.txt;01/01/1980 00:00:00", false },
        // A date that gives no time is earlier than any file's, and a
        // missing file's time is no time either.
        { "dated.txt;31/02/2000 10:00:00", true },
        { "missing.txt;31/02/2000 10:00:00", false },
        { "dated.txt", false },
    });
    ExpectRows("[FILEVER]", {
        { "v.dll;1, 0, 1, 5", true },
        { "v.dll;1, 0, 1, 6", false },
        { "v.dll;0, 9, 9, 9;040904E4", true },
        { "plain.dll;0, 0, 0, 0", false },               // no version resource
        { "fr.dll;2, 0, 0, 0;040C04E4", true },
        { "fr.dll;2, 0, 0, 0", false },                  // not under the default translation
        { "missing.dll;0, 0, 0, 0", false },
        { "v.dll", false },
    });
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
    ExpectRows("[FILE]", {
        { "a.dll", true },
        { "A.DLL", true },
        { "a.dll:10", true },
        { "a.dll:11", false },
        { "a.dll;b.dll:1024", true },           // the size belongs to b.dll only
        { "a.dll;b.dll:1023", false },
        { "b.dll:1024;a.dll", true },
        { "a.dll:1024;b.dll", false },
        { "a.dll;", false },                     // an empty last item
        { "big.bin:1234", true },
        { "big.bin:1235", false },
        { "big.bin", true },
        { "only.dll", false },                   // only on drives that are not fixed
        { "x", false },                          // a directory is not a file
    });
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
        { "[PLUGIN]\n" + std::string(127, 'p') + ";a;b;c;1, 0, 0, 0\n", true },
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
