// The server's command-line switches: "RegServer" and "UnregServer" after
// "-" or "/".
#ifndef VUR_COMMANDLINE_H
#define VUR_COMMANDLINE_H

enum ServerSwitch {
    SWITCH_NONE = 0,            // serve
    SWITCH_REGSERVER = 1,
    SWITCH_UNREGSERVER = 2
};

// Scans the whole command line (program path included). A switch matches
// only when it is the whole rest of the line after its "-" or "/",
// compared without regard to case. A null line gives SWITCH_NONE.
ServerSwitch ScanCommandLine(const char *pszLine);

#endif
