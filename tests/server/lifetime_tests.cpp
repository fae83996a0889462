// The real server, out of process: what starts it, what ends it, and what
// does not; the type library's marshalling of the installer's interface.
#include "serverfixture.h"
#include "support/recordinghost.h"
#include "host/bstr.h"
#include "installer_h.h"
#include <ocidl.h>
#include <algorithm>

namespace {

// Creates Installer in a server that COM starts, and finds that process.
class ComServer {
public:
    ComServer()
    {
        std::vector<DWORD> before = RunningServers();
        hr = CoCreateInstance(CLSID_Installer, NULL, CLSCTX_LOCAL_SERVER, IID_IDiagPMP2Cmpt,
                              (void **)&pInstaller);
        if (SUCCEEDED(hr))
            process.AttachNew(before);
    }
    ~ComServer() { if (pInstaller) pInstaller->Release(); }
    // "NAME=VALUE" sets a parameter, "NAME" sends a command.
    void Send(const std::string &call)
    {
        size_t eq = call.find('=');
        BSTR bstrName = ToBstr(call.substr(0, eq).c_str());
        BSTR bstrValue = eq == std::string::npos ? NULL : ToBstr(call.substr(eq + 1).c_str());
        EXPECT_EQ(S_OK, bstrValue ? pInstaller->SetParameter(bstrName, bstrValue) : pInstaller->ExecuteCmd(bstrName)) << call;
        SysFreeString(bstrValue);
        SysFreeString(bstrName);
    }
    HRESULT hr = E_FAIL;
    IDiagPMP2Cmpt *pInstaller = NULL;
    ServerProcess process;
};

}

class ServerLifetime : public RealServerTest {};

TEST_F(ServerLifetime, TrayWindowCancelEndsServersStartedWithoutAMatchingSwitch)
{
    // Each of these command lines serves (a '-' in the program's folder is
    // among the command-line scan's own cases); the tray window's IDCANCEL
    // ends it.
    for (const char *pszArgs : { "", "-Embedding", "/RegServer ", "-regserver now" }) {
        SCOPED_TRACE(pszArgs);
        ServerProcess server;
        ASSERT_TRUE(server.Start(ServerExePath(), pszArgs));
        HWND hwndTray = server.TrayWindow();
        ASSERT_NE(nullptr, hwndTray) << "the server shows its tray window";
        PostMessageA(hwndTray, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        ASSERT_TRUE(server.WaitForEnd()) << "IDCANCEL ends the server";
        EXPECT_EQ(0u, server.ExitCode());
    }
}

// Across processes the interfaces stay refused and the type library
// carries GetParameter's null out value back. (That the last release leaves
// the server running for the next host is the host-leaves case.)
TEST_F(ServerLifetime, TheProxyAnswersOnlyItsInterface)
{
    ComServer server;
    ASSERT_EQ(S_OK, server.hr);
    for (const IID *piid : { &IID_IDispatch, &IID_IConnectionPointContainer }) {
        IUnknown *pUnk = (IUnknown *)(ULONG_PTR)0xbdbdbdbd;
        EXPECT_EQ(E_NOINTERFACE, server.pInstaller->QueryInterface(*piid, (void **)&pUnk));
        EXPECT_EQ(nullptr, pUnk);
    }
    server.Send("FILE=http://example.invalid/script.txt");
    BSTR bstrName = ToBstr("FILE");
    BSTR bstrSentinel = SysAllocString(L"sentinel");
    BSTR bstrValue = bstrSentinel;
    EXPECT_EQ(S_OK, server.pInstaller->GetParameter(bstrName, &bstrValue));
    EXPECT_EQ(nullptr, bstrValue) << "GetParameter(FILE) gives the null BSTR";
    SysFreeString(bstrSentinel);
    SysFreeString(bstrName);
    EXPECT_EQ(S_OK, server.pInstaller->ForceRemove());
    EXPECT_TRUE(server.process.WaitForEnd()) << "ForceRemove ends it";
    EXPECT_EQ(0u, server.process.ExitCode());
}

// A host whose first SETMSG ends the server from its tray window, then
// stays inside the call for a while: the server must not end while the
// install thread is inside that call.
class TrayQuitHost : public RecordingHost {
public:
    STDMETHODIMP ExecuteCmd(BSTR bstrName) override
    {
        HRESULT hr = RecordingHost::ExecuteCmd(bstrName);
        if (BstrText(bstrName) == "SETMSG" && m_pServer) {
            PostMessageA(m_hwndTray, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
            m_bServerWaited = m_pServer->StillRunningAfter(1500);
            m_pServer = NULL;
        }
        return hr;
    }
    ServerProcess *m_pServer = NULL;    // until the quit is sent
    HWND m_hwndTray = NULL;
    bool m_bServerWaited = false;
};

TEST_F(ServerLifetime, TrayQuitDuringAnInstallStopsTheRunBeforeTheServerEnds)
{
    // Decision tested here: the shutdown stops a running install thread (as
    // ForceRemove does) before the critical section of the runs is deleted.
    ComServer server;
    ASSERT_EQ(S_OK, server.hr);
    TrayQuitHost host;
    host.m_pServer = &server.process;
    host.m_hwndTray = server.process.TrayWindow();
    ASSERT_NE(nullptr, host.m_hwndTray);
    unsigned long dwCookie = 0;
    server.pInstaller->Advise(&host, &dwCookie);
    TempDir dir;
    std::string script = dir / "script.txt";
    WriteFileBytes(script, "[TEXT]\r\n1;one\r\n2;two\r\n3;three\r\n4;four\r\n[END]\r\n");
    for (const std::string &call : std::vector<std::string>{ "RESURL2=http://example.invalid/done", "FILE=" + script,
                                                             "INSTALL", "DLPATH=" + script, "DLDONE" })
        server.Send(call);

    ASSERT_TRUE(host.PumpUntil([&] { return server.process.WaitForEnd(0); }, 20000)) << "the server ended";
    EXPECT_TRUE(host.m_bServerWaited) << "the server waited for the run that was inside a host call";
    EXPECT_EQ(0u, server.process.ExitCode()) << "and ended normally";
    std::vector<std::string> calls = host.Calls();
    EXPECT_EQ(1, std::count(calls.begin(), calls.end(), "ExecuteCmd SETMSG")) << "the run stopped at its next message drain";
    EXPECT_FALSE(host.Has("ExecuteCmd SEND"));
    EXPECT_FALSE(host.Has("CmptOut"));
    EXPECT_TRUE(FileExists(script)) << "a stopped run keeps its script";
}
