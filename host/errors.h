// Error codes sent to the host as NUMERR.
#ifndef VUR_ERRORS_H
#define VUR_ERRORS_H

enum {
    ERR_SCRIPT_OPEN = 1,        // the downloaded install script cannot be opened
    ERR_DOWNLOAD = 2,           // the host answered a download with DLERR
    ERR_COPY = 3,
    ERR_EXEC = 4,
    ERR_REGISTER = 5,
    ERR_MKDIR = 6,
    ERR_COPYPLUGIN = 10,
    ERR_EVENT = 11,             // the install thread's event cannot be created
    ERR_THREAD = 12,            // the install thread cannot be started
    ERR_COPYVER = 13,
    ERR_COPYDATE = 14
};

#endif
