// Entry of Solvane.exe.
#include <windows.h>

#include "app/app_globals.h"
#include "app/command_line.h"
#include "app/os_model.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "app/yarrow_toast.h"
#include "common/log.h"
#include "display/display.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    g_Log.Init(kTraceLogKey);
    LOG_TRACE(TRACE_LEVEL_APP, L"WinMain", L"Enter");
    LOG_TRACE(TRACE_LEVEL_VALUES, L"WinMain", L"EcoMode Utility Start!");

    if (DWORD flag = ReadDebugLogFlag(); flag != 0) {
        g_dwDebugLogFlag = flag;
    }

    CommandLineRequest request = ParseCommandLine(GetCommandLineW());
    if (request.request == StartRequest::Export) {
        int result = RunSettingsFileRequest(request);  // also while another instance runs
        LOG_TRACE(TRACE_LEVEL_APP, L"WinMain", L"Exit retval:%08x", result);
        return result;
    }

    GdiplusSession gdiplus;
    gdiplus.Startup();

    if (CreateInstanceMutex()) {
        ForwardToRunningInstance(instance, request);
        LOG_TRACE(TRACE_LEVEL_APP, L"WinMain", L"Exit retval:%08x", 0);
        return 0;
    }
    if (request.request == StartRequest::Import) {
        int result = RunSettingsFileRequest(request);
        LOG_TRACE(TRACE_LEVEL_APP, L"WinMain", L"Exit retval:%08x", result);
        return result;
    }

    g_dwOsModel = DetermineOsModel();
    g_wUiLanguage = DetermineUiLanguage();
    LOG_TRACE(TRACE_LEVEL_VALUES, L"WinMain", L"OS model %u, UI language %u", g_dwOsModel, g_wUiLanguage);

    if (!InitInstance(instance, showCommand)) {
        // On OS model 3 a full-screen app may be in front: the toast library brings the desktop
        // forward so that the error box can be seen, and is finalised before the box.
        if (g_dwOsModel == OS_MODEL_WIN8_OR_LATER) {
            toast::SwitchToDesktopIfCovered(g_hMainWnd);
        }
        toast::Unload();
        ShowStartupFailure(instance);
        LOG_TRACE(TRACE_LEVEL_APP, L"WinMain", L"Exit retval:%08x", 0);
        return 0;
    }
    // On OS model 3 the toast library is loaded and receives its common information.
    toast::EnsureLoaded();
    PostSettingsRequest(g_hMainWnd, request.request);  // a first start honours them as well
    // The device display-item list is loaded here once its settings page joins.

    LOG_TRACE(TRACE_LEVEL_VALUES, L"WinMain", L"message loop");
    int quitCode = RunMessageLoop();

    // Normally gone with the main window already; a quit without it still finalises the library.
    toast::Unload();
    gdiplus.Shutdown();
    display::ShutdownDisplay();
    ShutdownCom();
    LOG_TRACE(TRACE_LEVEL_APP, L"WinMain", L"Exit retval:%08x", quitCode);
    return quitCode;
}
