#include <windows.h>
#include <shlobj.h>
#include <strsafe.h>

#include <new>

#include "common/registry.h"
#include "common/handles.h"
#include "common/log.h"
#include "display/brightness_ctrl.h"
#include "display/display.h"
#include "display/display_seams.h"
#include "display/monitors.h"
#include "plans/guid_text.h"
#include "plans/mode_switch.h"
#include "plans/power_values.h"
#include "plans/reg_values.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace display {

std::vector<WORD> nsr_lcd_val = {0, 1, 2, 3, 4, 5, 6, 7};
DWORD dwBLevel = kDefaultLevelCount;
bool bLCD = false;
bool bALS = false;
bool g_bPanelControl = false;
bool g_bExternalMonitorSupported = false;
DWORD g_dwFirstWaitMs = 0;
DWORD g_dwAlsWaitMs = 0;
GetSystemPowerStatusFn g_pfnGetSystemPowerStatus = GetSystemPowerStatus;

namespace {

constexpr wchar_t kTraceName[] = L"ChangeBrightness";
constexpr DWORD kVexPathBytes = 520;
constexpr wchar_t kDefaultVexSubPath[] = L"\\OrvelVEX\\Vexapi.dll";
constexpr DWORD kAlsStepMs = 100;
constexpr DWORD kNudgeWaitMs = 200;
constexpr BYTE kCmosModeAuto = 1;
constexpr BYTE kCmosModeNudged = 0x81;
constexpr DWORD kVexWriteFailed = 2;
constexpr DWORD kVexReadFailed = 3;
constexpr DWORD kAlsFallbackBrightness = 100;
constexpr BYTE kAcOnline = 1;

using QuerySupportedFn = int(WINAPI*)();
using ByteFn = int(WINAPI*)(BYTE*);
using ConstByteFn = int(WINAPI*)(const BYTE*);

struct Vexapi {
    common::UniqueModule module;
    ByteFn readBrightValue = nullptr;
    ConstByteFn writePmcInfo = nullptr;
    ByteFn readBrightMode = nullptr;
    ByteFn readInfo = nullptr;
};
Vexapi g_vex;
wchar_t g_szVexPath[kVexPathBytes / sizeof(wchar_t)] = {};
bool g_bVexPathKnown = false;

template <typename T>
T Bind(HMODULE module, const char* name) noexcept {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void RememberVexPath() noexcept {
    if (g_bVexPathKnown) {
        return;
    }
    g_bVexPathKnown = true;
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, plans::kSolvaneKey, 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS &&
        common::ReadRegString(key.Get(), L"VexDll", g_szVexPath, ARRAYSIZE(g_szVexPath)) == ERROR_SUCCESS) {
        return;
    }
    wchar_t folder[MAX_PATH] = {};
    g_szVexPath[0] = L'\0';
    if (SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE) &&
        FAILED(StringCchPrintfW(g_szVexPath, ARRAYSIZE(g_szVexPath), L"%s%s", folder, kDefaultVexSubPath))) {
        g_szVexPath[0] = L'\0';  // a cut path would name another file
    }
}

bool OnMains(const SYSTEM_POWER_STATUS& status) noexcept { return status.ACLineStatus == kAcOnline; }

bool ExternalMonitorMode() noexcept { return (plans::g_Settings.blob.dwFlagWord & plans::FLAG_EXT_MONITOR) != 0; }

// The active plan with its extension values; false when no plan is active.
bool ReadActivePlanRecord(plans::PlanRecord* record) noexcept {
    *record = plans::PlanRecord{};
    if (plans::ReadActiveScheme(&record->guid) != ERROR_SUCCESS) {
        record->guid = GUID_NULL;
        return false;
    }
    plans::ReadPlanRecord(record);
    return true;
}

// The active plan's extension values only (what the monitor path uses); false without a plan.
bool ReadActivePlanExtension(plans::PlanRecord* record) noexcept {
    *record = plans::PlanRecord{};
    if (plans::ReadActiveScheme(&record->guid) != ERROR_SUCCESS) {
        record->guid = GUID_NULL;
        return false;
    }
    wchar_t path[MAX_PATH] = {};
    common::UniqueRegKey key;
    if (plans::BuildPlanKeyPath(record->guid, path, ARRAYSIZE(path))) {
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, key.Put());
    }
    plans::ReadExtensionValues(record, key.Get());
    return true;
}

// The plan's display brightness for the power source in force, as the plan record read it;
// false when the record holds no value for that source.
bool ReadPlanBrightness(const plans::PlanRecord& activepsi, const SYSTEM_POWER_STATUS& status, DWORD* value) noexcept {
    const INT32 brightness = OnMains(status) ? activepsi.nBrightnessAC : activepsi.nBrightnessDC;
    if (plans::IsNullGuid(activepsi.guid) || brightness < 0 || brightness >= BC_NONE) {
        return false;
    }
    *value = static_cast<DWORD>(brightness);
    return true;
}

void TraceAls(const plans::AmbientLightRange& als) noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"ucMode:%d,ucAC_MAX:%d,ucAC_MIN:%d,ucDC_MAX:%d,ucDC_MIN:%d", als.ucMode,
              als.ucAC_MAX, als.ucAC_MIN, als.ucDC_MAX, als.ucDC_MIN);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WRITE_CMOS_PMCINFO()");
}

bool WriteAlsBlock(const plans::AmbientLightRange& als) noexcept {
    TraceAls(als);
    if (g_vex.writePmcInfo == nullptr || g_vex.writePmcInfo(reinterpret_cast<const BYTE*>(&als)) == 0) {
        WriteErrorLog(IDS_ERR_VEXAPI, kVexWriteFailed, ERRLOG_FILE);
        return false;
    }
    return true;
}

// Reads a REG_DWORD of the program's machine key; records `errorId` for a failure other than
// a missing value.
bool ReadMachineDword(HKEY key, const wchar_t* name, UINT errorId, DWORD* value) noexcept {
    const LSTATUS status = common::QueryRegDword(key, name, value);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        WriteErrorLog(errorId, static_cast<ULONGLONG>(status), ERRLOG_FILE);
    }
    return status == ERROR_SUCCESS;
}

// "BLevel" and "BValue" replace the discovered level table. The table changes only when both
// values were read, so that dwBLevel always counts the entries of the table in force.
void ReadRegistryLevels(HKEY key) {
    DWORD count = 0;
    if (!ReadMachineDword(key, L"BLevel", IDS_ERR_READ_BLEVEL, &count)) {
        return;
    }
    if (count == 0) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"BLevel 0 ignored");
        return;
    }
    if (count > kMaxLevels) {
        count = kMaxLevels;
    }
    std::vector<WORD> table;
    try {
        table.assign(count, 0);
    } catch (const std::bad_alloc&) {
        WriteErrorLog(IDS_ERR_HEAP_ALLOC, count * sizeof(WORD), ERRLOG_FILE);
        return;
    }
    // A shorter value leaves the remaining levels 0; a longer one (a "BLevel" above 256 was
    // clamped) gives its first entries.
    DWORD cbRead = 0;
    const LSTATUS status = common::ReadRegBinaryPrefix(key, L"BValue", table.data(),
                                                       static_cast<DWORD>(table.size() * sizeof(WORD)), &cbRead);
    if (status != ERROR_SUCCESS) {
        if (status != ERROR_FILE_NOT_FOUND) {
            WriteErrorLog(IDS_ERR_READ_BVALUE, static_cast<ULONGLONG>(status), ERRLOG_FILE);
        }
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"BValue unreadable: the table of %u levels stays", dwBLevel);
        return;
    }
    nsr_lcd_val.swap(table);
    dwBLevel = count;
}

void InitBrightness() {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"uiFunc == 0");
    bALS = LoadVexapi() != FALSE;
    common::UniqueRegKey key;
    const bool keyOpen =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, plans::kSolvaneKey, 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS;
    DWORD aslSupported = 0;
    if (keyOpen && common::QueryRegDword(key.Get(), L"ASLSupported", &aslSupported) == ERROR_SUCCESS &&
        aslSupported == 1) {
        g_bPanelControl = bLCD = InitLCDDevice() != FALSE;
    }
    if (ExternalMonitorMode()) {
        g_bExternalMonitorSupported = GetExternalMonitorSupported();
        if (!g_bPanelControl) {
            bLCD = g_bExternalMonitorSupported;
        }
    }
    if (!keyOpen) {
        return;
    }
    ReadRegistryLevels(key.Get());
    gBctl.InitFromTable(kTableMode, nsr_lcd_val.data(), dwBLevel);
    g_dwFirstWaitMs = kDefaultFirstWaitMs;
    g_dwAlsWaitMs = kDefaultAlsWaitMs;
    if (!ReadMachineDword(key.Get(), L"ECWait0", IDS_ERR_READ_ECWAIT, &g_dwFirstWaitMs)) {
        g_dwFirstWaitMs = kDefaultFirstWaitMs;
    }
    if (!ReadMachineDword(key.Get(), L"ECWait1", IDS_ERR_READ_ECWAIT, &g_dwAlsWaitMs)) {
        g_dwAlsWaitMs = kDefaultAlsWaitMs;
    }
}

void ApplyToPanel(const plans::PlanRecord& activepsi, const SYSTEM_POWER_STATUS& status) {
    Sleep(g_dwFirstWaitMs);
    if (bALS) {
        WriteAlsBlock(activepsi.biALS);
    }
    const DWORD fallback = nsr_lcd_val.empty() ? kAlsFallbackBrightness : nsr_lcd_val.back();
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"Brightness:%d", fallback);
    DWORD lastSet = 0;
    if (!ReadPlanBrightness(activepsi, status, &lastSet)) {
        lastSet = fallback;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"Brightness:%d, LastSetBrightness:%d", fallback, lastSet);
    if (activepsi.biALS.ucMode != 0) {
        return;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"activepsi.biALS.ucMode == 0");
    SetPanelBrightness(lastSet);
    const plans::PowerSource source = OnMains(status) ? plans::PowerSource::AC : plans::PowerSource::DC;
    const DWORD written = plans::WritePowerSetting(activepsi.guid, plans::PowerSetting::Brightness, source, lastSet);
    if (written != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"plan brightness not written back: %u", written);
    }
}

void ApplyPlanBrightness() {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"(uiFunc == 0) || (uiFunc == 1)");
    plans::PlanRecord activepsi{};
    SYSTEM_POWER_STATUS status{};
    const bool statusRead = g_pfnGetSystemPowerStatus(&status) != FALSE;
    if (g_bPanelControl && statusRead) {
        ReadActivePlanRecord(&activepsi);
        if (!plans::IsNullGuid(activepsi.guid)) {
            ApplyToPanel(activepsi, status);
        }
        return;
    }
    // The monitors need only the plan's monitor level and its enable flag.
    if (ExternalMonitorMode() && g_bExternalMonitorSupported && !IsMonitorAccessBlocked() &&
        ReadActivePlanExtension(&activepsi)) {
        ApplyPlanToMonitors(activepsi);
    }
}

int ReportBrightness() {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"uiFunc == 2");
    int result = BC_NONE;
    plans::PlanRecord activepsi{};
    ReadActivePlanRecord(&activepsi);
    SYSTEM_POWER_STATUS status{};
    const bool statusRead = g_pfnGetSystemPowerStatus(&status) != FALSE;
    if (g_bPanelControl && statusRead) {
        DWORD value = 0;
        if (ReadPlanBrightness(activepsi, status, &value)) {
            result = static_cast<int>(value);
        }
    } else if (ExternalMonitorMode() && g_bExternalMonitorSupported) {
        if (!IsMonitorAccessBlocked()) {
            const int percent = GetExternalMonitorBrightness();
            if (percent != BC_NONE) {
                result = static_cast<int>(gBctl.PercentToLevel(static_cast<DWORD>(percent)));
            }
        }
    }
    if (bALS) {
        BYTE mode = 0;
        if (g_vex.readBrightMode == nullptr || g_vex.readBrightMode(&mode) == 0) {
            WriteErrorLog(IDS_ERR_VEXAPI, kVexReadFailed, ERRLOG_FILE);
        } else if (mode == kCmosModeAuto) {
            result = BC_AUTO;
        }
    }
    return result;
}

void HandAmbientLightOver() {
    plans::PlanRecord activepsi{};
    ReadActivePlanRecord(&activepsi);
    SYSTEM_POWER_STATUS status{};
    if (!bALS || g_pfnGetSystemPowerStatus(&status) == FALSE) {
        return;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"bALS && (uiFunc == BC_AUTO)");
    Sleep(kAlsStepMs);
    if (!WriteAlsBlock(activepsi.biALS)) {
        return;
    }
    Sleep(kAlsStepMs);
    DWORD lastSet = 0;
    if (!ReadPlanBrightness(activepsi, status, &lastSet)) {
        lastSet = kAlsFallbackBrightness;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"LastSetBrightness:%d", lastSet);
    Sleep(g_dwAlsWaitMs);
    Call_BLC(lastSet);
    if (activepsi.biALS.ucMode == 0) {
        SetPanelBrightness(lastSet);
    }
}

}  // namespace

int ChangeBrightness(UINT uiFunc) {
    LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Enter");
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"uiFunc:%08x", uiFunc);
    int result = BC_NONE;
    if (uiFunc == BC_INIT) {
        InitBrightness();
    } else if (bLCD) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"bLCD && uiFunc");
        switch (uiFunc) {
        case BC_SET:
            ApplyPlanBrightness();
            break;
        case BC_GET:
            result = ReportBrightness();
            break;
        case static_cast<UINT>(BC_AUTO):
            HandAmbientLightOver();
            break;
        default:
            break;
        }
    }
    LOG_TRACE(TRACE_LEVEL_APP, kTraceName, L"Exit retval:%08x", result);
    return result;
}

BOOL InitLCDDevice() {
    constexpr wchar_t kName[] = L"InitLCDDevice";
    LOG_TRACE(TRACE_LEVEL_APP, kName, L"Enter");
    std::vector<WORD> levels;
    DWORD count = 0;
    if (SUCCEEDED(GetWmiMonitorBrightnessLevels(&levels, &count)) && count != 0 && !levels.empty()) {
        nsr_lcd_val.swap(levels);
        dwBLevel = static_cast<DWORD>(nsr_lcd_val.size());
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"nsr_lcd_val_mem = nsr_lcd_val;");
        LOG_TRACE(TRACE_LEVEL_APP, kName, L"Exit retval:%08x", TRUE);
        return TRUE;
    }
    common::UniqueFile device(CreateFileW(kLcdDevicePath, GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!device) {
        if (!ExternalMonitorMode()) {
            WriteErrorLog(IDS_ERR_LCD_OPEN, GetLastError(), ERRLOG_FILE);
        }
        LOG_TRACE(TRACE_LEVEL_APP, kName, L"Exit retval:%08x", FALSE);
        return FALSE;
    }
    BYTE buffer[kMaxLevels] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(device.Get(), IOCTL_QUERY_SUPPORTED_BRIGHTNESS, nullptr, 0, buffer, sizeof(buffer),
                         &returned, nullptr)) {
        WriteErrorLog(IDS_ERR_LCD_NOT_SUPPORTED, GetLastError(), ERRLOG_FILE);
        LOG_TRACE(TRACE_LEVEL_APP, kName, L"Exit retval:%08x", FALSE);
        return FALSE;
    }
    if (returned == 0 || returned > kMaxLevels) {
        LOG_TRACE(TRACE_LEVEL_APP, kName, L"Exit retval:%08x", FALSE);
        return FALSE;
    }
    dwBLevel = returned;
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"dwBLevel:%d", dwBLevel);
    nsr_lcd_val.assign(returned, 0);
    for (DWORD i = 0; i < returned; ++i) {
        nsr_lcd_val[i] = buffer[i];
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"nsr_lcd_val[%d]:%d", i, nsr_lcd_val[i]);
    }
    LOG_TRACE(TRACE_LEVEL_APP, kName, L"Exit retval:%08x", TRUE);
    return TRUE;
}

BOOL LoadVexapi() {
    constexpr wchar_t kName[] = L"LoadVexapi";
    RememberVexPath();
    if (g_szVexPath[0] == L'\0') {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"no CMOS library");
        return FALSE;
    }
    UnloadVexapi();
    common::UniqueModule module(LoadLibraryW(g_szVexPath));
    if (!module) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"%s not loaded: %u", g_szVexPath, GetLastError());
        return FALSE;
    }
    const auto querySupported = Bind<QuerySupportedFn>(module.Get(), "CMOSIF_QuerySupported");
    if (querySupported == nullptr) {
        return FALSE;  // the module is freed by its owner
    }
    g_vex.module = std::move(module);
    if (querySupported() == 0) {
        UnloadVexapi();
        return FALSE;
    }
    g_vex.readBrightValue = Bind<ByteFn>(g_vex.module.Get(), "READ_CMOS_BrightValue");
    g_vex.writePmcInfo = Bind<ConstByteFn>(g_vex.module.Get(), "WRITE_CMOS_PMCINFO");
    g_vex.readBrightMode = Bind<ByteFn>(g_vex.module.Get(), "READ_CMOS_BrightMode");
    g_vex.readInfo = Bind<ByteFn>(g_vex.module.Get(), "READ_CMOS_INFO");
    return g_vex.readBrightValue != nullptr && g_vex.writePmcInfo != nullptr && g_vex.readBrightMode != nullptr &&
           g_vex.readInfo != nullptr;
}

void UnloadVexapi() {
    g_vex.readBrightValue = nullptr;
    g_vex.writePmcInfo = nullptr;
    g_vex.readBrightMode = nullptr;
    g_vex.readInfo = nullptr;
    g_vex.module.Reset();
}

void Call_BLC(DWORD value) {
    SetPanelBrightness(value > 0 ? value - 1 : value + 1);
    if (!bALS) {
        return;
    }
    Sleep(kNudgeWaitMs);
    BYTE mode = 0;
    if (g_vex.readBrightMode != nullptr && g_vex.readBrightMode(&mode) != 0) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"Call_BLC", L"CMOD 7D:%02x", mode);
        if (mode == kCmosModeNudged) {
            SetPanelBrightness(value);
        }
    }
}

void SetPanelBrightness(DWORD value) {
    if (SUCCEEDED(SetWmiMonitorBrightness(WmiInstanceName(), value))) {
        return;
    }
    WriteErrorLog(IDS_ERR_LCD_SET, GetLastError(), ERRLOG_FILE);
    const BYTE level = static_cast<BYTE>(value);
    const DisplayBrightness record = {kDisplayPolicyBoth, level, level};
    if (!gBctl.SetDisplayBrightness(&record)) {
        WriteErrorLog(IDS_ERR_LCD_SET, GetLastError(), ERRLOG_FILE);
    }
}

BOOL QuerySupportedBrightnessLevels(DWORD* pnLevels) {
    constexpr wchar_t kName[] = L"QuerySupportedBrightnessLevels";
    if (pnLevels == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kName, L"%s is NULL.", L"pnLevels");
        return FALSE;
    }
    BYTE buffer[kMaxLevels] = {};
    DWORD size = sizeof(buffer);
    if (!gBctl.QuerySupportedBrightness(buffer, &size)) {
        *pnLevels = 0;
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"gBctl.QuerySupportedBrightness() - error");
        return FALSE;
    }
    *pnLevels = size;
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"dwLevels:%d", size);
    return TRUE;
}

DWORD PercentToLevel(DWORD percent) { return gBctl.PercentToLevel(percent); }

void InstallDisplayHooks() {
    plans::g_SettingsHooks.initBrightness = [] {
        ChangeBrightness(BC_INIT);
        DWORD levels = 0;
        QuerySupportedBrightnessLevels(&levels);
        SetPanelLevelCount(levels);
        plans::SetHighestBrightnessLevel(static_cast<BYTE>(levels - 1));
    };
    plans::g_SettingsHooks.probeExternalMonitors = [] { return CountSupportMonitors() > 0; };
    plans::g_SettingsHooks.setExternalMonitorTiming = [](const plans::ExternalMonitorTiming& timing) {
        SetRetrySettings(timing);
        // The records are built at start only while no other program holds the monitors.
        if (!IsMonitorAccessBlocked()) {
            InitializeMonitorData();
        }
    };
    plans::g_pfnCheckAmbientLightRange = VerifyAlsSetting;
    plans::g_pfnApplyPlanBrightness = [] { ChangeBrightness(BC_SET); };
}

void ShutdownDisplay() {
    ReleaseMonitorData();
    FreeBrightnessTables();
    ReleaseWMI();
    if (bALS) {
        UnloadVexapi();
    }
}

}  // namespace display
