// Tessit.dll, the maker's eco-level library, as the simulated PC provides it (installed in
// system32, found by LoadLibraryW("Tessit.dll")).
//
// TessitApiGetTessit rates a plan: the low 16 bits of its result hold the performance level in
// the high byte and the power-saving level in the low byte, each 0-5; 0xF002 means no answer
// (library not initialised, no request, or a scripted failure). Rating:
//   performance = maximum processor state AC / 20 (at most 5)
//   power saving = how many of these hold: monitor time-out AC 1..600 s, disk time-out AC
//                  1..1200 s, standby time-out AC 1..1800 s, hibernate time-out AC 1..7200 s,
//                  maximum processor state AC below 100
//
// State, HKLM\Software\SimulatedPC\Tessit:
//   "Answer"       REG_DWORD   when present, returned instead of the rating
//   "LastRequest"  REG_BINARY  the request record of the last TessitApiGetTessit (TESSIT_REQUEST_BYTES)
//   "Initialized"  REG_DWORD   1 between TessitApiInitializeApp and TessitApiFinalizeApp
//   "CallLog", "CallCount", Failures\<Function>: see sim/simlib/simlib.h. Log lines, e.g.
//     "TessitApiInitializeApp() = 0"
//     "TessitApiGetTessit(kind 1, monitor 300/120, disk 1200/600, standby 1800/900,
//        hibernate 0/0, processor AC 100/5 DC 80/5, brightness 0/6/3, als 01 64 0A 50 05) = 0x0504"
//     (one line)
#pragma once

#include <windows.h>

#include <cstddef>

namespace tessitsim {
constexpr wchar_t PIECE[] = L"Tessit";
constexpr DWORD NO_ANSWER = 0xF002;
constexpr DWORD KIND_BATTERY = 1;
constexpr DWORD KIND_NO_BATTERY = 2;
constexpr DWORD KIND_EXTERNAL_MONITOR = 3;
constexpr DWORD ALS_BYTES = 5;
}  // namespace tessitsim

// The eco-level request: 32-bit fields in this order, then the five ambient-light bytes.
struct TESSIT_REQUEST {
    DWORD dwKind;
    DWORD dwMonitorAC, dwMonitorDC;        // seconds
    DWORD dwDiskAC, dwDiskDC;              // seconds
    DWORD dwStandbyAC, dwStandbyDC;        // seconds
    DWORD dwHibernateAC, dwHibernateDC;    // seconds
    DWORD dwMaxProcessorAC, dwMinProcessorAC;  // percent
    DWORD dwMaxProcessorDC, dwMinProcessorDC;  // percent
    DWORD dwBrightnessA;
    DWORD dwBrightnessB;
    DWORD dwBrightnessC;
    BYTE abALS[tessitsim::ALS_BYTES];
};
// The bytes that carry the request (the rest of sizeof is padding).
constexpr DWORD TESSIT_REQUEST_BYTES = offsetof(TESSIT_REQUEST, abALS) + tessitsim::ALS_BYTES;
static_assert(TESSIT_REQUEST_BYTES == 69, "sixteen 32-bit fields and five bytes");

extern "C" {
DWORD WINAPI TessitApiInitializeApp(void);  // 0 = success
DWORD WINAPI TessitApiGetTessit(const TESSIT_REQUEST* pRequest);
DWORD WINAPI TessitApiFinalizeApp(void);    // 0 = success
}
