// Access to the Windows power settings the program handles: one read and write per setting and
// power source, whole-plan snapshots (PowerValues), processor presets, plan enumeration.
#pragma once

#include <windows.h>

#include <vector>

namespace plans {

enum class PowerSource { AC, DC };

enum class PowerSetting {
    MonitorTimeout,
    Brightness,
    DimTimeout,
    DimBrightness,
    DiskTimeout,
    StandbyTimeout,
    HibernateTimeout,
    HybridSleep,
    ProcessorMin,
    ProcessorMax,
    Graphics,
    Wireless,
    PowerButton,
    SleepButton,
    LidClose,
    CriticalBatteryAction,
    LowBatteryAction,
    Count
};

struct HandledSetting {
    PowerSetting id;
    const GUID* subgroup;
    const GUID* setting;
    const wchar_t* recordNameAC;  // null when the program keeps no record of the value
    const wchar_t* recordNameDC;
    bool writable;
};
// The table of handled settings, indexed by PowerSetting.
const HandledSetting& GetHandledSetting(PowerSetting id) noexcept;

// One read or write per setting and power source; the API's error code unchanged.
// Hybrid sleep reads any nonzero index as 3. Writing a read-only setting is ERROR_ACCESS_DENIED.
DWORD ReadPowerSetting(const GUID& plan, PowerSetting id, PowerSource source, DWORD* value) noexcept;
DWORD WritePowerSetting(const GUID& plan, PowerSetting id, PowerSource source, DWORD value) noexcept;

// Graphics and wireless reads: the plan's value, else the active plan's; graphics then 1.
DWORD ReadGraphicsValue(const GUID& plan, PowerSource source, DWORD* value) noexcept;
DWORD ReadWirelessValue(const GUID& plan, PowerSource source, DWORD* value) noexcept;

// Processor preset codes.
constexpr BYTE PRESET_HIGH = 0;        // 100/100
constexpr BYTE PRESET_LOW_FIXED = 1;   // L/L
constexpr BYTE PRESET_LOW = 2;         // 5/L
constexpr BYTE PRESET_AUTO = 3;        // L/100
constexpr BYTE PRESET_USER = 255;      // any other pair
constexpr DWORD kProcessorFull = 100;
constexpr DWORD kProcessorFloor = 5;
constexpr size_t kMaxPresetEntries = 5;

BYTE ClassifyProcessorPair(DWORD minimum, DWORD maximum, DWORD lowerLimit) noexcept;
// False for PRESET_USER and unknown codes (the pair is then left as it is).
bool PresetToProcessorPair(BYTE code, DWORD lowerLimit, DWORD* minimum, DWORD* maximum) noexcept;
// The presets offered to the user, in display order; returns the count (4 or 5).
size_t GetProcessorPresetList(bool allowConstant, BYTE (&codes)[kMaxPresetEntries]) noexcept;

struct ProcessorPair {
    DWORD dwMinAC;
    DWORD dwMaxAC;
    BYTE ucPresetAC;
    DWORD dwMinDC;
    DWORD dwMaxDC;
    BYTE ucPresetDC;
};
bool ReadProcessorPair(const GUID& plan, ProcessorPair* pair) noexcept;
// Writes the pair; a preset code other than 255 is turned into its own pair first.
bool WriteProcessorPair(const GUID& plan, const ProcessorPair& pair) noexcept;

constexpr INT32 kBrightnessNone = 256;  // could not be read; written as 0
constexpr INT32 kBrightnessKeep = -1;   // keep the plan's present value

// One plan's snapshot of the handled settings, fields in reading order.
struct PowerValues {
    DWORD dwMonitorAC, dwMonitorDC;
    DWORD dwDiskAC, dwDiskDC;
    DWORD dwHybridAC, dwHybridDC;
    DWORD dwStandbyAC, dwStandbyDC;
    DWORD dwHibernateAC, dwHibernateDC;
    DWORD dwMinThrottleAC, dwMaxThrottleAC;
    BYTE ucPresetAC;
    DWORD dwMinThrottleDC, dwMaxThrottleDC;
    BYTE ucPresetDC;
    bool bWireless;
    DWORD dwWirelessAC, dwWirelessDC;
    bool bGraphics;
    DWORD dwGraphicsAC, dwGraphicsDC;
    DWORD dwDimTimeoutAC, dwDimTimeoutDC;
    INT32 nDimBrightnessAC, nDimBrightnessDC;
};

bool ReadPowerValues(const GUID& plan, PowerValues* values) noexcept;
constexpr size_t kMaxFriendlyNameChars = 258;   // with terminator
constexpr size_t kMaxDescriptionChars = 512;    // a description this long or longer is refused
bool WritePowerValues(const GUID& plan, const wchar_t* name, const wchar_t* description,
                      const PowerValues& values) noexcept;
// Brightness-like values: -1 re-reads and writes back the plan's value, 256 writes 0.
DWORD WriteBrightnessLike(const GUID& plan, PowerSetting id, PowerSource source, INT32 value) noexcept;

// Plan enumeration. CountPlans counts the successful calls before the first failure.
DWORD CountPlans() noexcept;
bool EnumeratePlan(ULONG index, GUID* plan) noexcept;
// All plans in enumeration order; *endStatus receives the status that ended the enumeration
// (ERROR_NO_MORE_ITEMS when it ended normally).
std::vector<GUID> EnumerateAllPlans(DWORD* endStatus);
// The active plan (through the power-management table); the status of the read.
DWORD ReadActiveScheme(GUID* plan) noexcept;
// The active plan, or GUID_NULL when it cannot be read (then logged as error 2 when logFailure).
GUID ActivePlanOrNull(bool logFailure) noexcept;
// Makes a plan the active one; the status of PowerSetActiveScheme.
DWORD ActivateScheme(const GUID& plan) noexcept;

// Button, lid and battery actions of a plan.
struct SystemActions {
    DWORD dwPowerButtonAC, dwPowerButtonDC;
    DWORD dwSleepButtonAC, dwSleepButtonDC;
    DWORD dwLidCloseAC, dwLidCloseDC;
    DWORD dwCriticalBatteryDC;
    DWORD dwLowBatteryDC;
};
DWORD ReadSystemActions(const GUID& plan, SystemActions* actions) noexcept;
// The active plan's actions, brought up to date at every plan-list refresh.
extern SystemActions g_SystemActions;
// Reads the active plan's actions into g_SystemActions unless they were read for that plan
// already and this program wrote no plan setting since (eight reads saved per refresh). Returns
// 0 or the error of the read; a failed read is tried again next time.
DWORD UpdateSystemActions(const GUID& active) noexcept;
// The next UpdateSystemActions reads again (plans replaced or restored as a whole).
void ForgetSystemActions() noexcept;

}  // namespace plans
