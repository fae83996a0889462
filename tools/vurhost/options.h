// vurhost's command line.
#ifndef VURHOST_OPTIONS_H
#define VURHOST_OPTIONS_H

#include <windows.h>
#include <string>
#include <utility>
#include <vector>

struct HostOptions {
    std::string script;                                     // SCRIPT
    std::vector<std::pair<std::string, std::string>> params; // --param NAME=VALUE, in order
    std::string root;                                       // --root DIR; empty: the script's folder
    std::string transcript;                                 // --transcript FILE; empty: none
    std::vector<std::string> dlerrPatterns;                 // --dlerr PATTERN
    bool dialogsOk = true;                                  // --dialogs ok|leave
    DWORD timeoutSeconds = 600;                             // --timeout SECONDS
    bool quiet = false;                                     // --quiet
    bool help = false;                                      // --help
};

// Parses the arguments after the program name (UTF-8). False with a
// message in *pError on bad usage. "--help" anywhere wins over the rest.
bool ParseOptions(const std::vector<std::string> &args, HostOptions *pOptions, std::string *pError);

// The text that --help prints.
const char *UsageText();

#endif
