#include "plans/power_values.h"

#include <strsafe.h>

#include "common/handles.h"
#include "common/log.h"
#include "plans/error_ids.h"
#include "plans/guid_text.h"
#include "plans/power_api.h"
#include "plans/power_guids.h"
#include "plans/settings.h"

namespace plans {

SystemActions g_SystemActions{};

namespace {

// Whose actions g_SystemActions holds (null: none), and the count of setting writes then.
GUID g_systemActionsPlan = GUID_NULL;
LONG g_systemActionsWrites = 0;
volatile LONG g_settingWrites = 0;

constexpr DWORD kHybridSleepOn = 3;
constexpr DWORD kGraphicsFallback = 1;
constexpr DWORD kSettingNameBytes = 256;

const HandledSetting kHandled[] = {
    {PowerSetting::MonitorTimeout, &kSubgroupVideo, &kSettingMonitorTimeout, L"MonitorTimeoutAC", L"MonitorTimeoutDC", true},
    {PowerSetting::Brightness, &kSubgroupVideo, &kSettingBrightness, L"BrightnessAC", L"BrightnessDC", true},
    {PowerSetting::DimTimeout, &kSubgroupVideo, &kSettingDimTimeout, L"DIMTimeoutAC", L"DIMTimeoutDC", true},
    {PowerSetting::DimBrightness, &kSubgroupVideo, &kSettingDimBrightness, L"DIMBrightnessAC", L"DIMBrightnessDC", true},
    {PowerSetting::DiskTimeout, &kSubgroupDisk, &kSettingDiskTimeout, L"HDDTimeoutAC", L"HDDTimeoutDC", true},
    {PowerSetting::StandbyTimeout, &kSubgroupSleep, &kSettingStandbyTimeout, L"SystemStandbyAC", L"SystemStandbyDC", true},
    {PowerSetting::HibernateTimeout, &kSubgroupSleep, &kSettingHibernateTimeout, L"HibernateAC", L"HibernateDC", true},
    {PowerSetting::HybridSleep, &kSubgroupSleep, &kSettingHybridSleep, nullptr, nullptr, false},
    {PowerSetting::ProcessorMin, &kSubgroupProcessor, &kSettingProcessorMin, L"MinThrottleAC", L"MinThrottleDC", true},
    {PowerSetting::ProcessorMax, &kSubgroupProcessor, &kSettingProcessorMax, L"MaxThrottleAC", L"MaxThrottleDC", true},
    {PowerSetting::Graphics, &kSubgroupGraphics, &kSettingGraphics, L"VideoSettingAC", L"VideoSettingDC", true},
    {PowerSetting::Wireless, &kSubgroupWireless, &kSettingWireless, L"WLANSettingAC", L"WLANSettingDC", true},
    {PowerSetting::PowerButton, &kSubgroupButtons, &kSettingPowerButton, nullptr, nullptr, false},
    {PowerSetting::SleepButton, &kSubgroupButtons, &kSettingSleepButton, nullptr, nullptr, false},
    {PowerSetting::LidClose, &kSubgroupButtons, &kSettingLidClose, nullptr, nullptr, false},
    {PowerSetting::CriticalBatteryAction, &kSubgroupBattery, &kSettingCriticalBattery, nullptr, nullptr, false},
    {PowerSetting::LowBatteryAction, &kSubgroupBattery, &kSettingLowBattery, nullptr, nullptr, false},
};
static_assert(ARRAYSIZE(kHandled) == static_cast<size_t>(PowerSetting::Count), "one row per setting");

bool SettingExists(PowerSetting id) {
    const HandledSetting& s = GetHandledSetting(id);
    UCHAR buffer[kSettingNameBytes];
    DWORD cb = sizeof(buffer);
    return Power().readFriendlyName(nullptr, nullptr, s.subgroup, s.setting, buffer, &cb) == ERROR_SUCCESS;
}

// Reads the plan's value, else the active plan's.
DWORD ReadWithActiveFallback(const GUID& plan, PowerSetting id, PowerSource source, DWORD* value) {
    DWORD status = ReadPowerSetting(plan, id, source, value);
    if (status == ERROR_SUCCESS) {
        return status;
    }
    GUID active;
    if (ReadActiveScheme(&active) == ERROR_SUCCESS) {
        status = ReadPowerSetting(active, id, source, value);
    }
    return status;
}

struct ReadStep {
    PowerSetting id;
    DWORD PowerValues::*ac;
    DWORD PowerValues::*dc;
};

const ReadStep kTimeoutReads[] = {
    {PowerSetting::MonitorTimeout, &PowerValues::dwMonitorAC, &PowerValues::dwMonitorDC},
    {PowerSetting::DiskTimeout, &PowerValues::dwDiskAC, &PowerValues::dwDiskDC},
    {PowerSetting::HybridSleep, &PowerValues::dwHybridAC, &PowerValues::dwHybridDC},
    {PowerSetting::StandbyTimeout, &PowerValues::dwStandbyAC, &PowerValues::dwStandbyDC},
    {PowerSetting::HibernateTimeout, &PowerValues::dwHibernateAC, &PowerValues::dwHibernateDC},
};

const ReadStep kTimeoutWrites[] = {
    {PowerSetting::MonitorTimeout, &PowerValues::dwMonitorAC, &PowerValues::dwMonitorDC},
    {PowerSetting::DiskTimeout, &PowerValues::dwDiskAC, &PowerValues::dwDiskDC},
    {PowerSetting::StandbyTimeout, &PowerValues::dwStandbyAC, &PowerValues::dwStandbyDC},
    {PowerSetting::HibernateTimeout, &PowerValues::dwHibernateAC, &PowerValues::dwHibernateDC},
};

bool DimValuesHandled() {
    return (g_Settings.blob.dwFlagWord & FLAG_EXT_MONITOR) == 0 && g_Settings.dwOsGeneration >= 2;
}

size_t TextLength(const wchar_t* text, size_t limit) {
    size_t len = 0;
    while (len < limit && text[len] != L'\0') {
        ++len;
    }
    return len;
}

}  // namespace

const HandledSetting& GetHandledSetting(PowerSetting id) noexcept {
    return kHandled[static_cast<size_t>(id)];
}

DWORD ReadPowerSetting(const GUID& plan, PowerSetting id, PowerSource source, DWORD* value) noexcept {
    const HandledSetting& s = GetHandledSetting(id);
    DWORD index = 0;
    const DWORD status = source == PowerSource::AC
                             ? Power().readACValueIndex(nullptr, &plan, s.subgroup, s.setting, &index)
                             : Power().readDCValueIndex(nullptr, &plan, s.subgroup, s.setting, &index);
    if (status == ERROR_SUCCESS) {
        *value = (id == PowerSetting::HybridSleep) ? (index != 0 ? kHybridSleepOn : 0) : index;
    }
    return status;
}

DWORD WritePowerSetting(const GUID& plan, PowerSetting id, PowerSource source, DWORD value) noexcept {
    const HandledSetting& s = GetHandledSetting(id);
    if (!s.writable) {
        return ERROR_ACCESS_DENIED;
    }
    InterlockedIncrement(&g_settingWrites);
    return source == PowerSource::AC ? Power().writeACValueIndex(nullptr, &plan, s.subgroup, s.setting, value)
                                     : Power().writeDCValueIndex(nullptr, &plan, s.subgroup, s.setting, value);
}

DWORD ReadGraphicsValue(const GUID& plan, PowerSource source, DWORD* value) noexcept {
    const DWORD status = ReadWithActiveFallback(plan, PowerSetting::Graphics, source, value);
    if (status != ERROR_SUCCESS) {
        *value = kGraphicsFallback;
    }
    return status;
}

DWORD ReadWirelessValue(const GUID& plan, PowerSource source, DWORD* value) noexcept {
    return ReadWithActiveFallback(plan, PowerSetting::Wireless, source, value);
}

BYTE ClassifyProcessorPair(DWORD minimum, DWORD maximum, DWORD lowerLimit) noexcept {
    const DWORD lo = minimum < maximum ? minimum : maximum;
    const DWORD hi = minimum < maximum ? maximum : minimum;
    if (lo == kProcessorFull && hi == kProcessorFull) {
        return PRESET_HIGH;
    }
    if (lo == lowerLimit && hi == lowerLimit) {
        return PRESET_LOW_FIXED;
    }
    if (lo == kProcessorFloor && hi == lowerLimit) {
        return PRESET_LOW;
    }
    if (lo == lowerLimit && hi == kProcessorFull) {
        return PRESET_AUTO;
    }
    return PRESET_USER;
}

bool PresetToProcessorPair(BYTE code, DWORD lowerLimit, DWORD* minimum, DWORD* maximum) noexcept {
    switch (code) {
    case PRESET_HIGH:
        *minimum = kProcessorFull;
        *maximum = kProcessorFull;
        return true;
    case PRESET_LOW_FIXED:
        *minimum = lowerLimit;
        *maximum = lowerLimit;
        return true;
    case PRESET_LOW:
        *minimum = kProcessorFloor;
        *maximum = lowerLimit;
        return true;
    case PRESET_AUTO:
        *minimum = lowerLimit;
        *maximum = kProcessorFull;
        return true;
    default:
        return false;
    }
}

size_t GetProcessorPresetList(bool allowConstant, BYTE (&codes)[kMaxPresetEntries]) noexcept {
    size_t n = 0;
    codes[n++] = PRESET_LOW;
    if (allowConstant) {
        codes[n++] = PRESET_LOW_FIXED;
    }
    codes[n++] = PRESET_AUTO;
    codes[n++] = PRESET_HIGH;
    codes[n++] = PRESET_USER;
    return n;
}

bool ReadProcessorPair(const GUID& plan, ProcessorPair* pair) noexcept {
    const DWORD limit = g_Settings.dwLowerLimit;
    if (ReadPowerSetting(plan, PowerSetting::ProcessorMin, PowerSource::AC, &pair->dwMinAC) != ERROR_SUCCESS ||
        ReadPowerSetting(plan, PowerSetting::ProcessorMax, PowerSource::AC, &pair->dwMaxAC) != ERROR_SUCCESS) {
        return false;
    }
    pair->ucPresetAC = ClassifyProcessorPair(pair->dwMinAC, pair->dwMaxAC, limit);
    if (ReadPowerSetting(plan, PowerSetting::ProcessorMin, PowerSource::DC, &pair->dwMinDC) != ERROR_SUCCESS ||
        ReadPowerSetting(plan, PowerSetting::ProcessorMax, PowerSource::DC, &pair->dwMaxDC) != ERROR_SUCCESS) {
        return false;
    }
    pair->ucPresetDC = ClassifyProcessorPair(pair->dwMinDC, pair->dwMaxDC, limit);
    return true;
}

bool WriteProcessorPair(const GUID& plan, const ProcessorPair& pair) noexcept {
    const DWORD limit = g_Settings.dwLowerLimit;
    DWORD minAC = pair.dwMinAC;
    DWORD maxAC = pair.dwMaxAC;
    DWORD minDC = pair.dwMinDC;
    DWORD maxDC = pair.dwMaxDC;
    PresetToProcessorPair(pair.ucPresetAC, limit, &minAC, &maxAC);
    PresetToProcessorPair(pair.ucPresetDC, limit, &minDC, &maxDC);
    return WritePowerSetting(plan, PowerSetting::ProcessorMin, PowerSource::AC, minAC) == ERROR_SUCCESS &&
           WritePowerSetting(plan, PowerSetting::ProcessorMax, PowerSource::AC, maxAC) == ERROR_SUCCESS &&
           WritePowerSetting(plan, PowerSetting::ProcessorMin, PowerSource::DC, minDC) == ERROR_SUCCESS &&
           WritePowerSetting(plan, PowerSetting::ProcessorMax, PowerSource::DC, maxDC) == ERROR_SUCCESS;
}

bool ReadPowerValues(const GUID& plan, PowerValues* values) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ReadPowerValues", L"Enter");
    *values = PowerValues{};
    for (const ReadStep& step : kTimeoutReads) {
        if (ReadPowerSetting(plan, step.id, PowerSource::AC, &(values->*step.ac)) != ERROR_SUCCESS ||
            ReadPowerSetting(plan, step.id, PowerSource::DC, &(values->*step.dc)) != ERROR_SUCCESS) {
            LOG_TRACE(TRACE_LEVEL_APP, L"ReadPowerValues", L"Exit - Error! retval:%08x", 0);
            return false;
        }
    }
    ProcessorPair pair{};
    if (!ReadProcessorPair(plan, &pair)) {
        LOG_TRACE(TRACE_LEVEL_APP, L"ReadPowerValues", L"Exit - Error! retval:%08x", 0);
        return false;
    }
    values->dwMinThrottleAC = pair.dwMinAC;
    values->dwMaxThrottleAC = pair.dwMaxAC;
    values->ucPresetAC = pair.ucPresetAC;
    values->dwMinThrottleDC = pair.dwMinDC;
    values->dwMaxThrottleDC = pair.dwMaxDC;
    values->ucPresetDC = pair.ucPresetDC;

    if (SettingExists(PowerSetting::Wireless)) {
        values->bWireless = true;
        if (ReadWirelessValue(plan, PowerSource::AC, &values->dwWirelessAC) != ERROR_SUCCESS) {
            values->dwWirelessAC = 0;
        }
        if (ReadWirelessValue(plan, PowerSource::DC, &values->dwWirelessDC) != ERROR_SUCCESS) {
            values->dwWirelessDC = 0;
        }
    }
    if ((g_Settings.blob.dwFlagWord & FLAG_WIRELESS) == 0) {
        values->bWireless = false;
    }
    if (SettingExists(PowerSetting::Graphics)) {
        values->bGraphics = true;
        ReadGraphicsValue(plan, PowerSource::AC, &values->dwGraphicsAC);
        ReadGraphicsValue(plan, PowerSource::DC, &values->dwGraphicsDC);
    }
    if (!DimValuesHandled()) {
        LOG_TRACE(TRACE_LEVEL_APP, L"ReadPowerValues", L"Exit retval:%08x", 1);
        return true;
    }
    DWORD dimAC = 0;
    DWORD dimDC = 0;
    if (ReadPowerSetting(plan, PowerSetting::DimTimeout, PowerSource::AC, &values->dwDimTimeoutAC) != ERROR_SUCCESS ||
        ReadPowerSetting(plan, PowerSetting::DimTimeout, PowerSource::DC, &values->dwDimTimeoutDC) != ERROR_SUCCESS ||
        ReadPowerSetting(plan, PowerSetting::DimBrightness, PowerSource::AC, &dimAC) != ERROR_SUCCESS ||
        ReadPowerSetting(plan, PowerSetting::DimBrightness, PowerSource::DC, &dimDC) != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_APP, L"ReadPowerValues", L"Exit - Error! retval:%08x", 0);
        return false;
    }
    values->nDimBrightnessAC = static_cast<INT32>(dimAC);
    values->nDimBrightnessDC = static_cast<INT32>(dimDC);
    LOG_TRACE(TRACE_LEVEL_APP, L"ReadPowerValues", L"Exit retval:%08x", 1);
    return true;
}

DWORD WriteBrightnessLike(const GUID& plan, PowerSetting id, PowerSource source, INT32 value) noexcept {
    DWORD toWrite = 0;
    if (value == kBrightnessKeep) {
        const DWORD status = ReadPowerSetting(plan, id, source, &toWrite);
        if (status != ERROR_SUCCESS) {
            return status;
        }
    } else if (value == kBrightnessNone || value < 0) {
        toWrite = 0;
    } else {
        toWrite = static_cast<DWORD>(value);
    }
    return WritePowerSetting(plan, id, source, toWrite);
}

bool WritePowerValues(const GUID& plan, const wchar_t* name, const wchar_t* description,
                      const PowerValues& values) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"WritePowerValues", L"Enter");
    if (name == nullptr || description == nullptr) {
        return false;
    }
    const size_t nameLen = TextLength(name, kMaxFriendlyNameChars);
    if (nameLen == 0 || nameLen >= kMaxFriendlyNameChars) {
        return false;
    }
    if (Power().writeFriendlyName(nullptr, &plan, nullptr, nullptr,
                                  reinterpret_cast<UCHAR*>(const_cast<wchar_t*>(name)),
                                  static_cast<DWORD>((nameLen + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
        return false;
    }
    const size_t descLen = TextLength(description, kMaxDescriptionChars);
    if (descLen >= kMaxDescriptionChars) {
        return false;
    }
    if (Power().writeDescription(nullptr, &plan, nullptr, nullptr,
                                 reinterpret_cast<UCHAR*>(const_cast<wchar_t*>(description)),
                                 static_cast<DWORD>((descLen + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
        return false;
    }
    for (const ReadStep& step : kTimeoutWrites) {
        if (WritePowerSetting(plan, step.id, PowerSource::AC, values.*step.ac) != ERROR_SUCCESS ||
            WritePowerSetting(plan, step.id, PowerSource::DC, values.*step.dc) != ERROR_SUCCESS) {
            return false;
        }
    }
    const ProcessorPair pair{values.dwMinThrottleAC, values.dwMaxThrottleAC, values.ucPresetAC,
                             values.dwMinThrottleDC, values.dwMaxThrottleDC, values.ucPresetDC};
    if (!WriteProcessorPair(plan, pair)) {
        return false;
    }
    if (values.bGraphics &&
        (WritePowerSetting(plan, PowerSetting::Graphics, PowerSource::AC, values.dwGraphicsAC) != ERROR_SUCCESS ||
         WritePowerSetting(plan, PowerSetting::Graphics, PowerSource::DC, values.dwGraphicsDC) != ERROR_SUCCESS)) {
        return false;
    }
    if (values.bWireless &&
        (WritePowerSetting(plan, PowerSetting::Wireless, PowerSource::AC, values.dwWirelessAC) != ERROR_SUCCESS ||
         WritePowerSetting(plan, PowerSetting::Wireless, PowerSource::DC, values.dwWirelessDC) != ERROR_SUCCESS)) {
        return false;
    }
    if (!DimValuesHandled()) {
        LOG_TRACE(TRACE_LEVEL_APP, L"WritePowerValues", L"Exit retval:%08x", 1);
        return true;
    }
    if (WritePowerSetting(plan, PowerSetting::DimTimeout, PowerSource::AC, values.dwDimTimeoutAC) != ERROR_SUCCESS ||
        WritePowerSetting(plan, PowerSetting::DimTimeout, PowerSource::DC, values.dwDimTimeoutDC) != ERROR_SUCCESS) {
        return false;
    }
    if (WriteBrightnessLike(plan, PowerSetting::DimBrightness, PowerSource::AC, values.nDimBrightnessAC) != ERROR_SUCCESS ||
        WriteBrightnessLike(plan, PowerSetting::DimBrightness, PowerSource::DC, values.nDimBrightnessDC) != ERROR_SUCCESS) {
        WriteErrorLogGuid(kErrWriteGuid, kSettingDimBrightness, ERRLOG_FILE);
        return false;
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"WritePowerValues", L"Exit retval:%08x", 1);
    return true;
}

bool EnumeratePlan(ULONG index, GUID* plan) noexcept {
    GUID guid = GUID_NULL;
    DWORD cb = sizeof(guid);
    if (Power().enumerate(nullptr, nullptr, nullptr, ACCESS_SCHEME, index, reinterpret_cast<UCHAR*>(&guid), &cb) !=
        ERROR_SUCCESS) {
        return false;
    }
    *plan = guid;
    return true;
}

std::vector<GUID> EnumerateAllPlans(DWORD* endStatus) {
    std::vector<GUID> plans;
    for (ULONG index = 0;; ++index) {
        GUID guid = GUID_NULL;
        DWORD cb = sizeof(guid);
        const DWORD status =
            Power().enumerate(nullptr, nullptr, nullptr, ACCESS_SCHEME, index, reinterpret_cast<UCHAR*>(&guid), &cb);
        if (status != ERROR_SUCCESS) {
            if (endStatus != nullptr) {
                *endStatus = status;
            }
            return plans;
        }
        plans.push_back(guid);
    }
}

DWORD CountPlans() noexcept {
    DWORD count = 0;
    GUID guid;
    while (EnumeratePlan(count, &guid)) {
        ++count;
    }
    return count;
}

GUID ActivePlanOrNull(bool logFailure) noexcept {
    GUID plan = GUID_NULL;
    const DWORD status = ReadActiveScheme(&plan);
    if (status != ERROR_SUCCESS) {
        if (logFailure) {
            WriteErrorLog(kErrActiveScheme, status, ERRLOG_FILE);
        }
        return GUID_NULL;
    }
    return plan;
}

DWORD ActivateScheme(const GUID& plan) noexcept { return Power().setActiveScheme(nullptr, &plan); }

DWORD ReadActiveScheme(GUID* plan) noexcept {
    GUID* active = nullptr;
    const DWORD status = Power().getActiveScheme(nullptr, &active);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    common::UniqueLocal owner(active);
    if (active == nullptr) {
        return ERROR_INVALID_DATA;
    }
    *plan = *active;
    return ERROR_SUCCESS;
}

DWORD ReadSystemActions(const GUID& plan, SystemActions* a) noexcept {
    struct Step {
        PowerSetting id;
        PowerSource source;
        DWORD SystemActions::*field;
    };
    static const Step kSteps[] = {
        {PowerSetting::PowerButton, PowerSource::AC, &SystemActions::dwPowerButtonAC},
        {PowerSetting::PowerButton, PowerSource::DC, &SystemActions::dwPowerButtonDC},
        {PowerSetting::SleepButton, PowerSource::AC, &SystemActions::dwSleepButtonAC},
        {PowerSetting::SleepButton, PowerSource::DC, &SystemActions::dwSleepButtonDC},
        {PowerSetting::LidClose, PowerSource::AC, &SystemActions::dwLidCloseAC},
        {PowerSetting::LidClose, PowerSource::DC, &SystemActions::dwLidCloseDC},
        {PowerSetting::CriticalBatteryAction, PowerSource::DC, &SystemActions::dwCriticalBatteryDC},
        {PowerSetting::LowBatteryAction, PowerSource::DC, &SystemActions::dwLowBatteryDC},
    };
    for (const Step& s : kSteps) {
        const DWORD status = ReadPowerSetting(plan, s.id, s.source, &(a->*s.field));
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    return ERROR_SUCCESS;
}

DWORD UpdateSystemActions(const GUID& active) noexcept {
    const LONG writes = g_settingWrites;
    if (!IsNullGuid(g_systemActionsPlan) && IsEqualGUID(active, g_systemActionsPlan) &&
        writes == g_systemActionsWrites) {
        return ERROR_SUCCESS;
    }
    const DWORD status = ReadSystemActions(active, &g_SystemActions);
    g_systemActionsPlan = status == ERROR_SUCCESS ? active : GUID_NULL;
    g_systemActionsWrites = writes;
    return status;
}

void ForgetSystemActions() noexcept { g_systemActionsPlan = GUID_NULL; }

}  // namespace plans
