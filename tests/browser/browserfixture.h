// What the browser tests share: stand-in browsers (browserwindow.exe
// copied under a program name, each in a folder of its own), the fixture
// icons of this program's "ICONS" resources, and where the build put things.
#ifndef VUR_TEST_BROWSERFIXTURE_H
#define VUR_TEST_BROWSERFIXTURE_H

#include <windows.h>
#include <string>
#include <vector>
#include "support/testfiles.h"

std::string BuildPath(const std::string &relative);   // below the build tree's root

// The 768 bytes of this program's "ICONS" resource NAME; with a byte moved:
// pixels[iByte] + delta.
std::string FixtureIcon(const char *pszName, int iByte = 0, int delta = 0);

// Wine's performance data holds no process object (its perflib counter
// names have no "process"): there the Windows NT path lists nothing.
bool ProcessesCanBeListed();

enum Fate { RUNNING, CLOSED, ENDED, OTHER };     // exit 10 after WM_CLOSE, 1 from EndProcess
const char *FateName(Fate fate);

class StandIns {
public:
    ~StandIns();                    // ends what still runs
    // Starts browserwindow.exe as PROGRAM with the KIND of window (see
    // fixtures/browserwindow.c) and the icon's pixels, and waits until its
    // windows are up; with no PROGRAM, the windows open on a thread of this
    // process. Gives its index, or -1.
    int Start(const std::string &program, const char *pszKind, const std::string &pixels = "");
    DWORD Pid(int i) const { return m_items[i].dwPid; }
    HANDLE Handle(int i) const { return m_items[i].hProcess; }     // process or thread
    // What became of it, waiting up to dwWaitMs for it to end.
    Fate FateOf(int i, DWORD dwWaitMs);
    void End(int i);                // ends it from the test
    int Count() const { return (int)m_items.size(); }

private:
    struct Item { HANDLE hProcess; DWORD dwPid; DWORD dwThreadId; };   // a thread here: dwPid 0
    std::vector<Item> m_items;
    TempDir m_dir;
};

#endif
