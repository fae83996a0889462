// Process entry of installer.exe: registration on "RegServer" and
// "UnregServer", otherwise the local COM server's life: class object, tray
// icon, message loop and ordered shutdown.
#include <windows.h>
#include "host/installer.h"
#include "server/classtable.h"
#include "server/commandline.h"
#include "server/liveinstallers.h"
#include "server/selfreg.h"
#include "server/servermodule.h"
#include "server/trayicon.h"
#include "resource_ids.h"

static int RunRegistration(ServerSwitch sw)
{
    HRESULT hr;
    if (sw == SWITCH_UNREGSERVER) {
        ApplyRegistryResource(IDR_REGISTRY_APPID, FALSE);
        hr = UnregisterServer(FALSE, NULL);
    } else {
        HRESULT hrAppId = ApplyRegistryResource(IDR_REGISTRY_APPID, TRUE);
        if (hrAppId != S_OK) {
            char szMessage[64];
            wsprintfA(szMessage, "Error at registering installer.exe:%.8lX", (unsigned long)hrAppId);
            MessageBoxA(NULL, szMessage, "Error", MB_OK);
        }
        hr = RegisterServer(TRUE, NULL);
    }
    CoUninitialize();
    return (int)hr;
}

static int Serve()
{
    g_module.RegisterClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE);
    InitializeCriticalSection(&g_csInstall);
    TrayIcon tray(IDR_TRAY_MENU, IDI_TRAY_ICON, "Vur - Installer");
    tray.AddIcon();

    // No TranslateMessage: the server has no keyboard input to translate.
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);

    // The loop may have ended from the tray menu while a run works: stop
    // it at once (removing the icon can take seconds). g_csInstall is not
    // deleted: a run held in a host call that never returns may still hold
    // it when the process ends.
    StopRunningInstalls();
    tray.RemoveIcon();
    g_module.RevokeClassObjects();
    return 0;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    const char *pszCommandLine = GetCommandLineA();
    CoInitialize(NULL);
    g_module.Init(g_aClassTable, hInstance);
    g_dwMainThreadId = GetCurrentThreadId();

    ServerSwitch sw = ScanCommandLine(pszCommandLine);
    if (sw != SWITCH_NONE)
        return RunRegistration(sw);

    int nExit = Serve();
    CoUninitialize();
    return nExit;
}
