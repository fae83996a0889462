// The real server, out of process: what starts it, what ends it, and what
// does not; the type library's marshalling of the installer's interface.
#include "serverfixture.h"
#include "support/recordinghost.h"
#include "support/testfiles.h"
#include "host/bstr.h"
#include "installer_h.h"
#include <ocidl.h>

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
    ~ComServer()
    {
        if (pInstaller)
            pInstaller->Release();
    }
    void Set(const char *pszName, const std::string &value)
    {
        BSTR bstrName = ToBstr(pszName), bstrValue = ToBstr(value.c_str());
        EXPECT_EQ(S_OK, pInstaller->SetParameter(bstrName, bstrValue)) << pszName;
        SysFreeString(bstrValue);
        SysFreeString(bstrName);
    }
    void Command(const char *pszName)
    {
        BSTR bstrName = ToBstr(pszName);
        EXPECT_EQ(S_OK, pInstaller->ExecuteCmd(bstrName)) << pszName;
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
    // Each of these command lines serves; the tray window's IDCANCEL ends it.
    TempDir dir;
    std::string hyphenFolder = dir / "vur-server";
    CreateDirectoryA(hyphenFolder.c_str(), NULL);
    std::string hyphenCopy = hyphenFolder + "\\installer.exe";
    ASSERT_TRUE(CopyFileA(ServerExePath().c_str(), hyphenCopy.c_str(), FALSE));
    const struct {
        std::string program;
        const char *pszArgs;
    } cases[] = {
        { ServerExePath(), "" },
        { ServerExePath(), "-Embedding" },
        { ServerExePath(), "/RegServer " },
        { ServerExePath(), "-regserver now" },
        { hyphenCopy, "" },
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(std::string(cases[i].program) + " " + cases[i].pszArgs);
        ServerProcess server;
        ASSERT_TRUE(server.Start(cases[i].program, cases[i].pszArgs));
        HWND hwndTray = server.TrayWindow();
        ASSERT_NE(nullptr, hwndTray) << "the server shows its tray window";
        EXPECT_FALSE(IsWindowVisible(hwndTray));
        PostMessageA(hwndTray, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        ASSERT_TRUE(server.WaitForEnd()) << "IDCANCEL ends the server";
        EXPECT_EQ(0u, server.ExitCode());
    }
}

TEST_F(ServerLifetime, ReleasingTheLastObjectLeavesTheServerRunning)
{
    ComServer first;
    ASSERT_EQ(S_OK, first.hr) << "CoCreateInstance(CLSCTX_LOCAL_SERVER)";
    ASSERT_NE(0u, first.process.Id()) << "the server process was found";
    EXPECT_EQ(0u, first.pInstaller->Release()) << "the host's proxy is gone";
    first.pInstaller = NULL;
    EXPECT_TRUE(first.process.StillRunningAfter(1500)) << "no object left, still serving";

    // A new object comes from the same server (its class object serves many).
    IDiagPMP2Cmpt *pAgain = NULL;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Installer, NULL, CLSCTX_LOCAL_SERVER, IID_IDiagPMP2Cmpt,
                                     (void **)&pAgain));
    EXPECT_EQ(std::vector<DWORD>{first.process.Id()}, RunningServers());
    EXPECT_EQ(S_OK, pAgain->ForceRemove());
    EXPECT_TRUE(first.process.WaitForEnd()) << "ForceRemove ends it";
    EXPECT_EQ(0u, first.process.ExitCode());
    pAgain->Release();
}

TEST_F(ServerLifetime, UnadviseEndsTheServer)
{
    ComServer server;
    ASSERT_EQ(S_OK, server.hr);
    RecordingHost host;
    unsigned long dwCookie = 0xdeadbeef;
    EXPECT_EQ(S_OK, server.pInstaller->Advise(&host, &dwCookie));
    EXPECT_EQ(0u, dwCookie) << "the cookie is always 0";
    EXPECT_EQ(S_OK, server.pInstaller->Unadvise(dwCookie));
    EXPECT_TRUE(server.process.WaitForEnd()) << "Unadvise with no install running ends the server";
    EXPECT_EQ(0u, server.process.ExitCode());
}

TEST_F(ServerLifetime, InterfaceAcrossProcessesAnswersOnlyItself)
{
    ComServer server;
    ASSERT_EQ(S_OK, server.hr);
    const IID *apRefused[] = { &IID_IDispatch, &IID_IConnectionPointContainer };
    for (size_t i = 0; i < 2; i++) {
        SCOPED_TRACE(i);
        IUnknown *pUnk = (IUnknown *)(ULONG_PTR)0xbdbdbdbd;
        EXPECT_EQ(E_NOINTERFACE, server.pInstaller->QueryInterface(*apRefused[i], (void **)&pUnk));
        EXPECT_EQ(nullptr, pUnk);
    }
    // GetParameter's out value is null for every name; the type library
    // carries that null back.
    server.Set("FILE", "http://example.invalid/script.txt");
    BSTR bstrName = ToBstr("FILE");
    BSTR bstrSentinel = SysAllocString(L"sentinel");
    BSTR bstrValue = bstrSentinel;
    EXPECT_EQ(S_OK, server.pInstaller->GetParameter(bstrName, &bstrValue));
    EXPECT_EQ(nullptr, bstrValue) << "GetParameter(FILE) gives the null BSTR";
    SysFreeString(bstrSentinel);
    SysFreeString(bstrName);
    EXPECT_EQ(S_OK, server.pInstaller->ForceRemove());
    EXPECT_TRUE(server.process.WaitForEnd());
}

TEST_F(ServerLifetime, ScriptThatCannotBeOpenedIsReportedAndTheServerWaits)
{
    ComServer server;
    ASSERT_EQ(S_OK, server.hr);
    RecordingHost host;
    unsigned long dwCookie = 0;
    server.pInstaller->Advise(&host, &dwCookie);
    server.Set("ERRURL", "http://example.invalid/err");
    server.Set("JOBID", "42");
    server.Set("FILE", "http://example.invalid/script.txt");
    server.Command("INSTALL");
    TempDir dir;
    std::string missing = dir / "missing.txt";
    server.Set("DLPATH", missing);
    server.Command("DLDONE");
    std::vector<std::string> expected = {
        "SetParameter URL=http://example.invalid/script.txt", "ExecuteCmd DOWNLOAD",
        "SetParameter FILE=" + missing, "SetParameter APPID=0", "SetParameter JOBID=42", "SetParameter NUMERR=1",
        "SetParameter TURL=http://example.invalid/err", "ExecuteCmd SEND",
    };
    EXPECT_EQ(expected, host.Calls());
    EXPECT_TRUE(server.process.StillRunningAfter(1000)) << "after an error report the server waits";
    server.pInstaller->Unadvise(0);
    EXPECT_TRUE(server.process.WaitForEnd());
}

// A host whose first SETMSG ends the server from its tray window, then
// stays inside the call for a while: the server must not end while the
// install thread is inside that call.
class TrayQuitHost : public RecordingHost {
public:
    STDMETHODIMP ExecuteCmd(BSTR bstrName) override
    {
        HRESULT hr = RecordingHost::ExecuteCmd(bstrName);
        if (BstrText(bstrName) == "SETMSG" && !m_bQuitSent && m_pServer) {
            m_bQuitSent = true;
            PostMessageA(m_hwndTray, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
            m_bServerWaited = m_pServer->StillRunningAfter(1500);
        }
        return hr;
    }
    ServerProcess *m_pServer = NULL;
    HWND m_hwndTray = NULL;
    bool m_bQuitSent = false;
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
    server.Set("RESURL2", "http://example.invalid/done");
    TempDir dir;
    std::string script = dir / "script.txt";
    WriteFileBytes(script, "[TEXT]\r\n1;one\r\n2;two\r\n3;three\r\n4;four\r\n[END]\r\n");
    server.Set("FILE", script);
    server.Command("INSTALL");
    server.Set("DLPATH", script);
    server.Command("DLDONE");

    ASSERT_TRUE(host.PumpUntil([&] { return server.process.WaitForEnd(0); }, 20000)) << "the server ended";
    EXPECT_TRUE(host.m_bServerWaited) << "the server waited for the run that was inside a host call";
    EXPECT_EQ(0u, server.process.ExitCode()) << "and ended normally";
    std::vector<std::string> calls = host.Calls();
    size_t nSetMsg = 0;
    for (const std::string &c : calls)
        nSetMsg += c == "ExecuteCmd SETMSG";
    EXPECT_EQ(1u, nSetMsg) << "the run stopped at its next message drain";
    EXPECT_FALSE(host.Has("ExecuteCmd SEND"));
    EXPECT_FALSE(host.Has("CmptOut"));
    EXPECT_TRUE(FileExists(script)) << "a stopped run keeps its script";
}
