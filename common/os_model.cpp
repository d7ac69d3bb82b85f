#include "common/os_model.h"

#include "common/log.h"

namespace common {

namespace {

constexpr wchar_t kProgramKey[] = L"Software\\Orvel\\Solvane";
constexpr wchar_t kOsModelValue[] = L"OSModel";

bool VerifyOsVersion(DWORD major, DWORD minor, BYTE condition) noexcept {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    ULONGLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, condition);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, condition);
    return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION, mask) != FALSE;
}

}  // namespace

bool OsVersionEquals(DWORD major, DWORD minor) noexcept { return VerifyOsVersion(major, minor, VER_EQUAL); }

bool OsVersionAtLeast(DWORD major, DWORD minor) noexcept {
    return VerifyOsVersion(major, minor, VER_GREATER_EQUAL);
}

DWORD OsModelOfSystem() noexcept { return ClassifyOsVersion(OsVersionEquals, OsVersionAtLeast); }

DWORD ApplyOsModelOverride(DWORD model) noexcept {
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    const LSTATUS status = RegGetValueW(HKEY_LOCAL_MACHINE, kProgramKey, kOsModelValue,
                                        RRF_RT_ANY | RRF_NOEXPAND, &type, &value, &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) {
        return model;
    }
    if (value == OS_MODEL_VISTA || value == OS_MODEL_WIN7 || value == OS_MODEL_WIN8_OR_LATER) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"DetermineOsModel", L"OSModel override: %u", value);
        return value;
    }
    return model;
}

DWORD DetermineOsModel() noexcept { return ApplyOsModelOverride(OsModelOfSystem()); }

}  // namespace common
