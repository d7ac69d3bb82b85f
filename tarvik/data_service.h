// The outside electricity-data service: its interface library "MorrowIF.DLL", bound by name,
// and the comparisons that read its records.
#pragma once

#include <windows.h>

#include <vector>

#include "tarvik/one_data.h"

namespace tarvik {

using ServiceDataHandle = void*;
using PFN_EFInitialize = BOOL(WINAPI*)();
using PFN_EFGetData = BOOL(WINAPI*)(DWORD region, DWORD requestMask, ServiceDataHandle* data,
                                    DWORD_PTR reserved1, DWORD_PTR reserved2);
using PFN_EFGetRecord = BOOL(WINAPI*)(ServiceDataHandle data, DWORD index, OneData* record);
using PFN_EFReleaseData = BOOL(WINAPI*)(ServiceDataHandle data);
using PFN_EFDataUpdate = BOOL(WINAPI*)();
using PFN_EFFinalize = BOOL(WINAPI*)();

// "SupportDataType" kinds and the request masks built from them.
constexpr DWORD kKindInstant = 0x01;
constexpr DWORD kKindActual = 0x02;
constexpr DWORD kKindEstimated = 0x04;
constexpr DWORD kKindPeakSupply = 0x08;
constexpr DWORD kKindPeakDemand = 0x10;

// A service that never reports the end of an enumeration is cut off here.
constexpr DWORD kMaxServiceRecords = 10000;

struct DataServiceApi {
    PFN_EFInitialize EFInitialize = nullptr;
    PFN_EFGetData EFGetData = nullptr;
    PFN_EFGetRecord EFGetInstantData = nullptr;
    PFN_EFGetRecord EFGetActualData = nullptr;
    PFN_EFGetRecord EFGetEstimatedData = nullptr;
    PFN_EFGetRecord EFGetPeakSupplyData = nullptr;
    PFN_EFGetRecord EFGetPeakDemandData = nullptr;
    PFN_EFReleaseData EFReleaseData = nullptr;
    PFN_EFDataUpdate EFDataUpdate = nullptr;
    PFN_EFFinalize EFFinalize = nullptr;
};

// Looks the ten names up in `module` (missing ones stay null).
void BindDataService(HMODULE module, DataServiceApi& api) noexcept;

enum class EnumEnd {
    Ended,    // the service reported the end
    Stopped,  // the visitor had what it wanted
    Endless,  // no end within kMaxServiceRecords: the service is faulty
};

// Enumerates records 0, 1, … into `records`; stops early when `stopAt` returns true for one.
template <typename StopFn>
EnumEnd EnumerateRecords(PFN_EFGetRecord getter, ServiceDataHandle data, std::vector<OneData>& records,
                         StopFn stopAt) {
    records.clear();
    for (DWORD index = 0; index < kMaxServiceRecords; ++index) {
        OneData record = {};
        if (!getter(data, index, &record)) {
            return EnumEnd::Ended;
        }
        records.push_back(record);
        if (stopAt(record)) {
            return EnumEnd::Stopped;
        }
    }
    return EnumEnd::Endless;
}

// State the comparisons keep library-wide.
struct DebugState {
    BOOL debug = FALSE;
    SYSTEMTIME windowStart = {};
    SYSTEMTIME windowEnd = {};
    DWORD utilization = 0;
};

// The comparisons behind the exports, with the service's interface and "now" passed in.
BOOL CompareToThreshold(const DataServiceApi& api, const SYSTEMTIME& now, DWORD threshold,
                        DWORD* exceed) noexcept;
BOOL GetTimeExceedThreshold(const DataServiceApi& api, const SYSTEMTIME& now, DWORD threshold,
                            OneData* result) noexcept;

// "StartHour" / "EndHour" of the debug key: an hour of the day 0..23; a value that is missing,
// of another type or above 23 reads as 0, so that no impossible hour reaches a SYSTEMTIME.
DWORD ReadDebugStartHour() noexcept;
DWORD ReadDebugEndHour() noexcept;

DebugState& LibraryDebugState() noexcept;
// Reads "Debug" (and with it the simulated values); keeps it library-wide.
void ReadDebugMode(const SYSTEMTIME& now, bool simulatedWindowOnTheHour) noexcept;

}  // namespace tarvik
