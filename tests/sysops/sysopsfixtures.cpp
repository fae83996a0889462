// Shared helpers of the sysops tests: see sysopsfixtures.h.
#include "sysopsfixtures.h"
#include "support/testmain.h"

std::string FixturePath(const std::string &name)
{
    std::string path = ThisProgramPath();
    return path.substr(0, path.find_last_of('\\') + 1) + "fixtures\\" + name;
}

FILETIME CreationTimeAsRead(const FILETIME &ftCreation, const FILETIME &ftLastWrite)
{
    return RunningOnWine() ? ftLastWrite : ftCreation;
}
