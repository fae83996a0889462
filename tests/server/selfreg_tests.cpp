// Tests of self-registration: the REGISTRY resources of installer.exe, their
// registration and removal under HKEY_CLASSES_ROOT, the class table walk
// and the type library. They run the real installer.exe's resources: it is
// loaded as the module that g_module describes.
#include "server/selfreg.h"
#include "server/registrar.h"
#include "server/servermodule.h"
#include "resources/resource_ids.h"
#include "regtestkeys.h"
#include "support/testfiles.h"
#include "support/testmain.h"
#include <gtest/gtest.h>

#define APPID_KEY "AppID\\{63C43600-34EF-11D2-94F6-204C4F4F5020}"
#define APPID_EXE_KEY "AppID\\Installer.EXE"
#define CLASS_KEY "CLSID\\{63C43601-34EF-11D2-94F6-204C4F4F5020}"
#define TYPELIB_KEY "TypeLib\\{63C43602-34EF-11D2-94F6-204C4F4F5020}"

static const CLSID CLSID_InstallerClass = { 0x63C43601, 0x34EF, 0x11D2, { 0x94, 0xF6, 0x20, 0x4C, 0x4F, 0x4F, 0x50, 0x20 } };

// Every key that registering the two scripts makes of its own.
static const char *const s_apszOwnKeys[] = {
    APPID_KEY, APPID_EXE_KEY, "VUR.Installer.1", "VUR.Installer", CLASS_KEY,
};

// A file of the build tree, named relative to this program's folder.
static std::string BuildTreeFile(const char *pszRelative)
{
    std::string self = ThisProgramPath();
    std::string path = self.substr(0, self.rfind('\\') + 1) + pszRelative;
    char szFull[MAX_PATH];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof szFull, szFull, NULL);
    return n && n < sizeof szFull ? std::string(szFull) : path;
}

static std::string InstallerPath()
{
    return BuildTreeFile("..\\..\\server\\installer.exe");
}

static std::string ModulePath(HMODULE hModule)
{
    char szPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(hModule, szPath, sizeof szPath);
    return std::string(szPath, n < sizeof szPath ? n : 0);
}

static std::string ShortPath(const std::string &path)
{
    char szShort[MAX_PATH];
    DWORD n = GetShortPathNameA(path.c_str(), szShort, sizeof szShort);
    return n && n < sizeof szShort ? std::string(szShort) : path;
}

static std::wstring Wide(const std::string &text)
{
    WCHAR wsz[MAX_PATH];
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wsz, MAX_PATH);
    return n ? std::wstring(wsz) : std::wstring();
}

static std::string Narrow(const WCHAR *pwsz)
{
    char sz[MAX_PATH * 2];
    int n = WideCharToMultiByte(CP_ACP, 0, pwsz, -1, sz, sizeof sz, NULL, NULL);
    return n ? std::string(sz) : std::string();
}

// Points g_module at a module (and a class table) for the length of a test.
class ModuleScope {
public:
    ModuleScope(HMODULE hModule, ClassEntry *pTable)
        : m_hOld(g_module.hInstance), m_pOldTable(g_module.pClassTable)
    {
        g_module.hInstance = hModule;
        g_module.pClassTable = pTable;
    }
    ~ModuleScope()
    {
        g_module.hInstance = m_hOld;
        g_module.pClassTable = m_pOldTable;
    }

private:
    HINSTANCE m_hOld;
    ClassEntry *m_pOldTable;
};

// The test program's own copy of the type library marshals the interfaces
// of the other tests: register it again after a test removed the library.
static void RestoreTestTypeLib()
{
    ITypeLib *pTypeLib = NULL;
    if (SUCCEEDED(LoadTypeLibEx(Wide(ThisProgramPath()).c_str(), REGKIND_REGISTER, &pTypeLib)))
        pTypeLib->Release();
}

static ClassEntry s_aInstallerTable[] = {
    { &CLSID_InstallerClass, UpdateInstallerRegistry, NULL, NULL, NULL, 0, NULL, NULL, NULL },
    { NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL, NULL },
};

// installer.exe loaded as a module (its entry point is not run), so that
// GetModuleFileNameA names it, as in the running server. The registration
// entries of the server are removed before and after each test.
class SelfRegTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveOwnKeys();
        m_hInstaller = LoadLibraryA(InstallerPath().c_str());
        ASSERT_NE(nullptr, m_hInstaller) << InstallerPath() << " error " << GetLastError();
        m_pScope = new ModuleScope(m_hInstaller, s_aInstallerTable);
    }
    void TearDown() override
    {
        delete m_pScope;
        if (m_hInstaller)
            FreeLibrary(m_hInstaller);
        RemoveOwnKeys();
    }
    static void RemoveOwnKeys()
    {
        for (const char *pszKey : s_apszOwnKeys)
            DeleteTestTree(HKEY_CLASSES_ROOT, pszKey);
    }

    HMODULE m_hInstaller = NULL;
    ModuleScope *m_pScope = NULL;
};

// ---- the resources ----------------------------------------------------------

TEST(RegistryResources, KeepTheirBytes)
{
    // The registration tests below check what the scripts say; this checks
    // their form: exact sizes, CR LF line ends, TAB indentation, no NUL.
    HMODULE hModule = LoadLibraryExA(InstallerPath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, hModule) << InstallerPath();
    static const struct {
        UINT nId;
        DWORD cb;
        int nLines;
    } cases[] = {
        { IDR_REGISTRY_APPID, 181, 11 },
        { IDR_REGISTRY_CLASS, 477, 21 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.nId);
        HRSRC hResource = FindResourceA(hModule, MAKEINTRESOURCEA(c.nId), "REGISTRY");
        ASSERT_NE(nullptr, hResource);
        ASSERT_EQ(c.cb, SizeofResource(hModule, hResource));
        std::string text((const char *)LockResource(LoadResource(hModule, hResource)), c.cb);
        EXPECT_EQ(0u, text.find("HKCR\r\n{\r\n\t"));
        EXPECT_EQ(c.cb - 3, text.rfind("}\r\n"));
        EXPECT_EQ(std::string::npos, text.find('\0'));
        EXPECT_EQ(std::string::npos, text.find("    "));
        int nLines = 0;
        for (size_t i = 0; i < text.size(); i++) {
            if (text[i] == '\n') {
                EXPECT_EQ('\r', text[i - 1]) << "line " << nLines;
                nLines++;
            }
        }
        EXPECT_EQ(c.nLines, nLines);
    }
    FreeLibrary(hModule);
}

TEST(RegistryResources, LoadFailuresGiveTheLastError)
{
    Registrar r;
    std::string installer = InstallerPath();
    static const struct {
        const char *pszWhat;
        const char *pszFile;   // NULL: installer.exe
        UINT nId;
        const char *pszType;
        DWORD dwError;         // 0: whatever LoadLibraryExA reports
    } cases[] = {
        { "no such file", "C:\\no\\such\\vurfile.exe", 100, "REGISTRY", 0 },
        { "no such id", NULL, 102, "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND },
        { "no such type", NULL, 100, "REGISTRI", ERROR_RESOURCE_TYPE_NOT_FOUND },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszWhat);
        std::string file = c.pszFile ? c.pszFile : installer;
        DWORD dwError = c.dwError;
        if (!dwError) {
            SetLastError(0xdeadbeef);
            EXPECT_EQ(nullptr, LoadLibraryExA(file.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE));
            dwError = GetLastError();
            EXPECT_NE(0xdeadbeefu, dwError);
        }
        EXPECT_EQ(HRESULT_FROM_WIN32(dwError), r.RunRegistryScriptResource(Wide(file).c_str(), c.nId, c.pszType, FALSE));
    }
    EXPECT_EQ(E_POINTER, r.RunRegistryScriptResource(NULL, 100, "REGISTRY", FALSE));
}

TEST(RegistryResources, LastErrorForm)
{
    static const struct {
        DWORD dwError;
        HRESULT hr;
    } cases[] = {
        { 0, 0 },
        { ERROR_FILE_NOT_FOUND, (HRESULT)0x80070002 },
        { 0x12345, (HRESULT)0x80072345 },
        { 0x80004005, (HRESULT)0x80004005 },    // already an HRESULT
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.dwError);
        SetLastError(c.dwError);
        EXPECT_EQ(c.hr, HresultFromLastError());
    }
}

// ---- registering the scripts --------------------------------------------------

TEST_F(SelfRegTest, RegisterWritesTheEntries)
{
    ASSERT_EQ(S_OK, ApplyRegistryResource(IDR_REGISTRY_APPID, TRUE));
    ASSERT_EQ(S_OK, ApplyRegistryResource(IDR_REGISTRY_CLASS, TRUE));
    std::string server = ShortPath(ModulePath(m_hInstaller));
    static const struct {
        const char *pszKey;
        const char *pszValue;
        const char *pszData;   // NULL: the server's path
    } rows[] = {
        { APPID_KEY, "", "Installer" },
        { APPID_EXE_KEY, "AppID", "{63C43600-34EF-11D2-94F6-204C4F4F5020}" },
        { "VUR.Installer.1", "", "Installer Class" },
        { "VUR.Installer.1\\CLSID", "", "{63C43601-34EF-11D2-94F6-204C4F4F5020}" },
        { "VUR.Installer", "", "Installer Class" },
        { "VUR.Installer\\CurVer", "", "VUR.Installer.1" },
        { CLASS_KEY, "", "Installer Class" },
        { CLASS_KEY, "AppID", "{63C43600-34EF-11D2-94F6-204C4F4F5020}" },
        { CLASS_KEY "\\ProgID", "", "VUR.Installer.1" },
        { CLASS_KEY "\\VersionIndependentProgID", "", "VUR.Installer" },
        { CLASS_KEY "\\LocalServer32", "", NULL },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(row.pszKey) + " [" + row.pszValue + "]");
        EXPECT_EQ("REG_SZ:" + std::string(row.pszData ? row.pszData : server.c_str()),
                  ReadTestValue(HKEY_CLASSES_ROOT, row.pszKey, row.pszValue));
    }
    // The 8.3 form of the path: "installer.exe" has no 8.3 name of its own.
    EXPECT_NE(ModulePath(m_hInstaller), server);
    EXPECT_EQ(std::string::npos, server.find("installer.exe")) << server;
    // Nothing else: no extra values or keys.
    EXPECT_EQ(1, CountValues(HKEY_CLASSES_ROOT, APPID_KEY));
    EXPECT_EQ(0, CountSubkeys(HKEY_CLASSES_ROOT, APPID_KEY));
    EXPECT_EQ(1, CountValues(HKEY_CLASSES_ROOT, APPID_EXE_KEY));
    EXPECT_EQ(2, CountValues(HKEY_CLASSES_ROOT, CLASS_KEY));
    EXPECT_EQ(3, CountSubkeys(HKEY_CLASSES_ROOT, CLASS_KEY));
}

TEST_F(SelfRegTest, RegisteringTwiceGivesTheSameState)
{
    ASSERT_EQ(S_OK, ApplyRegistryResource(IDR_REGISTRY_APPID, TRUE));
    ASSERT_EQ(S_OK, ApplyRegistryResource(IDR_REGISTRY_CLASS, TRUE));
    std::string first;
    for (const char *pszKey : s_apszOwnKeys)
        first += DumpTestTree(HKEY_CLASSES_ROOT, pszKey);

    // The class key is made afresh; other keys are opened and rewritten.
    ASSERT_TRUE(SetTestString(HKEY_CLASSES_ROOT, CLASS_KEY "\\Stray", "", "stray"));
    ASSERT_TRUE(SetTestString(HKEY_CLASSES_ROOT, CLASS_KEY, "Stray", "stray"));
    ASSERT_TRUE(SetTestString(HKEY_CLASSES_ROOT, "VUR.Installer", "", "changed"));
    ASSERT_EQ(S_OK, ApplyRegistryResource(IDR_REGISTRY_APPID, TRUE));
    ASSERT_EQ(S_OK, ApplyRegistryResource(IDR_REGISTRY_CLASS, TRUE));
    std::string second;
    for (const char *pszKey : s_apszOwnKeys)
        second += DumpTestTree(HKEY_CLASSES_ROOT, pszKey);
    EXPECT_EQ(first, second);
}

TEST_F(SelfRegTest, UnregisterRemovesExactlyTheEntries)
{
    ASSERT_EQ(S_OK, ApplyRegistryResource(IDR_REGISTRY_APPID, TRUE));
    ASSERT_EQ(S_OK, ApplyRegistryResource(IDR_REGISTRY_CLASS, TRUE));
    PrivateKeyTree foreignApp(HKEY_CLASSES_ROOT, "AppID\\{VurTest-Foreign}");
    PrivateKeyTree foreignClass(HKEY_CLASSES_ROOT, "CLSID\\{VurTest-Foreign}");
    ASSERT_TRUE(SetTestString(HKEY_CLASSES_ROOT, "AppID\\{VurTest-Foreign}", "", "f"));
    ASSERT_TRUE(SetTestString(HKEY_CLASSES_ROOT, "CLSID\\{VurTest-Foreign}", "", "f"));

    // In the order of "UnregServer": the application id first.
    EXPECT_EQ(S_OK, ApplyRegistryResource(IDR_REGISTRY_APPID, FALSE));
    EXPECT_EQ(S_OK, UnregisterServer(FALSE, NULL));
    for (const char *pszKey : s_apszOwnKeys)
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, pszKey)) << pszKey;
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "AppID\\{VurTest-Foreign}"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{VurTest-Foreign}"));
}

TEST_F(SelfRegTest, UnregisterWithNothingOrPartlyRegistered)
{
    int nAppIds = CountSubkeys(HKEY_CLASSES_ROOT, "AppID");
    int nClasses = CountSubkeys(HKEY_CLASSES_ROOT, "CLSID");
    ASSERT_LT(0, nClasses);
    EXPECT_EQ(S_OK, ApplyRegistryResource(IDR_REGISTRY_APPID, FALSE));
    EXPECT_EQ(S_OK, UnregisterServer(FALSE, NULL));
    EXPECT_EQ(nAppIds, CountSubkeys(HKEY_CLASSES_ROOT, "AppID"));
    EXPECT_EQ(nClasses, CountSubkeys(HKEY_CLASSES_ROOT, "CLSID"));

    // A ProgID key that lost its subkey (only its default value is left) is
    // removed at once, its block passed over, and the rest still handled.
    ASSERT_EQ(S_OK, ApplyRegistryResource(IDR_REGISTRY_CLASS, TRUE));
    DeleteTestTree(HKEY_CLASSES_ROOT, "VUR.Installer.1\\CLSID");
    EXPECT_EQ(S_OK, ApplyRegistryResource(IDR_REGISTRY_CLASS, FALSE));
    for (const char *pszKey : s_apszOwnKeys)
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, pszKey)) << pszKey;
}

// ---- the class table ------------------------------------------------------------

static std::string s_calls;
static HRESULT s_hrFirst, s_hrLast;

// Records "<name>+" or "<name>-"; F and L answer what the test chose.
template <char Name> static HRESULT Record(BOOL bRegister)
{
    s_calls += Name;
    s_calls += bRegister ? '+' : '-';
    return Name == 'F' ? s_hrFirst : Name == 'L' ? s_hrLast : S_OK;
}
static const char *Describe()
{
    return "described";
}

static const CLSID s_clsidFirst = { 1, 0, 0, { 0, 0, 0, 0, 0, 0, 0, 1 } };
static const CLSID s_clsidDescribed = { 2, 0, 0, { 0, 0, 0, 0, 0, 0, 0, 2 } };
static const CLSID s_clsidLast = { 1, 0, 0, { 0, 0, 0, 0, 0, 0, 0, 3 } };
static const CLSID s_clsidNone = { 1, 0, 0, { 0, 0, 0, 0, 0, 0, 0, 4 } };

static ClassEntry s_aRecordingTable[] = {
    { &s_clsidFirst, Record<'F'>, NULL, NULL, NULL, 0, NULL, NULL, NULL },
    { &s_clsidDescribed, Record<'D'>, NULL, NULL, NULL, 0, Describe, NULL, NULL },
    { &s_clsidLast, Record<'L'>, NULL, NULL, NULL, 0, NULL, NULL, NULL },
    { NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL, NULL },
};

TEST(ClassTable, EntriesAreSelectedAndFailuresStop)
{
    ModuleScope scope(GetModuleHandleA(NULL), s_aRecordingTable);
    static const struct {
        const char *pszWhat;
        bool bRegister;
        const CLSID *pclsid;
        HRESULT hrFirst, hrLast;
        const char *pszCalls;
        HRESULT hr;
    } cases[] = {
        { "all undescribed", true, NULL, S_OK, S_FALSE, "F+L+", S_FALSE },
        { "by class id, described too", true, &s_clsidDescribed, S_OK, S_OK, "D+", S_OK },
        { "by class id", true, &s_clsidLast, E_FAIL, (HRESULT)7, "L+", (HRESULT)7 },
        { "unknown class id", true, &s_clsidNone, E_FAIL, E_FAIL, "", S_OK },
        { "first failure stops", true, NULL, E_ACCESSDENIED, S_OK, "F+", E_ACCESSDENIED },
        { "unregister ignores failures", false, NULL, E_FAIL, E_FAIL, "F-L-", S_OK },
        { "unregister by class id", false, &s_clsidDescribed, S_OK, S_OK, "D-", S_OK },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszWhat);
        s_calls.clear();
        s_hrFirst = c.hrFirst;
        s_hrLast = c.hrLast;
        HRESULT hr = c.bRegister ? RegisterServer(FALSE, c.pclsid) : UnregisterServer(FALSE, c.pclsid);
        EXPECT_EQ(c.hr, hr);
        EXPECT_EQ(c.pszCalls, s_calls);
    }
    ModuleScope empty(GetModuleHandleA(NULL), NULL);
    EXPECT_EQ(S_OK, RegisterServer(FALSE, NULL));
    EXPECT_EQ(S_OK, UnregisterServer(FALSE, NULL));
}

// ---- the type library -------------------------------------------------------------

class TypeLibTest : public SelfRegTest {
protected:
    void TearDown() override
    {
        SelfRegTest::TearDown();
        RestoreTestTypeLib();
    }
};

TEST_F(TypeLibTest, RegisterServerWritesClassAndTypeLibrary)
{
    DeleteTestTree(HKEY_CLASSES_ROOT, TYPELIB_KEY);
    EXPECT_EQ(S_OK, RegisterServer(TRUE, NULL));
    EXPECT_EQ("REG_SZ:Installer Class", ReadTestValue(HKEY_CLASSES_ROOT, CLASS_KEY, ""));
    std::string server = ModulePath(m_hInstaller);
    std::string folder = server.substr(0, server.rfind('\\') + 1);
    EXPECT_EQ("REG_SZ:Installer 1.0 Type Library", ReadTestValue(HKEY_CLASSES_ROOT, TYPELIB_KEY "\\1.0", ""));
    EXPECT_EQ("REG_SZ:" + server, ReadTestValue(HKEY_CLASSES_ROOT, TYPELIB_KEY "\\1.0\\0\\win64", ""));
    EXPECT_EQ("REG_SZ:" + folder, ReadTestValue(HKEY_CLASSES_ROOT, TYPELIB_KEY "\\1.0\\HELPDIR", ""));

    // "UnregServer" keeps the type library.
    EXPECT_EQ(S_OK, UnregisterServer(FALSE, NULL));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, CLASS_KEY));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, TYPELIB_KEY "\\1.0"));
    EXPECT_EQ(S_OK, UnregisterServer(TRUE, NULL));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, TYPELIB_KEY "\\1.0"));
}

TEST_F(TypeLibTest, FailingClassLeavesTheTypeLibraryAlone)
{
    DeleteTestTree(HKEY_CLASSES_ROOT, TYPELIB_KEY);
    ModuleScope scope(m_hInstaller, s_aRecordingTable);
    s_calls.clear();
    s_hrFirst = E_ACCESSDENIED;
    EXPECT_EQ(E_ACCESSDENIED, RegisterServer(TRUE, NULL));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, TYPELIB_KEY));
    s_hrFirst = S_OK;
    s_hrLast = E_FAIL;
    EXPECT_EQ(S_OK, UnregisterServer(TRUE, NULL)) << "nothing to remove";
}

TEST_F(TypeLibTest, TlbBesideTheProgram)
{
    // Copies of a module without a type library: the ".tlb" replaces the
    // extension, or the last dot of a folder name when the file has none.
    TempDir dir;
    std::string fixture = BuildTreeFile("notypelib.dll");
    std::string tlb = BuildTreeFile("..\\..\\resources\\generated\\installer.tlb");
    std::string dotted = dir / "a.b";
    ASSERT_TRUE(CreateDirectoryA(dotted.c_str(), NULL));
    static const struct {
        const char *pszModule;     // relative to the temp folder
        const char *pszLoadName;   // as given to LoadLibraryA
        const char *pszTlb;        // NULL: no .tlb file
        const char *pszFound;      // NULL: nothing found
    } cases[] = {
        { "prog.dll", "prog.dll", "prog.tlb", "prog.tlb" },
        { "a.b\\progfile", "a.b\\progfile.", "a.tlb", "a.tlb" },
        { "none.dll", "none.dll", NULL, NULL },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszModule);
        ASSERT_TRUE(CopyFileA(fixture.c_str(), (dir / c.pszModule).c_str(), FALSE)) << fixture;
        if (c.pszTlb) {
            ASSERT_TRUE(CopyFileA(tlb.c_str(), (dir / c.pszTlb).c_str(), FALSE)) << tlb;
        }
        HMODULE hModule = LoadLibraryA((dir / c.pszLoadName).c_str());
        ASSERT_NE(nullptr, hModule) << GetLastError();
        ModuleScope scope(hModule, s_aInstallerTable);
        ITypeLib *pTypeLib = (ITypeLib *)0x1;
        BSTR bstrPath = (BSTR)0x1;
        HRESULT hr = LoadModuleTypeLib(&pTypeLib, &bstrPath);
        if (c.pszFound) {
            EXPECT_EQ(S_OK, hr);
            EXPECT_EQ(dir / c.pszFound, Narrow(bstrPath ? bstrPath : L""));
            if (pTypeLib)
                pTypeLib->Release();
            SysFreeString(bstrPath);
        } else {
            EXPECT_EQ(TYPE_E_CANTLOADLIBRARY, hr);
            EXPECT_EQ(nullptr, pTypeLib);
            EXPECT_EQ(nullptr, bstrPath);
            EXPECT_EQ(TYPE_E_CANTLOADLIBRARY, RegisterModuleTypeLib());
            EXPECT_EQ(TYPE_E_CANTLOADLIBRARY, UnregisterModuleTypeLib());
        }
        FreeLibrary(hModule);
    }
}

// ---- the program itself ---------------------------------------------------------

TEST_F(SelfRegTest, TheProgramRegistersAndUnregistersItself)
{
    std::string exe = "\"" + InstallerPath() + "\"";
    std::string server = ShortPath(ModulePath(m_hInstaller));
    std::string first;
    for (const char *pszSwitch : { " /RegServer", " -regserver", " /REGSERVER" }) {
        SCOPED_TRACE(pszSwitch);
        EXPECT_EQ(0, RunAndWait(exe + pszSwitch, 60000)) << "the type library's result";
        EXPECT_EQ("REG_SZ:" + server, ReadTestValue(HKEY_CLASSES_ROOT, CLASS_KEY "\\LocalServer32", ""));
        std::string dump;
        for (const char *pszKey : s_apszOwnKeys)
            dump += DumpTestTree(HKEY_CLASSES_ROOT, pszKey);
        if (first.empty())
            first = dump;
        EXPECT_EQ(first, dump) << "registering again gives the same state";
    }
    EXPECT_EQ(0, RunAndWait(exe + " /UnregServer", 60000));
    for (const char *pszKey : s_apszOwnKeys)
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, pszKey)) << pszKey;
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "AppID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_EQ(0, RunAndWait(exe + " -unregserver", 60000)) << "nothing left to remove";
}
