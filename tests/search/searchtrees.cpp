// Folder trees for the search tests: see searchtrees.h.
#include "searchtrees.h"
#include "serverfixture.h"
#include <gtest/gtest.h>
#include <shlobj.h>

bool MakeTree(const std::string &root, const std::vector<std::string> &entries)
{
    for (const std::string &entry : entries) {
        size_t at = entry.find_first_of("=<");
        std::string path = root + "\\" + entry.substr(0, at);
        int r = SHCreateDirectoryExA(NULL, path.substr(0, path.find_last_of('\\')).c_str(), NULL);
        if (r != ERROR_SUCCESS && r != ERROR_ALREADY_EXISTS)
            return false;
        if (path.back() == '\\')
            continue;
        std::string bytes = at == std::string::npos ? "" : entry.substr(at + 1);
        if (at != std::string::npos && entry[at] == '<' &&
            !ReadFileBytes(BuildRoot() + "\\tests\\sysops\\fixtures\\" + bytes, &bytes))
            return false;
        if (!WriteFileBytes(path, bytes))
            return false;
    }
    return true;
}

std::string TreeDrives::Drive(char chLetter, UINT uType, const std::vector<std::string> &entries)
{
    m_folders.emplace_back(new TempDir);
    const std::string &folder = m_folders.back()->Path();
    EXPECT_TRUE(MakeTree(folder, entries)) << folder;
    EXPECT_TRUE(m_drives.Map(chLetter, uType, folder)) << chLetter << ": " << folder;
    return folder;
}
