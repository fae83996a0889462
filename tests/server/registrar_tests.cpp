// Tests of the registrar: variable expansion, tokens and quoting, values,
// syntax errors, the register and unregister rules, rollback.
#include "server/registrar.h"
#include "regtestkeys.h"
#include <gtest/gtest.h>
#include <vector>

static HRESULT RunScript(const std::string &script, BOOL bRegister)
{
    Registrar registrar;
    return registrar.RunRegistryScript(script.c_str(), bRegister);
}

static std::string Key(const std::string &sub)
{
    return std::string(TEST_KEY_PATH) + "\\" + sub;
}

static std::vector<std::string> Words(const std::string &text)
{
    std::vector<std::string> words;
    size_t start = 0;
    while ((start = text.find_first_not_of(' ', start)) != std::string::npos) {
        size_t end = text.find(' ', start);
        words.push_back(text.substr(start, end - start));
        start = end;
    }
    return words;
}

class RegistrarTest : public ::testing::Test {
protected:
    PrivateKeyTree m_tree{HKEY_CURRENT_USER, TEST_KEY_PATH};
};

// ---- variable expansion -------------------------------------------------

TEST(RegistrarExpand, ReplacesVariablesAndPercentPairs)
{
    Registrar r;
    ASSERT_EQ(S_OK, r.AddReplacement(L"Module", L"C:\\PROGRA~1\\VUR\\INSTAL~1.EXE"));
    ASSERT_EQ(S_OK, r.AddReplacement(L" a b ", L"blank name"));
    ASSERT_EQ(S_OK, r.AddReplacement(L"Quote", L"it's"));
    ASSERT_EQ(S_OK, r.AddReplacement(L"Empty", L""));
    ASSERT_EQ(S_OK, r.AddReplacement(L"N234567890123456789012345678901", L"31"));
    static const struct {
        const char *pszIn;
        const char *pszOut;
    } cases[] = {
        { "", "" },
        { "no variables", "no variables" },
        { "%MODULE%", "C:\\PROGRA~1\\VUR\\INSTAL~1.EXE" },
        { "x'%module%'y", "x'C:\\PROGRA~1\\VUR\\INSTAL~1.EXE'y" },
        { "%Module%%MoDuLe%", "C:\\PROGRA~1\\VUR\\INSTAL~1.EXEC:\\PROGRA~1\\VUR\\INSTAL~1.EXE" },
        { "100%%", "100%" },
        { "'%%'", "'%'" },
        { "%%%%", "%%" },
        { "%%MODULE%%", "%MODULE%" },
        { "[% a b %]", "[blank name]" },
        { "'%Quote%'", "'it's'" },          // not doubled
        { "a%Empty%b", "ab" },
        { "%N234567890123456789012345678901%", "31" },
        { "\xe9t\xe9 %%", "\xe9t\xe9 %" },
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(cases[i].pszIn);
        char *pszOut = (char *)0x1;
        HRESULT hr = r.ExpandVariables(cases[i].pszIn, &pszOut);
        ASSERT_EQ(S_OK, hr);
        ASSERT_NE(nullptr, pszOut);
        EXPECT_STREQ(cases[i].pszOut, pszOut);
        CoTaskMemFree(pszOut);
    }
}

TEST(RegistrarExpand, FailuresGiveNoText)
{
    Registrar r;
    ASSERT_EQ(S_OK, r.AddReplacement(L"Module", L"m"));
    static const struct {
        const char *pszIn;
        HRESULT hr;
    } cases[] = {
        { "%MODULE", DISP_E_EXCEPTION },
        { "abc%", DISP_E_EXCEPTION },
        { "%Unknown%", DISP_E_EXCEPTION },
        { "%MODULE %", DISP_E_EXCEPTION },
        { "%N2345678901234567890123456789012%", E_FAIL },        // 32 bytes
        { "%N2345678901234567890123456789012", DISP_E_EXCEPTION }, // unclosed wins
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(cases[i].pszIn);
        char *pszOut = (char *)0x1;
        EXPECT_EQ(cases[i].hr, r.ExpandVariables(cases[i].pszIn, &pszOut));
        EXPECT_EQ(nullptr, pszOut);
    }
}

TEST(RegistrarExpand, MapGrowsAndKeepsTheFirstMatch)
{
    Registrar r;
    WCHAR wszName[16], wszValue[16];
    for (int i = 0; i < 25; i++) {
        wsprintfW(wszName, L"V%d", i);
        wsprintfW(wszValue, L"<%d>", i);
        ASSERT_EQ(S_OK, r.AddReplacement(wszName, wszValue)) << i;
    }
    ASSERT_EQ(S_OK, r.AddReplacement(L"v3", L"second"));
    char *pszOut = NULL;
    ASSERT_EQ(S_OK, r.ExpandVariables("%V0%%V9%%V10%%V24%%v3%", &pszOut));
    EXPECT_STREQ("<0><9><10><24><3>", pszOut);
    CoTaskMemFree(pszOut);

    // A value much longer than twice the script makes the text grow.
    std::wstring longValue(10000, L'x');
    ASSERT_EQ(S_OK, r.AddReplacement(L"Long", longValue.c_str()));
    ASSERT_EQ(S_OK, r.ExpandVariables("a%Long%b", &pszOut));
    EXPECT_EQ(10002, lstrlenA(pszOut));
    EXPECT_EQ('b', pszOut[10001]);
    CoTaskMemFree(pszOut);

    EXPECT_EQ(S_OK, r.ClearReplacements());
    EXPECT_EQ(DISP_E_EXCEPTION, r.ExpandVariables("%V0%", &pszOut));
    EXPECT_EQ(E_INVALIDARG, r.AddReplacement(NULL, L"x"));
    EXPECT_EQ(E_INVALIDARG, r.AddReplacement(L"x", NULL));
}

TEST_F(RegistrarTest, UnknownVariableFailsBeforeTheRegistryIsTouched)
{
    std::string script = UnderTestKey("Made = s 'x'\r\nLater = s '%NotThere%'");
    EXPECT_EQ(DISP_E_EXCEPTION, RunScript(script, TRUE));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TEST_KEY_PATH)) << "the script's first key was created";
}

// ---- tokens, quoting, values ----------------------------------------------

TEST_F(RegistrarTest, QuotingAndValueTypes)
{
    static const struct {
        const char *pszSpec;     // what follows "val v = "
        const char *pszStored;
    } cases[] = {
        { "s 'it''s'", "REG_SZ:it's" },
        { "s ''", "REG_SZ:" },
        { "s ''''", "REG_SZ:'" },
        { "s '''x'''", "REG_SZ:'x'" },
        { "s 'a { } = b\tc'", "REG_SZ:a { } = b\tc" },
        { "s it's", "REG_SZ:it's" },
        { "s '%%'", "REG_SZ:%" },
        { "S \xe9t\xe9", "REG_SZ:\xe9t\xe9" },
        { "d '123'", "REG_DWORD:123" },
        { "D 4294967295", "REG_DWORD:4294967295" },
        { "d 0", "REG_DWORD:0" },
        { "d 'abc'", "REG_DWORD:0" },          // a rejected number is written as 0
        { "d 4294967296", "REG_DWORD:0" },
        { "b 0a1B", "type3:0A1B" },
        { "B 'zz'", "type3:00" },
        { "b 'FF00ff'", "type3:FF00FF" },
        { "b ''", "type3:" },
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(cases[i].pszSpec);
        std::string script = UnderTestKey(std::string("K\r\n{\r\nval v = ") + cases[i].pszSpec + "\r\n}");
        ASSERT_EQ(S_OK, RunScript(script, TRUE));
        EXPECT_EQ(cases[i].pszStored, ReadTestValue(HKEY_CURRENT_USER, Key("K"), "v"));
        DeleteTestTree(HKEY_CURRENT_USER, Key("K"));
    }
}

TEST_F(RegistrarTest, TokensAreSplitAtBlanksOnly)
{
    // Keywords, types and roots in any case; TAB, CR and LF are blanks; a
    // quoted name directly followed by its brace; byte 11 is part of a name.
    std::string script =
        "hkcu {\tNOREMOVE Software\n{ noremove VurTest\r{\r\n"
        "'Quoted Key'{ VAL Inner = S in }\n"
        "Name=s 'Next Key'\n"
        "val a\x0b" "b = s vt\n"
        "Plain = s 'x'\n"
        "} } }";
    ASSERT_EQ(S_OK, RunScript(script, TRUE));
    EXPECT_EQ("REG_SZ:in", ReadTestValue(HKEY_CURRENT_USER, Key("Quoted Key"), "Inner"));
    // Without blanks the equals sign and the type join the key name, and
    // the quoted value names the next key.
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key("Name=s")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key("Next Key")));
    EXPECT_EQ("(none)", ReadTestValue(HKEY_CURRENT_USER, Key("Name=s"), ""));
    EXPECT_EQ("REG_SZ:vt", ReadTestValue(HKEY_CURRENT_USER, TEST_KEY_PATH, "a\x0b" "b"));
    EXPECT_EQ("REG_SZ:x", ReadTestValue(HKEY_CURRENT_USER, Key("Plain"), ""));
}

TEST_F(RegistrarTest, TokenLengthLimits)
{
    // Quoted: at most 4094 bytes. Unquoted: at most 4095. Value name after
    // "Val": at most 259 (longer ones are refused, never cut).
    static const struct {
        const char *pszWhat;
        std::string spec;
        HRESULT hr;
    } cases[] = {
        { "quoted 4094", "val v = s '" + std::string(4094, 'q') + "'", S_OK },
        { "quoted 4095", "val v = s '" + std::string(4095, 'q') + "'", DISP_E_EXCEPTION },
        { "quoted 4094 with doubled quotes", "val v = s '" + std::string(8188, '\'') + "'", S_OK },
        { "unquoted 4095", "val v = s " + std::string(4095, 'u'), S_OK },
        { "unquoted 4096", "val v = s " + std::string(4096, 'u'), DISP_E_EXCEPTION },
        { "value name 259", "val " + std::string(259, 'n') + " = s x", S_OK },
        { "value name 260", "val " + std::string(260, 'n') + " = s x", DISP_E_EXCEPTION },
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(cases[i].pszWhat);
        EXPECT_EQ(cases[i].hr, RunScript(UnderTestKey("K\r\n{\r\n" + cases[i].spec + "\r\n}"), TRUE));
        DeleteTestTree(HKEY_CURRENT_USER, Key("K"));
    }
    ASSERT_EQ(S_OK, RunScript(UnderTestKey("K { val v = s '" + std::string(4094, '\'') + "' }"), TRUE));
    EXPECT_EQ("REG_SZ:" + std::string(2047, '\''), ReadTestValue(HKEY_CURRENT_USER, Key("K"), "v"));
}

// ---- syntax errors --------------------------------------------------------

static std::string NestedKeys(int nLevels)
{
    std::string open, close;
    for (int i = 0; i < nLevels; i++) {
        open += "k {\r\n";
        close += "}\r\n";
    }
    return open + close;
}

TEST_F(RegistrarTest, SyntaxErrors)
{
    // Unregister mode does not look at value types, so type errors pass there.
    static const struct {
        const char *pszWhat;
        std::string script;
        HRESULT hrRegister;
        HRESULT hrUnregister;
    } cases[] = {
        { "unknown root", "HKXX { }", DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "root without block", "HKCU Software { }", DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "root at the end", "HKCU", DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "block never closed", "HKCU {", DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "text after the blocks", "HKCU { } trailing", DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "two braces close one block", UnderTestKey("K { Sub { }}"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "key name with backslash", UnderTestKey("A\\B = s x"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "ForceRemove name with backslash", UnderTestKey("ForceRemove A\\B"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "Delete name with backslash", UnderTestKey("Delete A\\B"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "val without equals", UnderTestKey("val v s x"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "unknown type", UnderTestKey("K = q 'x'"), DISP_E_EXCEPTION, S_OK },
        { "type word", UnderTestKey("K = sz 'x'"), DISP_E_EXCEPTION, S_OK },
        { "odd binary", UnderTestKey("K = b abc"), E_FAIL, S_OK },
        { "missing value", UnderTestKey("K = s"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "unterminated quote", UnderTestKey("K = s 'abc }"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "unclosed variable", UnderTestKey("K = s '%abc'"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(cases[i].pszWhat);
        EXPECT_EQ(cases[i].hrRegister, RunScript(cases[i].script, TRUE));
        // The failing block was rolled back: the test key holds nothing.
        EXPECT_GE(0, CountSubkeys(HKEY_CURRENT_USER, TEST_KEY_PATH)) << DumpTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH);
        EXPECT_EQ(cases[i].hrUnregister, RunScript(cases[i].script, FALSE));
        DeleteTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH);
    }
}

TEST_F(RegistrarTest, NestingIsLimited)
{
    // The root block and the two wrapping keys take 3 of the 128 levels.
    EXPECT_EQ(S_OK, RunScript(UnderTestKey(NestedKeys(125)), TRUE));
    // Walked a level at a time: the whole path is too long for one call.
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, TEST_KEY_PATH, 0, KEY_READ, &hKey));
    int nLevels = 0;
    for (HKEY hSub; RegOpenKeyExA(hKey, "k", 0, KEY_READ, &hSub) == ERROR_SUCCESS; nLevels++) {
        RegCloseKey(hKey);
        hKey = hSub;
    }
    RegCloseKey(hKey);
    EXPECT_EQ(125, nLevels);
    DeleteTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH);
    // Deeper texts fail rather than exhaust the stack, whatever the mode.
    EXPECT_EQ(DISP_E_EXCEPTION, RunScript(UnderTestKey(NestedKeys(126)), TRUE));
    EXPECT_EQ(DISP_E_EXCEPTION, RunScript("HKCU { NoSuchKeyForVurTest " + NestedKeys(5000) + " }", FALSE));
}

TEST_F(RegistrarTest, EmptyScriptsSucceed)
{
    static const char *const scripts[] = { "", " ", "\r\n\t \r\n", "HKCU { }", " HKCU\r\n{\r\n}\r\n \t" };
    for (const char *pszScript : scripts) {
        SCOPED_TRACE(pszScript);
        EXPECT_EQ(S_OK, RunScript(pszScript, TRUE));
        EXPECT_EQ(S_OK, RunScript(pszScript, FALSE));
    }
    Registrar r;
    EXPECT_EQ(E_POINTER, r.RunRegistryScript(NULL, TRUE));
}

// ---- rollback -------------------------------------------------------------

TEST_F(RegistrarTest, FailingRootBlockIsRolledBack)
{
    std::string first = "HKCU { NoRemove Software { NoRemove VurTest { Kept = s 'k' } } }\r\n";
    static const struct {
        const char *pszWhat;
        std::string failing;
        HRESULT hr;
    } cases[] = {
        { "bad type", UnderTestKey("Before = s 'new'\r\nMade = s 'm'\r\nval Named = s 'n'\r\nBroken = q 'x'"),
          DISP_E_EXCEPTION },
        { "odd binary", UnderTestKey("Before = s 'new'\r\nMade = s 'm'\r\nval Named = s 'n'\r\nBroken = b 123"),
          E_FAIL },
        { "closing brace missing",
          "HKCU { NoRemove Software { NoRemove VurTest { Before = s 'new' Made = s 'm' val Named = s 'n' } }",
          DISP_E_EXCEPTION },
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(cases[i].pszWhat);
        // Existed before the run: the rollback removes it too, by the
        // unregister rules.
        ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Before"), "", "old"));
        EXPECT_EQ(cases[i].hr, RunScript(first + cases[i].failing, TRUE));
        EXPECT_EQ("REG_SZ:k", ReadTestValue(HKEY_CURRENT_USER, Key("Kept"), ""))
            << "a root block that succeeded is not undone";
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("Before")));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("Made")));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("Broken")));
        // The unregister walk opens keys for reading only, so a "Val" entry
        // cannot remove a value of a key that stays (Windows 95/98, with no
        // registry security, would remove it); removed keys take theirs along.
        EXPECT_EQ("REG_SZ:n", ReadTestValue(HKEY_CURRENT_USER, TEST_KEY_PATH, "Named"));
        DeleteTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH);
    }

    // Unregister mode has no rollback: what went before the failure stays gone.
    ASSERT_EQ(S_OK, RunScript(first, TRUE));
    EXPECT_EQ(DISP_E_EXCEPTION, RunScript(UnderTestKey("Kept = s 'k'\r\nA\\B"), FALSE));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("Kept")));
}

// ---- register mode: ForceRemove, Delete, protected names -------------------

TEST_F(RegistrarTest, ForceRemoveAndDeleteInRegisterMode)
{
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Forced\\Old\\Deep"), "old", "1"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Forced"), "old", "1"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Gone\\Sub"), "", "1"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("GoneToo"), "", "1"));
    std::string script = UnderTestKey(
        "ForceRemove Forced = s 'fresh' { val new = s 'n' }\r\n"
        "Delete Gone\r\n"
        "Current = s 'c'\r\n"
        "Delete GoneToo = s 'ignored' { UnderCurrent }\r\n"
        "Delete Missing");
    ASSERT_EQ(S_OK, RunScript(script, TRUE));
    EXPECT_EQ("(none)", ReadTestValue(HKEY_CURRENT_USER, Key("Forced"), "old"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("Forced\\Old")));
    EXPECT_EQ("REG_SZ:fresh", ReadTestValue(HKEY_CURRENT_USER, Key("Forced"), ""));
    EXPECT_EQ("REG_SZ:n", ReadTestValue(HKEY_CURRENT_USER, Key("Forced"), "new"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("Gone")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("GoneToo")));
    // A block after a Delete entry belongs to the key the block opened last.
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key("Current\\UnderCurrent")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("Missing")));
}

TEST_F(RegistrarTest, ProtectedKeyNamesAreNeverRemovedAsTrees)
{
    static const char *const names[] = { "CLSID", "clsid", "TypeLib", "TYPELIB" };
    for (const char *pszName : names) {
        SCOPED_TRACE(pszName);
        std::string key = Key(pszName);
        ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, key + "\\{Other}", "", "other"));
        std::string name = pszName;
        ASSERT_EQ(S_OK, RunScript(UnderTestKey("ForceRemove " + name + " = s 'opened'\r\nDelete " + name), TRUE));
        EXPECT_EQ("REG_SZ:other", ReadTestValue(HKEY_CURRENT_USER, key + "\\{Other}", ""));
        EXPECT_EQ("REG_SZ:opened", ReadTestValue(HKEY_CURRENT_USER, key, ""));

        // Unregister: the subkey of the same name below it is not removed
        // either, but an emptied key goes like any other.
        ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, key + "\\" + name, "", "same name"));
        ASSERT_EQ(S_OK, RunScript(UnderTestKey(name + " = s 'opened' { }"), FALSE));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key + "\\" + name));
        DeleteTestTree(HKEY_CURRENT_USER, key + "\\" + name);
        DeleteTestTree(HKEY_CURRENT_USER, key + "\\{Other}");
        ASSERT_EQ(S_OK, RunScript(UnderTestKey(name + " = s 'opened'"), FALSE));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
    }
}

// ---- unregister mode --------------------------------------------------------

TEST_F(RegistrarTest, RegisterThenUnregisterLeavesOnlyNoRemoveKeys)
{
    std::string script = UnderTestKey(
        "App = s 'app' { val Named = s 'n' Sub = s 's' { Deeper = d 5 } Bin = b 00ff }\r\n"
        "NoRemove Shared { Mine = s 'm' }");
    ASSERT_EQ(S_OK, RunScript(script, TRUE));
    EXPECT_EQ("REG_DWORD:5", ReadTestValue(HKEY_CURRENT_USER, Key("App\\Sub\\Deeper"), ""));
    EXPECT_EQ("type3:00FF", ReadTestValue(HKEY_CURRENT_USER, Key("App\\Bin"), ""));
    // Registering again changes nothing.
    std::string state = DumpTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH);
    ASSERT_EQ(S_OK, RunScript(script, TRUE));
    EXPECT_EQ(state, DumpTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH));

    ASSERT_EQ(S_OK, RunScript(script, FALSE));
    EXPECT_EQ(TEST_KEY_PATH "\n" TEST_KEY_PATH "\\Shared\n", DumpTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH));
    // Nothing left to remove: succeeds and changes nothing.
    ASSERT_EQ(S_OK, RunScript(script, FALSE));
    EXPECT_EQ(TEST_KEY_PATH "\n" TEST_KEY_PATH "\\Shared\n", DumpTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH));
}

TEST_F(RegistrarTest, UnregisterSparesSharedKeys)
{
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("A\\Other"), "", "foreign"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("A\\A\\Deep"), "", "same name"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("A\\B"), "", "mine"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Protected1"), "", "p"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Protected2"), "", "p"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Sub\\Plain"), "", "p"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Sub\\Later"), "", "p"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Named"), "v", "named value"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Named\\Child"), "", "c"));
    std::string script = UnderTestKey(
        "A { B = s 'mine' }\r\n"
        "Sub { Plain = s 'p' NoRemove Later = s 'p' }\r\n"
        "Named { Child = s 'c' }\r\n"
        "}\r\n"
        "NoRemove VurTest\r\n{\r\n"
        "NoRemove Protected1 = s 'p'\r\n"
        "Protected2 = s 'p'");
    ASSERT_EQ(S_OK, RunScript(script, FALSE)) << script;
    // A key left with subkeys stays; only its subkey of the same name goes.
    EXPECT_EQ("REG_SZ:foreign", ReadTestValue(HKEY_CURRENT_USER, Key("A\\Other"), ""));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("A\\A")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("A\\B")));
    // NoRemove covers its own entry and every later key of its block.
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("Sub\\Plain")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key("Sub\\Later")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key("Protected1")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key("Protected2")));
    // A key whose block emptied it goes, named values and all.
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("Named")));
}

TEST_F(RegistrarTest, UnregisterPassesOverWhatDoesNotExist)
{
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Present"), "", "p"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("WithBlock"), "kept", "k"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("WithBlock\\Inner"), "", "i"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("After"), "", "a"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, TEST_KEY_PATH, "value", "v"));
    // Missing switches the block to recovery: Present and WithBlock (and
    // its block's entries) are passed over; after WithBlock's block, After
    // is removed again.
    std::string script = UnderTestKey(
        "Missing = s 'm'\r\n"
        "Present = s 'p'\r\n"
        "val value = s 'v'\r\n"
        "WithBlock { val kept = s 'k' Inner = s 'i' }\r\n"
        "After = s 'a'");
    ASSERT_EQ(S_OK, RunScript(script, FALSE));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key("Present")));
    EXPECT_EQ("REG_SZ:v", ReadTestValue(HKEY_CURRENT_USER, TEST_KEY_PATH, "value"));
    EXPECT_EQ("REG_SZ:k", ReadTestValue(HKEY_CURRENT_USER, Key("WithBlock"), "kept"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key("WithBlock\\Inner")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("After")));

    // A script none of whose keys exist succeeds and changes nothing.
    std::string before = DumpTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH);
    EXPECT_EQ(S_OK, RunScript("HKCU { NoSuchKeyForVurTest { Inner = s 'x' { Deeper } val v = s 'x' } }", FALSE));
    EXPECT_EQ(before, DumpTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH));
}

TEST_F(RegistrarTest, UnregisterEntryRules)
{
    static const struct {
        const char *pszWhat;
        const char *pszBody;
        const char *pszValueKeys;   // keys made with a named value "v" (else the default value)
        const char *pszGone;        // keys expected removed, blank-separated
        const char *pszKept;        // keys expected to stay
    } cases[] = {
        // A key removed at once (it has nothing but its default value) has
        // its block passed over; the entries after it are still handled.
        { "block of a key removed at once", "Empty = s 'e' { Sub = s 's' }\r\nNext = s 'n'", "", "Empty Next", "" },
        // A key that keeps named values and has no block of its own: the
        // removal step reads on from the token after the key's entry, so
        // the next entry's name is passed over with it and that entry is
        // not handled.
        { "key with named values and no block", "Named = s 'n'\r\nPassedOver = s 'p'\r\nHandled = s 'h'", "Named",
          "Named Handled", "PassedOver" },
        // ForceRemove and Delete only introduce the key name.
        { "keywords", "ForceRemove Forced = s 'f'\r\nDelete Deleted\r\nForceRemove NoRemove Kept", "",
          "Forced Deleted", "Kept" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszWhat);
        std::string all = std::string(c.pszGone) + " " + c.pszKept;
        std::string valueKeys = std::string(" ") + c.pszValueKeys + " ";
        for (const std::string &name : Words(all)) {
            bool bNamed = valueKeys.find(" " + name + " ") != std::string::npos;
            ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key(name), bNamed ? "v" : "", "x"));
        }
        EXPECT_EQ(S_OK, RunScript(UnderTestKey(c.pszBody), FALSE));
        for (const std::string &name : Words(c.pszGone))
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key(name))) << name;
        for (const std::string &name : Words(c.pszKept))
            EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key(name))) << name;
        DeleteTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH);
    }
}

// ---- registry helpers -------------------------------------------------------

TEST_F(RegistrarTest, KeyQuestionsAndTreeDeletion)
{
    static const struct {
        const char *pszKey;
        const char *pszValues;  // names of REG_SZ values to set, '|' between ("" = default)
        bool bNamed;
    } cases[] = {
        { "NoValues", NULL, false },
        { "DefaultOnly", "", false },
        { "OneNamed", "n", true },
        { "DefaultAndNamed", "|n", true },
        { "TwoNamed", "a|b", true },
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(cases[i].pszKey);
        std::string key = Key(cases[i].pszKey);
        ASSERT_TRUE(CreateTestKey(HKEY_CURRENT_USER, key));
        if (cases[i].pszValues) {
            std::string names = cases[i].pszValues;
            size_t start = 0;
            for (;;) {
                size_t bar = names.find('|', start);
                ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, key, names.substr(start, bar - start).c_str(), "x"));
                if (bar == std::string::npos)
                    break;
                start = bar + 1;
            }
        }
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &hKey));
        EXPECT_EQ(cases[i].bNamed, HasNamedValues(hKey));
        EXPECT_FALSE(HasSubkeys(hKey));
        RegCloseKey(hKey);
    }
    EXPECT_FALSE(HasNamedValues(NULL));
    EXPECT_FALSE(HasSubkeys(NULL));

    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Tree\\A\\A1\\A11"), "v", "x"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Tree\\A\\A2"), "", "x"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Tree\\B"), "", "x"));
    HKEY hBase;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, TEST_KEY_PATH, 0, KEY_ALL_ACCESS, &hBase));
    EXPECT_TRUE(HasSubkeys(hBase));
    EXPECT_EQ(ERROR_SUCCESS, DeleteKeyTree(hBase, "Tree"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key("Tree")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteKeyTree(hBase, "Tree"));
    RegCloseKey(hBase);
}
