// The transcript: every call between host and component, one per line, in
// the order they happen, UTF-8, each line ended by LF:
//   "> Name ..."  the host's calls      "< Name ..."  the component's calls
//   "! CAPTION | TEXT"  a message box   "# event"     a host-side event
#ifndef VURHOST_TRANSCRIPT_H
#define VURHOST_TRANSCRIPT_H

#include <windows.h>
#include <string>

class Transcript {
public:
    Transcript();
    ~Transcript();
    Transcript(const Transcript &) = delete;
    Transcript &operator=(const Transcript &) = delete;

    // Creates (or empties) the file; false when it cannot be written.
    bool Open(const std::string &path);
    // Writes the line at once (the process may be ended at any moment).
    // Without a file nothing is written. Safe from any thread.
    void Line(const std::string &line);

private:
    CRITICAL_SECTION m_cs;
    HANDLE m_hFile;
};

#endif
