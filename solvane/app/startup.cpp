#include "app/startup.h"

#include <objidl.h>
#include <gdiplus.h>
#include <locale.h>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/eco_level.h"
#include "app/help.h"
#include "app/mode_ui.h"
#include "app/os_model.h"
#include "app/panel_display_dialog.h"
#include "app/single_instance.h"
#include "app/window_classes.h"
#include "app/thread_pause.h"
#include "battery/auto_change.h"
#include "battery/battery.h"
#include "common/log.h"
#include "display/display.h"
#include "drivers/eco_led.h"
#include "meter/boost.h"
#include "meter/panel_layout.h"
#include "meter/panel_window.h"
#include "meter/speed_monitor.h"
#include "app/tray_menu.h"
#include "app/ui_state.h"
#include "common/dpi.h"
#include "peakcut/peakcut.h"
#include "plans/factory_defaults.h"
#include "plans/plan_list.h"
#include "plans/settings.h"
#include "settingsfile/settings_file.h"
#include "resources/resource.h"

namespace {

constexpr wchar_t kTraceName[] = L"InitInstance";

// String-table ids used by the start-up.

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
    battery::JoinAutoChangeThread();
    peakcut::JoinPeakCutThread();
}

int FailInit(UINT stringId, DWORD error) noexcept {
    WriteErrorLog(stringId, error, ERRLOG_FILE);
    StopStartedWorkers();
    LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Exit retval:%08x", 0);
    return 0;
}

// hASMutex, hASEvent and aucThread; their failures are logged and start-up goes on.
void StartAutomaticPlanChange() noexcept {
    constexpr wchar_t kTrace[] = L"InitInstance";
    // A boost interrupted by the end of the last run is undone in its own plan first.
    meter::RestoreInterruptedBoost();
    battery::g_AutoChangeHooks.boostActive = meter::BoostActive;
    battery::g_AutoChangeHooks.moveBoost = meter::MoveBoost;
    // The brightness work needs the main thread's COM apartment and windows: handed over.
    battery::g_AutoChangeHooks.requestBrightness = [](int code) {
        if (g_hMainWnd != nullptr) {
            PostMessageW(g_hMainWnd, WM_APP_APPLY_BRIGHTNESS, static_cast<WPARAM>(code), 0);
        }
    };
    battery::g_AutoChangeHooks.waitWhilePaused = [](HANDLE stop) { return g_AucPauseGate.WaitWhilePaused(stop); };
    // Without the mutex the thread ends at once; start-up goes on either way.
    const DWORD mutexError = battery::CreateAutoChangeMutex();
    if (mutexError != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"hASMutexCreateFailed(LastError=%d)", static_cast<int>(mutexError));
        WriteErrorLog(IDS_ERR_CREATE_MUTEX, mutexError, ERRLOG_FILE);
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"hASMutexCreate SUCCESS(%#8x)",
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(battery::AutoChangeMutex())));
    const DWORD eventError = battery::CreateAutoChangeEvent();
    if (eventError != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"hASEventCreateFailed(LastError=%d)", static_cast<int>(eventError));
        WriteErrorLog(IDS_ERR_CREATE_EVENT, eventError, ERRLOG_FILE);
        return;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"hASEventCreate SUCCESS(%#8x)",
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(battery::AutoChangeEvent())));
    const BOOL enabled = battery::GetAutoRecord().bChecked != 0 ? TRUE : FALSE;
    LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"auto_info.bChecked=%s", enabled ? L"TRUE" : L"FALSE");
    battery::SetAutoChangeEvent(enabled);
    const DWORD started = battery::StartAutoChangeThread(battery::kAutoThreadParameter);
    if (started != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"aucThreadCreateFailed(LastError=%d)", static_cast<int>(started));
        WriteErrorLog(IDS_ERR_THREAD_CPP, started, ERRLOG_FILE);
        return;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"haucThreadCreate SUCCESS(%#8x)",
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(battery::AutoChangeThread())));
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
        WriteErrorLog(IDS_ERR_CREATE_WINDOW, GetLastError(), ERRLOG_FILE);
    }
}

// Size of the panel at first start, from the layout the FlagWord selects.
void PanelSize(DWORD flagWord, INT32* width, INT32* height) {
    const meter::PanelLayout& layout = meter::LayoutFor(meter::StyleFromFlags(flagWord));
    const common::DpiFactors dpi = common::ScreenDpiFactors();
    *width = common::ScaleX(dpi, layout.size.cx);
    *height = common::ScaleY(dpi, layout.size.cy);
}

void InstallPanelHooks() noexcept {
    meter::g_PanelHooks.mainWindow = []() { return g_hMainWnd; };
    meter::g_PanelHooks.showPanelMenu = [](HWND panel, POINT client) { tray::ShowRightClickMenu(panel, false, client); };
    meter::g_PanelHooks.showPlanMenu = [](HWND panel, POINT client) { tray::ShowLeftClickMenu(panel, &client); };
    meter::g_PanelHooks.measureItem = tray::OnMeasureMenuItem;
    meter::g_PanelHooks.drawItem = tray::OnDrawMenuItem;
    meter::g_PanelHooks.showHelp = []() { OpenHelpTopic(kHelpTopicMeterPanel); };
    meter::g_PanelHooks.openDisplaySettings = OpenPanelDisplaySettings;
}

}  // namespace

void InstallBatteryHooks() noexcept {
    battery::g_BatteryHooks.lcdRatesApply = []() { return display::bLCD; };
    battery::g_BatteryHooks.noSpeedStep = meter::NoSpeedStep;
    battery::g_BatteryHooks.currentLevel = []() {
        const int brightness = display::ChangeBrightness(display::BC_GET);
        // A percentage becomes a level; "not known" and "automatic" pass as they are.
        if (brightness >= 0 && brightness < display::BC_NONE) {
            return static_cast<int>(display::PercentToLevel(static_cast<DWORD>(brightness)));
        }
        return brightness;
    };
    battery::g_BatteryHooks.percentToLevel = [](int percent) {
        return static_cast<int>(display::PercentToLevel(static_cast<DWORD>(percent)));
    };
    // Asked of the display driver itself: the loader reads the rate tables before it sets up
    // the brightness code.
    battery::g_BatteryHooks.brightnessLevels = []() {
        DWORD levels = 0;
        display::QuerySupportedBrightnessLevels(&levels);
        return static_cast<int>(levels);
    };
    battery::g_BatteryHooks.panelUpdateRunning = meter::PanelUpdateRunning;
}

void LoadProgramTitle(HINSTANCE instance) noexcept {
    LoadStringW(instance, IDS_PROGRAM_TITLE, g_szProgramTitle, static_cast<int>(kTitleChars));
    SetErrorLogCaption(g_szProgramTitle);
}

int InitInstance(HINSTANCE instance, int showCommand) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Enter");
    _wsetlocale(LC_ALL, L"japanese");
    // The chassis query joins here; the toast library is loaded by WinMain once the main window
    // exists (OS model 3).
    StartCom();
    display::InitializeWMI();  // without it every brightness call connects itself
    g_hInstance = instance;
    SetErrorLogModule(instance);
    LoadProgramTitle(instance);
    app::RegisterModeUi();
    LoadStringW(instance, IDS_BUTTON_TITLE, g_szButtonTitle, static_cast<int>(kTitleChars));

    if (!g_hInstanceMutex) {
        return FailInit(IDS_ERR_CREATE_MUTEX, InstanceMutexError());
    }
    if (!plans::CreatePlanListLock()) {  // error 4 written
        LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Exit retval:%08x", 0);
        return 0;
    }

    g_dwOsModel = DetermineOsModel();
    // The loader hands the panel and monitor work to the display code.
    display::InstallDisplayHooks();
    plans::g_SettingsHooks.loadBatterySettings = battery::LoadBatterySettings;
    // A desktop chassis counts as having no battery (the chassis type is read once, over WMI).
    plans::g_SettingsHooks.batteryPresent = []() { return !peakcut::IsDesktopChassis() && battery::HasBatteryDevice(); };
    plans::g_SettingsHooks.measureProcessorMhz = meter::QueryProcessorStatusMhz;
    plans::g_SettingsHooks.captureFactoryDefaults = plans::CaptureFactoryDefaults;
    plans::g_SettingsHooks.loadEcoLevelLibrary = LoadEcoLevelLibrary;
    meter::IdentifyProcessor();
    // Before the loader: it reads the battery's rate tables, which need the panel's levels.
    InstallBatteryHooks();
    plans::g_SettingsHooks.panelSize = PanelSize;
    plans::g_SettingsHooks.readAutoRecord = battery::LoadAutoSettings;
    plans::LoadSettings();
    if (!OsVersionAtLeast(6, 0)) {
        return FailInit(IDS_NEEDS_VISTA, GetLastError());
    }
    plans::g_Settings.blob.dwFlagWord &= ~plans::FLAG_CANTCHGPP;
    const DWORD helpError = InitHelp(instance);  // the tray icon caches are cleared by the notification-area code
    if (helpError != ERROR_SUCCESS) {
        WriteErrorLog(IDS_ERR_MODULE_FILE_NAME, helpError, ERRLOG_FILE);
    }
    plans::activepsi = plans::PlanRecord{};
    g_bRunFlag = true;
    if (g_AucPauseGate.Create() != ERROR_SUCCESS) {
        // The automatic plan change then simply cannot be paused.
        WriteErrorLog(IDS_ERR_CREATE_EVENT, GetLastError(), ERRLOG_FILE);
    }
    meter::SpeedMonitorConfig speed;
    speed.runFlag = &g_bRunFlag;
    speed.sampleLock = g_hInstanceMutex.Get();
    speed.mainWindow = []() { return g_hMainWnd; };
    speed.panelWindow = meter::MeterPanelWindow;
    const DWORD speedError = meter::StartSpeedMonitor(speed);
    if (speedError != ERROR_SUCCESS) {
        return FailInit(IDS_ERR_THREAD_PPI, speedError);
    }
    // Peak cut (only with the link library installed): its thread's queue exists on return.
    DWORD peakCutError = ERROR_SUCCESS;
    if (peakcut::StartPeakCut(&g_bRunFlag, []() { return g_hMainWnd; }, &peakCutError) &&
        peakCutError != ERROR_SUCCESS) {
        StopStartedWorkers();
        LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Exit retval:%08x", 0);
        return 0;  // error-log record 7 written
    }
    if ((plans::g_Settings.blob.dwFlagWord & plans::FLAG_BATTERY) != 0) {
        const DWORD threadError = battery::StartBatteryThread(&g_bRunFlag);
        if (threadError != ERROR_SUCCESS) {
            return FailInit(IDS_ERR_THREAD_PPI, threadError);
        }
    }
    // After the battery poll thread, whose checks the automatic change reads.
    StartAutomaticPlanChange();
    // The peak-cut poll thread and its events start here as they join.

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
        return FailInit(IDS_ERR_CREATE_WINDOW, GetLastError());
    }
    peakcut::NotifyMainWindowReady();
    CreateHiddenButton(instance);
    HWND panel = nullptr;
    if (ui::PanelConfigured()) {
        InstallPanelHooks();
        // Owned by the main window when that is a tool window, else by the desktop.
        HWND owner = plans::HasFlag(plans::FLAG_TOOL_WINDOW) ? g_hMainWnd : nullptr;
        panel = meter::CreateMeterPanel(instance, owner);
        if (panel == nullptr) {   // error 9 written
            StopStartedWorkers();
            LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Exit retval:%08x", 0);
            return 0;
        }
    }

    ShowWindow(g_hMainWnd, SW_HIDE);
    if (panel == nullptr || ui::TrayOnly()) {
        if (panel != nullptr) {
            ShowWindow(panel, SW_HIDE);
        }
        PostMessageW(g_hMainWnd, WM_COMMAND, MAKEWPARAM(IDM_MINIMIZE_TO_TRAY, MINIMIZE_CODE_STARTUP), 0);
    } else {
        ShowWindow(panel, showCommand);
        UpdateWindow(panel);
    }

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
