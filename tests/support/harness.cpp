// In-process host harness: see harness.h.
#include "support/harness.h"
#include "host/bstr.h"
#include <algorithm>

InstallerHarness::InstallerHarness() : m_boxes(GetCurrentProcessId(), true, &m_boxLog, true)
{
    // Leftovers of an earlier test must not end this one.
    host.PumpFor(0);
    host.ResetQuit();
    IDiagPMP2Cmpt *p = NULL;
    CreateInstallerObject(NULL, IID_IDiagPMP2Cmpt, (void **)&p);
    m_pInstaller = static_cast<Installer *>(p);
    m_pInstaller->Advise(&host, NULL);
}

InstallerHarness::~InstallerHarness()
{
    m_pInstaller->StopInstallThread();
    WaitForRunEnd(5000);
    m_pInstaller->Advise(NULL, NULL);
    m_pInstaller->Release();
    host.PumpFor(0);
    host.ResetQuit();
}

void InstallerHarness::Set(const char *pszName, const std::string &value)
{
    BSTR bstrName = ToBstr(pszName);
    BSTR bstrValue = ToBstr(value.c_str());
    m_pInstaller->SetParameter(bstrName, bstrValue);
    SysFreeString(bstrValue);
    SysFreeString(bstrName);
}

void InstallerHarness::Command(const char *pszName)
{
    BSTR bstrName = ToBstr(pszName);
    m_pInstaller->ExecuteCmd(bstrName);
    SysFreeString(bstrName);
}

std::string InstallerHarness::Start(const std::string &script)
{
    std::string path = dir / "script.txt";
    WriteFileBytes(path, script);
    Set("FILE", "http://example.invalid/script.txt");
    Command("INSTALL");
    m_nAnswered++;
    Set("DLPATH", path);
    Command("DLDONE");
    return path;
}

static bool RunHasLeft(Installer *p)
{
    if (p->m_dwThreadId != 0)
        return false;
    // The run leaves g_csInstall last; it is ours to take once it has.
    EnterCriticalSection(&g_csInstall);
    LeaveCriticalSection(&g_csInstall);
    return true;
}

bool InstallerHarness::WaitForRunEnd(DWORD dwTimeoutMs)
{
    return host.PumpUntil([this] { return RunHasLeft(m_pInstaller); }, dwTimeoutMs);
}

bool InstallerHarness::WaitForQuit(DWORD dwTimeoutMs)
{
    return host.PumpUntil([this] { return host.QuitSeen() && RunHasLeft(m_pInstaller); }, dwTimeoutMs);
}

bool InstallerHarness::AnswerDownload(const std::string &localPath, DWORD dwTimeoutMs)
{
    auto requested = [this] {
        std::vector<std::string> calls = host.Calls();
        return (size_t)std::count(calls.begin(), calls.end(), "ExecuteCmd DOWNLOAD") > m_nAnswered;
    };
    if (!host.PumpUntil(requested, dwTimeoutMs))
        return false;
    m_nAnswered++;
    Set("DLPATH", localPath);
    Command("DLDONE");
    return true;
}
