// End-to-end cases as data: a .case file runs vurhost (one or more times)
// against the real server with the options it names, and gives the
// transcript, the exit status and the servers left running that each run
// must show.
//
// A case file holds, line by line:
//   // comment            ignored
//   script: NAME          the script, in the cases' files/ folder (its downloads too)
//   drive: L TYPE FOLDER  before the runs, the drive L: shows files/FOLDER
//                         (TYPE: fixed, removable, cdrom or network); only
//                         for the runners that shape drives
//   run: OPTIONS          starts a run of vurhost with these options
//   > ... < ... # ...     the run's transcript, in order
//   ! CAPTION | TEXT      a message box of the run: found by a thread that
//                         polls, so compared as a set, not in order
//   !? CAPTION | TEXT     a box that may show: the server's end may close it
//                         before it is seen
//   exit: N               the run's exit status
//   servers: N            installer.exe processes running after the run
// In transcripts, <files> stands for the files/ folder and <downloads> for
// vurhost's download folder.
#ifndef VUR_TEST_HOSTCASE_H
#define VUR_TEST_HOSTCASE_H

#include "vurhostrun.h"
#include <string>
#include <vector>

struct HostRun {
    std::string options;
    Lines transcript;           // without the message-box lines
    Lines boxes;
    Lines optionalBoxes;
    long exitCode = -1;
    long servers = -1;          // not checked when not given
};

struct HostCase {
    std::string script;
    Lines drives;               // "L TYPE FOLDER" of each drive: line
    std::vector<HostRun> runs;
};

// folder: a Windows path holding the .case files and files/.
HostCase ReadHostCase(const std::string &folder, const std::string &name);
std::vector<std::string> HostCaseNames(const std::string &folder);
// Runs every run of the case and checks what each must show.
void RunHostCase(const std::string &folder, const HostCase &c);
// A test name made of the case file's name.
std::string HostCaseTestName(const std::string &fileName);

#endif
