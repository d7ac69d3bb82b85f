// The program's registry keys. The typed reads and writes of their values are the common ones
// (common/registry.h).
#pragma once

namespace plans {

// The program's key, under HKEY_CURRENT_USER (per user) and HKEY_LOCAL_MACHINE (per machine).
constexpr const wchar_t* kSolvaneKey = L"Software\\Orvel\\Solvane";
// Parent of the per-plan extension keys, under HKEY_LOCAL_MACHINE.
constexpr const wchar_t* kPowerSettingsKey = L"Software\\Orvel\\Solvane\\PowerSettings";

}  // namespace plans
