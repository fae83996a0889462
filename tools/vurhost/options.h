// vurhost's command line.
#ifndef VURHOST_OPTIONS_H
#define VURHOST_OPTIONS_H

#include <windows.h>
#include <string>
#include <utility>
#include <vector>

// How DOWNLOAD requests are answered.
enum AnswerMode {
    ANSWER_AFTER,       // after the component's call has returned (an asynchronous plug-in)
    ANSWER_INSIDE,      // from inside the component's DOWNLOAD call
    ANSWER_TWICE        // a [DL] file's request from inside, with DLDONE sent twice; the script's once
};

// A host call made when the component makes its n-th call EVENT (CmptOut or
// a command name such as DOWNLOAD, SETMSG, SEND): from inside that call, or
// by the main loop once it has returned. ACTION: Unadvise, ForceRemove,
// INSTALL, DLDONE, exit (release the component without Unadvise and end),
// die (end the process at once, as a crashed plug-in does).
struct HostReaction {
    std::string event;
    unsigned n = 1;
    std::string action;
    bool bInside = true;
};

struct HostOptions {
    std::string script;                                     // SCRIPT
    std::vector<std::pair<std::string, std::string>> params; // --param NAME=VALUE, in order
    std::string root;                                       // --root DIR; empty: the script's folder
    std::string transcript;                                 // --transcript FILE; empty: none
    std::vector<std::string> dlerrPatterns;                 // --dlerr PATTERN
    bool dialogsOk = true;                                  // --dialogs ok|leave
    DWORD timeoutSeconds = 600;                             // --timeout SECONDS
    bool quiet = false;                                     // --quiet
    AnswerMode answer = ANSWER_AFTER;                       // --answer after|inside|twice
    std::vector<HostReaction> reactions;                    // --inside / --after EVENT[#N]=ACTION
    bool help = false;                                      // --help
};

// Parses the arguments after the program name (UTF-8). False with a
// message in *pError on bad usage. "--help" anywhere wins over the rest.
bool ParseOptions(const std::vector<std::string> &args, HostOptions *pOptions, std::string *pError);

// The text that --help prints.
const char *UsageText();

#endif
