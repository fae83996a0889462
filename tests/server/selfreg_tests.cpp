// Self-registration where the server-registration case of tests/e2e cannot
// reach: failures in the class table walk and the type library's place in
// it, the ".tlb" beside a module.
#include "server/selfreg.h"
#include "server/servermodule.h"
#include "regtestkeys.h"
#include "serverfixture.h"

#define TYPELIB_KEY "TypeLib\\{63C43602-34EF-11D2-94F6-204C4F4F5020}"

// The test paths are ASCII.
static std::wstring Wide(const std::string &text) { return std::wstring(text.begin(), text.end()); }

// Points g_module at a module and a class table for the length of a scope.
struct ModuleScope {
    ServerModule saved = g_module;
    ModuleScope(HMODULE hModule, ClassEntry *pTable) { g_module.hInstance = hModule, g_module.pClassTable = pTable; }
    ~ModuleScope() { g_module = saved; }
};

static std::string s_calls;
static HRESULT s_hrFirst, s_hrLast;

// Records "<name>+" or "<name>-"; F and L answer what the test chose.
template <char Name> static HRESULT Record(BOOL bRegister)
{
    s_calls += Name;
    s_calls += bRegister ? '+' : '-';
    return Name == 'F' ? s_hrFirst : Name == 'L' ? s_hrLast : S_OK;
}

// First, Described (left out of the walk), Last.
static const CLSID s_aclsid[] = { { 1, 0, 0, { 1 } }, { 2, 0, 0, { 2 } }, { 1, 0, 0, { 3 } } };
static ClassEntry s_aRecordingTable[] = {
    { &s_aclsid[0], Record<'F'>, NULL, NULL, NULL, 0, NULL, NULL, NULL },
    { &s_aclsid[1], Record<'D'>, NULL, NULL, NULL, 0, [] { return "described"; }, NULL, NULL },
    { &s_aclsid[2], Record<'L'>, NULL, NULL, NULL, 0, NULL, NULL, NULL },
    {},
};

// The type library (this program's own copy) goes last: a failing class
// leaves it out; registered, its result is the result.
TEST(ClassTable, EntriesAreWalkedAndFailuresStop)
{
    ModuleScope scope(GetModuleHandleA(NULL), s_aRecordingTable);
    static const struct {
        const char *pszWhat; bool bRegister, bTypeLib; HRESULT hrFirst, hrLast; const char *pszCalls; HRESULT hr;
        bool bTypeLibAfter;
    } cases[] = {
        { "first failure stops, before the type library", true, true, E_ACCESSDENIED, S_OK, "F+", E_ACCESSDENIED, false },
        { "all undescribed", true, false, S_OK, S_FALSE, "F+L+", S_FALSE, false },
        { "the type library's result", true, true, S_OK, S_FALSE, "F+L+", S_OK, true },
        { "unregister ignores failures", false, true, E_FAIL, E_FAIL, "F-L-", S_OK, false },
        { "registered again", true, true, S_OK, S_OK, "F+L+", S_OK, true },
    };
    DeleteTestTree(HKEY_CLASSES_ROOT, TYPELIB_KEY);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszWhat);
        s_calls.clear();
        s_hrFirst = c.hrFirst, s_hrLast = c.hrLast;
        EXPECT_EQ(c.hr, c.bRegister ? RegisterServer(c.bTypeLib, NULL) : UnregisterServer(c.bTypeLib, NULL));
        EXPECT_EQ(c.pszCalls, s_calls);
        EXPECT_EQ(c.bTypeLibAfter, CountKeyEntries(HKEY_CLASSES_ROOT, TYPELIB_KEY "\\1.0", false) >= 0);
    }
    ModuleScope empty(GetModuleHandleA(NULL), NULL);
    EXPECT_EQ(S_OK, RegisterServer(FALSE, NULL));
    EXPECT_EQ(S_OK, UnregisterServer(FALSE, NULL));
}

TEST(SelfReg, TlbBesideTheProgram)
{
    // Copies of a module without a type library: the ".tlb" replaces the
    // extension, or the last dot of a folder name when the file has none.
    TempDir dir;
    std::string fixture = BuildRoot() + "\\tests\\sysops\\fixtures\\plain.dll";
    std::string tlb = BuildRoot() + "\\resources\\generated\\installer.tlb";
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
        ModuleScope scope(hModule, NULL);
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
