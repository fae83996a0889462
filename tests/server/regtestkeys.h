// Registry helpers of the server tests: private key trees deleted before
// and after each test, readers that say what they found, and a dump of a
// key tree for comparing whole states.
#ifndef VUR_TEST_REGTESTKEYS_H
#define VUR_TEST_REGTESTKEYS_H

#include <windows.h>
#include <string>

// HKCU\Software\VurTest: the private tree of the registrar tests.
#define TEST_KEY_PATH "Software\\VurTest"

// Deletes root\path with everything below it now and when the object goes.
class PrivateKeyTree {
public:
    PrivateKeyTree(HKEY hRoot, const std::string &path);
    ~PrivateKeyTree();

private:
    HKEY m_hRoot;
    std::string m_path;
};

void DeleteTestTree(HKEY hRoot, const std::string &path);
bool KeyExists(HKEY hRoot, const std::string &path);
// Sets a REG_SZ value (name "" for the default value); creates the key.
bool SetTestString(HKEY hRoot, const std::string &path, const char *pszName, const std::string &value);

// "<type>:<data>" of a value, data as text for REG_SZ, decimal for
// REG_DWORD, hexadecimal bytes for the others; "(none)" when it cannot be read.
std::string ReadTestValue(HKEY hRoot, const std::string &path, const char *pszName);
int CountSubkeys(HKEY hRoot, const std::string &path);   // -1: no key
int CountValues(HKEY hRoot, const std::string &path);    // -1: no key

// Every key below root\path with its values, one line each, in enumeration
// order; "(none)" when the key does not exist.
std::string DumpTestTree(HKEY hRoot, const std::string &path);

// A script whose body is run inside HKCU\Software\VurTest (both kept).
std::string UnderTestKey(const std::string &body);

#endif
