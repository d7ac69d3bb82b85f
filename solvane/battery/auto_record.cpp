// The "Auto" record: its defaults, the per-user value and the machine's target plan.
#include <windows.h>

#include <mutex>

#include "battery/auto_change.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "plans/guid_text.h"
#include "plans/power_guids.h"
#include "plans/reg_values.h"

namespace battery {

namespace {

constexpr wchar_t kTrace[] = L"LoadAutoSettings";

std::mutex g_recordLock;
AutoRecord g_record = DefaultAutoRecord();

// The per-user record; false when there is none to use (errors recorded here).
bool ReadUserRecord(AutoRecord* record) noexcept {
    common::UniqueRegKey key;
    const LSTATUS open = common::OpenRegKey(HKEY_CURRENT_USER, plans::kSolvaneKey, KEY_QUERY_VALUE, key);
    if (open != ERROR_SUCCESS) {
        if (open != ERROR_FILE_NOT_FOUND) {
            WriteErrorLog(kErrAutoKeyOpen, open, ERRLOG_FILE);
        }
        return false;
    }
    AutoRecord stored{};
    // A binary record of another size is reported as such; another type is an unreadable value.
    DWORD type = REG_NONE;
    DWORD cbStored = 0;
    const bool binary = RegQueryValueExW(key.Get(), kAutoValueName, nullptr, &type, nullptr, &cbStored) ==
                            ERROR_SUCCESS && type == REG_BINARY;
    const LSTATUS read = common::ReadRegBinary(key.Get(), kAutoValueName, &stored, sizeof(stored), &cbStored);
    if (binary && cbStored != sizeof(stored)) {
        WriteErrorLog(kErrAutoSize, 0, ERRLOG_FILE);
        return false;
    }
    if (read != ERROR_SUCCESS) {
        if (read != ERROR_FILE_NOT_FOUND) {
            WriteErrorLog(kErrAutoRead, read, ERRLOG_FILE);
        }
        return false;
    }
    *record = stored;
    return true;
}

// The machine's target plan (REG_SZ "Auto"); false when absent or unreadable.
bool ReadMachineTarget(GUID* target) noexcept {
    common::UniqueRegKey key;
    const LSTATUS open = common::OpenRegKey(HKEY_LOCAL_MACHINE, plans::kSolvaneKey, KEY_QUERY_VALUE, key);
    if (open != ERROR_SUCCESS) {
        if (open != ERROR_FILE_NOT_FOUND) {
            WriteErrorLog(kErrAutoKeyOpen, open, ERRLOG_FILE);
        }
        return false;
    }
    wchar_t text[kMachineAutoChars] = L"";
    const LSTATUS read = common::ReadRegString(key.Get(), kAutoValueName, text, ARRAYSIZE(text));
    if (read != ERROR_SUCCESS) {
        if (read != ERROR_FILE_NOT_FOUND) {
            WriteErrorLog(kErrAutoRead, read, ERRLOG_FILE);
        }
        return false;
    }
    // A text that is no GUID leaves the built-in target.
    return plans::ParseGuidText(text, target);
}

}  // namespace

AutoRecord DefaultAutoRecord() noexcept {
    AutoRecord record{};
    record.bChecked = 0;
    record.RemaindPercent = kDefaultRemaindPercent;
    record.guidTarget = plans::kPlanPowerSaver;
    record.guidPrevious = GUID_NULL;
    return record;
}

AutoRecord GetAutoRecord() noexcept {
    std::lock_guard<std::mutex> hold(g_recordLock);
    return g_record;
}

void SetAutoRecord(const AutoRecord& record) noexcept {
    std::lock_guard<std::mutex> hold(g_recordLock);
    g_record = record;
}

void LoadAutoSettings() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, kTrace, L"Enter");
    AutoRecord record{};
    if (!ReadUserRecord(&record)) {
        record = DefaultAutoRecord();
        GUID target = GUID_NULL;
        if (ReadMachineTarget(&target)) {
            record.guidTarget = target;
        }
    }
    SetAutoRecord(record);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"auto_info.bChecked=%s RemaindPercent=%llu",
              record.bChecked != 0 ? L"TRUE" : L"FALSE", record.RemaindPercent);
    LOG_TRACE(TRACE_LEVEL_APP, kTrace, L"Exit");
}

DWORD SaveAutoSettings() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"SaveAutoSettings", L"Enter");
    const AutoRecord record = GetAutoRecord();
    common::UniqueRegKey key;
    LSTATUS status = common::CreateRegKey(HKEY_CURRENT_USER, plans::kSolvaneKey, KEY_SET_VALUE, key);
    if (status == ERROR_SUCCESS) {
        status = common::WriteRegBinary(key.Get(), kAutoValueName, &record, sizeof(record));
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"SaveAutoSettings", L"Exit retval:%08x", static_cast<unsigned>(status));
    return static_cast<DWORD>(status);
}

}  // namespace battery
