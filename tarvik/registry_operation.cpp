#include "tarvik/registry_operation.h"

#include <strsafe.h>

#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"

namespace tarvik {

const wchar_t kMorrowKey[] = L"Software\\Orvel\\Morrow";
const wchar_t kSiteKey[] = L"Software\\Orvel\\Morrow\\site";
const wchar_t kTarvikKey[] = L"Software\\Orvel\\Morrow\\Tarvik";
const wchar_t kDbgLogKey[] = L"Software\\Orvel\\Morrow\\DbgLog";
const wchar_t kEFEnvKey[] = L"Software\\Orvel\\Solvane\\EFEnv";

namespace {

constexpr wchar_t kUseDate[] = L"UseDate";
constexpr wchar_t kLv1Time[] = L"Lv1Time";
constexpr wchar_t kLv2Time[] = L"Lv2Time";
constexpr wchar_t kThreshold[] = L"Threshold";
constexpr wchar_t kThresholdLv3[] = L"ThresholdLv3";
constexpr wchar_t kSelectMode[] = L"SelectMode";
constexpr wchar_t kSiteEnable[] = L"Enable";
constexpr wchar_t kSupportDataType[] = L"SupportDataType";
constexpr DWORD kRegionOffered = 1;
constexpr size_t kMaxKeyPath = 260;

// Indexed by region id 0..10.
constexpr DWORD kBuiltInSupport[] = {0, 0, 31, 31, 0, 26, 31, 0, 0, 25, 0};

// Opens every component of the path in turn.
LSTATUS OpenKeyPath(const wchar_t* keyPath, REGSAM access, common::UniqueRegKey& key) noexcept {
    wchar_t component[kMaxKeyPath] = {};
    HKEY parent = HKEY_LOCAL_MACHINE;
    common::UniqueRegKey current;
    const wchar_t* p = keyPath;
    while (*p != L'\0') {
        size_t n = 0;
        while (p[n] != L'\0' && p[n] != L'\\') {
            ++n;
        }
        if (n == 0 || n >= kMaxKeyPath) {
            return ERROR_INVALID_PARAMETER;
        }
        if (FAILED(StringCchCopyNW(component, kMaxKeyPath, p, n))) {
            return ERROR_INVALID_PARAMETER;
        }
        common::UniqueRegKey next;
        const LSTATUS status = RegOpenKeyExW(parent, component, 0, access, next.Put());
        if (status != ERROR_SUCCESS) {
            return status;
        }
        current = std::move(next);
        parent = current.Get();
        p += n;
        if (*p == L'\\') {
            ++p;
        }
    }
    if (!current) {
        return ERROR_INVALID_PARAMETER;
    }
    key = std::move(current);
    return ERROR_SUCCESS;
}

bool WriteValue(const wchar_t* keyPath, const wchar_t* name, DWORD type, const void* data,
                DWORD size) noexcept {
    common::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

BOOL ExitWith(const wchar_t* traceName, BOOL result) noexcept {
    LOG_TRACE(TRACE_LEVEL_UTILITY, traceName, L"Exit retval:%08x", result);
    return result;
}

}  // namespace

DWORD BuiltInSupportDataType(DWORD region) noexcept {
    if (region >= ARRAYSIZE(kBuiltInSupport)) {
        return 0;
    }
    return kBuiltInSupport[region];
}

bool BuildSiteKeyPath(DWORD region, wchar_t* path, size_t cchPath) noexcept {
    return SUCCEEDED(StringCchPrintfW(path, cchPath, L"%s\\%d", kSiteKey, static_cast<int>(region)));
}

ReadResult CRegistryOperation::ReadDword(const wchar_t* keyPath, const wchar_t* name,
                                         DWORD& value) noexcept {
    common::UniqueRegKey key;
    if (OpenKeyPath(keyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) {
        return ReadResult::KeyFailed;
    }
    DWORD read = 0;
    if (common::QueryRegDword(key.Get(), name, &read) != ERROR_SUCCESS) {
        return ReadResult::NoValue;
    }
    value = read;
    return ReadResult::Read;
}

ReadResult CRegistryOperation::ReadRecord(const wchar_t* keyPath, const wchar_t* name,
                                          OneData& record) noexcept {
    record = {};
    common::UniqueRegKey key;
    if (OpenKeyPath(keyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) {
        return ReadResult::KeyFailed;
    }
    OneData read = {};
    if (common::ReadRegBinary(key.Get(), name, &read, sizeof(read)) != ERROR_SUCCESS) {
        return ReadResult::NoValue;  // missing, of another type, or not a whole record
    }
    record = read;
    return ReadResult::Read;
}

bool CRegistryOperation::WriteDword(const wchar_t* keyPath, const wchar_t* name, DWORD value) noexcept {
    return WriteValue(keyPath, name, REG_DWORD, &value, sizeof(value));
}

bool CRegistryOperation::WriteRecord(const wchar_t* keyPath, const wchar_t* name,
                                     const OneData& record) noexcept {
    return WriteValue(keyPath, name, REG_BINARY, &record, sizeof(record));
}

DWORD CRegistryOperation::ReadDwordOr(const wchar_t* keyPath, const wchar_t* name,
                                      DWORD fallback) noexcept {
    DWORD value = fallback;
    if (ReadDword(keyPath, name, value) != ReadResult::Read) {
        return fallback;
    }
    return value;
}

BOOL CRegistryOperation::GetRecord(const wchar_t* traceName, const wchar_t* name,
                                   OneData* record) noexcept {
    LOG_TRACE(TRACE_LEVEL_UTILITY, traceName, L"Enter");
    if (record == nullptr) {
        LOG_TRACE(TRACE_LEVEL_VALUES, traceName, L"%s is NULL.", L"lpOneData");
        return ExitWith(traceName, FALSE);
    }
    const ReadResult result = ReadRecord(kEFEnvKey, name, *record);
    return ExitWith(traceName, result == ReadResult::KeyFailed ? FALSE : TRUE);
}

BOOL CRegistryOperation::SetRecord(const wchar_t* traceName, const wchar_t* name,
                                   const OneData* record) noexcept {
    LOG_TRACE(TRACE_LEVEL_UTILITY, traceName, L"Enter");
    if (record == nullptr) {
        LOG_TRACE(TRACE_LEVEL_VALUES, traceName, L"%s is NULL.", L"lpOneData");
        return ExitWith(traceName, FALSE);
    }
    return ExitWith(traceName, WriteRecord(kEFEnvKey, name, *record) ? TRUE : FALSE);
}

BOOL CRegistryOperation::GetUsePeriod(OneData* record) noexcept {
    return GetRecord(L"CRegistryOperation::GetUsePeriod", kUseDate, record);
}
BOOL CRegistryOperation::SetUsePeriod(const OneData* record) noexcept {
    return SetRecord(L"CRegistryOperation::SetUsePeriod", kUseDate, record);
}
BOOL CRegistryOperation::GetLv1Time(OneData* record) noexcept {
    return GetRecord(L"CRegistryOperation::GetLv1Time", kLv1Time, record);
}
BOOL CRegistryOperation::SetLv1Time(const OneData* record) noexcept {
    return SetRecord(L"CRegistryOperation::SetLv1Time", kLv1Time, record);
}
BOOL CRegistryOperation::GetLv2Time(OneData* record) noexcept {
    return GetRecord(L"CRegistryOperation::GetLv2Time", kLv2Time, record);
}
BOOL CRegistryOperation::SetLv2Time(const OneData* record) noexcept {
    return SetRecord(L"CRegistryOperation::SetLv2Time", kLv2Time, record);
}

BOOL CRegistryOperation::GetThreshold(DWORD* threshold) noexcept {
    constexpr wchar_t kName[] = L"CRegistryOperation::GetThreshold";
    LOG_TRACE(TRACE_LEVEL_UTILITY, kName, L"Enter");
    if (threshold == nullptr) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"%s is NULL.", L"lpThreshold");
        return ExitWith(kName, FALSE);
    }
    const ReadResult result = ReadDword(kEFEnvKey, kThreshold, *threshold);
    return ExitWith(kName, result == ReadResult::KeyFailed ? FALSE : TRUE);
}

BOOL CRegistryOperation::GetThresholdLv3(DWORD* threshold) noexcept {
    constexpr wchar_t kName[] = L"CRegistryOperation::GetThresholdLv3";
    LOG_TRACE(TRACE_LEVEL_UTILITY, kName, L"Enter");
    if (threshold == nullptr) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"%s is NULL.", L"lpThreshold");
        return ExitWith(kName, FALSE);
    }
    const ReadResult result = ReadDword(kEFEnvKey, kThresholdLv3, *threshold);
    return ExitWith(kName, result == ReadResult::Read ? TRUE : FALSE);
}

BOOL CRegistryOperation::SetThreshold(DWORD threshold) noexcept {
    return WriteDword(kEFEnvKey, kThreshold, threshold) ? TRUE : FALSE;
}

BOOL CRegistryOperation::GetSelectModeBit(const wchar_t* traceName, DWORD bit, BOOL* on) noexcept {
    LOG_TRACE(TRACE_LEVEL_UTILITY, traceName, L"Enter");
    if (on == nullptr) {
        LOG_TRACE(TRACE_LEVEL_VALUES, traceName, L"%s is NULL.", L"lpOn");
        return ExitWith(traceName, FALSE);
    }
    *on = FALSE;
    DWORD mode = 0;
    const ReadResult result = ReadDword(kEFEnvKey, kSelectMode, mode);
    if (result == ReadResult::KeyFailed) {
        return ExitWith(traceName, FALSE);
    }
    if (result == ReadResult::Read) {
        *on = (mode & bit) != 0 ? TRUE : FALSE;
    }
    return ExitWith(traceName, TRUE);
}

BOOL CRegistryOperation::GetPlanChangeEnable(BOOL* on) noexcept {
    return GetSelectModeBit(L"CRegistryOperation::GetPlanChangeEnable", kSelectPlanChange, on);
}
BOOL CRegistryOperation::GetTimePeriodEnable(BOOL* on) noexcept {
    return GetSelectModeBit(L"CRegistryOperation::GetTimePeriodEnable", kSelectTimePeriod, on);
}
BOOL CRegistryOperation::GetTarvikEnable(BOOL* on) noexcept {
    return GetSelectModeBit(L"CRegistryOperation::GetTarvikEnable", kSelectTarvik, on);
}

BOOL CRegistryOperation::SetSelectModeBit(DWORD bit, BOOL on) noexcept {
    common::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEFEnvKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
        return FALSE;
    }
    DWORD mode = 0;
    if (common::QueryRegDword(key.Get(), kSelectMode, &mode) != ERROR_SUCCESS) {
        if (!on) {
            return FALSE;
        }
        mode = bit;
    } else if (on) {
        mode |= bit;
    } else {
        mode &= ~bit;
    }
    return RegSetValueExW(key.Get(), kSelectMode, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode),
                          sizeof(mode)) == ERROR_SUCCESS
               ? TRUE
               : FALSE;
}

DWORD CRegistryOperation::GetSupportDataType(DWORD region) noexcept {
    wchar_t path[kMaxKeyPath] = {};
    if (!BuildSiteKeyPath(region, path, ARRAYSIZE(path))) {
        return BuiltInSupportDataType(region);
    }
    DWORD mask = 0;
    switch (ReadDword(path, kSupportDataType, mask)) {
    case ReadResult::KeyFailed:
        return BuiltInSupportDataType(region);
    case ReadResult::NoValue:
        return 0;
    case ReadResult::Read:
        break;
    }
    return mask;
}

bool CRegistryOperation::IsRegionOffered(DWORD region) noexcept {
    wchar_t path[kMaxKeyPath] = {};
    if (!BuildSiteKeyPath(region, path, ARRAYSIZE(path))) {
        return false;
    }
    DWORD enable = 0;
    return ReadDword(path, kSiteEnable, enable) == ReadResult::Read && enable == kRegionOffered;
}

}  // namespace tarvik
