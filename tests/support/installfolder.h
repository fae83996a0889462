// Sets the install folder value (HKEY_LOCAL_MACHINE "Software\VUR", default
// value) for a test and puts the previous state back afterwards.
#ifndef VUR_TEST_INSTALLFOLDER_H
#define VUR_TEST_INSTALLFOLDER_H

#include <windows.h>
#include <string>

class InstallFolderValue {
public:
    explicit InstallFolderValue(const std::string &folder);     // sets it
    InstallFolderValue();                                        // removes it
    ~InstallFolderValue();

private:
    void Save();
    bool m_bHad;
    std::string m_previous;
};

#endif
