// Plan files read by PowerImportPowerScheme on the simulated PC (format in README.md):
// UTF-16LE text with a byte-order mark (UTF-8 is accepted too), INI-like:
//
//   [PowerPlan]
//   Version=1
//   Name=<friendly name>
//   Description=<description>            (optional)
//   [Settings]
//   <subgroup GUID>\<setting GUID>=<AC index>,<DC index>
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace simpower {

struct PlanFileSetting {
    GUID subgroup;
    GUID setting;
    DWORD ac;
    DWORD dc;
};

struct PlanFile {
    std::wstring name;
    std::wstring description;
    std::vector<PlanFileSetting> settings;
};

inline constexpr DWORD PLAN_FILE_MAX_BYTES = 1024 * 1024;
inline constexpr size_t PLAN_NAME_MAX_CCH = 511;
inline constexpr size_t PLAN_DESCRIPTION_MAX_CCH = 1023;

// ERROR_INVALID_DATA for anything that is not a complete, well-formed plan file.
DWORD ParsePlanFile(const BYTE* data, size_t size, PlanFile& plan);
// The file's own open/read error (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ...) or the
// result of ParsePlanFile.
DWORD LoadPlanFile(const wchar_t* path, PlanFile& plan);

}  // namespace simpower
