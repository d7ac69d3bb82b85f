// The process-wide settings record: the per-user panel blob, the machine's ECO variant, hardware
// capability bits and the tuning values the installation writes, plus the pinned plans and the
// rules that bind the ECO mode slots to plans.
#pragma once

#include <windows.h>

#include <cstdint>

namespace plans {

// FlagWord bits.
constexpr DWORD FLAG_TOPMOST = 0x1;
constexpr DWORD FLAG_TRAY_ONLY = 0x2;
constexpr DWORD FLAG_LAYOUT_ALT1 = 0x4;
constexpr DWORD FLAG_LAYOUT_ALT2 = 0x8;
constexpr DWORD FLAG_TRANSPARENT = 0x10;
constexpr DWORD FLAG_CANTCHGPP = 0x40;
constexpr DWORD FLAG_TOOL_WINDOW = 0x80;
constexpr DWORD FLAG_PANEL_STATE = 0x200;
constexpr DWORD FLAG_ECO = 0x1000;
constexpr DWORD FLAG_METER = 0x2000;
constexpr DWORD FLAG_BATTERY = 0x4000;
constexpr DWORD FLAG_THREE_MODE = 0x8000;
constexpr DWORD FLAG_WIRELESS = 0x10000;
constexpr DWORD FLAG_CPU_DRIVER = 0x20000;
constexpr DWORD FLAG_SAVE_DISPLAY = 0x80000;
constexpr DWORD FLAG_EXT_MONITOR = 0x100000;

// Bits found anew at every start (the rest of a stored FlagWord is kept).
constexpr DWORD kRecomputedFlags = FLAG_ECO | FLAG_METER | FLAG_BATTERY | FLAG_THREE_MODE |
                                   FLAG_WIRELESS | FLAG_CPU_DRIVER | FLAG_EXT_MONITOR;
// Bits cleared at every start.
constexpr DWORD kClearedFlags = FLAG_CANTCHGPP | FLAG_SAVE_DISPLAY;
constexpr DWORD kFirstStartFlagWord = 0x282;

// "Settings" under HKEY_CURRENT_USER: exactly 40 bytes, little-endian.
struct SettingsBlob {
    INT32 valid;        // nonzero once the blob exists; only then is it written
    DWORD dwFlagWord;
    INT32 left;         // screen position and size of the panel
    INT32 top;
    INT32 width;
    INT32 height;
    INT32 colorIndex;   // 4 when layout bit 0x4 is set at first start, else 0
    BYTE reserved[12];  // kept as held in memory
};
static_assert(sizeof(SettingsBlob) == 40, "the stored blob is 40 bytes");
constexpr DWORD kSettingsBlobSize = sizeof(SettingsBlob);

constexpr size_t kMaxPinnedPlans = 3;
constexpr size_t kMhzTextChars = 260;

struct ExternalMonitorTiming {
    DWORD retryCount = 10;
    DWORD retryTime = 0;
    DWORD checkCount = 10;
    DWORD sleepTime = 0;
    DWORD devChgTime = 3000;
    DWORD luiChkTime = 5000;
};

struct SettingsRecord {
    SettingsBlob blob;
    DWORD dwSaveColor;        // low half: standard layout colour; high half: layout 0x4 colour
    DWORD dwLowerLimit;       // lowest processor percentage of the presets
    DWORD dwPwrDlgActivate;   // video-playback warning path enabled
    INT32 nTimerLED;          // ms of the main window's LED check timer
    DWORD dwNumDefScheme;     // plans given a factory snapshot
    bool bAllowConstant;      // the fixed low processor preset is offered
    INT32 nFerrow;            // the outing-button utility is installed
    INT32 nLegacyBIOS;
    INT32 nModelNumber;
    wchar_t szMHz[kMhzTextChars];  // processor clock text of the power meter
    DWORD dwProcessorMhz;     // processor clock in MHz (from the name, or "~MHz")
    bool bAthlon;             // the processor name contains "Athlon"
    INT32 nPinnedCount;       // entries of the pinned plan list (2 or 3)
    GUID pinned[kMaxPinnedPlans];
    GUID guidLow;             // two-mode variant: "GUID_L"
    GUID guidHigh;            // two-mode variant: "GUID_H"
    DWORD dwOsGeneration;     // 1 Vista, 2 Windows 7, 3 later; 0 = not determined yet
    ExternalMonitorTiming monitorTiming;
};

extern SettingsRecord g_Settings;

// Defaults of the per-machine values.
constexpr DWORD kDefaultSaveColor = 0x40000;
constexpr DWORD kDefaultLowerLimit = 50;
// "LowerLimit" is the maximum of the low presets, whose minimum is 5: a value outside 5-100 would
// write a minimum above the maximum (or a percentage above 100), so it gives the default.
constexpr DWORD kMinLowerLimit = 5;
constexpr DWORD kMaxLowerLimit = 100;
constexpr DWORD kDefaultPwrDlgActivate = 1;
constexpr INT32 kDefaultTimerLED = 1000;
constexpr DWORD kDefaultNumDefScheme = 3;
constexpr INT32 kFirstStartBottomGap = 26;  // pixels between the panel and the work-area bottom

// Work the loader hands to other parts of the program; each hook may be left null.
struct SettingsHooks {
    void (*readAutoRecord)() = nullptr;                            // HKCU "Auto"
    void (*panelSize)(DWORD flagWord, INT32* width, INT32* height) = nullptr;
    DWORD (*measureProcessorMhz)() = nullptr;                      // over WMI; 0 = unknown
    void (*loadBatterySettings)(HKEY machineKey) = nullptr;
    bool (*batteryPresent)() = nullptr;
    bool (*probeExternalMonitors)() = nullptr;
    void (*setExternalMonitorTiming)(const ExternalMonitorTiming& timing) = nullptr;
    void (*loadEcoLevelLibrary)() = nullptr;
    void (*initBrightness)() = nullptr;
    void (*captureFactoryDefaults)() = nullptr;
    bool (*wirelessAdapterPresent)() = nullptr;                    // null: ask the adapter list
    DWORD (*processorDriverCapabilities)() = nullptr;              // null: ask the driver
};
extern SettingsHooks g_SettingsHooks;

// --- Pure rules -----------------------------------------------------------------------------

// FlagWord bits of an "EcoMode" value: 0 off, 2 three modes, any other value two modes.
DWORD EcoModeFlags(DWORD ecoMode) noexcept;
// The FlagWord in force after start: stored bits kept, run-time bits cleared, `recomputed`
// supplies the bits of kRecomputedFlags.
DWORD MergeStartFlagWord(DWORD storedFlagWord, DWORD recomputed) noexcept;
// A new blob for a first start, placed at the bottom-right of the work area.
SettingsBlob MakeFirstStartBlob(const RECT& workArea, INT32 width, INT32 height) noexcept;
// "SaveColor" with the colour index put into the half selected by layout bit 0x4.
DWORD MergeSaveColor(DWORD saveColor, DWORD flagWord, INT32 colorIndex) noexcept;
// Panel layout: 1 for bit 0x4, 2 for bit 0x8, else 0.
int PanelLayout(DWORD flagWord) noexcept;
// Pinned plan list defaults of a variant; returns the entry count.
INT32 DefaultPinnedPlans(DWORD flagWord, GUID (&pinned)[kMaxPinnedPlans]) noexcept;
// Applies a "SchemeList" block (each string parsed on its own, braces optional).
void ApplySchemeList(const wchar_t* data, size_t cchData, INT32 count, GUID (&pinned)[kMaxPinnedPlans]);
// A stored "LowerLimit" when it lies in kMinLowerLimit-kMaxLowerLimit, else kDefaultLowerLimit.
DWORD AcceptedLowerLimit(DWORD value) noexcept;
// Leading integer of a clock text such as "2400MHz" (0 when there is none).
DWORD LeadingNumber(const wchar_t* text) noexcept;
// Nominal clock in MHz from a processor name. The clock text starts after the last blank that is
// followed by a digit: with "GHz" anywhere in it, its number x 1000 ("2.40GHz" -> 2400), else its
// leading integer ("945 Processor" -> 945). *token receives that text up to its first blank
// (empty, and the result 0, when the name has none).
DWORD FrequencyFromName(const wchar_t* name, wchar_t* token, size_t cchToken) noexcept;

// True when the FlagWord in force has any bit of `flag`.
inline bool HasFlag(DWORD flag) noexcept { return (g_Settings.blob.dwFlagWord & flag) != 0; }

// ECO mode slots: a plan's "LedNo" names its slot.
inline bool IsThreeMode(DWORD flagWord) noexcept { return (flagWord & FLAG_THREE_MODE) != 0; }
int ModeSlotCount(bool threeMode) noexcept;
// Slot (1-based) of a "LedNo", 0 when the number names no slot in the variant.
int LedNoToSlot(DWORD ledNo, bool threeMode) noexcept;
// "LedNo" that puts a plan into a slot (1-based), 0 for no slot.
DWORD SlotToLedNo(int slot, bool threeMode) noexcept;
// Factory mode assignment: HKLM "ModeDefaultSchemeList", else the built-in table.
void ReadFactoryModeAssignment(bool threeMode, GUID (&slots)[kMaxPinnedPlans]);

// --- Registry-backed -----------------------------------------------------------------------

void LoadSettings();
void SaveSettings();
DWORD ReadPlanChangeWarning();
void WritePlanChangeWarning(bool show);
// OS generation from the system version, overridden by HKLM "OSModel".
DWORD DetermineOsGeneration();

}  // namespace plans
