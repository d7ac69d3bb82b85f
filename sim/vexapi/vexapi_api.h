// Vexapi.dll, the maker's CMOS interface for the firmware's ambient-light brightness control, as
// the simulated PC provides it (installed as C:\Program Files\OrvelVEX\Vexapi.dll on machines
// with an internal panel).
//
// State, HKLM\Software\SimulatedPC\Vexapi:
//   "Supported"          REG_DWORD   what CMOSIF_QuerySupported returns (default 1)
//   "PmcInfo"            REG_BINARY  the 5-byte block of the last WRITE_CMOS_PMCINFO
//                                    (ucMode, ucAC_MAX, ucAC_MIN, ucDC_MAX, ucDC_MIN)
//   "BrightMode"         REG_DWORD   the firmware's brightness-mode byte: WRITE_CMOS_PMCINFO sets
//                                    it to 1 (automatic) when ucMode is non-zero, else 0
//   "BrightModeOverride" REG_DWORD   when present READ_CMOS_BrightMode reports this byte instead
//                                    (e.g. 0x81), whatever was written
//   "BrightValue"        REG_DWORD   the firmware's brightness value byte (default 100)
//   "CallLog", "CallCount", Failures\<Function> ("Error" becomes the last error of a call that
//   returns 0): see sim/simlib/simlib.h. Log lines, e.g.
//     "CMOSIF_QuerySupported() = 1"
//     "WRITE_CMOS_PMCINFO(01 64 0A 50 05) = 1"
//     "READ_CMOS_BrightMode() = 1 mode 0x81"
#pragma once

#include <windows.h>

namespace vexapisim {
constexpr wchar_t PIECE[] = L"Vexapi";
constexpr DWORD PMC_INFO_SIZE = 5;
constexpr BYTE MODE_MANUAL = 0x00;
constexpr BYTE MODE_AUTOMATIC = 0x01;
constexpr DWORD DEFAULT_BRIGHT_VALUE = 100;
}  // namespace vexapisim

// The 5-byte ambient-light parameter block handed to the firmware.
#pragma pack(push, 1)
struct VEX_PMCINFO {
    BYTE ucMode;
    BYTE ucAC_MAX;
    BYTE ucAC_MIN;
    BYTE ucDC_MAX;
    BYTE ucDC_MIN;
};
#pragma pack(pop)
static_assert(sizeof(VEX_PMCINFO) == vexapisim::PMC_INFO_SIZE, "the firmware block is 5 bytes");

extern "C" {
int WINAPI CMOSIF_QuerySupported(void);
int WINAPI READ_CMOS_BrightValue(BYTE* pucValue);
int WINAPI WRITE_CMOS_PMCINFO(const BYTE* pPmcInfo);
int WINAPI READ_CMOS_BrightMode(BYTE* pucMode);
int WINAPI READ_CMOS_INFO(BYTE* pPmcInfo);
}
