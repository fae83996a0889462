// The registrar's block procedure: one call per { } block, creating keys
// and writing values in register mode, removing what the block describes in
// unregister mode while sparing keys that are shared with other software.
#include "server/registrar.h"
#include "sysops/handles.h"

#define READ_TOKEN(buf)                                 \
    do {                                                \
        HRESULT hrRead = ReadToken(buf, REGISTRAR_TOKEN_SIZE); \
        if (FAILED(hrRead))                             \
            return hrRead;                              \
    } while (0)

#define CHECK(expr)                                     \
    do {                                                \
        HRESULT hrCheck = (expr);                       \
        if (FAILED(hrCheck))                            \
            return hrCheck;                             \
    } while (0)

static bool IsWord(const char *pszToken, const char *pszWord)
{
    return lstrcmpiA(pszToken, pszWord) == 0;
}

// One level, and named: an empty name would open, delete or roll back the
// parent key itself, a key that the script never named.
static bool IsKeyName(const char *pszToken)
{
    if (!*pszToken)
        return false;
    for (const char *p = pszToken; *p; p++)
        if (*p == '\\')
            return false;
    return true;
}

// Keys that many classes share: never removed as a tree.
static bool IsProtectedKeyName(const char *pszName)
{
    return IsWord(pszName, "CLSID") || IsWord(pszName, "TYPELIB");
}

static int HexDigitValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    return 0;
}

// Makes hNew the block's current key, closing the one it replaces.
static void ReplaceKey(RegKey &current, HKEY hNew)
{
    if (current.h)
        RegCloseKey(current.h);
    current.h = hNew;
}

HRESULT Registrar::SkipValueSpec(char *pszToken)
{
    if (pszToken[0] != '=')
        return S_OK;
    READ_TOKEN(pszToken);
    SkipBlanks();
    char szValue[REGISTRAR_TOKEN_SIZE];
    READ_TOKEN(szValue);
    READ_TOKEN(pszToken);
    return S_OK;
}

// On entry the token "=" has been read; writes the value that follows and
// leaves the next token in pszToken.
HRESULT Registrar::WriteValue(HKEY hKey, LPCSTR pszValueName, char *pszToken)
{
    char szType[REGISTRAR_TOKEN_SIZE];
    READ_TOKEN(szType);
    bool bString = IsWord(szType, "S");
    bool bDword = IsWord(szType, "D");
    bool bBinary = IsWord(szType, "B");
    if (!bString && !bDword && !bBinary)
        return DISP_E_EXCEPTION;
    SkipBlanks();
    char szValue[REGISTRAR_TOKEN_SIZE];
    READ_TOKEN(szValue);

    // A value that cannot be written does not stop the script.
    if (bString) {
        RegSetValueExA(hKey, pszValueName, 0, REG_SZ, (const BYTE *)szValue, lstrlenA(szValue) + 1);
    } else if (bDword) {
        WCHAR wszValue[REGISTRAR_TOKEN_SIZE];
        if (!MultiByteToWideChar(CP_ACP, 0, szValue, -1, wszValue, REGISTRAR_TOKEN_SIZE))
            wszValue[0] = 0;
        // A text that the conversion rejects is written as 0.
        ULONG ulValue = 0;
        if (FAILED(VarUI4FromStr(wszValue, 0, 0, &ulValue)))
            ulValue = 0;
        DWORD dwValue = ulValue;
        RegSetValueExA(hKey, pszValueName, 0, REG_DWORD, (const BYTE *)&dwValue, sizeof dwValue);
    } else {
        int cch = lstrlenA(szValue);
        if (cch % 2)
            return E_FAIL;
        BYTE abData[REGISTRAR_TOKEN_SIZE / 2];
        ZeroMemory(abData, sizeof abData);
        for (int i = 0; i < cch; i++)
            abData[i / 2] |= (BYTE)(HexDigitValue(szValue[i]) << ((i % 2) ? 0 : 4));
        RegSetValueExA(hKey, pszValueName, 0, REG_BINARY, abData, cch / 2);
    }
    READ_TOKEN(pszToken);
    return S_OK;
}

// The end of an entry: in register mode a lone "{" opens the block of the
// key that the block opened last.
HRESULT Registrar::EndOfEntry(char *pszToken, HKEY hKey, BOOL bRegister)
{
    if (bRegister && pszToken[0] == '{' && pszToken[1] == '\0') {
        CHECK(ProcessBlock(pszToken, hKey, TRUE, FALSE));
        READ_TOKEN(pszToken);
    }
    return S_OK;
}

// Called just behind a block's "{"; returns with the block's closing token
// in pszToken. Every key opened here is closed on return (RegKey).
HRESULT Registrar::ProcessBlock(char *pszToken, HKEY hParent, BOOL bRegister, BOOL bRecover)
{
    // Bounded so that a hostile text cannot exhaust the stack. The rollback
    // of a block that fails here meets the same bound, so keys made above
    // it may stay.
    if (m_nDepth >= REGISTRAR_MAX_DEPTH)
        return DISP_E_EXCEPTION;
    struct DepthGuard {
        int &n;
        explicit DepthGuard(int &r) : n(r) { n++; }
        ~DepthGuard() { n--; }
    } depth(m_nDepth);

    RegKey current;
    BOOL bDeleteAllowed = TRUE;
    const BOOL bRecoverAtEntry = bRecover;
    char szSavedKey[REGISTRAR_NAME_SIZE] = "";
    char szValueName[REGISTRAR_NAME_SIZE];

    READ_TOKEN(pszToken);
    for (;;) {
        if (pszToken[0] == '}')
            return S_OK;

        bool bDelete = IsWord(pszToken, "Delete");
        if (bDelete || IsWord(pszToken, "ForceRemove")) {
            READ_TOKEN(pszToken);
            // In unregister mode both keywords only introduce the key name.
            if (bRegister) {
                if (!IsKeyName(pszToken))
                    return DISP_E_EXCEPTION;
                if (!IsProtectedKeyName(pszToken))
                    DeleteKeyTree(hParent, pszToken);
                if (bDelete) {
                    READ_TOKEN(pszToken);
                    CHECK(SkipValueSpec(pszToken));
                    CHECK(EndOfEntry(pszToken, current.h, bRegister));
                    continue;
                }
            }
        }

        if (IsWord(pszToken, "NoRemove")) {
            bDeleteAllowed = FALSE;     // for every later entry of this block
            READ_TOKEN(pszToken);
        }

        if (IsWord(pszToken, "Val")) {
            CHECK(ReadToken(szValueName, sizeof szValueName));
            READ_TOKEN(pszToken);
            if (pszToken[0] != '=')
                return DISP_E_EXCEPTION;
            if (bRegister) {
                CHECK(WriteValue(hParent, szValueName, pszToken));
                CHECK(EndOfEntry(pszToken, current.h, bRegister));
            } else {
                if (!bRecover)
                    RegDeleteValueA(hParent, szValueName);
                CHECK(SkipValueSpec(pszToken));
            }
            continue;
        }

        if (!IsKeyName(pszToken))
            return DISP_E_EXCEPTION;

        if (bRegister) {
            HKEY hKey = NULL;
            if (RegOpenKeyExA(hParent, pszToken, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS &&
                RegOpenKeyExA(hParent, pszToken, 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
                DWORD dwDisposition;
                if (RegCreateKeyExA(hParent, pszToken, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                    NULL, &hKey, &dwDisposition) != ERROR_SUCCESS)
                    return DISP_E_EXCEPTION;
            }
            ReplaceKey(current, hKey);
            READ_TOKEN(pszToken);
            if (pszToken[0] == '=')
                CHECK(WriteValue(current.h, NULL, pszToken));
            CHECK(EndOfEntry(pszToken, current.h, bRegister));
            continue;
        }

        // Unregister mode. A key that cannot be opened switches this block to
        // recovery: nothing is opened or deleted until an entry with a
        // nested block has been passed.
        if (!bRecover) {
            HKEY hKey = NULL;
            if (RegOpenKeyExA(hParent, pszToken, 0, KEY_READ, &hKey) == ERROR_SUCCESS)
                ReplaceKey(current, hKey);
            else
                bRecover = TRUE;
        }
        lstrcpynA(szSavedKey, pszToken, sizeof szSavedKey);

        // A key with nothing but its default value goes at once, before
        // anything after its name is looked at.
        bool bDeleteNow = !bRecover && !HasSubkeys(current.h) && !HasNamedValues(current.h);
        if (!bDeleteNow) {
            READ_TOKEN(pszToken);
            CHECK(SkipValueSpec(pszToken));
            if (pszToken[0] == '{') {
                CHECK(ProcessBlock(pszToken, current.h, FALSE, bRecover));
                if (bRecover) {
                    bRecover = bRecoverAtEntry;
                    READ_TOKEN(pszToken);
                    CHECK(SkipValueSpec(pszToken));
                    continue;
                }
            } else if (bRecover) {
                continue;
            }
            if (HasSubkeys(current.h)) {
                // The key stays; only a subkey bearing its own name goes.
                if (!IsProtectedKeyName(szSavedKey))
                    DeleteKeyTree(current.h, szSavedKey);
                READ_TOKEN(pszToken);
                continue;
            }
        }

        LONG lClose = RegCloseKey(current.h);
        current.h = NULL;
        if (lClose != ERROR_SUCCESS)
            return DISP_E_EXCEPTION;
        if (bDeleteAllowed)
            RegDeleteKeyA(hParent, szSavedKey);
        READ_TOKEN(pszToken);
        CHECK(SkipValueSpec(pszToken));
        // The key's own nested block, if it has one, is passed over without
        // touching the registry: the key is gone, so none of it can exist.
        // (Read as the next key's name, its "{" would end this block at the
        // nested block's closing brace.)
        if (pszToken[0] == '{' && pszToken[1] == '\0') {
            CHECK(ProcessBlock(pszToken, NULL, FALSE, TRUE));
            READ_TOKEN(pszToken);
            CHECK(SkipValueSpec(pszToken));
        }
    }
}
