// Private temporary folders and small file helpers for the tests.
#ifndef VUR_TEST_TESTFILES_H
#define VUR_TEST_TESTFILES_H

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

// Calls fn for each entry of a folder but "." and "..".
void ForEachFile(const std::string &folder, const std::function<void(const WIN32_FIND_DATAA &)> &fn);

// Deletes a file, or a folder with all it holds; a missing path is no error.
void DeleteTree(const std::string &path);

// A fresh folder under the temp folder, deleted with everything in it when
// the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir() { DeleteTree(m_path); }
    const std::string &Path() const { return m_path; }
    std::string operator/(const std::string &name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

bool WriteFileBytes(const std::string &path, const std::string &bytes);
bool ReadFileBytes(const std::string &path, std::string *pBytes);
inline bool FileExists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Writes to for each from in *pText.
void ReplaceAll(std::string *pText, const std::string &from, const std::string &to);

// The lines of a text (LF or CR LF line ends), without their line ends.
std::vector<std::string> SplitLines(const std::string &text);

#endif
