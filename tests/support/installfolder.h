// Sets the install folder value (HKEY_LOCAL_MACHINE "Software\VUR", default
// value) for a test and puts the previous state back afterwards, in one
// view of the registry: the one the component under test reads (0: this
// program's own; a 32-bit server reads HKLM\Software through the 32-bit
// view, KEY_WOW64_32KEY).
#ifndef VUR_TEST_INSTALLFOLDER_H
#define VUR_TEST_INSTALLFOLDER_H

#include <windows.h>
#include <string>

class InstallFolderValue {
public:
    // An empty folder removes the value.
    explicit InstallFolderValue(const std::string &folder, REGSAM samView = 0);
    ~InstallFolderValue() { Put(m_previous); }

private:
    void Put(const std::string &folder);
    REGSAM m_samView;
    std::string m_previous;     // empty: there was none
};

#endif
