#include <winsock2.h>

#include "plans/settings.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <strsafe.h>

#include <cmath>
#include <cwchar>
#include <vector>

#include "common/handles.h"
#include "common/log.h"
#include "common/os_model.h"
#include "common/registry.h"
#include "drivers/drivers.h"
#include "plans/error_ids.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/power_guids.h"
#include "plans/reg_values.h"
#include "resources/resource.h"

namespace plans {

SettingsRecord g_Settings{};
SettingsHooks g_SettingsHooks{};

namespace {

constexpr DWORD kSchemeListMaxBytes = 384;
constexpr DWORD kModeDefaultListMaxBytes = 432;
// A brace-enclosed GUID with its terminator is 78 bytes; leave room for blanks around it.
constexpr DWORD kGuidValueMaxBytes = 128;
constexpr DWORD kEcoModeThree = 2;
constexpr DWORD kCapabilityCanSetState = 0x1;
constexpr DWORD kIfTypeWireless = 71;  // IF_TYPE_IEEE80211
constexpr const wchar_t* kCpuKey = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
constexpr double kMaxClockMhz = 4.0e9;  // what a DWORD holds, with room for the rounding

void LogUnlessNotFound(UINT id, LSTATUS status) {
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        WriteErrorLog(id, static_cast<ULONGLONG>(status), ERRLOG_FILE);
    }
}

template <typename T>
void ReadOptionalDword(HKEY key, const wchar_t* name, T* field) {
    DWORD value = 0;
    if (common::QueryRegDword(key, name, &value) == ERROR_SUCCESS) {
        *field = static_cast<T>(value);
    }
}

// Step 2: the per-user blob and colours. Returns true when a valid blob was read.
bool LoadUserSettings() {
    common::UniqueRegKey key;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, kSolvaneKey, 0, KEY_READ, key.Put());
    if (status != ERROR_SUCCESS) {
        LogUnlessNotFound(kErrSettingsKeyOpen, status);
        return false;
    }
    bool valid = false;
    SettingsBlob blob;
    DWORD cbStored = 0;
    status = common::ReadRegBinary(key.Get(), L"Settings", &blob, kSettingsBlobSize, &cbStored);
    if (status == ERROR_SUCCESS) {
        if (blob.valid != 0) {
            g_Settings.blob = blob;
            valid = true;
        }
    } else if (status == ERROR_INVALID_DATA) {  // another size or type
        WriteErrorLog(kErrSettingsSize, cbStored, ERRLOG_FILE);
    } else {
        LogUnlessNotFound(kErrSettingsRead, status);
    }
    DWORD saveColor = 0;
    status = common::QueryRegDword(key.Get(), L"SaveColor", &saveColor);
    if (status == ERROR_SUCCESS) {
        g_Settings.dwSaveColor = saveColor;
    } else {
        LogUnlessNotFound(kErrReadSaveColor, status);
    }
    return valid;
}

// The processor's name. A missing key or value, or an empty name, is logged and gives FALSE
// with an empty name.
BOOL ReadProcessorName(wchar_t* name, size_t cchName) {
    name[0] = L'\0';
    common::UniqueRegKey key;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCpuKey, 0, KEY_QUERY_VALUE, key.Put());
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(IDS_ERR_CPU_KEY, static_cast<ULONGLONG>(status), ERRLOG_FILE);
        return FALSE;
    }
    status = common::ReadRegString(key.Get(), L"ProcessorNameString", name, cchName, common::RegText::Expandable);
    if (status != ERROR_SUCCESS || name[0] == L'\0') {
        name[0] = L'\0';
        WriteErrorLog(IDS_ERR_CPU_NAME_VALUE, static_cast<ULONGLONG>(status), ERRLOG_FILE);
        return FALSE;
    }
    return TRUE;
}

// "~MHz": kept text, or measured and written back when allowed.
void LoadClockText(HKEY machineKey) {
    wchar_t text[kMhzTextChars] = {};
    LSTATUS status = common::ReadRegString(machineKey, L"~MHz", text, ARRAYSIZE(text), common::RegText::Expandable);
    if (status == ERROR_SUCCESS) {
        StringCchCopyW(g_Settings.szMHz, ARRAYSIZE(g_Settings.szMHz), text);
        const DWORD mhz = LeadingNumber(text);
        if (mhz != 0) {
            g_Settings.dwProcessorMhz = mhz;
        }
        return;
    }
    if (status != ERROR_FILE_NOT_FOUND) {
        return;
    }
    if ((g_Settings.nModelNumber == 0 && !g_Settings.bAthlon) || g_SettingsHooks.measureProcessorMhz == nullptr) {
        return;
    }
    const DWORD mhz = g_SettingsHooks.measureProcessorMhz();
    if (mhz == 0) {
        return;
    }
    g_Settings.dwProcessorMhz = mhz;
    StringCchPrintfW(g_Settings.szMHz, ARRAYSIZE(g_Settings.szMHz), L"%luMHz", static_cast<unsigned long>(mhz));
    common::UniqueRegKey writeKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSolvaneKey, 0, KEY_SET_VALUE, writeKey.Put()) == ERROR_SUCCESS) {
        common::WriteRegString(writeKey.Get(), L"~MHz", g_Settings.szMHz);
    }
}

void LoadSchemeList(HKEY machineKey) {
    wchar_t data[kSchemeListMaxBytes / sizeof(wchar_t) + 1] = {};
    DWORD type = 0;
    DWORD cb = kSchemeListMaxBytes;
    if (RegQueryValueExW(machineKey, L"SchemeList", nullptr, &type, reinterpret_cast<BYTE*>(data), &cb) !=
            ERROR_SUCCESS ||
        type != REG_MULTI_SZ) {
        return;
    }
    ApplySchemeList(data, cb / sizeof(wchar_t), g_Settings.nPinnedCount, g_Settings.pinned);
}

// Step 6, in its fixed order. Returns the open machine key for the later steps.
void LoadMachineSettings(DWORD* recomputed) {
    common::UniqueRegKey key;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSolvaneKey, 0, KEY_READ, key.Put());
    if (status != ERROR_SUCCESS) {
        LogUnlessNotFound(kErrSettingsKeyOpen, status);
    }
    DWORD ecoMode = 0;
    if (key) {
        common::QueryRegDword(key.Get(), L"EcoMode", &ecoMode);
    }
    *recomputed |= EcoModeFlags(ecoMode);
    if (key) {
        ReadOptionalDword(key.Get(), L"TimerLED", &g_Settings.nTimerLED);
    }
    g_Settings.nPinnedCount = DefaultPinnedPlans(*recomputed, g_Settings.pinned);
    if (!key) {
        return;
    }
    ReadOptionalDword(key.Get(), L"ModelNumber", &g_Settings.nModelNumber);
    LoadClockText(key.Get());
    LoadSchemeList(key.Get());
    ReadOptionalDword(key.Get(), L"NumDefScheme", &g_Settings.dwNumDefScheme);
    DWORD allowConstant = 0;
    if (common::QueryRegDword(key.Get(), L"AllowConstant", &allowConstant) == ERROR_SUCCESS) {
        g_Settings.bAllowConstant = allowConstant != 0;
    }
    ReadOptionalDword(key.Get(), L"Ferrow", &g_Settings.nFerrow);
    ReadOptionalDword(key.Get(), L"LegacyBIOS", &g_Settings.nLegacyBIOS);
    DWORD meter = 0;
    if (common::QueryRegDword(key.Get(), L"Meter", &meter) == ERROR_SUCCESS && meter != 0) {
        *recomputed |= FLAG_METER;
    }
    ReadOptionalDword(key.Get(), L"PwrDlgActivate", &g_Settings.dwPwrDlgActivate);
    if (g_SettingsHooks.loadBatterySettings != nullptr) {
        g_SettingsHooks.loadBatterySettings(key.Get());
    }
}

bool WirelessAdapterPresent() {
    if (g_SettingsHooks.wirelessAdapterPresent != nullptr) {
        return g_SettingsHooks.wirelessAdapterPresent();
    }
    ULONG cb = 16 * 1024;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<BYTE> buffer(cb);
        auto* first = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
        const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
        const ULONG status = GetAdaptersAddresses(AF_UNSPEC, flags, nullptr, first, &cb);
        if (status == ERROR_BUFFER_OVERFLOW) {
            continue;
        }
        if (status != ERROR_SUCCESS) {
            return false;
        }
        for (auto* a = first; a != nullptr; a = a->Next) {
            if (a->IfType == kIfTypeWireless) {
                return true;
            }
        }
        return false;
    }
    return false;
}

void ReadGuidValue(HKEY key, const wchar_t* name, GUID* guid) {
    wchar_t text[kGuidValueMaxBytes / sizeof(wchar_t) + 1] = {};
    *guid = GUID_NULL;
    if (common::ReadRegString(key, name, text, ARRAYSIZE(text), common::RegText::Expandable) == ERROR_SUCCESS) {
        ParseGuidText(text, guid);
    }
}

void LoadTwoModeGuids() {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSolvaneKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return;
    }
    ReadGuidValue(key.Get(), L"GUID_L", &g_Settings.guidLow);
    ReadGuidValue(key.Get(), L"GUID_H", &g_Settings.guidHigh);
}

void LoadExternalMonitorTiming() {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSolvaneKey, 0, KEY_READ, key.Put()) == ERROR_SUCCESS) {
        ExternalMonitorTiming& t = g_Settings.monitorTiming;
        ReadOptionalDword(key.Get(), L"ExternalMonitorRetryCount", &t.retryCount);
        ReadOptionalDword(key.Get(), L"ExternalMonitorRetryTime", &t.retryTime);
        ReadOptionalDword(key.Get(), L"ExternalMonitorCheckCount", &t.checkCount);
        ReadOptionalDword(key.Get(), L"ExternalMonitorSleepTime", &t.sleepTime);
        ReadOptionalDword(key.Get(), L"ExternalMonitorDevChgTime", &t.devChgTime);
        ReadOptionalDword(key.Get(), L"ExternalMonitorLuiChkTime", &t.luiChkTime);
    }
    if (g_SettingsHooks.setExternalMonitorTiming != nullptr) {
        g_SettingsHooks.setExternalMonitorTiming(g_Settings.monitorTiming);
    }
}

void ResetToDefaults() {
    const DWORD osGeneration = g_Settings.dwOsGeneration;
    g_Settings = SettingsRecord{};
    g_Settings.dwOsGeneration = osGeneration;
    g_Settings.dwSaveColor = kDefaultSaveColor;
    g_Settings.dwLowerLimit = kDefaultLowerLimit;
    g_Settings.dwPwrDlgActivate = kDefaultPwrDlgActivate;
    g_Settings.nTimerLED = kDefaultTimerLED;
    g_Settings.dwNumDefScheme = kDefaultNumDefScheme;
    g_Settings.nPinnedCount = 2;
}

}  // namespace

DWORD EcoModeFlags(DWORD ecoMode) noexcept {
    if (ecoMode == 0) {
        return 0;
    }
    return ecoMode == kEcoModeThree ? (FLAG_ECO | FLAG_THREE_MODE) : FLAG_ECO;
}

DWORD MergeStartFlagWord(DWORD storedFlagWord, DWORD recomputed) noexcept {
    return (storedFlagWord & ~(kRecomputedFlags | kClearedFlags)) | (recomputed & kRecomputedFlags);
}

SettingsBlob MakeFirstStartBlob(const RECT& workArea, INT32 width, INT32 height) noexcept {
    SettingsBlob blob{};
    blob.valid = 1;
    blob.dwFlagWord = kFirstStartFlagWord;
    blob.width = width;
    blob.height = height;
    blob.left = workArea.right - width;
    blob.top = workArea.bottom - height - kFirstStartBottomGap;
    blob.colorIndex = (blob.dwFlagWord & FLAG_LAYOUT_ALT1) != 0 ? 4 : 0;
    return blob;
}

DWORD MergeSaveColor(DWORD saveColor, DWORD flagWord, INT32 colorIndex) noexcept {
    const DWORD index = static_cast<DWORD>(colorIndex) & 0xFFFF;
    if ((flagWord & FLAG_LAYOUT_ALT1) != 0) {
        return (saveColor & 0xFFFF) | (index << 16);
    }
    return (saveColor & 0xFFFF0000) | index;
}

int PanelLayout(DWORD flagWord) noexcept {
    if ((flagWord & FLAG_LAYOUT_ALT1) != 0) {
        return 1;
    }
    return (flagWord & FLAG_LAYOUT_ALT2) != 0 ? 2 : 0;
}

INT32 DefaultPinnedPlans(DWORD flagWord, GUID (&pinned)[kMaxPinnedPlans]) noexcept {
    for (GUID& g : pinned) {
        g = GUID_NULL;
    }
    if ((flagWord & FLAG_ECO) != 0 && IsThreeMode(flagWord)) {
        pinned[0] = kPlanBalanced;
        pinned[1] = kPlanPowerSaver;
        pinned[2] = kPlanHighPerformance;
        return 3;
    }
    return 2;
}

void ApplySchemeList(const wchar_t* data, size_t cchData, INT32 count, GUID (&pinned)[kMaxPinnedPlans]) {
    const size_t entries = count < 0 ? 0 : (static_cast<size_t>(count) > kMaxPinnedPlans ? kMaxPinnedPlans : count);
    const std::vector<GUID> parsed = ParseGuidMultiString(data, cchData, entries);
    for (size_t i = 0; i < entries; ++i) {
        // A string that does not parse (or a missing one) leaves GUID_NULL, which matches no plan.
        pinned[i] = i < parsed.size() ? parsed[i] : GUID_NULL;
    }
}

DWORD LeadingNumber(const wchar_t* text) noexcept {
    if (text == nullptr) {
        return 0;
    }
    while (*text == L' ' || *text == L'\t') {
        ++text;
    }
    DWORD value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        if (value > 100000000) {
            return 0;
        }
        value = value * 10 + static_cast<DWORD>(*text - L'0');
    }
    return value;
}

DWORD FrequencyFromName(const wchar_t* name, wchar_t* token, size_t cchToken) noexcept {
    if (token != nullptr && cchToken > 0) {
        token[0] = L'\0';
    }
    if (name == nullptr || token == nullptr || cchToken == 0) {
        return 0;
    }
    // From the end: the first blank that is followed by a decimal digit starts the clock text.
    const wchar_t* start = nullptr;
    for (size_t i = wcslen(name); i-- > 1;) {
        if (name[i - 1] == L' ' && name[i] >= L'0' && name[i] <= L'9') {
            start = name + i;
            break;
        }
    }
    if (start == nullptr) {
        return 0;
    }
    DWORD mhz = 0;
    if (wcsstr(start, L"GHz") != nullptr) {
        // Rounded: 2.01 x 1000 is 2009.999... in binary floating point.
        const double value = std::wcstod(start, nullptr) * 1000.0;
        mhz = value >= 0.0 && value < kMaxClockMhz ? static_cast<DWORD>(std::lround(value)) : 0;
    } else {
        mhz = LeadingNumber(start);
    }
    size_t n = 0;
    while (start[n] != L'\0' && start[n] != L' ' && n + 1 < cchToken) {
        token[n] = start[n];
        ++n;
    }
    token[n] = L'\0';
    return mhz;
}

int ModeSlotCount(bool threeMode) noexcept { return threeMode ? 3 : 2; }

int LedNoToSlot(DWORD ledNo, bool threeMode) noexcept {
    if (threeMode) {
        return (ledNo >= 1 && ledNo <= 3) ? static_cast<int>(ledNo) : 0;
    }
    if (ledNo == 3) {
        return 1;
    }
    return ledNo == 1 ? 2 : 0;
}

DWORD SlotToLedNo(int slot, bool threeMode) noexcept {
    if (threeMode) {
        return (slot >= 1 && slot <= 3) ? static_cast<DWORD>(slot) : 0;
    }
    if (slot == 1) {
        return 3;
    }
    return slot == 2 ? 1 : 0;
}

void ReadFactoryModeAssignment(bool threeMode, GUID (&slots)[kMaxPinnedPlans]) {
    for (GUID& g : slots) {
        g = GUID_NULL;
    }
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSolvaneKey, 0, KEY_READ, key.Put()) == ERROR_SUCCESS) {
        wchar_t data[kModeDefaultListMaxBytes / sizeof(wchar_t) + 1] = {};
        DWORD type = 0;
        DWORD cb = kModeDefaultListMaxBytes;
        if (RegQueryValueExW(key.Get(), L"ModeDefaultSchemeList", nullptr, &type, reinterpret_cast<BYTE*>(data),
                             &cb) == ERROR_SUCCESS &&
            type == REG_MULTI_SZ) {
            const std::vector<GUID> parsed = ParseGuidMultiString(data, cb / sizeof(wchar_t), kMaxPinnedPlans);
            for (size_t i = 0; i < parsed.size(); ++i) {
                slots[i] = parsed[i];
            }
            return;
        }
    }
    if (threeMode) {
        slots[0] = kPlanEcoMode1;
        slots[1] = kPlanEcoMode2;
        slots[2] = kPlanEcoMode3;
    } else {
        slots[0] = kPlanEcoMode3;
        slots[1] = kPlanEcoMode1;
    }
}

DWORD AcceptedLowerLimit(DWORD value) noexcept {
    return value >= kMinLowerLimit && value <= kMaxLowerLimit ? value : kDefaultLowerLimit;
}

DWORD DetermineOsGeneration() { return common::DetermineOsModel(); }

void LoadSettings() {
    LOG_TRACE(TRACE_LEVEL_APP, L"LoadSettings", L"Enter");
    ResetToDefaults();
    if (g_Settings.dwOsGeneration == 0) {
        g_Settings.dwOsGeneration = DetermineOsGeneration();
    }
    // 1. The automatic plan change record.
    if (g_SettingsHooks.readAutoRecord != nullptr) {
        g_SettingsHooks.readAutoRecord();
    }
    // 2. Per-user blob and colours.
    const bool blobValid = LoadUserSettings();
    // 3. Lowest processor percentage of the presets.
    {
        common::UniqueRegKey key;
        LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSolvaneKey, 0, KEY_READ, key.Put());
        if (status == ERROR_SUCCESS) {
            DWORD limit = kDefaultLowerLimit;
            status = common::QueryRegDword(key.Get(), L"LowerLimit", &limit);
            LogUnlessNotFound(kErrReadLowerLimit, status);
            if (status == ERROR_SUCCESS) {
                g_Settings.dwLowerLimit = AcceptedLowerLimit(limit);
                if (g_Settings.dwLowerLimit != limit) {
                    LOG_TRACE(TRACE_LEVEL_VALUES, L"LoadSettings", L"LowerLimit %u out of range: %u used", limit,
                              g_Settings.dwLowerLimit);
                }
            }
        }
    }
    // 4. First start: place the panel at the bottom-right of the work area and store the blob.
    if (!blobValid) {
        INT32 width = 0;
        INT32 height = 0;
        if (g_SettingsHooks.panelSize != nullptr) {
            g_SettingsHooks.panelSize(kFirstStartFlagWord, &width, &height);
        }
        RECT workArea{};
        if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) {
            workArea = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        }
        g_Settings.blob = MakeFirstStartBlob(workArea, width, height);
        SaveSettings();
    }
    // 5. Default clock from the processor name.
    wchar_t processorName[256];
    ReadProcessorName(processorName, ARRAYSIZE(processorName));
    g_Settings.bAthlon = wcsstr(processorName, L"Athlon") != nullptr;
    g_Settings.dwProcessorMhz = FrequencyFromName(processorName, g_Settings.szMHz, ARRAYSIZE(g_Settings.szMHz));
    // 6. Per-machine values in their fixed order.
    DWORD recomputed = 0;
    LoadMachineSettings(&recomputed);
    // 7. Capability bits.
    if (g_SettingsHooks.batteryPresent != nullptr && g_SettingsHooks.batteryPresent()) {
        recomputed |= FLAG_BATTERY;
    }
    if (WirelessAdapterPresent()) {
        recomputed |= FLAG_WIRELESS;
    }
    const DWORD capabilities = g_SettingsHooks.processorDriverCapabilities != nullptr
                                   ? g_SettingsHooks.processorDriverCapabilities()
                                   : drivers::QueryPowerSavingCapabilities();
    if ((capabilities & kCapabilityCanSetState) != 0) {
        recomputed |= FLAG_CPU_DRIVER;
    }
    g_Settings.blob.dwFlagWord = MergeStartFlagWord(g_Settings.blob.dwFlagWord, recomputed);
    // 8. Two-mode variant: the low and high plans.
    const DWORD flags = g_Settings.blob.dwFlagWord;
    if ((flags & FLAG_ECO) != 0 && !IsThreeMode(flags)) {
        LoadTwoModeGuids();
    }
    // 9. External-monitor support and its timing values.
    if (g_SettingsHooks.probeExternalMonitors != nullptr && g_SettingsHooks.probeExternalMonitors()) {
        g_Settings.blob.dwFlagWord |= FLAG_EXT_MONITOR;
        LoadExternalMonitorTiming();
    }
    // 10. Eco-level library and panel brightness.
    if (g_SettingsHooks.loadEcoLevelLibrary != nullptr) {
        g_SettingsHooks.loadEcoLevelLibrary();
    }
    if (g_SettingsHooks.initBrightness != nullptr) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"LoadSettings", L"INITBRIGHTNESS()");
        g_SettingsHooks.initBrightness();
    }
    // 11. Factory snapshots, then the plan list.
    if (g_SettingsHooks.captureFactoryDefaults != nullptr) {
        g_SettingsHooks.captureFactoryDefaults();
    }
    RefreshPlanList();
    LOG_TRACE(TRACE_LEVEL_APP, L"LoadSettings", L"Exit");
}

void SaveSettings() {
    LOG_TRACE(TRACE_LEVEL_APP, L"SaveSettings", L"Enter");
    common::UniqueRegKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kSolvaneKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_WRITE, nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(kErrSaveSettingsKey, static_cast<ULONGLONG>(status), ERRLOG_FILE);
        LOG_TRACE(TRACE_LEVEL_APP, L"SaveSettings", L"Exit - Error! retval:%08x", status);
        return;
    }
    if (g_Settings.blob.valid != 0) {
        status = RegSetValueExW(key.Get(), L"Settings", 0, REG_BINARY,
                                reinterpret_cast<const BYTE*>(&g_Settings.blob), kSettingsBlobSize);
        if (status != ERROR_SUCCESS) {
            WriteErrorLog(kErrSaveSettingsBlob, static_cast<ULONGLONG>(status), ERRLOG_FILE);
        }
    }
    g_Settings.dwSaveColor = MergeSaveColor(g_Settings.dwSaveColor, g_Settings.blob.dwFlagWord,
                                            g_Settings.blob.colorIndex);
    status = common::WriteRegDword(key.Get(), L"SaveColor", g_Settings.dwSaveColor);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(kErrSaveColor, static_cast<ULONGLONG>(status), ERRLOG_FILE);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"SaveSettings", L"Exit");
}

DWORD ReadPlanChangeWarning() {
    DWORD value = 1;
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSolvaneKey, 0, KEY_READ, key.Put()) == ERROR_SUCCESS) {
        common::QueryRegDword(key.Get(), L"PwrChangeDlg", &value);
    }
    return value;
}

void WritePlanChangeWarning(bool show) {
    common::UniqueRegKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kSolvaneKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_WRITE, nullptr, key.Put(), nullptr);
    if (status == ERROR_SUCCESS) {
        common::WriteRegDword(key.Get(), L"PwrChangeDlg", show ? 1 : 0);
    }
}

}  // namespace plans
