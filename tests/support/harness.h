// Drives an Installer object the way a host does, in-process: the test
// thread plays the host's apartment, the RecordingHost records every call.
#ifndef VUR_TEST_HARNESS_H
#define VUR_TEST_HARNESS_H

#include "host/installer.h"
#include "support/recordinghost.h"
#include "support/dialogwatcher.h"
#include "support/testfiles.h"
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
    // free) and, if bExpectQuit, until the server end was asked for.
    bool WaitForRunEnd(DWORD dwTimeoutMs = 10000);
    // Waits for the next DOWNLOAD request of the script and answers it as a
    // host does, after the request's call has returned: DLPATH + DLDONE, or
    // DLURL + DLERR. Gives FALSE when no request came.
    bool AnswerDownload(const std::string &localPath, DWORD dwTimeoutMs = 10000);
    bool RefuseDownload(const std::string &url, DWORD dwTimeoutMs = 10000);
    bool WaitForQuit(DWORD dwTimeoutMs = 10000);

    RecordingHost host;
    DialogWatcher dialogs;
    TempDir dir;

private:
    bool WaitForDownloadRequest(DWORD dwTimeoutMs);
    Installer *m_pInstaller;
    size_t m_nAnswered;
};

// The calls a report ending sends after the script's own messages.
std::vector<std::string> ReportCalls(const char *pszTurl, const char *pszFrame,
                                     long lAppId = 0, long lJobId = 0);

#endif
