// The monitor-configuration part of dxva2.dll as this stand-in exports it, with the declarations
// the installed mingw headers lack (low-level VCP access and the DDC/CI error codes).
//
// Simulated state, HKLM\Software\SimulatedPC\Dxva2:
//   "Monitors"            REG_DWORD  number of DDC/CI monitors (0-2). With 0, every display has one
//                                    "Generic PnP Monitor" that does not answer DDC/CI.
//   Monitor<n> (n = 1, 2), one subkey per monitor:
//     "Description"       REG_SZ     PHYSICAL_MONITOR description
//     "Capabilities"      REG_SZ     the DDC/CI capability string (ASCII)
//     "Caps"              REG_DWORD  MC_CAPS_* flags reported by GetMonitorCapabilities
//     "ColorTemperatures" REG_DWORD  MC_SUPPORTED_COLOR_TEMPERATURE_* flags
//     "CapsError"         REG_DWORD  when non-zero GetMonitorCapabilities always fails with it
//                                    (a monitor without high-level support: 0xC02625DB)
//     "BrightnessMin", "BrightnessCurrent", "BrightnessMax"   REG_DWORD  also VCP 0x10
//     "SavedBrightness"   REG_DWORD  what the last SaveCurrentMonitorSettings/SaveCurrentSettings kept
//   "CallLog", "CallCount", Failures\<Function>: see sim/simlib/simlib.h. Log lines name the
//   monitor by number (1, 2; 0 = the generic monitor, ? = an unknown handle), e.g.
//     "SetMonitorBrightness(1, 37) = 1"
//     "GetVCPFeatureAndVCPFeatureReply(2, 0x10) = 1 current 25 max 50"
//     "GetMonitorBrightness(1) = 0 error 0xC0262582"
//   A scripted failure with "Error" 0 on a setter (SetMonitorBrightness, SetVCPFeature) makes the
//   call report success without changing the monitor (its read-back then differs).
// Physical monitors are spread over the HMONITORs of EnumDisplayMonitors in order; monitors
// beyond the last display share the last one.
#pragma once

#include <windows.h>

#include <highlevelmonitorconfigurationapi.h>
#include <physicalmonitorenumerationapi.h>

namespace dxva2sim {

constexpr wchar_t PIECE[] = L"Dxva2";
constexpr DWORD MAX_MONITORS = 2;
constexpr BYTE VCP_BRIGHTNESS = 0x10;

constexpr DWORD ERROR_GRAPHICS_I2C_ERROR_TRANSMITTING_DATA = 0xC0262582;
constexpr DWORD ERROR_GRAPHICS_DDCCI_VCP_NOT_SUPPORTED = 0xC0262584;
constexpr DWORD ERROR_GRAPHICS_DDCCI_INVALID_DATA = 0xC0262585;
constexpr DWORD ERROR_GRAPHICS_DDCCI_INVALID_MESSAGE_COMMAND = 0xC0262589;
constexpr DWORD ERROR_GRAPHICS_INVALID_PHYSICAL_MONITOR_HANDLE = 0xC026258C;
constexpr DWORD ERROR_GRAPHICS_MONITOR_NO_LONGER_EXISTS = 0xC026258D;
constexpr DWORD ERROR_GRAPHICS_MCA_MCCS_VERSION_MISMATCH = 0xC02625DB;

}  // namespace dxva2sim

extern "C" {

// Low-level monitor configuration (absent from the installed headers).
#ifndef MC_MOMENTARY
typedef enum _MC_VCP_CODE_TYPE { MC_MOMENTARY, MC_SET_PARAMETER } MC_VCP_CODE_TYPE, *LPMC_VCP_CODE_TYPE;
#endif

BOOL WINAPI GetVCPFeatureAndVCPFeatureReply(HANDLE hMonitor, BYTE bVCPCode, LPMC_VCP_CODE_TYPE pvct,
                                            LPDWORD pdwCurrentValue, LPDWORD pdwMaximumValue);
BOOL WINAPI SetVCPFeature(HANDLE hMonitor, BYTE bVCPCode, DWORD dwNewValue);
BOOL WINAPI SaveCurrentSettings(HANDLE hMonitor);
BOOL WINAPI GetCapabilitiesStringLength(HANDLE hMonitor, LPDWORD pdwCapabilitiesStringLengthInCharacters);
BOOL WINAPI CapabilitiesRequestAndCapabilitiesReply(HANDLE hMonitor, LPSTR pszASCIICapabilitiesString,
                                                    DWORD dwCapabilitiesStringLengthInCharacters);

}  // extern "C"
