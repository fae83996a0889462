// Tests of the registrar: variable expansion, tokens and quoting, values,
// syntax errors, rollback, and the register and unregister rules.
#include "server/registrar.h"
#include "regtestkeys.h"
#include <gtest/gtest.h>
#include <sstream>

static HRESULT RunScript(const std::string &script, BOOL bRegister)
{
    Registrar registrar;
    return registrar.RunRegistryScript(script.c_str(), bRegister);
}

static std::string Key(const std::string &sub)
{
    return std::string(TEST_KEY_PATH) + "\\" + sub;
}

// The keys below HKCU\Software\VurTest, as "A A\B ...", in enumeration order.
static std::string KeysBelowTestKey()
{
    std::istringstream dump(DumpTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH));
    std::string keys;
    for (std::string line; std::getline(dump, line);) {
        if (line.compare(0, sizeof TEST_KEY_PATH, TEST_KEY_PATH "\\") == 0)
            keys += (keys.empty() ? "" : " ") + line.substr(sizeof TEST_KEY_PATH);
    }
    return keys;
}

class RegistrarTest : public ::testing::Test {
protected:
    PrivateKeyTree m_tree{HKEY_CURRENT_USER, TEST_KEY_PATH};
};

TEST(RegistrarExpand, Variables)
{
    Registrar r;
    ASSERT_EQ(S_OK, r.AddReplacement(L"Module", L"C:\\PROGRA~1\\INSTAL~1.EXE"));
    ASSERT_EQ(S_OK, r.AddReplacement(L" a b ", L"blank name"));
    ASSERT_EQ(S_OK, r.AddReplacement(L"Quote", L"it's"));
    ASSERT_EQ(S_OK, r.AddReplacement(L"Empty", L""));
    ASSERT_EQ(S_OK, r.AddReplacement(L"N234567890123456789012345678901", L"31"));
    ASSERT_EQ(S_OK, r.AddReplacement(L"module", L"second pair"));
    static const struct {
        const char *pszIn;
        HRESULT hr;
        const char *pszOut;
    } cases[] = {
        { "", S_OK, "" },
        { "x'%MODULE%'y", S_OK, "x'C:\\PROGRA~1\\INSTAL~1.EXE'y" },   // any case; the first pair wins
        { "'100%%' %%%% %%MODULE%%", S_OK, "'100%' %% %MODULE%" },
        { "[% a b %]", S_OK, "[blank name]" },
        { "'%Quote%'", S_OK, "'it's'" },            // inserted as it is, quote not doubled
        { "a%Empty%b", S_OK, "ab" },
        { "%N234567890123456789012345678901%", S_OK, "31" },
        { "\xe9t\xe9 %%", S_OK, "\xe9t\xe9 %" },
        { "abc%", DISP_E_EXCEPTION, NULL },
        { "%Unknown%", DISP_E_EXCEPTION, NULL },
        { "%N2345678901234567890123456789012%", E_FAIL, NULL },        // 32 bytes
        { "%N2345678901234567890123456789012", DISP_E_EXCEPTION, NULL }, // unclosed first
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszIn);
        char *pszOut = (char *)0x1;
        EXPECT_EQ(c.hr, r.ExpandVariables(c.pszIn, &pszOut));
        if (c.pszOut)
            EXPECT_STREQ(c.pszOut, pszOut);
        else
            EXPECT_EQ(nullptr, pszOut);
        if (SUCCEEDED(c.hr))
            CoTaskMemFree(pszOut);
    }

    // The map grows past its first 10 pairs; a value much longer than twice
    // the script makes the text grow.
    for (int i = 0; i < 25; i++) {
        WCHAR wszName[16];
        wsprintfW(wszName, L"V%d", i);
        ASSERT_EQ(S_OK, r.AddReplacement(wszName, std::wstring(400, L'a' + i % 26).c_str())) << i;
    }
    char *pszOut = NULL;
    ASSERT_EQ(S_OK, r.ExpandVariables("%V0%%V24%b", &pszOut));
    EXPECT_EQ(std::string(400, 'a') + std::string(400, 'y') + "b", pszOut);
    CoTaskMemFree(pszOut);

    EXPECT_EQ(S_OK, r.ClearReplacements());
    EXPECT_EQ(DISP_E_EXCEPTION, r.ExpandVariables("%Module%", &pszOut));
    EXPECT_EQ(E_INVALIDARG, r.AddReplacement(NULL, L"x"));
}

TEST_F(RegistrarTest, QuotingAndValueTypes)
{
    static const struct {
        const char *pszTypeAndValue;     // what follows "val v = "
        const char *pszStored;
    } cases[] = {
        { "s 'it''s'", "REG_SZ:it's" },
        { "s ''", "REG_SZ:" },
        { "s '''x'''", "REG_SZ:'x'" },
        { "s 'a { } = b\tc'", "REG_SZ:a { } = b\tc" },
        { "s it's", "REG_SZ:it's" },
        { "S \xe9t\xe9", "REG_SZ:\xe9t\xe9" },
        { "d '123'", "REG_DWORD:123" },
        { "D 4294967295", "REG_DWORD:4294967295" },
        { "d 'abc'", "REG_DWORD:0" },          // a rejected number is written as 0
        { "d 4294967296", "REG_DWORD:0" },
        { "b 0a1B", "type3:0A1B" },
        { "B 'zz'", "type3:00" },
        { "b ''", "type3:" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszTypeAndValue);
        ASSERT_EQ(S_OK, RunScript(UnderTestKey(std::string("K\r\n{\r\nval v = ") + c.pszTypeAndValue + "\r\n}"), TRUE));
        EXPECT_EQ(c.pszStored, ReadTestValue(HKEY_CURRENT_USER, Key("K"), "v"));
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
        "} } }";
    ASSERT_EQ(S_OK, RunScript(script, TRUE));
    EXPECT_EQ("REG_SZ:in", ReadTestValue(HKEY_CURRENT_USER, Key("Quoted Key"), "Inner"));
    // Without blanks the equals sign and the type join the key name, and
    // the quoted value names the next key.
    EXPECT_EQ("Name=s Next Key Quoted Key", KeysBelowTestKey());
    EXPECT_EQ("REG_SZ:vt", ReadTestValue(HKEY_CURRENT_USER, TEST_KEY_PATH, "a\x0b" "b"));
}

static std::string NestedKeys(int nLevels)
{
    std::string open, close;
    for (int i = 0; i < nLevels; i++) {
        open += "k {\r\n";
        close += "}\r\n";
    }
    return open + close;
}

TEST_F(RegistrarTest, SyntaxErrorsAndLimits)
{
    // Unregister mode does not look at value types, so type errors pass there.
    static const struct {
        const char *pszWhat;
        std::string script;
        HRESULT hrRegister;
        HRESULT hrUnregister;
        bool bPartialRollback = false;   // the rollback stops at the same nesting limit
    } cases[] = {
        { "empty", "", S_OK, S_OK },
        { "blanks only", "\r\n\t \r\n", S_OK, S_OK },
        { "empty root block", " hkcr\r\n{\r\n}\r\n \t", S_OK, S_OK },
        { "unknown root", "HKXX { }", DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "root without block", "HKCU Software { }", DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "block never closed", "HKCU {", DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "text after the blocks", "HKCU { } trailing", DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "two braces close one block", UnderTestKey("K { Sub { }}"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "key name with backslash", UnderTestKey("A\\B = s x"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "Delete name with backslash", UnderTestKey("Delete A\\B"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "val without equals", UnderTestKey("val v s x"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "unknown type", UnderTestKey("K = sz 'x'"), DISP_E_EXCEPTION, S_OK },
        { "odd binary", UnderTestKey("K = b abc"), E_FAIL, S_OK },
        { "missing value", UnderTestKey("K = s"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "unterminated quote", UnderTestKey("K = s 'abc }"), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        // Quoted tokens hold at most 4094 bytes, unquoted ones 4095, value
        // names 259; longer ones are refused, never cut.
        { "quoted 4094", UnderTestKey("val v = s '" + std::string(8188, '\'') + "'"), S_OK, S_OK },
        { "quoted 4095", UnderTestKey("val v = s '" + std::string(4095, 'q') + "'"), DISP_E_EXCEPTION,
          DISP_E_EXCEPTION },
        { "unquoted 4095", UnderTestKey("val v = s " + std::string(4095, 'u')), S_OK, S_OK },
        { "unquoted 4096", UnderTestKey("val v = s " + std::string(4096, 'u')), DISP_E_EXCEPTION, DISP_E_EXCEPTION },
        { "value name 259", UnderTestKey("val " + std::string(259, 'n') + " = s x"), S_OK, S_OK },
        { "value name 260", UnderTestKey("val " + std::string(260, 'n') + " = s x"), DISP_E_EXCEPTION,
          DISP_E_EXCEPTION },
        // 128 nested blocks: the root block, the two wrapping keys and 125.
        { "125 nested keys", UnderTestKey(NestedKeys(125)), S_OK, S_OK },
        { "126 nested keys", UnderTestKey(NestedKeys(126)), DISP_E_EXCEPTION, DISP_E_EXCEPTION, true },
        { "deep text", UnderTestKey("Missing " + NestedKeys(5000)), DISP_E_EXCEPTION, DISP_E_EXCEPTION, true },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszWhat);
        EXPECT_EQ(c.hrRegister, RunScript(c.script, TRUE));
        if (FAILED(c.hrRegister) && !c.bPartialRollback) {
            EXPECT_EQ("", KeysBelowTestKey()) << "the failing block was rolled back";
        }
        EXPECT_EQ(c.hrUnregister, RunScript(c.script, FALSE));
        DeleteTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH);
    }
    // A name missing from the map fails the run before the registry is touched.
    EXPECT_EQ(DISP_E_EXCEPTION, RunScript(UnderTestKey("Made = s 'x'\r\nLater = s '%NotThere%'"), TRUE));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TEST_KEY_PATH)) << "the script's first key was created";
    // A run of 4094 doubled quotes keeps one quote of each pair.
    ASSERT_EQ(S_OK, RunScript(UnderTestKey("val v = s '" + std::string(4094, '\'') + "'"), TRUE));
    EXPECT_EQ("REG_SZ:" + std::string(2047, '\''), ReadTestValue(HKEY_CURRENT_USER, TEST_KEY_PATH, "v"));
}

// An empty name would stand for the key around it: each body below would
// then change, remove or roll back Parent, which it never names. Parent
// stands in for a shared key such as HKCU\Software.
TEST_F(RegistrarTest, EmptyKeyNameIsASyntaxErrorInBothModes)
{
    static const char *const bodies[] = {
        "Delete ''", "ForceRemove '' = s 'x'", "NoRemove ''", "'' = s 'x'", "'' { Sub = s 's' }",
        "Inner { A = s 'a' } ''", "Inner { Delete '' }", "''s",
    };
    for (const char *body : bodies) {
        for (BOOL bRegister : { TRUE, FALSE }) {
            SCOPED_TRACE(std::string(body) + (bRegister ? " (register)" : " (unregister)"));
            ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Parent\\Keep"), "v", "k"));
            std::string before = DumpTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH);
            EXPECT_EQ(DISP_E_EXCEPTION, RunScript(UnderTestKey("NoRemove Parent { " + std::string(body) + " }"), bRegister));
            EXPECT_EQ(before, DumpTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH));
            DeleteTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH);
        }
    }
}

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
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszWhat);
        ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Before"), "", "old"));
        EXPECT_EQ(c.hr, RunScript(first + c.failing, TRUE));
        EXPECT_EQ("REG_SZ:k", ReadTestValue(HKEY_CURRENT_USER, Key("Kept"), ""))
            << "a root block that succeeded is not undone";
        EXPECT_EQ("Kept", KeysBelowTestKey()) << "\"Before\" existed before the run: the rollback removes it too";
        // The unregister walk opens keys for reading only, so a "Val" entry
        // cannot remove a value of a key that stays (Windows 95/98, with no
        // registry security, would remove it); removed keys take theirs along.
        EXPECT_EQ("REG_SZ:n", ReadTestValue(HKEY_CURRENT_USER, TEST_KEY_PATH, "Named"));
        DeleteTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH);
    }
}

TEST_F(RegistrarTest, ForceRemoveDeleteAndProtectedNames)
{
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Forced\\Old\\Deep"), "old", "1"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Forced"), "old", "1"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("Gone\\Sub"), "", "1"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("GoneToo"), "", "1"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("CLSID\\{Other}"), "", "1"));
    ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key("TypeLib\\{Other}"), "", "1"));
    std::string script = UnderTestKey(
        "ForceRemove Forced = s 'fresh' { val new = s 'n' }\r\n"
        "Delete Gone\r\n"
        "Current = s 'c'\r\n"
        "Delete GoneToo = s 'ignored' { UnderCurrent }\r\n"
        "Delete Missing\r\n"
        "ForceRemove clsid = s 'opened'\r\n"
        "Delete TYPELIB");
    ASSERT_EQ(S_OK, RunScript(script, TRUE));
    // A block after a Delete entry belongs to the key the block opened last.
    // Protected names are not deleted, and ForceRemove still opens the key.
    EXPECT_EQ("CLSID CLSID\\{Other} Current Current\\UnderCurrent Forced TypeLib TypeLib\\{Other}", KeysBelowTestKey());
    EXPECT_EQ(TEST_KEY_PATH "\\Forced\n  [] REG_SZ:fresh\n  [new] REG_SZ:n\n", DumpTestTree(HKEY_CURRENT_USER, Key("Forced")));
    EXPECT_EQ("REG_SZ:opened", ReadTestValue(HKEY_CURRENT_USER, Key("CLSID"), ""));
}

TEST_F(RegistrarTest, UnregisterRules)
{
    static const struct {
        const char *pszWhat, *pszBody;
        const char *pszKeys;    // made before, each with a default value; "*": a named value instead
        const char *pszLeft;    // the keys left afterwards
    } cases[] = {
        // A key left with subkeys stays; only its subkey of the same name goes.
        { "shared key", "A { B = s 'b' }", "A\\B A\\A\\Deep A\\Other", "A A\\Other" },
        { "protected same-name subkey", "CLSID = s 'c' { }", "CLSID\\CLSID CLSID\\{Other}",
          "CLSID CLSID\\CLSID CLSID\\{Other}" },
        { "emptied protected key", "TypeLib = s 't'", "TypeLib", "" },
        // A key emptied by its block goes, named values and all.
        { "emptied key", "Named { Child = s 'c' }", "Named* Named\\Child", "" },
        // NoRemove covers its own entry and every later key of its block.
        { "NoRemove", "Sub { Plain = s 'p' NoRemove Later = s 'p' Last = s 'l' }", "Sub\\Plain Sub\\Later Sub\\Last",
          "Sub Sub\\Last Sub\\Later" },
        { "NoRemove first", "NoRemove P1 = s 'p'\r\nP2 = s 'p'", "P1 P2", "P1 P2" },
        // A missing key passes the block over until an entry with a nested
        // block has been passed (that block included).
        { "missing key", "Missing = s 'm'\r\nPresent = s 'p'\r\nWithBlock { Inner = s 'i' }\r\nAfter = s 'a'",
          "Present WithBlock\\Inner After", "Present WithBlock WithBlock\\Inner" },
        // A key removed at once (nothing but its default value) has its block
        // passed over; the entries after it are still handled.
        { "block of a key removed at once", "Empty = s 'e' { Sub = s 's' }\r\nNext = s 'n'", "Empty Next", "" },
        // A key that keeps named values and has no block of its own: the
        // removal step reads on from the token after the key's entry, so the
        // next entry's name is passed over with it.
        { "key with named values, no block", "Named = s 'n'\r\nPassedOver = s 'p'\r\nHandled = s 'h'",
          "Named* PassedOver Handled", "PassedOver" },
        { "keywords only introduce the name", "ForceRemove Forced = s 'f'\r\nDelete Deleted\r\nForceRemove NoRemove Kept",
          "Forced Deleted Kept", "Kept" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszWhat);
        std::istringstream keys(c.pszKeys);
        for (std::string name; keys >> name;) {
            bool bNamed = name.back() == '*';
            ASSERT_TRUE(SetTestString(HKEY_CURRENT_USER, Key(name.substr(0, name.size() - bNamed)), bNamed ? "v" : "", "x"));
        }
        EXPECT_EQ(S_OK, RunScript(UnderTestKey(c.pszBody), FALSE));
        EXPECT_EQ(c.pszLeft, KeysBelowTestKey());
        DeleteTestTree(HKEY_CURRENT_USER, TEST_KEY_PATH);
    }
    // A script none of whose keys exist succeeds and changes nothing.
    EXPECT_EQ(S_OK, RunScript("HKCU { NoSuchKeyForVurTest { Inner = s 'x' { Deeper } val v = s 'x' } }", FALSE));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "NoSuchKeyForVurTest"));
}
