// [TEST] lines through the interpreter, in-process: the rows of
// testlines.txt on keys, files and drives made here. (The skipping of a
// section's rest runs end to end: test-skips-after-a-failed-line.)
#include "casefiles.h"
#include "searchtrees.h"
#include "regtestkeys.h"
#include "support/harness.h"
#include "support/installfolder.h"
#include "support/testtimes.h"
#include <gtest/gtest.h>

// The rows of testlines.txt run as one script, a unit a row.
TEST(TestLines, EachRowHoldsOrNot)
{
    const std::string key = "Software\\VurTest\\TestLines";
    PrivateKeyTree tree(HKEY_CURRENT_USER, key);
    for (auto number : { std::make_pair("Five", 5u), std::make_pair("One", 1u), std::make_pair("Three", 3u),
                         std::make_pair("Max", 0xFFFFFFFFu) })
        RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), number.first, REG_DWORD, &number.second, sizeof(DWORD));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, key, "Text", "Abc"));
    RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), "Expand", REG_EXPAND_SZ, "Abc", 4);
    RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), "Binary", REG_BINARY, "Abc", 4);

    TempDir folder;
    InstallFolderValue value(folder.Path() + "\\");
    ASSERT_TRUE(MakeTree(folder.Path(), { "dated.txt=x", "v.dll<ver_us_1015.dll", "plain.dll<plain.dll",
                                          "fr.dll<ver_fr_2000.dll" }));
    FILETIME ft = MakeUtcTime(1999, 12, 25, 13, 30, 0);
    ASSERT_TRUE(WriteFileTimes(folder / "dated.txt", NULL, &ft));

    TreeDrives drives;
    ASSERT_TRUE(drives.ok());
    std::string m = drives.Drive('M', DRIVE_FIXED, { "x\\a.dll=0123456789", "y\\z\\b.dll", "big\\", std::string(127, 'n') });
    ASSERT_TRUE(MakeTree(m, { "y\\z\\b.dll=" + std::string(1024, 'b') }));
    // 4 GiB and 1234 bytes, sparse: sizes compare on their low 32 bits.
    HANDLE h = CreateFileA((m + "\\big\\big.bin").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    LARGE_INTEGER size;
    size.QuadPart = 0x100000000LL + 1234;
    EXPECT_TRUE(SetFilePointerEx(h, size, NULL, FILE_BEGIN) && SetEndOfFile(h));
    CloseHandle(h);

    std::vector<std::vector<std::string>> rows = ReadTable(VUR_SEARCH_DATA "/testlines.txt");
    ASSERT_GE(rows.size(), 70u);
    std::string script;
    for (size_t i = 0; i < rows.size(); i++)
        script += "[INSTALL]\n[TEST]\n" + rows[i][0] + "\n" + rows[i][1] + "\n[DL]\n[TEXT]\n0;row " +
                  std::to_string(i) + "\n";
    InstallerHarness harness;
    harness.Start(script + "[END]\n");
    ASSERT_TRUE(harness.WaitForQuit(120000));
    for (size_t i = 0; i < rows.size(); i++)
        EXPECT_EQ(rows[i][2] == "1", !harness.host.Has("SetParameter TEXTMSG=row " + std::to_string(i)))
            << rows[i][0] << " " << rows[i][1];
}
