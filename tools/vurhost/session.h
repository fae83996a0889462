// One run of vurhost: creates the component, hands it the script and the
// parameters, serves it until it ends, and gives the exit status.
#ifndef VURHOST_SESSION_H
#define VURHOST_SESSION_H

#include "options.h"

enum HostExitStatus {
    EXIT_RESULT_REPORT = 0,
    EXIT_ERROR_REPORT = 1,
    EXIT_BAD_USAGE = 2,
    EXIT_NOT_CREATED = 3,
    EXIT_TIMEOUT = 4,
    EXIT_NO_REPORT = 5,
    EXIT_LEFT = 6,              // --inside/--after ...=exit: the component was released without Unadvise
    EXIT_DIED = 7,              // --inside/--after ...=die
    EXIT_RELAUNCH = 8           // the component closed the browsers and ended without a report
};

// The calling thread must not have initialised COM yet.
int RunHostSession(const HostOptions &options);

#endif
