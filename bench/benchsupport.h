// What the benchmarks that run vurhost share: a clock, the build tree's
// programs, and a run of vurhost whose transcript is read while it grows,
// so that the time of each line is known.
#ifndef VUR_BENCH_BENCHSUPPORT_H
#define VUR_BENCH_BENCHSUPPORT_H

#include <windows.h>
#include <functional>
#include <string>

// Seconds from an arbitrary start.
double Now();

// Folder of the running benchmark program (build\<arch>\bench).
std::string ProgramFolder();

// Runs vurhost on the script with these extra options and its transcript
// in transcriptPath, its own output thrown away; onLine sees each
// transcript line with the time it was read (every 5 ms at the most).
// Gives vurhost's exit status (-1: it did not start) and its wall time.
long RunVurhostFollowing(const std::string &scriptPath, const std::string &options,
                         const std::string &transcriptPath,
                         const std::function<void(const std::string &line, double t)> &onLine,
                         double *pWallSeconds);

#endif
