// The program's battery state: the records and rate tables loaded at start, CheckBattery and
// the snapshot it publishes, the panel's events and the polling thread.
#include <windows.h>
#include <strsafe.h>

#include <mutex>

#include "battery/battery.h"
#include "battery/battery_device.h"
#include "common/log.h"
#include "common/threads.h"
#include "plans/plan_list.h"
#include "plans/power_api.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace battery {

BatteryHooks g_BatteryHooks;

namespace {

constexpr wchar_t kCheckTrace[] = L"CheckBattery";
constexpr wchar_t kModParItems[] = L"Software\\Orvel\\Solvane\\ModPar\\SetItemData";
constexpr DWORD kUnknownTime = 0xFFFFFFFF;
constexpr DWORD kSecondsPerMinute = 60;
constexpr DWORD kPercent = 100;
constexpr DWORD kSliceMs = 3000;
constexpr DWORD kFailuresBeforeRecord = 9;
constexpr DWORD kLockDetailLowLevels = 1;
constexpr int kLowStateAbove = 5;
constexpr int kFullPercentage = 100;   // the running time when nothing changes

// {8183BA9A-E910-48DA-8769-14AE6DC1170A} low battery level, {9A66D8D7-4FF7-4EF9-B5A2-5A326CA2A469}
// critical battery level (percent, per plan and power source).
const GUID kSettingLowLevel = {0x8183BA9A, 0xE910, 0x48DA, {0x87, 0x69, 0x14, 0xAE, 0x6D, 0xC1, 0x17, 0x0A}};
const GUID kSettingCriticalLevel = {0x9A66D8D7, 0x4FF7, 0x4EF9, {0xB5, 0xA2, 0x5A, 0x32, 0x6C, 0xA2, 0xA4, 0x69}};

// Records and rate tables: written at start and by the refresh, under g_modelLock.
SRWLOCK g_modelLock = SRWLOCK_INIT;
std::vector<BatteryRecord> g_records;
DischargeRates g_rates = DefaultDischargeRates();

// The published state: written whole under g_snapshotLock, copied whole by every reader.
SRWLOCK g_snapshotLock = SRWLOCK_INIT;
BatterySnapshot g_snapshot = {{}, false, -1, 0, 0, 0, kLowStateAbove, 0};

// One CheckBattery at a time (polling thread, power events and dialogs all call it).
SRWLOCK g_checkLock = SRWLOCK_INIT;

struct ExclusiveLock {
    explicit ExclusiveLock(SRWLOCK* lock) noexcept : m_lock(lock) { AcquireSRWLockExclusive(m_lock); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(m_lock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
    SRWLOCK* m_lock;
};
struct SharedLock {
    explicit SharedLock(SRWLOCK* lock) noexcept : m_lock(lock) { AcquireSRWLockShared(m_lock); }
    ~SharedLock() { ReleaseSRWLockShared(m_lock); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;
    SRWLOCK* m_lock;
};

HANDLE ManualEvent(common::UniqueHandle& slot, std::once_flag& once) noexcept {
    std::call_once(once, [&slot]() { slot.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr)); });
    return slot.Get();
}
common::UniqueHandle g_blinkEvent;
common::UniqueHandle g_updateEvent;
std::once_flag g_blinkOnce;
std::once_flag g_updateOnce;

void ReadPlanLowLevels(int* lowLevel, int* criticalLevel) noexcept {
    *lowLevel = 0;
    *criticalLevel = 0;
    plans::PlanListLock lock(kLockDetailLowLevels);
    if (!lock.Owned()) {
        return;
    }
    GUID active{};
    if (plans::ReadActiveScheme(&active) != ERROR_SUCCESS) {
        return;
    }
    DWORD value = 0;
    if (plans::Power().readDCValueIndex(nullptr, &active, &plans::kSubgroupBattery, &kSettingLowLevel, &value) ==
        ERROR_SUCCESS) {
        *lowLevel = static_cast<int>(value);
    }
    if (plans::Power().readDCValueIndex(nullptr, &active, &plans::kSubgroupBattery, &kSettingCriticalLevel,
                                        &value) == ERROR_SUCCESS) {
        *criticalLevel = static_cast<int>(value);
    }
}

void LowLevels(int* lowLevel, int* criticalLevel) noexcept {
    if (g_BatteryHooks.readLowLevels != nullptr) {
        g_BatteryHooks.readLowLevels(lowLevel, criticalLevel);
    } else {
        ReadPlanLowLevels(lowLevel, criticalLevel);
    }
}

// Re-reads every valid, present record from its device. 50 without records, 5 when a battery
// did not answer (the records keep their previous values from there on).
DWORD RefreshRecords() noexcept {
    ExclusiveLock lock(&g_modelLock);
    if (g_records.empty()) {
        return kNoRecords;
    }
    MatchBatteryDevices(g_records);
    for (BatteryRecord& record : g_records) {
        if (record.bChecked == 0 || record.bExist == 0) {
            continue;
        }
        common::UniqueFile device = OpenBatteryDevice(record.szPath, true);
        if (!device) {
            return kRefreshFailed;
        }
        const ULONG tag = QueryBatteryTag(device.Get());
        BatteryRecord values = record;
        if (tag == 0 || !QueryBatteryValues(device.Get(), tag, &values)) {
            return kRefreshFailed;
        }
        record = values;
    }
    return ERROR_SUCCESS;
}

ChargeEstimate EstimateFromRecords() noexcept {
    SharedLock lock(&g_modelLock);
    return EstimateChargeTime(g_records.data(), g_records.size());
}

// The gauge animation is not drawn in the panel's two alternative layouts.
bool AlternativeLayout() noexcept {
    return (plans::g_Settings.blob.dwFlagWord & (plans::FLAG_LAYOUT_ALT1 | plans::FLAG_LAYOUT_ALT2)) != 0;
}

bool PanelUpdateRunning() noexcept {
    return g_BatteryHooks.panelUpdateRunning != nullptr && g_BatteryHooks.panelUpdateRunning();
}

void NotifyPanel(const BatterySnapshot& before, const BatterySnapshot& after, bool crossedDown) noexcept {
    const bool changed = before.sys.AcOnLine != after.sys.AcOnLine || before.sys.Charging != after.sys.Charging ||
                         before.sys.RemainingCapacity != after.sys.RemainingCapacity ||
                         before.nLowState != after.nLowState || before.nRemainMin != after.nRemainMin;
    if (changed) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kCheckTrace, L"battery state changed");
    }
    if (crossedDown) {
        SetEvent(BatteryBlinkEvent());
    }
    if (!AlternativeLayout() && !PanelUpdateRunning()) {
        SetEvent(BatteryUpdateEvent());
    }
}

}  // namespace

void Init_DischargeRate(HKEY machineKey) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"Init_DischargeRate", L"Enter");
    const int levels = g_BatteryHooks.brightnessLevels != nullptr ? g_BatteryHooks.brightnessLevels() : 0;
    try {
        DischargeRates rates = ReadDischargeRates(machineKey, levels);
        ExclusiveLock lock(&g_modelLock);
        g_rates = std::move(rates);
    } catch (...) {
        WriteErrorLog(IDS_ERR_HEAP_ALLOC, 0, ERRLOG_FILE);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"Init_DischargeRate", L"Exit");
}

DWORD LoadBatteryModel() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"LoadBatteryModel", L"Enter");
    std::vector<BatteryRecord> records;
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kModParItems, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, key.Put()) ==
        ERROR_SUCCESS) {
        records = ReadBatteryRecords(key.Get());
    }
    const DWORD examined = records.empty() ? 0 : MatchBatteryDevices(records);
    {
        ExclusiveLock lock(&g_modelLock);
        g_records.swap(records);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"LoadBatteryModel", L"Exit retval:%08x", examined);
    return examined;
}

void LoadBatterySettings(HKEY machineKey) noexcept {
    Init_DischargeRate(machineKey);
    LoadBatteryModel();
}

std::vector<BatteryRecord> GetBatteryRecords() noexcept {
    SharedLock lock(&g_modelLock);
    try {
        return g_records;
    } catch (...) {
        return {};
    }
}

BatterySnapshot GetBatterySnapshot() noexcept {
    SharedLock lock(&g_snapshotLock);
    return g_snapshot;
}

void SetStoredEstimate(DWORD seconds) noexcept {
    ExclusiveLock lock(&g_snapshotLock);
    g_snapshot.dwStoredEstimate = seconds;
}

int CalcChargeOverTime(wchar_t* text, size_t cchText) noexcept {
    const ChargeEstimate estimate = EstimateFromRecords();
    if (text != nullptr && cchText > 0) {
        wchar_t formatted[6] = L"";
        FormatChargeTime(estimate.nMinutes, formatted, ARRAYSIZE(formatted));
        StringCchCopyW(text, cchText, formatted);
        LOG_TRACE(TRACE_LEVEL_VALUES, L"CalcChargeOverTime", L"time:%s", formatted);
    }
    return estimate.nMinutes;
}

DWORD CheckBattery() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, kCheckTrace, L"Enter");
    const BatterySnapshot before = GetBatterySnapshot();
    SYSTEM_BATTERY_STATE sys{};
    const LONG status = CallNtPowerInformation(SystemBatteryState, nullptr, 0, &sys, sizeof(sys));
    if (status != 0) {
        LOG_TRACE(TRACE_LEVEL_APP, kCheckTrace, L"Exit - Error! retval:%08x", static_cast<DWORD>(status));
        return static_cast<DWORD>(status);
    }
    // The levels are read before the check lock: their reader waits on the plan-list lock.
    int lowLevel = 0;
    int criticalLevel = 0;
    const bool discharging = !sys.AcOnLine && sys.Discharging;
    if (discharging) {
        LowLevels(&lowLevel, &criticalLevel);
    }
    ExclusiveLock check(&g_checkLock);
    BatterySnapshot after = GetBatterySnapshot();
    after.sys = sys;
    after.bKnown = true;
    after.nRemainMin = 0;
    after.nChargePercent = -1;
    if (sys.BatteryPresent && sys.MaxCapacity != 0) {
        after.nChargePercent =
            static_cast<int>(static_cast<ULONGLONG>(sys.RemainingCapacity) * kPercent / sys.MaxCapacity);
        LOG_TRACE(TRACE_LEVEL_VALUES, kCheckTrace, L"curPar=%d%%(%d/%d)", after.nChargePercent,
                  sys.RemainingCapacity, sys.MaxCapacity);
    }
    DWORD result = ERROR_SUCCESS;
    bool crossedDown = false;
    after.dwChargingMask = 0;
    after.dwPartialMask = 0;
    if (sys.AcOnLine) {
        if (sys.Charging) {
            result = RefreshRecords();
            const ChargeEstimate estimate = EstimateFromRecords();
            after.nRemainMin = estimate.nMinutes;
            after.dwChargingMask = estimate.dwChargingMask;
            after.dwPartialMask = estimate.dwPartialMask;
            if (result == kNoRecords) {
                after.dwChargingMask = ChargingMaskFromDevices();
                if (after.dwChargingMask != 0) {
                    result = ERROR_SUCCESS;
                }
            }
        }
        after.nLowState = kLowStateAbove;
    } else if (sys.Discharging) {
        if (sys.EstimatedTime != kUnknownTime) {
            after.nRemainMin = static_cast<int>(sys.EstimatedTime / kSecondsPerMinute);
            LOG_TRACE(TRACE_LEVEL_VALUES, kCheckTrace, L"Discharg RemainMin=%d", after.nRemainMin);
        }
        after.nLowState = StepLowBattery(after.nLowState, after.nChargePercent, lowLevel, criticalLevel, &crossedDown);
    }
    {
        ExclusiveLock publish(&g_snapshotLock);
        after.dwStoredEstimate = g_snapshot.dwStoredEstimate;  // set by the dialogs meanwhile
        g_snapshot = after;
    }
    NotifyPanel(before, after, crossedDown);
    LOG_TRACE(TRACE_LEVEL_APP, kCheckTrace, L"Exit retval:%08x", result);
    return result;
}

int GetLCDRate(int current, int newLevel) noexcept {
    constexpr wchar_t kTrace[] = L"GetLCDRate";
    LOG_TRACE(TRACE_LEVEL_APP, kTrace, L"Enter");
    SharedLock lock(&g_modelLock);
    const int rate = LcdRate(g_rates, current, newLevel);
    const size_t size = g_rates.lcd.size();
    // The table's entries for the two levels, when the rate comes from them.
    if (current >= 0 && newLevel >= 0 && static_cast<size_t>(current) < size &&
        static_cast<size_t>(newLevel) < size && current != kUnknownLevel && newLevel != kUnknownLevel) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"cur:%d", current);
        LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"newval:%d", newLevel);
        LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"pLCDRate[cur]:%d", static_cast<int>(g_rates.lcd[current]));
        LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"pLCDRate[newval]:%d", static_cast<int>(g_rates.lcd[newLevel]));
    }
    LOG_TRACE(TRACE_LEVEL_APP, kTrace, L"Exit retval:%08x", rate);
    return rate;
}

int GetCPURate(int current, int newMode) noexcept {
    SharedLock lock(&g_modelLock);
    return CpuRate(g_rates, current, newMode);
}

int CalcPercentage(int curLevel, int newLevel, int curMode, int newMode) noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, L"CalcPercentage", L"curLCD:%d,newLCD:%d", curLevel, newLevel);
    const bool lcd = g_BatteryHooks.lcdRatesApply != nullptr && g_BatteryHooks.lcdRatesApply();
    const bool cpu = g_BatteryHooks.noSpeedStep == nullptr || !g_BatteryHooks.noSpeedStep();
    int percent = kFullPercentage;
    if (lcd) {
        percent += GetLCDRate(curLevel, newLevel);
    }
    if (cpu) {
        percent += GetCPURate(curMode, newMode);
    }
    return percent;
}

HANDLE BatteryBlinkEvent() noexcept { return ManualEvent(g_blinkEvent, g_blinkOnce); }
HANDLE BatteryUpdateEvent() noexcept { return ManualEvent(g_updateEvent, g_updateOnce); }

// --- Polling thread ---------------------------------------------------------------------------

namespace {

common::UniqueHandle g_thread;
common::UniqueHandle g_stopEvent;
struct PollArgs {
    const std::atomic<bool>* runFlag;
    DWORD periodMs;
};
PollArgs g_pollArgs{};
std::atomic<DWORD> g_passes{0};
std::atomic<DWORD> g_wakeups{0};

void PollLoop(const std::atomic<bool>* runFlag, DWORD periodMs) noexcept {
    const DWORD slices = periodMs <= kSliceMs ? 1 : periodMs / kSliceMs;
    const DWORD sliceMs = periodMs <= kSliceMs ? periodMs : kSliceMs;
    DWORD failures = 0;
    bool recorded = false;
    while (runFlag->load()) {
        const DWORD result = CheckBattery();
        g_passes.fetch_add(1);
        failures = result != ERROR_SUCCESS ? failures + 1 : 0;
        if (failures > kFailuresBeforeRecord) {
            if (!recorded) {
                WriteErrorLog(IDS_ERR_BATTERY_CHECK, result, ERRLOG_FILE);
                recorded = true;
            }
            failures = 0;
        }
        for (DWORD slice = 0; slice < slices && runFlag->load(); ++slice) {
            if (slice == slices / 2 && !AlternativeLayout() && !PanelUpdateRunning()) {
                SetEvent(BatteryUpdateEvent());
            }
            const DWORD wait = WaitForSingleObject(g_stopEvent.Get(), sliceMs);
            g_wakeups.fetch_add(1);
            if (wait != WAIT_TIMEOUT) {
                return;
            }
        }
    }
}

DWORD WINAPI PollThread(LPVOID parameter) {
    const auto* args = static_cast<const PollArgs*>(parameter);
    PollLoop(args->runFlag, args->periodMs);
    return 0;
}

}  // namespace

DWORD StartBatteryThread(const std::atomic<bool>* runFlag, DWORD periodMs) noexcept {
    if (runFlag == nullptr || g_thread) {
        return ERROR_INVALID_PARAMETER;
    }
    g_stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!g_stopEvent) {
        return GetLastError();
    }
    g_pollArgs = PollArgs{runFlag, periodMs};
    g_thread.Reset(common::StartWorkerThread(PollThread, &g_pollArgs, common::kLibraryStackBytes));
    if (!g_thread) {
        const DWORD error = GetLastError();
        g_stopEvent.Reset();
        return error != ERROR_SUCCESS ? error : ERROR_NOT_ENOUGH_MEMORY;
    }
    return ERROR_SUCCESS;
}

void JoinBatteryThread() noexcept {
    if (!g_thread) {
        return;
    }
    SetEvent(g_stopEvent.Get());
    WaitForSingleObject(g_thread.Get(), INFINITE);
    g_thread.Reset();
    g_stopEvent.Reset();
}

bool BatteryThreadRunning() noexcept { return static_cast<bool>(g_thread); }
DWORD BatteryThreadPasses() noexcept { return g_passes.load(); }
DWORD BatteryThreadWakeups() noexcept { return g_wakeups.load(); }

}  // namespace battery
