// regscript's command line, callable in-process (the tests run it so).
#ifndef REGSCRIPT_REGSCRIPT_H
#define REGSCRIPT_REGSCRIPT_H

#include <string>
#include <vector>

// args without the program name. Appends what the tool prints to *pOut;
// gives the exit code: 0 the runs succeeded, 1 a run failed or the file
// cannot be read, 2 bad usage.
int RunRegscript(const std::vector<std::string> &args, std::string *pOut);

#endif
