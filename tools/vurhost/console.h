// vurhost's console output: progress and reports on stdout, problems on
// stderr. Safe to call from any thread.
#ifndef VURHOST_CONSOLE_H
#define VURHOST_CONSOLE_H

#include <string>

// Writes one UTF-8 line: as UTF-16 to a console window, as UTF-8 bytes to
// a file or pipe.
void SayLine(const std::string &line);
void SayErrorLine(const std::string &line);

#endif
