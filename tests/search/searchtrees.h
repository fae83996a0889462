// Drives made of small folder trees for the tests that search the fixed
// disks: while an object lives, the machine's only fixed drives are the
// ones it makes (C: and Z: are network drives meanwhile).
#ifndef VUR_TEST_SEARCHTREES_H
#define VUR_TEST_SEARCHTREES_H

#include "support/drives.h"
#include "support/testfiles.h"
#include <memory>
#include <string>
#include <vector>

// Makes the entries under root, with any folders they need. Each entry is
// a path relative to root: "dir\" a folder, "name" an empty file,
// "name=TEXT" a file holding TEXT, "name<FIXTURE" a copy of a library
// built for the sysops tests (tests\sysops\fixtures: ver_us_1015.dll with
// FileVersion 1, 0, 1, 5, ver_us_950.dll with 4, 0, 0, 950, plain.dll
// without a version resource).
bool MakeTree(const std::string &root, const std::vector<std::string> &entries);

class TreeDrives {
public:
    // A fresh folder holding the entries, shown as chLetter: of that type;
    // gives the folder's own path (on C:).
    std::string Drive(char chLetter, UINT uType, const std::vector<std::string> &entries);
    bool ok() const { return m_drives.ok(); }

private:
    std::vector<std::unique_ptr<TempDir>> m_folders;
    SearchDrives m_drives;      // goes first: the letters before their folders
};

#endif
