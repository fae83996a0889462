// The search of the fixed disks, called on the test thread with the
// recording host as the install thread's callback: every host call, and
// every stop request a host call posts, happens at a known point of the
// walk. The drives are folder trees (searchtrees.h).
#include "browser/disksearch.h"
#include "searchtrees.h"
#include "support/recordinghost.h"
#include <gtest/gtest.h>
#include <algorithm>

namespace {

typedef std::vector<std::string> Lines;

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
    ~DiskSearch() override
    {
        installer->m_pThreadCallback = NULL;
        MSG msg;
        while (PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    void SetUp() override { ASSERT_TRUE(drives.ok()) << "the prefix's drives cannot be shaped"; }

    UINT Check(const char *pszVersion, const char *pszName = "np.dll")
    {
        installer->m_nPluginDirs = 0;
        host.Take();
        std::string version = pszVersion ? pszVersion : "";
        return CheckBrowserPlugins(installer.get(), pszName, "f4", pszVersion ? &version[0] : NULL);
    }
    // The spinner text sent at each directory entered.
    Lines Progress()
    {
        Lines calls = host.Calls(), texts;
        for (size_t i = 1; i < calls.size(); i++) {
            if (calls[i] == "SetParameter NUMMSG=2")
                texts.push_back(calls[i - 1].substr(calls[i - 1].find('=') + 1));
        }
        return texts;
    }

    StoppingHost host;
    std::unique_ptr<Installer> installer;
    TreeDrives drives;
};

// A browser folder is recorded ("FOLDER | NAME | explorer or netscape",
// sorted: a folder lists its entries in the file system's order) when its
// plug-in is missing or older; the test holds when none is. A drive root
// lists no "." or "..": its only entry is the first one, and its Plugins
// folder has no doubled backslash.
TEST_F(DiskSearch, RecordsTheBrowserFoldersWithAMissingOrOlderPlugIn)
{
    const Lines browsers = { "ie\\iexplore.exe", "ie\\Plugins\\", "nav\\NETSCAPE.EXE",
                             "nav\\Plugins\\np.dll<ver_us_1015.dll", "current\\netscape.exe",
                             "current\\Plugins\\np.dll<ver_us_950.dll",
                             "folder\\iexplore.exe\\",                       // a directory: entered, not a browser
                             ".hidden\\iexplore.exe", ".hidden\\sub\\" };    // never entered
    const Lines current = { "a\\iexplore.exe", "a\\Plugins\\np.dll<ver_us_950.dll", "b\\netscape.exe",
                            "b\\Plugins\\NP.DLL<ver_us_950.dll" };
    const Lines noBrowser = { "no\\browser\\here.exe" }, atTheRoot = { "iexplore.exe" };
    const std::string ie = "M:\\ie\\Plugins | np.dll | explorer", nav = "M:\\nav\\Plugins | np.dll | netscape",
                      now = "M:\\current\\Plugins | np.dll | netscape";
    struct Row { const Lines *tree; const char *version; Lines entries; } rows[] = {
        { &browsers, "2, 0, 0, 0", { ie, nav } },
        { &browsers, "1, 0, 1, 5", { ie } },
        { &browsers, "4, 0, 0, 951", { now, ie, nav } },
        { &browsers, NULL, { now, ie, nav } },         // no wanted version: every browser is out of date
        { &current, "4, 0, 0, 950", {} },
        { &noBrowser, NULL, {} },
        { &atTheRoot, "1, 0, 0, 0", { "M:\\Plugins | np.dll | explorer" } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.tree->front() + " " + (row.version ? row.version : "(no version)"));
        drives.Drive('M', DRIVE_FIXED, *row.tree);
        EXPECT_EQ(row.entries.empty() ? 1u : 0u, Check(row.version));
        Lines entries;
        for (DWORD i = 0; i < installer->m_nPluginDirs && i < MAX_PLUGIN_DIRS; i++) {
            const PluginDirEntry &e = installer->m_aPluginDirs[i];
            entries.push_back(std::string(e.szDir) + " | " + e.szName + (e.bExplorer ? " | explorer" : " | netscape"));
        }
        std::sort(entries.begin(), entries.end());
        EXPECT_EQ(row.entries, entries);
        // ie, ie\Plugins, nav, nav\Plugins, current, current\Plugins,
        // folder, folder\iexplore.exe: the walk enters 8 directories.
        if (row.tree == &browsers) {
            EXPECT_EQ(8u, Progress().size());
        }
    }
}

TEST_F(DiskSearch, AFullTableStillFailsTheTest)
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
        { 100, "abcd.dll", true },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.cchDir) + " " + row.name);
        // M:\ and folders of at most 60 characters, the current directory
        // cchDir characters long; made and removed through \\?\ paths, as
        // the browser program's own path is longer than MAX_PATH allows.
        size_t nFolders = (row.cchDir - 2 + 60) / 61, cchNames = row.cchDir - 2 - nFolders;
        std::string dir = "M:";
        std::vector<std::wstring> made;
        for (size_t i = 0; i < nFolders; i++) {
            dir += "\\" + std::string(cchNames / nFolders + (i < cchNames % nFolders), (char)('a' + i));
            made.push_back(L"\\\\?\\" + std::wstring(dir.begin(), dir.end()));
            CreateDirectoryW(made.back().c_str(), NULL);
        }
        ASSERT_EQ(row.cchDir, dir.size());
        made.push_back(made.back() + L"\\iexplore.exe");
        CloseHandle(CreateFileW(made.back().c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));

        memset(installer->m_aPluginDirs, 0xbd, sizeof installer->m_aPluginDirs);
        EXPECT_EQ(row.recorded ? 0u : 1u, Check(NULL, row.name));
        ASSERT_EQ(row.recorded ? 1u : 0u, installer->m_nPluginDirs);
        if (row.recorded) {
            EXPECT_EQ(dir + "\\Plugins", installer->m_aPluginDirs[0].szDir);
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

// The spinner's steps at the 1st, 17th and 33rd directory run end to end
// (the spinner-steps case); after 32 steps the mark starts again at the left.
TEST(DiskSearchSpinner, AfterThirtyTwoStepsTheMarkStartsAgain)
{
    const std::string dots(31, '.');
    g_spinner = SearchSpinner();
    g_spinner.dwSteps = 31;
    AdvanceSpinner();
    EXPECT_EQ(dots + "/", g_spinner.szText);
    g_spinner.dwCalls = 16;
    AdvanceSpinner();
    EXPECT_EQ("-" + dots, g_spinner.szText);
}

}
