// What the sysops tests share: where the built fixtures are, and how Wine
// reports a creation time (the file-time helpers are the shared ones).
#ifndef VUR_TEST_SYSOPSFIXTURES_H
#define VUR_TEST_SYSOPSFIXTURES_H

#include <windows.h>
#include <string>
#include "support/testmain.h"
#include "support/testtimes.h"

// A fixture built beside the test program, in its fixtures folder.
std::string FixturePath(const std::string &name);

// The creation time that reading a file's times gives after ftCreation and
// ftLastWrite were set. Wine difference: on a Unix file system Wine keeps
// no creation time of its own; it reports the last-write time as the
// creation time and drops a creation time that is set.
FILETIME CreationTimeAsRead(const FILETIME &ftCreation, const FILETIME &ftLastWrite);

#endif
