// The format of the end-to-end cases (their runner is e2e_tests.cpp). Each
// folder under tests/e2e/ is a case: a case.txt, its script and the files
// the script downloads. The runner follows case.txt line by line: it
// prepares what the case asks for, runs vurhost against the real server (or
// another program) one or more times, compares each run's transcript,
// message boxes, exit status and servers left running, and checks the disk
// and the registry where the case says.
//
// case.txt, line by line (paths and texts may use the tokens below):
//   // comment
// Setup (before the first run, or between runs):
//   script: NAME            the script vurhost is given: <case>\NAME (none:
//                           each run's options name what it is given);
//                           before the first run
//   installdir: PATH        the install folder value (default <install>)
//   copy: FROM TO           copies a file
//   write: PATH TEXT        writes TEXT (\n for a line end) into a file
//   mkdir: PATH             makes a folder
//   settime: PATH Y-M-D h:m:s   sets a file's last write time (UTC)
//   drive: L TYPE           <work>\drive-L shown as L: (fixed, removable,
//                           cdrom, network); while a case has drives they
//                           are the machine's only fixed ones
//   tree: L ENTRY           makes ENTRY on drive L (see MakeTree:
//                           "dir\", "name", "name=TEXT", "name<FIXTURE")
//   http: PATH TEXT         the local web server answers PATH with TEXT
//                           (before the first run)
//   window: KIND            a stand-in browser window (browserwindow.exe)
//   scheme: NAME            addresses NAME:... open with the recorder, a
//                           copy of recordargs.exe as <work>\recorder.exe
//   hold: PATH              the file is held open without sharing, until
//                           the first check
//   delete: KEY             deletes a registry key with all below it
//   regset: KEY NAME TEXT   sets a REG_SZ value ("@": the default value);
//                           not put back: a case that changes the server's
//                           own keys registers it again at its end
// Each run, and the lines that follow it:
//   run: OPTIONS            vurhost's options, then <case>\SCRIPT
//   exec: COMMAND LINE      runs that program instead (no transcript)
//   > ... < ... # ...       the run's transcript, in order
//   ! CAPTION | TEXT        a message box of the run (a set: not in order)
//   exit: N                 the run's exit status
//   servers: N              installer.exe processes running after the run
//   output: TEXT            the run's output holds TEXT (\n: line feed)
//   no-output: TEXT         it does not
// Checks, where they stand (after a run, or at the end):
//   files: FOLDER NAME...   every file below FOLDER, relative, sorted
//   same: PATH PATH         two files hold the same bytes
//   text: PATH TEXT         a file holds TEXT (\n: CR LF); waited for up
//                           to 10 s, for what a started program writes
//   mtime: PATH Y-M-D h:m:s a file's last write time (UTC)
//   gone: PATH              no such file or folder
//   reg: KEY NAME TYPE:DATA a value ("@": the default value), as
//                           REG_SZ:text or REG_DWORD:decimal; "(none)"
//   values: KEY N           the number of values of a key (-1: no key)
//   subkeys: KEY            as many subkeys as at the first such line
//   windows: FATE...        each stand-in, in order: closed or running
// Registry keys are HKCU\..., HKLM\... or HKCR\..., seen as the server
// under test sees them (its 32- or 64-bit view).
// Tokens: <case> a copy of the case folder in which the script's tokens
// have their values (so a script may name the case's paths), <work> a
// fresh folder of the case,
// <install> <work>\install, <build> the build tree, <fixtures> the sysops
// fixtures of the build, <serverfixtures> those of the server's build tree
// (of its bitness, for a library the server loads),
// <http> the local web server, <key> HKCU\Software\VurTest\E2E (deleted
// before and after), <downloads> vurhost's downloads (transcripts only),
// <server> the server under test (installer.exe), <server-8.3> its short
// path, <serverdir> its folder, <syskind> win32 or win64 as it is built,
// <vurhost> vurhost.exe, <self> this runner, whose child modes (see
// e2e_tests.cpp) stand in for other programs until the case ends.
// With VUR_E2E_SHOW set in the environment, each run's transcript is
// printed as the case would give it.
