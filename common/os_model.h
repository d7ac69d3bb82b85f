// Which Windows the programs run on: the OS model.
#pragma once

#include <windows.h>

namespace common {

constexpr DWORD OS_MODEL_VISTA = 1;
constexpr DWORD OS_MODEL_WIN7 = 2;
constexpr DWORD OS_MODEL_WIN8_OR_LATER = 3;

// 1 = Vista (6.0), 2 = Windows 7 (6.1), 3 = Windows 8 or later (6.2 and up), otherwise 2.
// equals(major, minor) and atLeast(major, minor) answer for the running system.
template <typename Equals, typename AtLeast>
DWORD ClassifyOsVersion(Equals equals, AtLeast atLeast) {
    if (equals(6, 0)) {
        return OS_MODEL_VISTA;
    }
    if (equals(6, 1)) {
        return OS_MODEL_WIN7;
    }
    if (atLeast(6, 2)) {
        return OS_MODEL_WIN8_OR_LATER;
    }
    return OS_MODEL_WIN7;
}

// Version checks of the running system through VerifyVersionInfoW.
bool OsVersionEquals(DWORD major, DWORD minor) noexcept;
bool OsVersionAtLeast(DWORD major, DWORD minor) noexcept;

// The OS model of the running system, before the registry override.
DWORD OsModelOfSystem() noexcept;

// A REG_DWORD "OSModel" of 1, 2 or 3 under HKEY_LOCAL_MACHINE\Software\Orvel\Solvane replaces
// the model; any other value, type or a missing value leaves it.
DWORD ApplyOsModelOverride(DWORD model) noexcept;

// OsModelOfSystem with the override applied.
DWORD DetermineOsModel() noexcept;

}  // namespace common
