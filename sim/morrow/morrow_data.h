// The simulated electricity-data service: per-region demand curves and the records built from
// them, as MorrowIF.DLL serves them.
//
// Configuration, under HKLM\Software\SimulatedPC\Morrow:
//   "DataFile"      REG_SZ    optional INI file; when named, section "Region<n>" of that file gives
//                             the region's values below instead of the registry.
//   Regions\<n>     key       one per region id n:
//     "PeakSupply"  REG_DWORD or REG_QWORD  the day's peak supply (default 5000000)
//     "Curve"       REG_SZ    24 comma-separated percents of peak supply, hour 0..23 (the forecast
//                             and the measured demand; default: a summer weekday)
//     "Percent"     REG_DWORD current demand in percent of peak supply (default: Curve at this hour)
//   Faults, REG_DWORD masks of record kinds (0x01 instant, 0x02 actual, 0x04 estimated,
//   0x08 peak supply, 0x10 peak demand):
//     "FaultMissingKind"  the kind's getter reports no record at all
//     "FaultEndless"      the kind's getter never reports the end of the enumeration
//     "FaultBadDate"      the kind's records carry month 13
//   "FaultOpenFails" REG_DWORD 1: EFGetData refuses every request.
// Call log (written by the service, read by tests), REG_DWORD under the same key:
//   "InitializeCalls", "FinalizeCalls", "GetDataCalls", "OpenDataSets" (opened minus released),
//   "LastRegion", "LastMask"; Morrow.exe writes "ServicePid" (0 after a clean end) and counts
//   "ServiceStarts".
#pragma once

#include <windows.h>

#include <vector>

namespace morrow {

#pragma pack(push, 8)
struct Record {  // the service's 40-byte record
    ULONGLONG value;
    SYSTEMTIME start;
    SYSTEMTIME end;
};
#pragma pack(pop)
static_assert(sizeof(Record) == 40, "records are 40 bytes");

constexpr DWORD kKindInstant = 0x01;
constexpr DWORD kKindActual = 0x02;
constexpr DWORD kKindEstimated = 0x04;
constexpr DWORD kKindPeakSupply = 0x08;
constexpr DWORD kKindPeakDemand = 0x10;
constexpr DWORD kKindCount = 5;
constexpr DWORD kHours = 24;
constexpr ULONGLONG kDefaultPeakSupply = 5000000;

extern const wchar_t kSimKey[];  // "Software\SimulatedPC\Morrow"

struct RegionConfig {
    ULONGLONG peakSupply = kDefaultPeakSupply;
    DWORD curve[kHours] = {};
    bool hasPercent = false;
    DWORD percent = 0;
};

struct Faults {
    DWORD missingKinds = 0;
    DWORD endlessKinds = 0;
    DWORD badDateKinds = 0;
    bool openFails = false;
};

// Reads the region's configuration (file or registry, defaults for what is missing).
RegionConfig ReadRegionConfig(DWORD region);
Faults ReadFaults();
// Parses "p0,p1,...,p23"; false unless exactly 24 whole numbers.
bool ParseCurve(const wchar_t* text, DWORD (&curve)[kHours]);

// The records of one kind for the day of `now`.
std::vector<Record> BuildRecords(DWORD kind, const RegionConfig& config, const SYSTEMTIME& now);

// Call log helpers.
DWORD ReadLogValue(const wchar_t* name);
void WriteLogValue(const wchar_t* name, DWORD value);
void AddToLogValue(const wchar_t* name, LONG delta);

}  // namespace morrow
