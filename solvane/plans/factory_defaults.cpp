#include "common/registry.h"
#include "plans/factory_defaults.h"

#include <powrprof.h>
#include <shlobj.h>
#include <strsafe.h>

#include "common/handles.h"
#include "common/log.h"
#include "plans/error_ids.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/reg_values.h"
#include "resources/resource.h"

namespace plans {

namespace {

constexpr size_t kKeyPathChars = 160;
constexpr DWORD kSnapshotNameMaxBytes = 516;
constexpr DWORD kSnapshotDescriptionMaxBytes = 2052;

bool BuildSnapshotPath(const GUID& plan, wchar_t* path, size_t cchPath) noexcept {
    wchar_t planKey[kKeyPathChars];
    return BuildPlanKeyPath(plan, planKey, ARRAYSIZE(planKey)) &&
           SUCCEEDED(StringCchPrintfW(path, cchPath, L"%s\\%s", planKey, kSnapshotSubkey));
}

bool BuildInstalledPath(const GUID& plan, wchar_t* path, size_t cchPath) noexcept {
    wchar_t text[kBracedGuidBufferChars];
    FormatKeyGuid(plan, text);
    return SUCCEEDED(StringCchPrintfW(path, cchPath, L"%s\\%s", kInstalledExtensionsKey, text));
}

LSTATUS OpenSnapshot(const GUID& plan, REGSAM access, common::UniqueRegKey* key) noexcept {
    wchar_t path[kKeyPathChars];
    if (!BuildSnapshotPath(plan, path, ARRAYSIZE(path))) {
        return ERROR_INVALID_PARAMETER;
    }
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access, key->Put());
}

// Creates the plan's "DefaultSettings" key (and the plan key when it is missing).
LSTATUS CreateSnapshotKey(const GUID& plan) noexcept {
    wchar_t path[kKeyPathChars];
    if (!BuildSnapshotPath(plan, path, ARRAYSIZE(path))) {
        return ERROR_INVALID_PARAMETER;
    }
    common::UniqueRegKey key;
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_CREATE_SUB_KEY,
                           nullptr, key.Put(), nullptr);
}

void Logged(UINT id, LSTATUS status) noexcept {
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(id, static_cast<ULONGLONG>(status), ERRLOG_FILE);
    }
}

void PutDword(HKEY key, const wchar_t* name, DWORD value, UINT id) noexcept {
    Logged(id, common::WriteRegDword(key, name, value));
}

// Names and descriptions are stored as REG_EXPAND_SZ without their terminating null.
void PutUnterminated(HKEY key, const wchar_t* name, const wchar_t* text, UINT id) noexcept {
    size_t chars = 0;
    if (FAILED(StringCchLengthW(text, STRSAFE_MAX_CCH, &chars))) {
        chars = 0;
    }
    Logged(id, RegSetValueExW(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text),
                              static_cast<DWORD>(chars * sizeof(wchar_t))));
}

DWORD StoredBrightness(INT32 value) noexcept {
    return (value < 0 || value == kBrightnessNone) ? 0 : static_cast<DWORD>(value);
}

bool DimValuesKept() noexcept {
    return (g_Settings.blob.dwFlagWord & FLAG_EXT_MONITOR) == 0 && g_Settings.dwOsGeneration >= 2;
}

// Writes the snapshot values in their order; a failed value is logged and writing goes on.
void WriteSnapshot(HKEY key, const PlanRecord& record, const PowerValues& values) noexcept {
    const DWORD flags = g_Settings.blob.dwFlagWord;
    PutUnterminated(key, L"FriendlyName", record.szName, kErrSnapName);
    PutUnterminated(key, L"Description", record.szDescription, kErrSnapDescription);
    PutDword(key, L"IconNo", static_cast<DWORD>(record.nIconNo), kErrSnapIconNo);
    PutDword(key, L"Flags", record.dwFlags, kErrSnapFlags);
    PutDword(key, L"MonitorTimeoutAC", values.dwMonitorAC, kErrSnapMonitorAC);
    PutDword(key, L"MonitorTimeoutDC", values.dwMonitorDC, kErrSnapMonitorDC);
    PutDword(key, L"HDDTimeoutAC", values.dwDiskAC, kErrSnapDiskAC);
    PutDword(key, L"HDDTimeoutDC", values.dwDiskDC, kErrSnapDiskDC);
    PutDword(key, L"SystemStandbyAC", values.dwStandbyAC, kErrSnapStandbyAC);
    PutDword(key, L"SystemStandbyDC", values.dwStandbyDC, kErrSnapStandbyDC);
    PutDword(key, L"HibernateAC", values.dwHibernateAC, kErrSnapHibernateAC);
    PutDword(key, L"HibernateDC", values.dwHibernateDC, kErrSnapHibernateDC);
    PutDword(key, L"BrightnessAC", StoredBrightness(record.nBrightnessAC), kErrSnapBrightnessAC);
    PutDword(key, L"BrightnessDC", StoredBrightness(record.nBrightnessDC), kErrSnapBrightnessDC);
    PutDword(key, L"MaxThrottleAC", values.dwMaxThrottleAC, kErrSnapMaxThrottleAC);
    PutDword(key, L"MinThrottleAC", values.dwMinThrottleAC, kErrSnapMinThrottleAC);
    PutDword(key, L"MaxThrottleDC", values.dwMaxThrottleDC, kErrSnapMaxThrottleDC);
    PutDword(key, L"MinThrottleDC", values.dwMinThrottleDC, kErrSnapMinThrottleDC);
    Logged(kErrSnapAlsbc, RegSetValueExW(key, L"ALSBC", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&record.biALS),
                                         sizeof(record.biALS)));
    if (values.bGraphics) {
        PutDword(key, L"VideoSettingAC", values.dwGraphicsAC, kErrSnapVideoAC);
        PutDword(key, L"VideoSettingDC", values.dwGraphicsDC, kErrSnapVideoDC);
    }
    PutDword(key, L"WLANSettingAC", values.bWireless ? values.dwWirelessAC : 0, kErrSnapWlanAC);
    PutDword(key, L"WLANSettingDC", values.bWireless ? values.dwWirelessDC : 0, kErrSnapWlanDC);
    if ((flags & FLAG_CPU_DRIVER) != 0) {
        PutDword(key, L"NpdCPU", static_cast<DWORD>(record.nNpdCPU), kErrExtNpdCpu);
    }
    if ((flags & FLAG_SAVE_DISPLAY) != 0) {
        PutDword(key, L"SaveDisplay", static_cast<DWORD>(record.nSaveDisplay), kErrExtSaveDisplay);
    }
    if ((flags & FLAG_EXT_MONITOR) != 0) {
        PutDword(key, L"BrightnessMonitor", static_cast<DWORD>(record.nBrightnessMonitor), kErrExtMonitor);
        PutDword(key, L"BrightnessMonitorEnable", static_cast<DWORD>(record.nBrightnessMonitorEnable),
                 kErrExtMonitorEnable);
    }
    if (DimValuesKept()) {
        PutDword(key, L"DIMTimeoutAC", values.dwDimTimeoutAC, kErrSnapDimTimeoutAC);
        PutDword(key, L"DIMTimeoutDC", values.dwDimTimeoutDC, kErrSnapDimTimeoutDC);
        PutDword(key, L"DIMBrightnessAC", StoredBrightness(values.nDimBrightnessAC), kErrSnapDimBrightnessAC);
        PutDword(key, L"DIMBrightnessDC", StoredBrightness(values.nDimBrightnessDC), kErrSnapDimBrightnessDC);
    }
}

// Opens the existing snapshot key for writing and stores the plan's present state in it.
bool StoreSnapshot(const PlanRecord& record) noexcept {
    PowerValues values{};
    ReadPowerValues(record.guid, &values);  // what could not be read stays 0
    common::UniqueRegKey key;
    const LSTATUS status = OpenSnapshot(record.guid, KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        Logged(kErrPlanKey, status);
        return false;
    }
    WriteSnapshot(key.Get(), record, values);
    RegFlushKey(key.Get());
    return true;
}

// A text value stored with or without its terminator; empty when missing, unreadable or too long.
void ReadSnapshotText(HKEY key, const wchar_t* name, DWORD maxBytes, wchar_t* text, size_t cchText) noexcept {
    text[0] = L'\0';
    std::vector<wchar_t> buffer(maxBytes / sizeof(wchar_t) + 1, L'\0');
    DWORD type = 0;
    DWORD cb = maxBytes;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &cb) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return;
    }
    buffer[cb / sizeof(wchar_t)] = L'\0';
    StringCchCopyNW(text, cchText, buffer.data(), cchText - 1);
}

DWORD ReadSnapshotDword(HKEY key, const wchar_t* name, DWORD defaultValue, bool* present = nullptr) noexcept {
    DWORD value = defaultValue;
    const bool found = common::QueryRegDword(key, name, &value) == ERROR_SUCCESS;
    if (present != nullptr) {
        *present = found;
    }
    return found ? value : defaultValue;
}

bool PlanHasSnapshot(const GUID& plan) noexcept {
    common::UniqueRegKey key;
    return OpenSnapshot(plan, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS;
}

bool FactoryPlanFilePath(size_t slot, wchar_t* path, size_t cchPath) noexcept {
    wchar_t folder[MAX_PATH];
    if (slot >= kFactoryPlanFileCount ||
        FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return false;
    }
    return SUCCEEDED(StringCchPrintfW(path, cchPath, L"%s\\%s", folder, kFactoryPlanFiles[slot]));
}

bool Contains(const std::vector<GUID>& plans, const GUID& plan) noexcept {
    for (const GUID& g : plans) {
        if (IsEqualGUID(g, plan)) {
            return true;
        }
    }
    return false;
}

bool PlanExists(const GUID& plan) noexcept {
    PlanRecord record{};
    record.guid = plan;
    ReadPlanRecord(&record);
    return !IsNullGuid(record.guid);
}

}  // namespace

void CaptureFactoryDefaults() {
    LOG_TRACE(TRACE_LEVEL_APP, L"CaptureFactoryDefaults", L"Enter");
    common::UniqueRegKey parent;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPowerSettingsKey, 0, KEY_QUERY_VALUE, parent.Put());
    if (status != ERROR_SUCCESS) {
        Logged(kErrPlanKey, status);
        LOG_TRACE(TRACE_LEVEL_APP, L"CaptureFactoryDefaults", L"Exit");
        return;
    }
    // Only snapshots of plans that still exist count: the key of a plan deleted elsewhere keeps
    // its snapshot, and the next plan in order takes its place.
    DWORD endStatus = ERROR_SUCCESS;
    const std::vector<GUID> live = EnumerateAllPlans(&endStatus);
    DWORD count = 0;
    for (const GUID& plan : live) {
        if (PlanHasSnapshot(plan)) {
            ++count;
        }
    }
    for (const GUID& plan : live) {
        if (count >= g_Settings.dwNumDefScheme) {
            break;
        }
        PlanRecord record{};
        record.guid = plan;
        ReadPlanRecord(&record);
        if (IsNullGuid(record.guid) || PlanHasSnapshot(plan)) {
            continue;
        }
        status = CreateSnapshotKey(plan);
        if (status != ERROR_SUCCESS) {
            Logged(kErrPlanKey, status);
            continue;
        }
        if (StoreSnapshot(record)) {
            ++count;
        }
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"CaptureFactoryDefaults", L"Exit");
}

bool HasFactorySnapshot(const GUID& plan) noexcept {
    common::UniqueRegKey key;
    return OpenSnapshot(plan, KEY_QUERY_VALUE, &key) != ERROR_FILE_NOT_FOUND;
}

LSTATUS ReadFactorySnapshot(const GUID& plan, PlanRecord* record, PowerValues* values,
                            ProcessorPair* processor) noexcept {
    if (record == nullptr || values == nullptr || processor == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"ReadFactorySnapshot", L"%s is NULL.", L"record");
        return ERROR_INVALID_PARAMETER;
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"ReadFactorySnapshot", L"Enter");
    common::UniqueRegKey key;
    const LSTATUS status = OpenSnapshot(plan, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_APP, L"ReadFactorySnapshot", L"Exit - Error! retval:%08x", status);
        return status;
    }
    HKEY k = key.Get();
    *record = PlanRecord{};
    record->guid = plan;
    SetExtensionDefaults(record);
    ReadSnapshotText(k, L"FriendlyName", kSnapshotNameMaxBytes, record->szName, ARRAYSIZE(record->szName));
    ReadSnapshotText(k, L"Description", kSnapshotDescriptionMaxBytes, record->szDescription,
                     ARRAYSIZE(record->szDescription));
    record->nIconNo = static_cast<INT32>(ReadSnapshotDword(k, L"IconNo", kDefaultIconNo));
    record->dwFlags = ReadSnapshotDword(k, L"Flags", 0);
    record->nIndicator = static_cast<INT32>(ReadSnapshotDword(k, L"Indicator", static_cast<DWORD>(kIndicatorCompute)));
    record->nBrightnessAC = static_cast<INT32>(ReadSnapshotDword(k, L"BrightnessAC", 0));
    record->nBrightnessDC = static_cast<INT32>(ReadSnapshotDword(k, L"BrightnessDC", 0));
    AmbientLightRange range{};
    DWORD cb = 0;
    if (common::ReadRegBinary(k, L"ALSBC", &range, sizeof(range), &cb) == ERROR_SUCCESS && cb == sizeof(range)) {
        record->biALS = range;
    }
    record->nNpdCPU = static_cast<INT32>(ReadSnapshotDword(k, L"NpdCPU", 0));
    record->nSaveDisplay = static_cast<INT32>(ReadSnapshotDword(k, L"SaveDisplay", 0));
    record->nBrightnessMonitor = static_cast<INT32>(ReadSnapshotDword(k, L"BrightnessMonitor", 0));
    record->nBrightnessMonitorEnable = static_cast<INT32>(ReadSnapshotDword(k, L"BrightnessMonitorEnable", 0));

    *values = PowerValues{};
    values->dwMonitorAC = ReadSnapshotDword(k, L"MonitorTimeoutAC", 0);
    values->dwMonitorDC = ReadSnapshotDword(k, L"MonitorTimeoutDC", 0);
    values->dwDiskAC = ReadSnapshotDword(k, L"HDDTimeoutAC", 0);
    values->dwDiskDC = ReadSnapshotDword(k, L"HDDTimeoutDC", 0);
    values->dwStandbyAC = ReadSnapshotDword(k, L"SystemStandbyAC", 0);
    values->dwStandbyDC = ReadSnapshotDword(k, L"SystemStandbyDC", 0);
    values->dwHibernateAC = ReadSnapshotDword(k, L"HibernateAC", 0);
    values->dwHibernateDC = ReadSnapshotDword(k, L"HibernateDC", 0);
    values->dwMaxThrottleAC = ReadSnapshotDword(k, L"MaxThrottleAC", 0);
    values->dwMinThrottleAC = ReadSnapshotDword(k, L"MinThrottleAC", 0);
    values->dwMaxThrottleDC = ReadSnapshotDword(k, L"MaxThrottleDC", 0);
    values->dwMinThrottleDC = ReadSnapshotDword(k, L"MinThrottleDC", 0);
    values->ucPresetAC = ClassifyProcessorPair(values->dwMinThrottleAC, values->dwMaxThrottleAC, g_Settings.dwLowerLimit);
    values->ucPresetDC = ClassifyProcessorPair(values->dwMinThrottleDC, values->dwMaxThrottleDC, g_Settings.dwLowerLimit);
    values->dwGraphicsAC = ReadSnapshotDword(k, L"VideoSettingAC", 0);
    values->dwGraphicsDC = ReadSnapshotDword(k, L"VideoSettingDC", 0, &values->bGraphics);
    values->dwWirelessAC = ReadSnapshotDword(k, L"WLANSettingAC", 0);
    values->dwWirelessDC = ReadSnapshotDword(k, L"WLANSettingDC", 0, &values->bWireless);
    if (DimValuesKept()) {
        values->dwDimTimeoutAC = ReadSnapshotDword(k, L"DIMTimeoutAC", 0);
        values->dwDimTimeoutDC = ReadSnapshotDword(k, L"DIMTimeoutDC", 0);
        values->nDimBrightnessAC = static_cast<INT32>(ReadSnapshotDword(k, L"DIMBrightnessAC", 0));
        values->nDimBrightnessDC = static_cast<INT32>(ReadSnapshotDword(k, L"DIMBrightnessDC", 0));
    }
    processor->dwMinAC = values->dwMinThrottleAC;
    processor->dwMaxAC = values->dwMaxThrottleAC;
    processor->ucPresetAC = values->ucPresetAC;
    processor->dwMinDC = values->dwMinThrottleDC;
    processor->dwMaxDC = values->dwMaxThrottleDC;
    processor->ucPresetDC = values->ucPresetDC;
    LOG_TRACE(TRACE_LEVEL_APP, L"ReadFactorySnapshot", L"Exit retval:%08x", 0);
    return ERROR_SUCCESS;
}

bool RestorePlanFromFile(size_t slot, GUID* plan) {
    LOG_TRACE(TRACE_LEVEL_APP, L"RestorePlanFromFile", L"Enter");
    GUID factory[kMaxPinnedPlans];
    ReadFactoryModeAssignment(false, factory);
    GUID target = slot < kFactoryPlanFileCount ? factory[slot] : GUID_NULL;
    if (plan != nullptr) {
        *plan = target;
    }
    wchar_t file[MAX_PATH + 32];
    if (IsNullGuid(target) || !FactoryPlanFilePath(slot, file, ARRAYSIZE(file))) {
        LOG_TRACE(TRACE_LEVEL_APP, L"RestorePlanFromFile", L"Exit - Error! retval:%08x", 0);
        return false;
    }
    GUID* requested = &target;
    const DWORD imported = PowerImportPowerScheme(nullptr, file, &requested);
    ForgetSystemActions();  // the plan's settings were replaced as a whole
    if (imported != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_APP, L"RestorePlanFromFile", L"import of %s: %lu", file,
                  static_cast<unsigned long>(imported));
        LOG_TRACE(TRACE_LEVEL_APP, L"RestorePlanFromFile", L"Exit - Error! retval:%08x", 0);
        return false;
    }
    // The extension values the installation recorded; a missing key leaves the defaults.
    PlanRecord installed{};
    installed.guid = target;
    {
        wchar_t path[kKeyPathChars];
        common::UniqueRegKey key;
        if (BuildInstalledPath(target, path, ARRAYSIZE(path))) {
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, key.Put());
        }
        ReadExtensionValues(&installed, key.Get());
    }
    const LSTATUS created = CreateSnapshotKey(target);
    Logged(kErrPlanKey, created);
    {
        wchar_t path[kKeyPathChars];
        common::UniqueRegKey key;
        if (BuildPlanKeyPath(target, path, ARRAYSIZE(path)) &&
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE, key.Put()) == ERROR_SUCCESS) {
            WriteExtensionValues(installed, key.Get());
        }
    }
    PlanRecord record{};
    record.guid = target;
    ReadPlanRecord(&record);
    if (IsNullGuid(record.guid)) {
        LOG_TRACE(TRACE_LEVEL_APP, L"RestorePlanFromFile", L"Exit - Error! retval:%08x", 0);
        return false;
    }
    const bool stored = created == ERROR_SUCCESS && StoreSnapshot(record);
    LOG_TRACE(TRACE_LEVEL_APP, L"RestorePlanFromFile", L"Exit retval:%08x", stored ? 1 : 0);
    return true;
}

ModeRestoreResult RestoreModeTable(ModeRestoreTable* table, const ModeRestoreUi& ui) {
    LOG_TRACE(TRACE_LEVEL_APP, L"RestoreModeTable", L"Enter");
    const bool three = table->threeMode;
    bool incomplete = false;
    {
        PlanListLock lock(kLockDetailModeSlots);
        if (!lock.Owned()) {
            LOG_TRACE(TRACE_LEVEL_APP, L"RestoreModeTable", L"Exit");
            return ModeRestoreResult::LockTimedOut;
        }
        const UINT question = three ? IDS_MODE_RESTORE_ASK_THREE : IDS_MODE_RESTORE_ASK_TWO;
        if (ui.ask == nullptr || !ui.ask(ui.context, question)) {
            LOG_TRACE(TRACE_LEVEL_APP, L"RestoreModeTable", L"Exit");
            return ModeRestoreResult::Declined;
        }
        GUID factory[kMaxPinnedPlans];
        ReadFactoryModeAssignment(three, factory);
        const size_t slots = static_cast<size_t>(ModeSlotCount(three));
        bool recreated = false;
        bool lastRecreateSucceeded = false;
        for (size_t slot = 0; slot < slots; ++slot) {
            if (!IsNullGuid(factory[slot]) && Contains(table->offered[slot], factory[slot])) {
                table->selected[slot] = factory[slot];
                continue;
            }
            table->selected[slot] = GUID_NULL;
            if (!three) {
                GUID plan = GUID_NULL;
                lastRecreateSucceeded = RestorePlanFromFile(slot, &plan);
                recreated = true;
                if (lastRecreateSucceeded) {
                    table->selected[slot] = plan;
                }
            }
        }
        table->planListRefreshed = false;
        if (recreated && lastRecreateSucceeded) {
            RefreshPlanList();
            // The combo boxes offer the factory plans again.
            for (size_t slot = 0; slot < slots; ++slot) {
                if (!IsNullGuid(table->selected[slot]) && !Contains(table->offered[slot], table->selected[slot])) {
                    table->offered[slot].push_back(table->selected[slot]);
                }
            }
            table->planListRefreshed = true;
        }
        for (size_t slot = 0; slot < slots; ++slot) {
            if (IsNullGuid(table->selected[slot]) || !PlanExists(table->selected[slot])) {
                table->selected[slot] = GUID_NULL;
                incomplete = true;
            }
        }
    }
    if (incomplete && ui.warn != nullptr) {
        ui.warn(ui.context, three ? IDS_MODE_RESTORE_FAILED_THREE : IDS_MODE_RESTORE_FAILED_TWO);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"RestoreModeTable", L"Exit");
    return incomplete ? ModeRestoreResult::Incomplete : ModeRestoreResult::Restored;
}

}  // namespace plans
