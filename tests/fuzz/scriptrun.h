// One fuzz input run as the product runs it: an install script through an
// Installer object and the in-process host, its downloads answered from the
// test fixtures; a registry script through the registrar, registered and
// then unregistered.
#ifndef VUR_FUZZ_SCRIPTRUN_H
#define VUR_FUZZ_SCRIPTRUN_H

#include "sandbox.h"
#include "support/recordinghost.h"
#include <string>
#include <vector>

// The product's message boxes are answered OK at once (and counted).
class InstallScriptRunner {
public:
    // fixtureDir: the files that downloads are answered with.
    InstallScriptRunner(const std::string &fixtureDir, Sandbox *pSandbox);
    ~InstallScriptRunner();
    void Run(const std::string &script);
    size_t HostCalls() const { return m_nCalls; }
    static long MessageBoxes();

private:
    std::string Download(const std::string &url, int k);
    class DirectHost;
    DirectHost *m_pHost;
    Sandbox *m_pSandbox;
    std::string m_fixtureDir;
    std::vector<std::string> m_fixtures;
    size_t m_nCalls = 0;
};

// Gives, when there was one, the registrar's first call that opened,
// created or deleted a key by an empty name: that is the key the registrar
// was in, a key the script did not name.
std::string RunRegistryInput(const std::string &script);

#endif
