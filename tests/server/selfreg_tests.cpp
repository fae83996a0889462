// Tests of self-registration: the REGISTRY resources of installer.exe, their
// registration and removal under HKEY_CLASSES_ROOT, the class table walk
// and the type library. installer.exe is loaded as the module that
// g_module describes (its entry point is not run), as in the running server.
#include "server/selfreg.h"
#include "server/registrar.h"
#include "server/servermodule.h"
#include "regtestkeys.h"
#include "serverfixture.h"
#include "support/testmain.h"

#define APPID "{63C43600-34EF-11D2-94F6-204C4F4F5020}"
#define CLASS_KEY "CLSID\\{63C43601-34EF-11D2-94F6-204C4F4F5020}"
#define TYPELIB_KEY "TypeLib\\{63C43602-34EF-11D2-94F6-204C4F4F5020}"

static const CLSID CLSID_InstallerClass = { 0x63C43601, 0x34EF, 0x11D2, { 0x94, 0xF6, 0x20, 0x4C, 0x4F, 0x4F, 0x50, 0x20 } };

// The test paths are ASCII.
static std::wstring Wide(const std::string &text) { return std::wstring(text.begin(), text.end()); }

static std::string ShortPath(const std::string &path)
{
    char sz[MAX_PATH];
    DWORD n = GetShortPathNameA(path.c_str(), sz, sizeof sz);
    return n && n < sizeof sz ? sz : path;
}

// Every key that the two scripts make of their own, with its values.
static const char *const s_apszOwnKeys[] = { "AppID\\" APPID, "AppID\\Installer.EXE", "VUR.Installer.1", "VUR.Installer", CLASS_KEY };
static std::string OwnKeys()
{
    std::string dump;
    for (const char *pszKey : s_apszOwnKeys)
        dump += DumpTestTree(HKEY_CLASSES_ROOT, pszKey);
    return dump;
}

// Points g_module at a module and a class table for the length of a scope.
struct ModuleScope {
    ServerModule saved = g_module;
    ModuleScope(HMODULE hModule, ClassEntry *pTable) { g_module.hInstance = hModule, g_module.pClassTable = pTable; }
    ~ModuleScope() { g_module = saved; }
};

static ClassEntry s_aInstallerTable[] = { { &CLSID_InstallerClass, UpdateInstallerRegistry, NULL, NULL, NULL, 0, NULL, NULL, NULL }, {} };

// The server's own keys are removed before and after each test; the test
// program's copy of the type library, which marshals the interfaces of the
// other tests, is registered again afterwards.
class SelfRegTest : public ::testing::Test {
protected:
    HMODULE m_hInstaller = LoadLibraryA(InstallerExePath().c_str());
    ModuleScope m_scope{m_hInstaller, s_aInstallerTable};
    std::string m_server = ShortPath(InstallerExePath());
    void SetUp() override
    {
        ASSERT_NE(nullptr, m_hInstaller) << InstallerExePath();
        TearDown();
    }
    void TearDown() override
    {
        for (const char *pszKey : s_apszOwnKeys)
            DeleteTestTree(HKEY_CLASSES_ROOT, pszKey);
        ITypeLib *pTypeLib = NULL;
        if (SUCCEEDED(LoadTypeLibEx(Wide(ThisProgramPath()).c_str(), REGKIND_REGISTER, &pTypeLib)))
            pTypeLib->Release();
    }
    ~SelfRegTest() { FreeLibrary(m_hInstaller); }
};

TEST(RegistryResources, LoadFailuresGiveTheLastError)
{
    Registrar r;
    std::wstring installer = Wide(InstallerExePath());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, LoadLibraryExA("C:\\no\\such\\vurfile.exe", NULL, LOAD_LIBRARY_AS_DATAFILE));
    DWORD dwNoFile = GetLastError();
    EXPECT_NE(0xdeadbeefu, dwNoFile);
    EXPECT_EQ(HRESULT_FROM_WIN32(dwNoFile), r.RunRegistryScriptResource(L"C:\\no\\such\\vurfile.exe", 100, "REGISTRY", FALSE));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND), r.RunRegistryScriptResource(installer.c_str(), 102, "REGISTRY", FALSE));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND), r.RunRegistryScriptResource(installer.c_str(), 100, "REGISTRI", FALSE));
    EXPECT_EQ(E_POINTER, r.RunRegistryScriptResource(NULL, 100, "REGISTRY", FALSE));
    // A positive code e gives 0x80070000 + (e & 0xFFFF); zero and negative
    // values (HRESULTs already) stay as they are.
    static const struct { DWORD dwError; HRESULT hr; } s_aForms[] = {
        { 0, 0 }, { ERROR_FILE_NOT_FOUND, (HRESULT)0x80070002 }, { 0x9ABCD, (HRESULT)0x8007ABCD }, { 0x80004005, (HRESULT)0x80004005 } };
    for (const auto &c : s_aForms) {
        SetLastError(c.dwError);
        EXPECT_EQ(c.hr, HresultFromLastError()) << "last error 0x" << std::hex << c.dwError;
    }
}

static std::string s_calls;
static HRESULT s_hrFirst, s_hrLast;

// Records "<name>+" or "<name>-"; F and L answer what the test chose.
template <char Name> static HRESULT Record(BOOL bRegister)
{
    s_calls += Name;
    s_calls += bRegister ? '+' : '-';
    return Name == 'F' ? s_hrFirst : Name == 'L' ? s_hrLast : S_OK;
}

// First, Described, Last, and one that is not in the table.
static const CLSID s_aclsid[] = { { 1, 0, 0, { 1 } }, { 2, 0, 0, { 2 } }, { 1, 0, 0, { 3 } }, { 1, 0, 0, { 4 } } };
static ClassEntry s_aRecordingTable[] = {
    { &s_aclsid[0], Record<'F'>, NULL, NULL, NULL, 0, NULL, NULL, NULL },
    { &s_aclsid[1], Record<'D'>, NULL, NULL, NULL, 0, [] { return "described"; }, NULL, NULL },
    { &s_aclsid[2], Record<'L'>, NULL, NULL, NULL, 0, NULL, NULL, NULL },
    {},
};

TEST(ClassTable, EntriesAreSelectedAndFailuresStop)
{
    ModuleScope scope(GetModuleHandleA(NULL), s_aRecordingTable);
    static const struct {
        const char *pszWhat; bool bRegister; const CLSID *pclsid; HRESULT hrFirst, hrLast; const char *pszCalls; HRESULT hr;
    } cases[] = {
        { "all undescribed", true, NULL, S_OK, S_FALSE, "F+L+", S_FALSE },
        { "by class id, described too", true, &s_aclsid[1], S_OK, S_OK, "D+", S_OK },
        { "by class id", true, &s_aclsid[2], E_FAIL, (HRESULT)7, "L+", (HRESULT)7 },
        { "unknown class id", true, &s_aclsid[3], E_FAIL, E_FAIL, "", S_OK },
        { "first failure stops", true, NULL, E_ACCESSDENIED, S_OK, "F+", E_ACCESSDENIED },
        { "unregister ignores failures", false, NULL, E_FAIL, E_FAIL, "F-L-", S_OK },
        { "unregister by class id", false, &s_aclsid[1], S_OK, S_OK, "D-", S_OK },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszWhat);
        s_calls.clear();
        s_hrFirst = c.hrFirst, s_hrLast = c.hrLast;
        EXPECT_EQ(c.hr, c.bRegister ? RegisterServer(FALSE, c.pclsid) : UnregisterServer(FALSE, c.pclsid));
        EXPECT_EQ(c.pszCalls, s_calls);
    }
    ModuleScope empty(GetModuleHandleA(NULL), NULL);
    EXPECT_EQ(S_OK, RegisterServer(FALSE, NULL));
    EXPECT_EQ(S_OK, UnregisterServer(FALSE, NULL));
}

TEST_F(SelfRegTest, TlbBesideTheProgram)
{
    // Copies of a module without a type library: the ".tlb" replaces the
    // extension, or the last dot of a folder name when the file has none.
    TempDir dir;
    std::string self = ThisProgramPath(), here = self.substr(0, self.rfind('\\') + 1);
    std::string fixture = here + "notypelib.dll", tlb = here + "..\\..\\resources\\generated\\installer.tlb";
    ASSERT_TRUE(CreateDirectoryA((dir / "a.b").c_str(), NULL));
    // The module relative to the temp folder, the name given to
    // LoadLibraryA, and the .tlb beside it (NULL: none, nothing found).
    static const struct { const char *pszModule; const char *pszLoadName; const char *pszTlb; } cases[] = {
        { "prog.dll", "prog.dll", "prog.tlb" },
        { "a.b\\progfile", "a.b\\progfile.", "a.tlb" },
        { "none.dll", "none.dll", NULL },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszModule);
        ASSERT_TRUE(CopyFileA(fixture.c_str(), (dir / c.pszModule).c_str(), FALSE)) << fixture;
        ASSERT_TRUE(!c.pszTlb || CopyFileA(tlb.c_str(), (dir / c.pszTlb).c_str(), FALSE)) << tlb;
        HMODULE hModule = LoadLibraryA((dir / c.pszLoadName).c_str());
        ASSERT_NE(nullptr, hModule) << GetLastError();
        ModuleScope scope(hModule, s_aInstallerTable);
        ITypeLib *pTypeLib = (ITypeLib *)0x1;
        BSTR bstrPath = (BSTR)0x1;
        EXPECT_EQ(c.pszTlb ? S_OK : TYPE_E_CANTLOADLIBRARY, LoadModuleTypeLib(&pTypeLib, &bstrPath));
        EXPECT_EQ(c.pszTlb ? Wide(dir / c.pszTlb) : L"(none)", bstrPath ? bstrPath : L"(none)");
        EXPECT_EQ(c.pszTlb != NULL, pTypeLib != NULL) << "the type library";
        if (pTypeLib)
            pTypeLib->Release();
        SysFreeString(bstrPath);
        if (!c.pszTlb) {
            EXPECT_EQ(TYPE_E_CANTLOADLIBRARY, RegisterModuleTypeLib());
            EXPECT_EQ(TYPE_E_CANTLOADLIBRARY, UnregisterModuleTypeLib());
        }
        FreeLibrary(hModule);
    }
}

// The process entry end to end: the switches, the exit codes and the
// path in its 8.3 form ("installer.exe" has no 8.3 name of its own); the
// type library goes last, so a failing class leaves it out. Unregistering
// takes the own keys and nothing else, also when partly registered or not
// at all. The scripts' own entries are in the regscript data cases.
TEST_F(SelfRegTest, TheProgramRegistersAndUnregistersItself)
{
    DeleteTestTree(HKEY_CLASSES_ROOT, TYPELIB_KEY);
    {
        ModuleScope failing(m_hInstaller, s_aRecordingTable);
        s_hrFirst = E_ACCESSDENIED;
        EXPECT_EQ(E_ACCESSDENIED, RegisterServer(TRUE, NULL));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, TYPELIB_KEY)) << "registered after a failing class";
    }
    EXPECT_EQ(std::string::npos, m_server.find("installer.exe")) << m_server;
    int nAppIds = CountSubkeys(HKEY_CLASSES_ROOT, "AppID"), nClasses = CountSubkeys(HKEY_CLASSES_ROOT, "CLSID");
    std::string server = InstallerExePath(), folder = server.substr(0, server.rfind('\\') + 1);
    EXPECT_EQ(0, RunAndWait("\"" + server + "\" /RegServer", 60000)) << "the type library's result";
    EXPECT_EQ("REG_SZ:" + m_server, ReadTestValue(HKEY_CLASSES_ROOT, CLASS_KEY "\\LocalServer32", ""));
    EXPECT_EQ("REG_SZ:Installer", ReadTestValue(HKEY_CLASSES_ROOT, "AppID\\" APPID, ""));
    EXPECT_EQ("REG_SZ:Installer 1.0 Type Library", ReadTestValue(HKEY_CLASSES_ROOT, TYPELIB_KEY "\\1.0", ""));
    EXPECT_EQ("REG_SZ:" + server, ReadTestValue(HKEY_CLASSES_ROOT, TYPELIB_KEY "\\1.0\\0\\win64", ""));
    EXPECT_EQ("REG_SZ:" + folder, ReadTestValue(HKEY_CLASSES_ROOT, TYPELIB_KEY "\\1.0\\HELPDIR", ""));
    DeleteTestTree(HKEY_CLASSES_ROOT, "VUR.Installer.1\\CLSID");
    for (int i = 0; i < 2; i++)
        EXPECT_EQ(0, RunAndWait("\"" + server + "\" -unregserver", 60000)) << i;
    EXPECT_EQ("", OwnKeys());
    EXPECT_EQ(nAppIds, CountSubkeys(HKEY_CLASSES_ROOT, "AppID"));
    EXPECT_EQ(nClasses, CountSubkeys(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, TYPELIB_KEY "\\1.0")) << "\"UnregServer\" keeps the type library";
    EXPECT_EQ(S_OK, UnregisterServer(TRUE, NULL));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, TYPELIB_KEY "\\1.0"));
}
