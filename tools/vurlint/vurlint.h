// vurlint's command line, callable in-process (the tests run it so).
#ifndef VURLINT_VURLINT_H
#define VURLINT_VURLINT_H

#include <string>
#include <vector>

// args without the program name. Appends what the tool prints to *pOut;
// gives the exit code: 0 clean, 1 errors (or a file that cannot be read),
// 2 bad usage.
int RunVurlint(const std::vector<std::string> &args, std::string *pOut);

#endif
