// Registry helpers of the server tests: private key trees deleted before
// and after a test, and readers that say what they found.
#ifndef VUR_TEST_REGTESTKEYS_H
#define VUR_TEST_REGTESTKEYS_H

#include <windows.h>
#include <string>

// HKCU\Software\VurTest: the private tree of the registrar tests.
#define TEST_KEY_PATH "Software\\VurTest"

void DeleteTestTree(HKEY hRoot, const std::string &path);

// Deletes root\path with everything below it now and when the object goes.
struct PrivateKeyTree {
    HKEY hRoot;
    std::string path;
    PrivateKeyTree(HKEY hRootIn, const std::string &pathIn) : hRoot(hRootIn), path(pathIn) { DeleteTestTree(hRoot, path); }
    ~PrivateKeyTree() { DeleteTestTree(hRoot, path); }
};

bool KeyExists(HKEY hRoot, const std::string &path);
int CountSubkeys(HKEY hRoot, const std::string &path);   // -1: no key
// Sets a REG_SZ value (name "" for the default value); creates the key.
bool SetTestString(HKEY hRoot, const std::string &path, const char *pszName, const std::string &value);

// "<type>:<data>" of a value: text for REG_SZ, decimal for REG_DWORD,
// hexadecimal bytes for the others; "(none)" when it cannot be read.
std::string ReadTestValue(HKEY hRoot, const std::string &path, const char *pszName);

// Every key from root\path down with its values, one line each, in
// enumeration order; "" when the key does not exist.
std::string DumpTestTree(HKEY hRoot, const std::string &path);

// A script whose body is run inside HKCU\Software\VurTest (both kept).
std::string UnderTestKey(const std::string &body);

#endif
