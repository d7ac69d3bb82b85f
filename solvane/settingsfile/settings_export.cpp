// "/export <file>": writes the plans of the ECO modes and the peak-shift settings to a file.
#include <strsafe.h>

#include <string>
#include <vector>

#include "app/win_user.h"
#include "common/handles.h"
#include "common/ini.h"
#include "common/log.h"
#include "common/registry.h"
#include "plans/peak_cut_values.h"
#include "plans/plan_record.h"
#include "plans/reg_values.h"
#include "resources/resource.h"
#include "settingsfile/settings_file.h"
#include "settingsfile/settings_file_format.h"

namespace settingsfile {
namespace {

constexpr wchar_t kTraceName[] = L"ExportSettings";
constexpr DWORD kMaxKeyNameChars = 256;

DWORD CheckAdministrator(BOOL* isMember) noexcept {
    if (g_SettingsFileHooks.checkAdministrator != nullptr) {
        return g_SettingsFileHooks.checkAdministrator(isMember);
    }
    CWinUser user;
    return user.CheckAdministrator(isMember);
}

// The plan keys in enumeration order with their "LedNo" (0 when unreadable).
struct PlanKeys {
    std::vector<std::wstring> names;
    std::vector<DWORD> ledNos;
};

PlanKeys ReadPlanKeys(HKEY powerSettings) noexcept {
    PlanKeys keys;
    if (powerSettings == nullptr) {
        return keys;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t subkey[kMaxKeyNameChars] = {};
        DWORD cch = kMaxKeyNameChars;
        const LSTATUS status = RegEnumKeyExW(powerSettings, index, subkey, &cch, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) {
            continue;  // no plan key has so long a name
        }
        if (status != ERROR_SUCCESS) {
            return keys;
        }
        common::UniqueRegKey plan;
        DWORD ledNo = 0;
        if (common::OpenRegKey(powerSettings, subkey, KEY_QUERY_VALUE, plan) == ERROR_SUCCESS) {
            ledNo = common::ReadRegDword(plan.Get(), kLedNoValue, 0);
        }
        keys.names.emplace_back(subkey);
        keys.ledNos.push_back(ledNo);
    }
}

// Writes every key under its condition; returns the number of writes that failed.
int WriteKeys(CIniCtl& ini) noexcept {
    int failures = 0;
    auto note = [&failures](DWORD error, const wchar_t* key) {
        if (error != ERROR_SUCCESS) {
            ++failures;
            LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"writing %s failed: %u", key, error);
        }
    };

    if (const DWORD major = CurrentMajorVersion(); major != 0) {
        note(ini.SetKeyInt(kSectionOs, kKeyVersion, major), kKeyVersion);
    }

    common::UniqueRegKey powerSettings;
    common::OpenRegKey(HKEY_LOCAL_MACHINE, plans::kPowerSettingsKey, KEY_ENUMERATE_SUB_KEYS, powerSettings);
    // A number carried by two plans goes to the one the mode table gives it to.
    const PlanKeys planKeys = ReadPlanKeys(powerSettings.Get());
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        wchar_t key[kKeyNameChars] = {};
        LedNoKeyName(slot, key);
        const size_t holder = plans::FindLedNoHolder(planKeys.ledNos, static_cast<DWORD>(slot));
        note(ini.SetKeyString(kSectionSolvane, key, holder == plans::kNoLedNoHolder ? L"" : planKeys.names[holder].c_str()),
             key);
    }

    common::UniqueRegKey efEnv;
    common::OpenRegKey(HKEY_LOCAL_MACHINE, plans::kEfEnvKey, KEY_QUERY_VALUE, efEnv);
    for (const wchar_t* name : kRecordNames) {
        BYTE record[kRecordBytes] = {};
        wchar_t hex[kRecordHexChars + 1] = {};
        if (efEnv && common::ReadRegBinary(efEnv.Get(), name, record, kRecordBytes) == ERROR_SUCCESS &&
            FormatHex(record, kRecordBytes, hex, ARRAYSIZE(hex))) {
            note(ini.SetKeyString(kSectionEfEnv, name, hex), name);
        }
    }
    DWORD selectMode = 0;
    if (efEnv && common::QueryRegDword(efEnv.Get(), kKeySelectMode, &selectMode) == ERROR_SUCCESS) {
        note(ini.SetKeyInt(kSectionEfEnv, kKeySelectMode, selectMode), kKeySelectMode);
    }
    DWORD threshold = 0;
    const bool stored = efEnv && common::QueryRegDword(efEnv.Get(), kKeyThreshold, &threshold) == ERROR_SUCCESS;
    note(ini.SetKeyInt(kSectionEfEnv, kKeyThreshold, ExportedThreshold(stored, threshold)), kKeyThreshold);

    common::UniqueRegKey morrow;
    DWORD company = 0;
    if (common::OpenRegKey(HKEY_LOCAL_MACHINE, kMorrowKey, KEY_QUERY_VALUE, morrow) == ERROR_SUCCESS &&
        common::QueryRegDword(morrow.Get(), kKeySelectedCompany, &company) == ERROR_SUCCESS) {
        note(ini.SetKeyInt(kSectionMorrow, kKeySelectedCompany, company), kKeySelectedCompany);
    }
    return failures;
}

DWORD Export(const wchar_t* file) noexcept {
    BOOL isMember = FALSE;
    DWORD error = CheckAdministrator(&isMember);
    if (error != ERROR_SUCCESS || !isMember) {
        ShowSettingsFileMessage(IDS_EXPORT_NEEDS_ADMIN);
        return error != ERROR_SUCCESS ? error : ERROR_ACCESS_DENIED;
    }
    wchar_t named[MAX_PATH] = {};
    if (!CheckSettingsFileName(TRUE, file, named, ARRAYSIZE(named))) {
        return ERROR_INVALID_NAME;
    }
    wchar_t path[MAX_PATH] = {};
    CIniCtl ini;
    if (!MakeSettingsFilePath(named[0] != L'\0' ? named : file, path, ARRAYSIZE(path))) {
        ShowSettingsFileMessage(IDS_FILE_NOT_CREATED);
        return ERROR_INVALID_NAME;
    }
    if ((error = ini.Initialize(path)) != ERROR_SUCCESS) {
        ShowSettingsFileMessage(IDS_FILE_NOT_CREATED);
        return error;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"writing \"%s\"", path);
    const int failures = WriteKeys(ini);
    ini.Finalize();
    if (failures != 0) {
        ShowSettingsFileMessage(IDS_FILE_CREATE_FAILED);
        return ERROR_WRITE_FAULT;
    }
    return ERROR_SUCCESS;
}

}  // namespace
}  // namespace settingsfile

DWORD ExportSettings(const wchar_t* file) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, settingsfile::kTraceName, L"Enter");
    LOG_TRACE(TRACE_LEVEL_VALUES, settingsfile::kTraceName, L"export to \"%s\"", file != nullptr ? file : L"");
    const DWORD result = settingsfile::Export(file);
    LOG_TRACE(TRACE_LEVEL_APP, settingsfile::kTraceName, L"Exit retval:%08x", result);
    return result;
}
