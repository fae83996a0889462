// The real server, out of process: its tray menu's quit while a run is
// inside a call to its host. (How calls of a host end it is in the cases of
// tests/e2e.)
#include "serverfixture.h"
#include "support/recordinghost.h"
#include "host/bstr.h"
#include "installer_h.h"
#include "serverprocess.h"
#include <algorithm>

namespace {

// A host whose first SETMSG ends the server from its tray window, then
// stays inside the call for a while: the server must not end while the
// install thread is inside that call.
class TrayQuitHost : public RecordingHost {
public:
    STDMETHODIMP ExecuteCmd(BSTR bstrName) override
    {
        HRESULT hr = RecordingHost::ExecuteCmd(bstrName);
        if (BstrText(bstrName) == "SETMSG" && m_hwndTray) {
            PostMessageA(m_hwndTray, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
            m_bServerWaited = WaitForSingleObject(m_hServer, 1500) == WAIT_TIMEOUT;
            m_hwndTray = NULL;
        }
        return hr;
    }
    HANDLE m_hServer = NULL;
    HWND m_hwndTray = NULL;     // until the quit is sent
    bool m_bServerWaited = false;
};

}

class ServerLifetime : public RealServerTest {};

TEST_F(ServerLifetime, TrayQuitDuringAnInstallStopsTheRunBeforeTheServerEnds)
{
    // Decision tested here: the shutdown stops a running install thread (as
    // ForceRemove does) before the critical section of the runs is deleted.
    std::vector<DWORD> before = RunningServers();
    IDiagPMP2Cmpt *pInstaller = NULL;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Installer, NULL, CLSCTX_LOCAL_SERVER, IID_IDiagPMP2Cmpt, (void **)&pInstaller));
    TrayQuitHost host;
    DWORD dwPid = PickServerProcess(before, RunningServers());
    host.m_hServer = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, dwPid);
    // Its hidden tray window, a "Button", comes a moment after its class object.
    for (int i = 0; i < 300 && !(host.m_hwndTray = FindProcessWindow(dwPid, "Button", false)); i++)
        Sleep(50);
    EXPECT_TRUE(host.m_hServer && host.m_hwndTray) << "the server " << dwPid << " and its tray window";
    unsigned long dwCookie = 0;
    pInstaller->Advise(&host, &dwCookie);
    TempDir dir;
    std::string script = dir / "script.txt";
    WriteFileBytes(script, "[TEXT]\r\n1;one\r\n2;two\r\n3;three\r\n4;four\r\n[END]\r\n");
    for (const std::string &call : std::vector<std::string>{ "RESURL2=http://example.invalid/done", "FILE=" + script,
                                                             "INSTALL", "DLPATH=" + script, "DLDONE" }) {
        size_t eq = call.find('=');
        BSTR bstrName = ToBstr(call.substr(0, eq).c_str());
        BSTR bstrValue = eq == std::string::npos ? NULL : ToBstr(call.substr(eq + 1).c_str());
        EXPECT_EQ(S_OK, bstrValue ? pInstaller->SetParameter(bstrName, bstrValue) : pInstaller->ExecuteCmd(bstrName)) << call;
        SysFreeString(bstrValue);
        SysFreeString(bstrName);
    }

    DWORD dwCode = STILL_ACTIVE;
    EXPECT_TRUE(host.PumpUntil([&] { return WaitForSingleObject(host.m_hServer, 0) == WAIT_OBJECT_0; }, 20000))
        << "the server ended";
    GetExitCodeProcess(host.m_hServer, &dwCode);
    CloseHandle(host.m_hServer);
    pInstaller->Release();
    EXPECT_TRUE(host.m_bServerWaited) << "the server waited for the run that was inside a host call";
    EXPECT_EQ(0u, dwCode) << "and ended normally";
    std::vector<std::string> calls = host.Calls();
    EXPECT_EQ(1, std::count(calls.begin(), calls.end(), "ExecuteCmd SETMSG")) << "the run stopped at its next message drain";
    EXPECT_FALSE(host.Has("ExecuteCmd SEND"));
    EXPECT_FALSE(host.Has("CmptOut"));
    EXPECT_TRUE(FileExists(script)) << "a stopped run keeps its script";
}
