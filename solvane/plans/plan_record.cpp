#include "plans/plan_record.h"

#include <strsafe.h>

#include <vector>

#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "plans/error_ids.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/power_api.h"
#include "plans/power_guids.h"
#include "plans/reg_values.h"

namespace plans {

void (*g_pfnCheckAmbientLightRange)(AmbientLightRange* range) = nullptr;

namespace {

constexpr BYTE kDefaultHighestLevel = 7;  // eight levels until the panel code knows better
BYTE g_highestLevel = kDefaultHighestLevel;
constexpr DWORD kIndicatorHalfMask = 0xFFFF;
constexpr size_t kPlanKeyPathChars = 128;

void ReadOptionalInt(HKEY key, const wchar_t* name, INT32* field) {
    DWORD value = 0;
    if (common::QueryRegDword(key, name, &value) == ERROR_SUCCESS) {
        *field = static_cast<INT32>(value);
    }
}

LSTATUS WriteInt(HKEY key, const wchar_t* name, INT32 value) {
    return common::WriteRegDword(key, name, static_cast<DWORD>(value));
}

void LogWrite(UINT id, LSTATUS status) {
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(id, static_cast<ULONGLONG>(status), ERRLOG_FILE);
    }
}

// Reads the friendly name, keeping at most 128 characters.
void ReadPlanName(PlanRecord* record) {
    DWORD cb = sizeof(record->szName) - sizeof(wchar_t);
    DWORD status = Power().readFriendlyName(nullptr, &record->guid, nullptr, nullptr,
                                            reinterpret_cast<UCHAR*>(record->szName), &cb);
    if (status == ERROR_MORE_DATA && cb > 0) {
        std::vector<wchar_t> longName(cb / sizeof(wchar_t) + 1, L'\0');
        DWORD cbLong = cb;
        status = Power().readFriendlyName(nullptr, &record->guid, nullptr, nullptr,
                                          reinterpret_cast<UCHAR*>(longName.data()), &cbLong);
        record->szName[0] = L'\0';
        if (status == ERROR_SUCCESS) {
            longName.back() = L'\0';
            StringCchCopyNW(record->szName, ARRAYSIZE(record->szName), longName.data(), kPlanNameKeptChars);
        }
    } else if (status != ERROR_SUCCESS) {
        record->szName[0] = L'\0';
    }
    record->szName[ARRAYSIZE(record->szName) - 1] = L'\0';
    record->szName[kPlanNameKeptChars] = L'\0';
}

DWORD ReadPlanDescription(PlanRecord* record) {
    DWORD cb = sizeof(record->szDescription) - sizeof(wchar_t);
    const DWORD status = Power().readDescription(nullptr, &record->guid, nullptr, nullptr,
                                                 reinterpret_cast<UCHAR*>(record->szDescription), &cb);
    if (status != ERROR_SUCCESS) {
        record->szDescription[0] = L'\0';
    }
    record->szDescription[ARRAYSIZE(record->szDescription) - 1] = L'\0';
    return status;
}

INT32 ReadBrightness(const GUID& plan, PowerSource source) {
    DWORD value = 0;
    if (ReadPowerSetting(plan, PowerSetting::Brightness, source, &value) != ERROR_SUCCESS) {
        return kBrightnessNone;
    }
    return static_cast<INT32>(value);
}

// Opens the plan's key for writing, creating it when it does not exist.
LSTATUS OpenPlanKeyForWrite(const GUID& plan, common::UniqueRegKey* key) {
    wchar_t path[kPlanKeyPathChars];
    if (!BuildPlanKeyPath(plan, path, ARRAYSIZE(path))) {
        return ERROR_INVALID_PARAMETER;
    }
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                           key->Put(), nullptr);
}

}  // namespace

void SetHighestBrightnessLevel(BYTE level) noexcept { g_highestLevel = level; }

AmbientLightRange DefaultAmbientLightRange() noexcept {
    return AmbientLightRange{0, g_highestLevel, 0, g_highestLevel, 0};
}

bool DecodeIndicator(INT32 indicator, int* performanceBars, int* savingBars) noexcept {
    if (indicator < 0) {
        return false;
    }
    const DWORD bits = static_cast<DWORD>(indicator);
    const DWORD perf = (bits >> 16) & kIndicatorHalfMask;
    const DWORD saving = bits & kIndicatorHalfMask;
    *performanceBars = static_cast<int>(perf > kIndicatorMaxBars ? kIndicatorMaxBars : perf);
    *savingBars = static_cast<int>(saving > kIndicatorMaxBars ? kIndicatorMaxBars : saving);
    return true;
}

namespace {

constexpr DWORD kCeilingHighPoints = 3;
constexpr DWORD kCeilingMiddle = 75;
constexpr DWORD kCeilingLow = 50;
constexpr DWORD kShortMonitorSeconds = 300;
constexpr DWORD kShortStandbySeconds = 1800;
constexpr DWORD kWirelessSavingIndex = 2;
constexpr int kMinimumBars = 1;

int ClampBars(DWORD points) noexcept {
    if (points < static_cast<DWORD>(kMinimumBars)) {
        return kMinimumBars;
    }
    return points > static_cast<DWORD>(kIndicatorMaxBars) ? kIndicatorMaxBars : static_cast<int>(points);
}

bool ShortTimeout(DWORD seconds, DWORD limit) noexcept { return seconds != 0 && seconds <= limit; }

}  // namespace

void ComputeIndicatorBars(const PowerValues& values, int* performanceBars, int* savingBars) noexcept {
    DWORD performance = 0;
    if (values.dwMaxThrottleDC >= kProcessorFull) {
        performance += kCeilingHighPoints;
    } else if (values.dwMaxThrottleDC >= kCeilingMiddle) {
        performance += 2;
    } else if (values.dwMaxThrottleDC >= kCeilingLow) {
        performance += 1;
    }
    performance += values.dwMinThrottleDC >= kProcessorFull ? 1 : 0;
    performance += !values.bWireless || values.dwWirelessDC == 0 ? 1 : 0;
    DWORD saving = 0;
    saving += values.dwMaxThrottleDC < kProcessorFull ? 1 : 0;
    saving += values.dwMinThrottleDC <= kProcessorFloor ? 1 : 0;
    saving += ShortTimeout(values.dwMonitorDC, kShortMonitorSeconds) ? 1 : 0;
    saving += ShortTimeout(values.dwStandbyDC, kShortStandbySeconds) ? 1 : 0;
    saving += values.bWireless && values.dwWirelessDC >= kWirelessSavingIndex ? 1 : 0;
    *performanceBars = ClampBars(performance);
    *savingBars = ClampBars(saving);
}

bool BuildPlanKeyPath(const GUID& plan, wchar_t* path, size_t cchPath) noexcept {
    wchar_t text[kBracedGuidBufferChars];
    FormatKeyGuid(plan, text);
    return SUCCEEDED(StringCchPrintfW(path, cchPath, L"%s\\%s", kPowerSettingsKey, text));
}

void SetExtensionDefaults(PlanRecord* record) noexcept {
    record->nIconNo = kDefaultIconNo;
    record->dwFlags = 0;
    record->biALS = DefaultAmbientLightRange();
    record->nLedNo = 0;
    record->nIndicator = kIndicatorCompute;
    record->nNpdCPU = 0;
    record->nSaveDisplay = 0;
    record->nBrightnessMonitor = 0;
    record->nBrightnessMonitorEnable = 0;
}

void ReadExtensionValues(PlanRecord* record, HKEY key) noexcept {
    SetExtensionDefaults(record);
    if (key == nullptr) {
        return;
    }
    ReadOptionalInt(key, L"IconNo", &record->nIconNo);
    ReadOptionalInt(key, L"LedNo", &record->nLedNo);
    DWORD flags = 0;
    if (common::QueryRegDword(key, L"Flags", &flags) == ERROR_SUCCESS) {
        record->dwFlags = flags;
    }
    AmbientLightRange range{};
    if (common::ReadRegBinary(key, L"ALSBC", &range, sizeof(range)) == ERROR_SUCCESS) {
        if (g_pfnCheckAmbientLightRange != nullptr) {
            g_pfnCheckAmbientLightRange(&range);
        }
        record->biALS = range;
    }
    ReadOptionalInt(key, L"Indicator", &record->nIndicator);
    ReadOptionalInt(key, L"NpdCPU", &record->nNpdCPU);
    ReadOptionalInt(key, L"SaveDisplay", &record->nSaveDisplay);
    ReadOptionalInt(key, L"BrightnessMonitor", &record->nBrightnessMonitor);
    ReadOptionalInt(key, L"BrightnessMonitorEnable", &record->nBrightnessMonitorEnable);
}

bool WriteExtensionValues(const PlanRecord& record, HKEY key) noexcept {
    const DWORD flags = g_Settings.blob.dwFlagWord;
    bool ok = true;
    auto check = [&ok](UINT id, LSTATUS status) {
        if (status != ERROR_SUCCESS) {
            LogWrite(id, status);
            ok = false;
        }
    };
    check(kErrExtAlsbc, RegSetValueExW(key, L"ALSBC", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&record.biALS),
                                       sizeof(record.biALS)));
    check(kErrExtFlags, common::WriteRegDword(key, L"Flags", record.dwFlags));
    check(kErrExtIconNo, WriteInt(key, L"IconNo", record.nIconNo));
    check(kErrExtIndicator, WriteInt(key, L"Indicator", record.nIndicator));
    check(kErrExtLedNo, WriteInt(key, L"LedNo", record.nLedNo));
    if ((flags & FLAG_CPU_DRIVER) != 0) {
        check(kErrExtNpdCpu, WriteInt(key, L"NpdCPU", record.nNpdCPU));
    }
    if ((flags & FLAG_SAVE_DISPLAY) != 0) {
        check(kErrExtSaveDisplay, WriteInt(key, L"SaveDisplay", record.nSaveDisplay));
    }
    if ((flags & FLAG_EXT_MONITOR) != 0) {
        check(kErrExtMonitor, WriteInt(key, L"BrightnessMonitor", record.nBrightnessMonitor));
        check(kErrExtMonitorEnable, WriteInt(key, L"BrightnessMonitorEnable", record.nBrightnessMonitorEnable));
    }
    return ok;
}

void ReadPlanRecord(PlanRecord* record) noexcept {
    if (record == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"ReadPlanRecord", L"%s is NULL.", L"record");
        return;
    }
    if (IsNullGuid(record->guid)) {
        return;
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"ReadPlanRecord", L"Enter");
    common::UniqueRegKey key;
    wchar_t path[kPlanKeyPathChars];
    if (BuildPlanKeyPath(record->guid, path, ARRAYSIZE(path))) {
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, key.Put());
    }
    record->szName[0] = L'\0';
    record->szDescription[0] = L'\0';
    ReadPlanName(record);
    const DWORD status = ReadPlanDescription(record);
    record->nBrightnessAC = ReadBrightness(record->guid, PowerSource::AC);
    record->nBrightnessDC = ReadBrightness(record->guid, PowerSource::DC);
    if (status == ERROR_SUCCESS) {
        ReadExtensionValues(record, key.Get());
    } else {
        if (status != ERROR_FILE_NOT_FOUND) {
            WriteErrorLog(kErrPlanDescription, status, ERRLOG_FILE);
        }
        record->guid = GUID_NULL;
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"ReadPlanRecord", L"Exit");
}

BOOL SavePlan(const PlanRecord& record, const PowerValues& values, const ProcessorPair* processor) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"SavePlan", L"Enter");
    PlanListLock lock(kLockDetailEditorSave);
    if (!lock.Owned()) {
        LOG_TRACE(TRACE_LEVEL_APP, L"SavePlan", L"Exit - Error! retval:%08x", 0);
        return FALSE;
    }
    const GUID& plan = record.guid;
    const bool valuesWritten = WritePowerValues(plan, record.szName, record.szDescription, values);
    // Display brightness of the plan; a failure is logged and saving goes on.
    if (WriteBrightnessLike(plan, PowerSetting::Brightness, PowerSource::AC, record.nBrightnessAC) != ERROR_SUCCESS) {
        WriteErrorLogGuid(kErrWriteGuid, kSettingBrightness, ERRLOG_FILE);
    }
    if (WriteBrightnessLike(plan, PowerSetting::Brightness, PowerSource::DC, record.nBrightnessDC) != ERROR_SUCCESS) {
        WriteErrorLogGuid(kErrWriteGuid, kSettingBrightness, ERRLOG_FILE);
    }
    common::UniqueRegKey key;
    LSTATUS status = OpenPlanKeyForWrite(plan, &key);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(kErrPlanKey, static_cast<ULONGLONG>(status), ERRLOG_FILE);
        LOG_TRACE(TRACE_LEVEL_APP, L"SavePlan", L"Exit - Error! retval:%08x", status);
        return FALSE;
    }
    const DWORD flags = g_Settings.blob.dwFlagWord;
    LogWrite(kErrPlanKey, WriteInt(key.Get(), L"IconNo", record.nIconNo));
    if (record.nIndicator >= 0) {
        LogWrite(kErrPlanKey, WriteInt(key.Get(), L"Indicator", record.nIndicator));
    }
    LogWrite(kErrPlanKey, RegSetValueExW(key.Get(), L"ALSBC", 0, REG_BINARY,
                                         reinterpret_cast<const BYTE*>(&record.biALS), sizeof(record.biALS)));
    if ((flags & FLAG_CPU_DRIVER) != 0) {
        LogWrite(kErrPlanKey, WriteInt(key.Get(), L"NpdCPU", record.nNpdCPU));
    }
    if ((flags & FLAG_EXT_MONITOR) == 0 && g_Settings.dwOsGeneration >= 2) {
        LogWrite(kErrDimTimeoutAC, common::WriteRegDword(key.Get(), L"DIMTimeoutAC", values.dwDimTimeoutAC));
        LogWrite(kErrDimTimeoutDC, common::WriteRegDword(key.Get(), L"DIMTimeoutDC", values.dwDimTimeoutDC));
    }
    if ((flags & FLAG_SAVE_DISPLAY) != 0) {
        LogWrite(kErrPlanKey, WriteInt(key.Get(), L"SaveDisplay", record.nSaveDisplay));
    }
    if ((flags & FLAG_EXT_MONITOR) != 0) {
        LogWrite(kErrPlanKey, WriteInt(key.Get(), L"BrightnessMonitor", record.nBrightnessMonitor));
        LogWrite(kErrPlanKey, WriteInt(key.Get(), L"BrightnessMonitorEnable", record.nBrightnessMonitorEnable));
    }
    RegFlushKey(key.Get());
    key.Reset();

    bool pairWritten = false;
    if (valuesWritten) {
        ProcessorPair pair{};
        bool havePair = true;
        if (processor != nullptr) {
            pair = *processor;
        } else if (ReadProcessorPair(plan, &pair)) {
            pair.ucPresetAC = values.ucPresetAC;
            pair.ucPresetDC = values.ucPresetDC;
        } else {
            WriteErrorLog(kErrReadProcessorPair, GetLastError(), ERRLOG_FILE);
            havePair = false;
        }
        if (havePair) {
            pairWritten = WriteProcessorPair(plan, pair);
            if (!pairWritten) {
                WriteErrorLog(kErrWriteProcessorPair, GetLastError(), ERRLOG_FILE);
            }
        }
    } else {
        WriteErrorLog(kErrSaveProcessorFailed, 0, ERRLOG_FILE);
    }
    const BOOL result = (valuesWritten && pairWritten) ? TRUE : FALSE;
    LOG_TRACE(TRACE_LEVEL_APP, L"SavePlan", L"Exit retval:%08x", result);
    return result;
}

BOOL SetLedNo(const GUID& plan, DWORD ledNo) noexcept {
    common::UniqueRegKey key;
    LSTATUS status = OpenPlanKeyForWrite(plan, &key);
    if (status == ERROR_SUCCESS) {
        status = common::WriteRegDword(key.Get(), L"LedNo", ledNo);
    }
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(kErrPlanKey, static_cast<ULONGLONG>(status), ERRLOG_FILE);
        return FALSE;
    }
    return TRUE;
}

BOOL AssignModes(const GUID (&slots)[kMaxPinnedPlans]) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"AssignModes", L"Enter");
    PlanListLock lock(kLockDetailAssignModes);
    if (!lock.Owned()) {
        return FALSE;
    }
    const bool threeMode = IsThreeMode(g_Settings.blob.dwFlagWord);
    const int slotCount = ModeSlotCount(threeMode);
    BOOL ok = TRUE;
    for (DWORD i = 0; i < g_PlanCount && i < g_PlanList.size(); ++i) {
        PlanRecord record{};
        record.guid = g_PlanList[i].guid;
        ReadPlanRecord(&record);
        if (IsNullGuid(record.guid)) {
            continue;
        }
        DWORD ledNo = 0;
        for (int slot = 1; slot <= slotCount; ++slot) {
            if (!IsNullGuid(slots[slot - 1]) && IsEqualGUID(record.guid, slots[slot - 1])) {
                ledNo = SlotToLedNo(slot, threeMode);
                break;
            }
        }
        if (!SetLedNo(record.guid, ledNo)) {
            ok = FALSE;
        }
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"AssignModes", L"Exit retval:%08x", ok);
    return ok;
}

size_t FindLedNoHolder(const std::vector<DWORD>& ledNos, DWORD ledNo) noexcept {
    if (ledNo == 0) {
        return kNoLedNoHolder;  // 0 is "no mode", never a slot
    }
    for (size_t i = ledNos.size(); i > 0; --i) {
        if (ledNos[i - 1] == ledNo) {
            return i - 1;
        }
    }
    return kNoLedNoHolder;
}

BOOL FindModeSlots(ModeSlot (&slots)[kMaxPinnedPlans], int* found) noexcept {
    for (ModeSlot& s : slots) {
        s = ModeSlot{};
    }
    *found = 0;
    PlanListLock lock(kLockDetailModeSlots);
    if (!lock.Owned()) {
        return FALSE;
    }
    const bool threeMode = IsThreeMode(g_Settings.blob.dwFlagWord);
    DWORD endStatus = ERROR_SUCCESS;
    std::vector<PlanRecord> records;
    std::vector<DWORD> ledNos;
    for (const GUID& guid : EnumerateAllPlans(&endStatus)) {
        PlanRecord record{};
        record.guid = guid;
        ReadPlanRecord(&record);
        if (IsNullGuid(record.guid)) {
            continue;
        }
        ledNos.push_back(static_cast<DWORD>(record.nLedNo));
        records.push_back(record);
    }
    const int slotCount = ModeSlotCount(threeMode);
    for (int slot = 1; slot <= slotCount; ++slot) {
        const size_t holder = FindLedNoHolder(ledNos, SlotToLedNo(slot, threeMode));
        if (holder == kNoLedNoHolder) {
            continue;
        }
        ModeSlot& target = slots[slot - 1];
        target.guid = records[holder].guid;
        target.nIconNo = records[holder].nIconNo;
        StringCchCopyW(target.szName, ARRAYSIZE(target.szName), records[holder].szName);
        ++*found;
    }
    return TRUE;
}

bool IsSlotThreePlan(const GUID& plan) noexcept {
    PlanRecord record{};
    record.guid = plan;
    ReadPlanRecord(&record);
    return !IsNullGuid(record.guid) && record.nLedNo == 3;
}

}  // namespace plans
