// Battery device access shared by the model's files (not part of the folder's public header).
#pragma once

#include <windows.h>

#include <vector>

#include "battery/battery.h"
#include "common/handles.h"

namespace battery {

common::UniqueFile OpenBatteryDevice(const wchar_t* path, bool logFailure) noexcept;
ULONG QueryBatteryTag(HANDLE device) noexcept;
bool QueryBatteryName(HANDLE device, ULONG tag, wchar_t* name, size_t cchName) noexcept;
// Status (power state, capacity, rate) and full charged capacity; errors 94/82 logged.
bool QueryBatteryValues(HANDLE device, ULONG tag, BatteryRecord* record) noexcept;
// Matches the valid, unmatched records to the present devices; the number of interfaces examined.
DWORD MatchBatteryDevices(std::vector<BatteryRecord>& records) noexcept;
// Bit i for each of the first eight battery interfaces that reports charging.
DWORD ChargingMaskFromDevices() noexcept;

}  // namespace battery
