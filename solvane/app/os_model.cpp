#include "app/os_model.h"

#include <memory>
#include <new>

#include "common/log.h"

namespace {

constexpr wchar_t kOsModelValue[] = L"OSModel";
constexpr wchar_t kTranslationBlock[] = L"\\VarFileInfo\\Translation";
constexpr WORD kPrimaryLanguageMask = 0x3FF;

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

bool OsVersionEquals(DWORD major, DWORD minor) noexcept {
    return VerifyOsVersion(major, minor, VER_EQUAL);
}

bool OsVersionAtLeast(DWORD major, DWORD minor) noexcept {
    return VerifyOsVersion(major, minor, VER_GREATER_EQUAL);
}

DWORD OsModelOfSystem() noexcept {
    return ClassifyOsVersion(OsVersionEquals, OsVersionAtLeast);
}

DWORD ApplyOsModelOverride(DWORD model) noexcept {
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    LSTATUS status = RegGetValueW(HKEY_LOCAL_MACHINE, kProgramKey, kOsModelValue,
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

DWORD DetermineOsModel() noexcept {
    return ApplyOsModelOverride(OsModelOfSystem());
}

WORD ReadVersionLanguage(const wchar_t* path) noexcept {
    if (path == nullptr) {
        return 0;
    }
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) {
        return 0;
    }
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[size]);
    if (!block || !GetFileVersionInfoW(path, 0, size, block.get())) {
        return 0;
    }
    void* buffer = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.get(), kTranslationBlock, &buffer, &length) || buffer == nullptr ||
        length < sizeof(WORD) * 2) {
        return 0;
    }
    const WORD* translation = static_cast<const WORD*>(buffer);  // language, code page
    return static_cast<WORD>(translation[0] & kPrimaryLanguageMask);
}

WORD DetermineUiLanguage() noexcept {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 0;
    }
    return ReadVersionLanguage(path);
}
