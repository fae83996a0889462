// What the sysops tests share: where the built fixtures are, and file
// contents (the file-time helpers are the shared ones of tests/support).
#ifndef VUR_TEST_SYSOPSFIXTURES_H
#define VUR_TEST_SYSOPSFIXTURES_H

#include "support/testfiles.h"
#include "support/testmain.h"
#include "support/testtimes.h"

inline std::string FixturePath(const std::string &name)
{
    std::string path = ThisProgramPath();
    return path.substr(0, path.find_last_of('\\') + 1) + "fixtures\\" + name;
}

inline std::string FileText(const std::string &path)
{
    std::string bytes;
    return ReadFileBytes(path, &bytes) ? bytes : "(unreadable)";
}

#endif
