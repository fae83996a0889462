// Folder trees for the search tests: see searchtrees.h.
#include "searchtrees.h"
#include "serverfixture.h"
#include <gtest/gtest.h>

static bool MakeFolders(const std::string &path)
{
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), NULL);
    return GetFileAttributesA(path.substr(0, path.find_last_of('\\')).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeTree(const std::string &root, const std::vector<std::string> &entries)
{
    for (const std::string &entry : entries) {
        size_t at = entry.find_first_of("=<");
        std::string path = root + "\\" + entry.substr(0, at);
        if (!MakeFolders(path))
            return false;
        if (path.back() == '\\')
            continue;
        std::string bytes;
        if (at != std::string::npos && entry[at] == '<') {
            if (!ReadFileBytes(BuildRoot() + "\\tests\\sysops\\fixtures\\" + entry.substr(at + 1), &bytes))
                return false;
        } else if (at != std::string::npos) {
            bytes = entry.substr(at + 1);
        }
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
