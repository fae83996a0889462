// Drives an Installer object the way a host does, in-process: the test
// thread plays the host's apartment, the RecordingHost records every call,
// and the message boxes of this process are recorded and closed with their
// default button (vurhost's watcher, pointed at this process), so tests
// never block on them.
#ifndef VUR_TEST_HARNESS_H
#define VUR_TEST_HARNESS_H

#include "host/installer.h"
#include "support/recordinghost.h"
#include "support/testfiles.h"
#include "dialogs.h"
#include "transcript.h"
#include <string>
#include <vector>

class InstallerHarness {
public:
    InstallerHarness();     // creates the object and calls Advise
    ~InstallerHarness();    // stops any run and releases the object

    Installer *Object() { return m_pInstaller; }
    void Set(const char *pszName, const std::string &value);
    void Command(const char *pszName);

    // Writes the script into the temp folder, sends INSTALL and answers the
    // script's download with DLDONE. Gives the script's path.
    std::string Start(const std::string &script);
    // Pumps until the run has left (the thread is gone and g_csInstall is
    // free).
    bool WaitForRunEnd(DWORD dwTimeoutMs = 10000);
    // The same, and until the server's end was asked for (WM_QUIT).
    bool WaitForQuit(DWORD dwTimeoutMs = 10000);
    // Waits for the next DOWNLOAD request of the script and answers it as a
    // host does, after the request's call has returned: DLPATH + DLDONE.
    // Gives false when no request came.
    bool AnswerDownload(const std::string &localPath, DWORD dwTimeoutMs = 10000);
    // "CAPTION | TEXT" of each message box seen, in UTF-8 as the watcher
    // records them.
    std::vector<std::string> Boxes() { return m_boxes.Seen(); }

    RecordingHost host;
    TempDir dir;

private:
    Transcript m_boxLog;        // not opened: the watcher needs one
    DialogWatch m_boxes;
    Installer *m_pInstaller = NULL;
    size_t m_nAnswered = 0;
};

#endif
