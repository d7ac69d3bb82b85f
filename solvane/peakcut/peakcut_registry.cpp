#include "resources/resource.h"
#include "common/registry.h"
#include "peakcut/peakcut.h"

#include "common/handles.h"
#include "plans/peak_cut_values.h"
#include "plans/reg_values.h"

namespace peakcut {

namespace {

LSTATUS OpenForRead(common::UniqueRegKey* key) noexcept {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, plans::kEfEnvKey, 0, KEY_QUERY_VALUE, key->Put());
}

LSTATUS OpenForWrite(common::UniqueRegKey* key) noexcept {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, plans::kEfEnvKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                           nullptr, key->Put(), nullptr);
}

LSTATUS ReadExact(const wchar_t* name, void* data, DWORD size) noexcept {
    common::UniqueRegKey key;
    LSTATUS status = OpenForRead(&key);
    DWORD read = 0;
    if (status == ERROR_SUCCESS) {
        status = common::ReadRegBinary(key.Get(), name, data, size, &read);
    }
    if (status == ERROR_SUCCESS && read != size) {
        status = ERROR_INVALID_DATA;
    }
    return status;
}

LSTATUS WriteBinary(const wchar_t* name, const void* data, DWORD size) noexcept {
    common::UniqueRegKey key;
    LSTATUS status = OpenForWrite(&key);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(key.Get(), name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    }
    return status;
}

}  // namespace

LSTATUS ReadOrigin(GUID* plan) noexcept {
    GUID read{};
    const LSTATUS status = ReadExact(plans::kPeakCutOriginValue, &read, sizeof(read));
    *plan = status == ERROR_SUCCESS ? read : GUID{};
    return status;
}

LSTATUS WriteOrigin(const GUID& plan) noexcept {
    return WriteBinary(plans::kPeakCutOriginValue, &plan, sizeof(plan));
}

LSTATUS ReadUserChangeDay(SYSTEMTIME* day) noexcept {
    SYSTEMTIME read{};
    const LSTATUS status = ReadExact(plans::kUserChangeFlagValue, &read, sizeof(read));
    *day = status == ERROR_SUCCESS ? read : SYSTEMTIME{};
    return status;
}

LSTATUS ClearUserChangeFlag() noexcept {
    const SYSTEMTIME none{};
    return WriteBinary(plans::kUserChangeFlagValue, &none, sizeof(none));
}

LSTATUS WriteLevelPersistent(DWORD level) noexcept {
    common::UniqueRegKey key;
    LSTATUS status = OpenForWrite(&key);
    if (status == ERROR_SUCCESS) {
        status = common::WriteRegDword(key.Get(), kLevelPersistentValue, level);
    }
    return status;
}

LSTATUS ReadLevelPersistent(DWORD* level) noexcept {
    common::UniqueRegKey key;
    LSTATUS status = OpenForRead(&key);
    DWORD read = 0;
    if (status == ERROR_SUCCESS) {
        status = common::QueryRegDword(key.Get(), kLevelPersistentValue, &read);
    }
    *level = status == ERROR_SUCCESS ? read : 0;
    return status;
}

bool SameDay(const SYSTEMTIME& a, const SYSTEMTIME& b) noexcept {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

bool UserChangedOn(const SYSTEMTIME& today) noexcept {
    SYSTEMTIME day{};
    return ReadUserChangeDay(&day) == ERROR_SUCCESS && day.wYear != 0 && SameDay(day, today);
}

}  // namespace peakcut
