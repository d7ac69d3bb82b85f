#include "app/startup.h"

#include <objidl.h>
#include <gdiplus.h>
#include <locale.h>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/eco_level.h"
#include "app/help.h"
#include "app/os_model.h"
#include "app/single_instance.h"
#include "app/window_classes.h"
#include "app/thread_pause.h"
#include "battery/battery.h"
#include "common/log.h"
#include "drivers/eco_led.h"
#include "meter/speed_monitor.h"
#include "plans/factory_defaults.h"
#include "plans/plan_list.h"
#include "plans/settings.h"
#include "settingsfile/settings_file.h"

namespace {

constexpr wchar_t kTraceName[] = L"InitInstance";

// String-table ids used by the start-up.
constexpr UINT IDS_STARTUP_FAILED = 1;
constexpr UINT IDS_FAIL_MUTEX = 4;
constexpr UINT IDS_FAIL_CREATETHREAD_BATTERY = 7;
constexpr UINT IDS_FAIL_CREATETHREAD_SPEED = 7;
constexpr UINT IDS_FAIL_CREATEWINDOW = 10;
constexpr UINT IDS_FAIL_CREATEEVENT = 20;
constexpr UINT IDS_PROGRAM_TITLE = 141;
constexpr UINT IDS_ECO_PROGRAM_TITLE = 219;
constexpr UINT IDS_BUTTON_TITLE = 143;
constexpr UINT IDS_NEEDS_VISTA = 161;

// Value shown with the start-up failure message.
constexpr ULONGLONG kStartupFailureValue = 1;

// Messages admitted from processes of another privilege level.
constexpr UINT kAdmittedMessages[] = {WM_APP_ECO_BUTTON, WM_APP_ECO_BUTTON_PLAIN, WM_APP_ECO_SETTINGS,
                                      WM_APP_PLAN_SETTINGS};

// The hidden button child of the main window.
constexpr int kHiddenButtonPos = 10;
constexpr int kHiddenButtonSize = 10;

bool g_bComInitialised = false;

// Workers already started end with a failed start (no-ops when none runs yet).
void StopStartedWorkers() noexcept {
    g_bRunFlag = false;
    meter::JoinSpeedMonitor();
    battery::JoinBatteryThread();
}

int FailInit(UINT stringId, DWORD error) noexcept {
    WriteErrorLog(stringId, error, ERRLOG_FILE);
    StopStartedWorkers();
    LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Exit retval:%08x", 0);
    return 0;
}

void StartCom() noexcept {
    if (SUCCEEDED(CoInitialize(nullptr))) {
        g_bComInitialised = true;
        // A failure leaves COM's default security, which the program can live with.
        CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    }
}

void AdmitMessages() noexcept {
    for (UINT message : kAdmittedMessages) {
        ChangeWindowMessageFilter(message, MSGFLT_ADD);  // a refusal is not fatal
    }
}

HWND CreateMainWindow(HINSTANCE instance) noexcept {
    const DWORD flags = plans::g_Settings.blob.dwFlagWord;
    DWORD exStyle = WS_EX_LAYERED;
    if ((flags & plans::FLAG_TOPMOST) != 0) {
        exStyle |= WS_EX_TOPMOST;
    }
    if ((flags & plans::FLAG_TOOL_WINDOW) != 0) {
        exStyle |= WS_EX_TOOLWINDOW;
    }
    const POINT position = {plans::g_Settings.blob.left, plans::g_Settings.blob.top};
    return CreateWindowExW(exStyle, kMainWindowClass, g_szProgramTitle, WS_POPUP | WS_MINIMIZEBOX,
                           position.x, position.y, 0, 0, nullptr, nullptr, instance, nullptr);
}

void CreateHiddenButton(HINSTANCE instance) noexcept {
    g_hHiddenButton = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD, kHiddenButtonPos, kHiddenButtonPos,
                                      kHiddenButtonSize, kHiddenButtonSize, g_hMainWnd, nullptr, instance,
                                      nullptr);
    if (g_hHiddenButton == nullptr) {
        // Only the meter panel uses it; the resident program runs without.
        WriteErrorLog(IDS_FAIL_CREATEWINDOW, GetLastError(), ERRLOG_FILE);
    }
}

}  // namespace

void LoadProgramTitle(HINSTANCE instance) noexcept {
    LoadStringW(instance, IDS_PROGRAM_TITLE, g_szProgramTitle, static_cast<int>(kTitleChars));
    SetErrorLogCaption(g_szProgramTitle);
}

int InitInstance(HINSTANCE instance, int showCommand) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Enter");
    _wsetlocale(LC_ALL, L"japanese");
    // The chassis query and, on OS model 3, the toast library join here.
    StartCom();
    // The WMI connection for panel brightness joins here.
    g_hInstance = instance;
    SetErrorLogModule(instance);
    LoadProgramTitle(instance);
    LoadStringW(instance, IDS_BUTTON_TITLE, g_szButtonTitle, static_cast<int>(kTitleChars));

    if (!g_hInstanceMutex) {
        return FailInit(IDS_FAIL_MUTEX, InstanceMutexError());
    }
    if (!plans::CreatePlanListLock()) {  // error 4 written
        LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Exit retval:%08x", 0);
        return 0;
    }

    g_dwOsModel = DetermineOsModel();
    // The panel's brightness levels are queried here once the brightness code joins.
    plans::g_SettingsHooks.loadBatterySettings = battery::LoadBatterySettings;
    plans::g_SettingsHooks.batteryPresent = battery::HasBatteryDevice;
    plans::g_SettingsHooks.measureProcessorMhz = meter::QueryProcessorStatusMhz;
    plans::g_SettingsHooks.captureFactoryDefaults = plans::CaptureFactoryDefaults;
    plans::g_SettingsHooks.loadEcoLevelLibrary = LoadEcoLevelLibrary;
    meter::IdentifyProcessor();
    battery::g_BatteryHooks.noSpeedStep = meter::NoSpeedStep;
    plans::LoadSettings();
    if (!OsVersionAtLeast(6, 0)) {
        return FailInit(IDS_NEEDS_VISTA, GetLastError());
    }
    plans::g_Settings.blob.dwFlagWord &= ~plans::FLAG_CANTCHGPP;
    InitHelp(instance);  // the tray icon caches are cleared by the notification-area code
    plans::activepsi = plans::PlanRecord{};
    g_bRunFlag = true;
    if (g_AucPauseGate.Create() != ERROR_SUCCESS) {
        // The automatic plan change then simply cannot be paused.
        WriteErrorLog(IDS_FAIL_CREATEEVENT, GetLastError(), ERRLOG_FILE);
    }
    meter::SpeedMonitorConfig speed;
    speed.runFlag = &g_bRunFlag;
    speed.sampleLock = g_hInstanceMutex.Get();
    speed.mainWindow = []() { return g_hMainWnd; };
    if (meter::StartSpeedMonitor(speed) != ERROR_SUCCESS) {
        return FailInit(IDS_FAIL_CREATETHREAD_SPEED, GetLastError());
    }
    // The automatic plan change and peak-cut poll threads and their events start here as they
    // join.
    if ((plans::g_Settings.blob.dwFlagWord & plans::FLAG_BATTERY) != 0) {
        const DWORD threadError = battery::StartBatteryThread(&g_bRunFlag);
        if (threadError != ERROR_SUCCESS) {
            return FailInit(IDS_FAIL_CREATETHREAD_BATTERY, threadError);
        }
    }

    AdmitMessages();
    DWORD error = RegisterWindowClasses(instance);
    if (error != ERROR_SUCCESS) {
        StopStartedWorkers();
        LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Exit retval:%08x", 0);
        return 0;
    }
    if ((plans::g_Settings.blob.dwFlagWord & plans::FLAG_ECO) != 0) {
        error = RegisterEcoOsdClass(instance);
        if (error != ERROR_SUCCESS) {
            StopStartedWorkers();
            LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Exit retval:%08x", 0);
            return 0;
        }
        // The notification-area code switches its icon table to the ECO variant here.
        LoadStringW(instance, IDS_ECO_PROGRAM_TITLE, g_szProgramTitle, static_cast<int>(kTitleChars));
        SetErrorLogCaption(g_szProgramTitle);
        error = drivers::StartLedThread();  // its stop event exists before the thread
        if (error != ERROR_SUCCESS) {
            StopStartedWorkers();
            LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Exit retval:%08x", 0);
            return 0;
        }
    }
    g_PanelTextLayout = PanelTextLayoutForLanguage(g_wUiLanguage);

    if (CreateMainWindow(instance) == nullptr) {
        return FailInit(IDS_FAIL_CREATEWINDOW, GetLastError());
    }
    // The peak-cut poll thread is told here that the main window exists.
    CreateHiddenButton(instance);
    // The meter panel is created here when configured.

    ShowWindow(g_hMainWnd, SW_HIDE);
    (void)showCommand;  // shows the meter panel once it joins
    PostMessageW(g_hMainWnd, WM_COMMAND, MAKEWPARAM(IDM_MINIMIZE_TO_TRAY, MINIMIZE_CODE_STARTUP), 0);

    LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Exit retval:%08x", 1);
    return 1;
}

int RunSettingsFileRequest(const CommandLineRequest& request) noexcept {
    DWORD result = request.request == StartRequest::Export ? ExportSettings(request.file.c_str())
                                                           : ImportSettings(request.file.c_str());
    LOG_TRACE(TRACE_LEVEL_VALUES, L"WinMain", L"%s finished: %u",
              request.request == StartRequest::Export ? L"export" : L"import", result);
    return 0;
}

void ShowStartupFailure(HINSTANCE instance) noexcept {
    if (g_szProgramTitle[0] == L'\0') {
        LoadProgramTitle(instance);
    }
    SetErrorLogModule(instance);
    WriteErrorLog(IDS_STARTUP_FAILED, kStartupFailureValue, ERRLOG_MSGBOX);
}

BOOL GdiplusSession::Startup() noexcept {
    Gdiplus::GdiplusStartupInput input;
    return Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
}

void GdiplusSession::Shutdown() noexcept {
    if (m_token != 0) {
        Gdiplus::GdiplusShutdown(m_token);
        m_token = 0;
    }
}

void ShutdownCom() noexcept {
    if (g_bComInitialised) {
        CoUninitialize();
        g_bComInitialised = false;
    }
}

int RunMessageLoop() noexcept {
    MSG msg = {};
    BOOL result;
    while ((result = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (result == -1) {  // only for a bad window filter; never loop on it
            return 0;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
