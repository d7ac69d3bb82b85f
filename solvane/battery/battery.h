// The battery model: the system battery state and what the program derives from it (charge
// percent, remaining and charge time, the low-battery state), the per-battery charge model kept
// under "ModPar\SetItemData", the discharge-rate tables and the 30-second polling thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <vector>

namespace battery {

constexpr size_t kDevNameChars = 260;
constexpr size_t kMaxBatteryInterfaces = 8;
constexpr DWORD kPollPeriodMs = 30000;
constexpr DWORD kNoRecords = 50;        // CheckBattery/refresh: no battery model configured
constexpr DWORD kRefreshFailed = 5;     // a configured battery did not answer
constexpr int kUnknownLevel = 256;      // brightness level not known
constexpr int kAutoLevel = 512;         // brightness follows the ambient light

// One configured battery model and the last values its device reported.
struct BatteryRecord {
    DWORD bChecked;                 // every parameter below was read and is in range
    wchar_t szPath[kDevNameChars];  // interface path of the matched device
    DWORD dwChangePoint;
    DWORD dwFullPercent;
    double dI;
    double dA;
    double dB;
    double dC;
    DWORD bExist;
    wchar_t devName[kDevNameChars];
    DWORD nSlot;
    DWORD PowerState;
    DWORD Capacity;
    DWORD FullChargedCapacity;
    LONG Rate;
};

// Result of the time-to-full computation over a set of records.
struct ChargeEstimate {
    int nMinutes;            // 0 when no battery is partially charged
    DWORD dwChargingMask;
    DWORD dwPartialMask;
    DWORD dwTotalCapacity;
    DWORD dwCurrentCapacity;
    DWORD dwError;           // 0, or the error recorded (85: a full charged capacity of 0)
};

// The state the readers see, published whole by every CheckBattery.
struct BatterySnapshot {
    SYSTEM_BATTERY_STATE sys;   // last successful system query (zeroed before the first)
    bool bKnown;                // sys holds a successful query
    int nChargePercent;         // -1: no battery or no maximum
    int nRemainMin;
    DWORD dwChargingMask;
    DWORD dwPartialMask;
    int nLowState;              // 0, 1 or 5
    DWORD dwStoredEstimate;     // seconds; set by the plan editor, replaces the system's estimate
};

// --- Pure rules (no system state) -----------------------------------------------------------

// The time to full of the valid, present records (CalcChargeOverTime's arithmetic).
ChargeEstimate EstimateChargeTime(const BatteryRecord* records, size_t count) noexcept;
// "%02d:%02d" of minutes (hours, minutes) into text; false when it does not fit.
bool FormatChargeTime(int minutes, wchar_t* text, size_t cchText) noexcept;

// One step of the low-battery state machine; *report is set on a downward crossing.
int StepLowBattery(int state, int percent, int lowLevel, int criticalLevel, bool* report) noexcept;

// Discharge-rate tables, in 1/10000.
struct DischargeRates {
    WORD cpu[4];
    std::vector<WORD> lcd;
};
DischargeRates DefaultDischargeRates();
// Reads "CPURate", "Num_LCD_Rate", "LCDRate" and "LCDRate_Min" from the program's HKLM key;
// brightnessLevels is the panel's number of levels (0 when unknown).
DischargeRates ReadDischargeRates(HKEY key, int brightnessLevels);
int LcdRate(const DischargeRates& rates, int current, int newLevel) noexcept;
int CpuRate(const DischargeRates& rates, int current, int newMode) noexcept;
int Percentage(const DischargeRates& rates, bool lcd, bool cpu, int curLevel, int newLevel, int curMode,
               int newMode) noexcept;

// Reads the model keys under "SetItemData" (key open with query and enumerate rights); device
// matching is left to the caller. Names of kDevNameChars characters or more are skipped.
std::vector<BatteryRecord> ReadBatteryRecords(HKEY setItemData) noexcept;

// --- The program's battery state ------------------------------------------------------------

// Settings loader: rate tables and battery records from the program's HKLM key.
void Init_DischargeRate(HKEY machineKey) noexcept;
DWORD LoadBatteryModel() noexcept;      // number of battery interfaces examined
void LoadBatterySettings(HKEY machineKey) noexcept;  // both of the above
bool HasBatteryDevice() noexcept;

DWORD CheckBattery() noexcept;
BatterySnapshot GetBatterySnapshot() noexcept;
// Copies of the records as last refreshed.
std::vector<BatteryRecord> GetBatteryRecords() noexcept;
int CalcChargeOverTime(wchar_t* text, size_t cchText) noexcept;
void SetStoredEstimate(DWORD seconds) noexcept;

int GetLCDRate(int current, int newLevel) noexcept;
int GetCPURate(int current, int newMode) noexcept;
int CalcPercentage(int curLevel, int newLevel, int curMode, int newMode) noexcept;

// Hooks into the rest of the program; each may be left null.
struct BatteryHooks {
    bool (*lcdRatesApply)() = nullptr;            // the panel brightness is controlled (bLCD)
    bool (*noSpeedStep)() = nullptr;              // the processor lacks speed stepping
    int (*currentLevel)() = nullptr;              // the panel's current level, kUnknownLevel if not known
    int (*percentToLevel)(int percent) = nullptr; // a brightness percent as a level
    int (*brightnessLevels)() = nullptr;          // the panel's number of levels
    bool (*panelUpdateRunning)() = nullptr;       // a panel update is still running
    // The low and critical levels (percent) the state machine compares with.
    void (*readLowLevels)(int* lowLevel, int* criticalLevel) = nullptr;
    // The system power status of the plan page (GetSystemPowerStatus by default).
    BOOL (*getSystemPowerStatus)(SYSTEM_POWER_STATUS* status) = nullptr;
};
extern BatteryHooks g_BatteryHooks;

// The events the meter panel waits on (manual reset, created on first use).
HANDLE BatteryBlinkEvent() noexcept;
HANDLE BatteryUpdateEvent() noexcept;

// The polling thread (battery flag set only); runs while *runFlag is set. Join wakes it at once.
DWORD StartBatteryThread(const std::atomic<bool>* runFlag, DWORD periodMs = kPollPeriodMs) noexcept;
void JoinBatteryThread() noexcept;
bool BatteryThreadRunning() noexcept;
// Checks made by the thread so far and its wake-ups (for the idle measurement and tests).
DWORD BatteryThreadPasses() noexcept;
DWORD BatteryThreadWakeups() noexcept;

// --- What-if estimates for the plan dialogs -------------------------------------------------

DWORD GetBatteryInfoByValue(HWND dialog, const GUID& plan, int newMode, int newLevel, bool refresh) noexcept;
DWORD GetBatteryInfoById(HWND dialog, const GUID& plan, bool refresh) noexcept;
// The battery percent and status texts of a plan dialog (percent text, status text).
struct BatteryTexts {
    wchar_t szPercent[32];
    wchar_t szStatus[128];
    UINT uImage;   // bitmap id for the state
    DWORD dwPredicted;
};
BatteryTexts ComposeBatteryInfo(bool samePlan, int percent, bool refresh) noexcept;
DWORD InitBatteryInfo(HWND dialog, const GUID& current, const GUID& newPlan, int percent, bool refresh) noexcept;
void SetBatteryInfoByValue(HWND dialog, const GUID& plan, int newMode, int newLevel, bool refresh) noexcept;
void SetBatteryInfoById(HWND dialog, const GUID& plan, bool refresh) noexcept;
// The plan page's battery time of a plan: "%02d:%02d", or 179/182.
void FormatPlanBatteryTime(const GUID& plan, bool refresh, wchar_t* text, size_t cchText) noexcept;
void SetPlanBatteryTime(HWND dialog, int controlId, const GUID& plan, bool refresh) noexcept;

}  // namespace battery
