#include "vendrel/power_api.h"

#include <strsafe.h>

#include <cwchar>

#include "common/log.h"

namespace vendrel {

namespace {
constexpr wchar_t kPowrprofName[] = L"\\powrprof.dll";

template <typename Fn>
Fn Bind(HMODULE module, const char* name) noexcept {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Size in bytes of a text including its terminator, as the write calls take it.
DWORD TextBytes(const wchar_t* text) noexcept {
    return static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
}
}  // namespace

SystemPowerPlanApi::SystemPowerPlanApi() noexcept
    : m_module(), m_duplicate(nullptr), m_writeName(nullptr), m_writeDescription(nullptr),
      m_writeAc(nullptr), m_writeDc(nullptr), m_replace(nullptr) {
    wchar_t path[MAX_PATH] = {};
    const UINT cch = GetSystemDirectoryW(path, ARRAYSIZE(path));
    if (cch == 0 || cch >= ARRAYSIZE(path) ||
        FAILED(StringCchCatW(path, ARRAYSIZE(path), kPowrprofName))) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"SystemPowerPlanApi::SystemPowerPlanApi",
                  L"no system folder: %u", GetLastError());
        return;
    }
    m_module.Reset(LoadLibraryW(path));
    if (!m_module) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"SystemPowerPlanApi::SystemPowerPlanApi",
                  L"LoadLibrary failed: %u", GetLastError());
        return;
    }
    m_duplicate = Bind<DuplicateFn>(m_module.Get(), "PowerDuplicateScheme");
    m_writeName = Bind<WriteTextFn>(m_module.Get(), "PowerWriteFriendlyName");
    m_writeDescription = Bind<WriteTextFn>(m_module.Get(), "PowerWriteDescription");
    m_writeAc = Bind<WriteIndexFn>(m_module.Get(), "PowerWriteACValueIndex");
    m_writeDc = Bind<WriteIndexFn>(m_module.Get(), "PowerWriteDCValueIndex");
    m_replace = Bind<ReplaceFn>(m_module.Get(), "PowerReplaceDefaultPowerSchemes");
}

SystemPowerPlanApi::~SystemPowerPlanApi() = default;

DWORD SystemPowerPlanApi::DuplicateScheme(const GUID& base, const GUID& plan) {
    if (m_duplicate == nullptr) {
        return ERROR_PROC_NOT_FOUND;
    }
    GUID destination = plan;
    GUID* destinationPointer = &destination;  // a given destination is used, not allocated
    return m_duplicate(nullptr, &base, &destinationPointer);
}

DWORD SystemPowerPlanApi::WriteFriendlyName(const GUID& plan, const wchar_t* name) {
    if (m_writeName == nullptr) {
        return ERROR_PROC_NOT_FOUND;
    }
    return m_writeName(nullptr, &plan, nullptr, nullptr,
                       reinterpret_cast<UCHAR*>(const_cast<wchar_t*>(name)), TextBytes(name));
}

DWORD SystemPowerPlanApi::WriteDescription(const GUID& plan, const wchar_t* description) {
    if (m_writeDescription == nullptr) {
        return ERROR_PROC_NOT_FOUND;
    }
    return m_writeDescription(nullptr, &plan, nullptr, nullptr,
                              reinterpret_cast<UCHAR*>(const_cast<wchar_t*>(description)),
                              TextBytes(description));
}

DWORD SystemPowerPlanApi::WriteACValueIndex(const GUID& plan, const GUID& subgroup,
                                            const GUID& setting, DWORD value) {
    if (m_writeAc == nullptr) {
        return ERROR_PROC_NOT_FOUND;
    }
    return m_writeAc(nullptr, &plan, &subgroup, &setting, value);
}

DWORD SystemPowerPlanApi::WriteDCValueIndex(const GUID& plan, const GUID& subgroup,
                                            const GUID& setting, DWORD value) {
    if (m_writeDc == nullptr) {
        return ERROR_PROC_NOT_FOUND;
    }
    return m_writeDc(nullptr, &plan, &subgroup, &setting, value);
}

DWORD SystemPowerPlanApi::ReplaceDefaultSchemes() {
    if (m_replace == nullptr) {
        return ERROR_PROC_NOT_FOUND;
    }
    return m_replace();
}

}  // namespace vendrel
