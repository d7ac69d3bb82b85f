// Display brightness: the built-in panel (WMI or the display driver), the maker's CMOS brightness
// interface, the brightness level and choice tables and the ambient-light range of a plan.
// Other folders include only this header.
#pragma once

#include <windows.h>

#include <vector>

#include "plans/plan_record.h"

namespace display {

// Operation codes and results of ChangeBrightness.
constexpr UINT BC_INIT = 0;
constexpr UINT BC_SET = 1;
constexpr UINT BC_GET = 2;
constexpr int BC_NONE = 256;
constexpr int BC_AUTO = 512;

constexpr DWORD kDefaultLevelCount = 8;
constexpr DWORD kDefaultFirstWaitMs = 100;
constexpr DWORD kDefaultAlsWaitMs = 500;
constexpr size_t kInstanceNameChars = 256;

// Process-wide brightness state (written by one thread at a time).
extern std::vector<WORD> nsr_lcd_val;  // percent of each level, darkest first
extern DWORD dwBLevel;                  // entries of nsr_lcd_val
extern bool bLCD;                       // some brightness control exists
extern bool bALS;                       // the CMOS interface is loaded and complete
extern bool g_bPanelControl;            // InitLCDDevice found levels
extern bool g_bExternalMonitorSupported;
extern DWORD g_dwFirstWaitMs;           // "ECWait0"
extern DWORD g_dwAlsWaitMs;             // "ECWait1"

int ChangeBrightness(UINT uiFunc);
BOOL InitLCDDevice();
BOOL LoadVexapi();
void UnloadVexapi();
void Call_BLC(DWORD value);
// Sets the panel: WMI first, the display driver when WMI fails.
void SetPanelBrightness(DWORD value);
BOOL QuerySupportedBrightnessLevels(DWORD* pnLevels);
// Level index of a percentage on the current level table.
DWORD PercentToLevel(DWORD percent);

// WMI "ROOT\WMI" monitor brightness.
HRESULT InitializeWMI();
void ReleaseWMI();
HRESULT GetWmiMonitorBrightnessLevels(std::vector<WORD>* levels, DWORD* count);
HRESULT GetWmiMonitorInstanceName(wchar_t* name, size_t cchName);
// An empty name stands for the kept instance name (fetched first when still unknown).
HRESULT SetWmiMonitorBrightness(const wchar_t* lpszInstancename, DWORD brightness);
// The panel's instance name kept for the sets: filled by InitializeWMI or by the first set that
// needs it, empty while unknown and after ReleaseWMI.
const wchar_t* WmiInstanceName() noexcept;

// Ambient-light range of a plan, checked against the panel's level count.
void SetPanelLevelCount(DWORD levels) noexcept;
DWORD PanelLevelCount() noexcept;
void VerifyAlsSetting(plans::AmbientLightRange* block) noexcept;
// Positions the plan editor's range slider (kind 1: mains slider 1095, 2: battery slider 1098)
// on its two bounds and captions them from the range table (built by Init_nsr_lcd).
void SetALSSlider(HWND dialog, DWORD kind, int nMin, int nMax);

// Brightness choice tables: {value, label}.
struct BrightnessChoice {
    DWORD value;
    wchar_t label[24];
};
void Init_nsr_lcd(HINSTANCE resources);
const std::vector<BrightnessChoice>& BrightnessChoices();
// The module whose string table labelled the tables.
HINSTANCE BrightnessResources();
const std::vector<BrightnessChoice>& AmbientLightRangeTable();
void FreeBrightnessTables();
// The plan dialog's brightness caption with the current brightness when it is known.
void UpdateLCDValue(HWND dialog);

// Start-up and exit: installs the settings loader's brightness work and the plan reader's range
// check; releases WMI and the CMOS library.
void InstallDisplayHooks();
void ShutdownDisplay();

}  // namespace display
