// Temporary folders and file helpers: see testfiles.h.
#include "support/testfiles.h"
#include "sysops/handles.h"
#include <sstream>

TempDir::TempDir()
{
    static LONG s_nNext;
    char szTemp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof szTemp, szTemp);
    m_path = std::string(n && n < sizeof szTemp ? szTemp : "C:\\") + "vurtest-" +
             std::to_string(GetCurrentProcessId()) + "-" + std::to_string(InterlockedIncrement(&s_nNext));
    DeleteTree(m_path);
    CreateDirectoryA(m_path.c_str(), NULL);
}

bool WriteFileBytes(const std::string &path, const std::string &bytes)
{
    FileHandle file;
    file.h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD dwWritten = 0;
    return WriteFile(file.h, bytes.data(), (DWORD)bytes.size(), &dwWritten, NULL) && dwWritten == bytes.size();
}

bool ReadFileBytes(const std::string &path, std::string *pBytes)
{
    FileHandle file;
    file.h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD dwSize = GetFileSize(file.h, NULL), dwRead = 0;
    if (dwSize == INVALID_FILE_SIZE)
        return false;
    pBytes->assign(dwSize, '\0');
    return dwSize == 0 || (ReadFile(file.h, &(*pBytes)[0], dwSize, &dwRead, NULL) && dwRead == dwSize);
}

void ForEachFile(const std::string &folder, const std::function<void(const WIN32_FIND_DATAA &)> &fn)
{
    WIN32_FIND_DATAA fd;
    FindHandle find;
    find.h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    for (BOOL b = find.h != INVALID_HANDLE_VALUE; b; b = FindNextFileA(find.h, &fd))
        if (lstrcmpA(fd.cFileName, ".") && lstrcmpA(fd.cFileName, ".."))
            fn(fd);
}

// A walk of our own, that never leaves PATH: the shell's FO_DELETE, tried
// here, emptied the test program's working folder (the build tree) once a
// disk search fault had left the current directory astray.
void DeleteTree(const std::string &path)
{
    DWORD dwAttr = GetFileAttributesA(path.c_str());
    if (dwAttr != INVALID_FILE_ATTRIBUTES && (dwAttr & FILE_ATTRIBUTE_DIRECTORY))
        ForEachFile(path, [&](const WIN32_FIND_DATAA &fd) { DeleteTree(path + "\\" + fd.cFileName); });
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!RemoveDirectoryA(path.c_str()))
        DeleteFileA(path.c_str());
}

void ReplaceAll(std::string *pText, const std::string &from, const std::string &to)
{
    for (size_t at = pText->find(from); !from.empty() && at != std::string::npos; at = pText->find(from, at + to.size()))
        pText->replace(at, from.size(), to);
}

// A CR before an LF is dropped.
std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}
