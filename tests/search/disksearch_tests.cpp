// The search of the fixed disks, called on the test thread with the
// recording host as the install thread's callback: every host call, and
// every stop request a host call posts, happens at a known point of the
// walk. The drives are folder trees (searchtrees.h).
#include "browser/disksearch.h"
#include "searchtrees.h"
#include "support/recordinghost.h"
#include <gtest/gtest.h>

namespace {

// Posts a stop request (WM_QUIT, as StopInstallThread does) to the calling
// thread from inside its stopAt-th SETMSG.
class StoppingHost : public RecordingHost {
public:
    STDMETHODIMP ExecuteCmd(BSTR bstrName) override
    {
        RecordingHost::ExecuteCmd(bstrName);
        if (BstrText(bstrName) == "SETMSG" && ++nSetmsg == stopAt)
            PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);
        return S_OK;
    }
    size_t stopAt = 0, nSetmsg = 0;
};

class DiskSearch : public testing::Test {
protected:
    DiskSearch() : installer(new Installer) { installer->m_pThreadCallback = &host; }
    ~DiskSearch() override { installer->m_pThreadCallback = NULL; }
    void SetUp() override { ASSERT_TRUE(drives.ok()) << "the prefix's drives cannot be shaped"; }

    StoppingHost host;
    std::unique_ptr<Installer> installer;
    TreeDrives drives;
};

// A full table records no more folders and still fails the test. Which
// folders are recorded, and the folder text of a browser at a drive's root,
// run end to end (plugin-folders-recorded, plugin-folder-at-drive-root).
TEST_F(DiskSearch, AFullTableRecordsNoMoreAndStillFailsTheTest)
{
    drives.Drive('M', DRIVE_FIXED, { "ie\\iexplore.exe", "nav\\netscape.exe" });
    installer->m_nPluginDirs = MAX_PLUGIN_DIRS - 1;
    EXPECT_EQ(0u, CheckBrowserPlugins(installer.get(), "np.dll", "f4", NULL));
    EXPECT_EQ(MAX_PLUGIN_DIRS, installer->m_nPluginDirs) << "the 51st folder is not recorded";
    EXPECT_EQ(0u, CheckBrowserPlugins(installer.get(), "np.dll", "f4", NULL)) << "beyond the table still fails";
    EXPECT_EQ(MAX_PLUGIN_DIRS, installer->m_nPluginDirs);
    EXPECT_EQ(NULL, installer->m_hThread) << "the field after the table is untouched";
}

// The Plugins folder text must fit 256 bytes and the plug-in's path 264:
// a browser folder whose texts would not fit is passed over, never cut.
TEST_F(DiskSearch, ABrowserFolderWhosePathsWouldNotFitIsPassedOver)
{
    drives.Drive('M', DRIVE_FIXED, {});
    struct Row { size_t cchDir; const char *name; bool recorded; } rows[] = {
        { 247, "abc.dll", true },       // Plugins folder 255 characters, plug-in path 263
        { 248, "ab.dll", false },       // Plugins folder 256, plug-in path 263
        { 247, "abcd.dll", false },     // plug-in path 264
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.cchDir) + " " + row.name);
        // M:\ and folders of at most 50 characters, the current directory
        // cchDir characters long; made and removed through \\?\ paths, as
        // the browser program's own path is longer than MAX_PATH allows.
        std::wstring dir = L"\\\\?\\M:";
        std::vector<std::wstring> made;
        for (wchar_t ch = L'a'; dir.size() - 4 < row.cchDir; ch++) {
            dir += L"\\" + std::wstring(std::min<size_t>(50, row.cchDir - (dir.size() - 4) - 1), ch);
            made.push_back(dir);
            CreateDirectoryW(dir.c_str(), NULL);
        }
        made.push_back(dir + L"\\iexplore.exe");
        CloseHandle(CreateFileW(made.back().c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));

        memset(installer->m_aPluginDirs, 0xbd, sizeof installer->m_aPluginDirs);
        installer->m_nPluginDirs = 0;
        EXPECT_EQ(row.recorded ? 0u : 1u, CheckBrowserPlugins(installer.get(), row.name, "f4", NULL));
        EXPECT_EQ(row.recorded ? 1u : 0u, installer->m_nPluginDirs);
        if (row.recorded && installer->m_nPluginDirs == 1) {    // EXPECT: the folders must still go
            EXPECT_EQ(std::string(dir.begin() + 4, dir.end()) + "\\Plugins", installer->m_aPluginDirs[0].szDir);
            EXPECT_STREQ(row.name, installer->m_aPluginDirs[0].szName);
        }
        DeleteFileW(made.back().c_str());
        for (made.pop_back(); !made.empty(); made.pop_back())
            RemoveDirectoryW(made.back().c_str());
    }
}

TEST_F(DiskSearch, AStopRequestEndsTheWalkAtTheNextEntryAndTheDirectoryIsPutBack)
{
    drives.Drive('M', DRIVE_FIXED, { "a\\b\\c\\d\\", "e\\", "f\\", "g\\", "a\\h\\" });
    TempDir here;
    ASSERT_TRUE(SetCurrentDirectoryA(here.Path().c_str()));
    // The 1st SETMSG is the opening one; the walk enters 8 directories.
    for (size_t stopAt : { 1, 2, 4, 6 }) {
        SCOPED_TRACE("stop asked for in SETMSG " + std::to_string(stopAt));
        host.stopAt = stopAt;
        host.nSetmsg = 0;
        installer->m_bStop = 0;
        SoughtFile sought = { "nowhere.dll", 0, 0 };
        SearchFixedDrives(installer.get(), &sought, 1);
        EXPECT_EQ(stopAt, host.nSetmsg) << "no directory entered after the request";
        EXPECT_EQ(1, installer->m_bStop);
        char sz[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, sz);
        EXPECT_EQ(here.Path(), sz);
    }
    SetCurrentDirectoryA("C:\\");
}

}
