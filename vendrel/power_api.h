// The power-plan calls the installer helper makes, behind a small interface so that the
// plan-file logic can be exercised against a recorder as well as against powrprof.
#pragma once

#include <windows.h>

#include "common/handles.h"

namespace vendrel {

class PowerPlanApi {
public:
    virtual ~PowerPlanApi() = default;
    // Copies the base plan to the new plan GUID; ERROR_ALREADY_EXISTS when it exists.
    virtual DWORD DuplicateScheme(const GUID& base, const GUID& plan) = 0;
    virtual DWORD WriteFriendlyName(const GUID& plan, const wchar_t* name) = 0;
    virtual DWORD WriteDescription(const GUID& plan, const wchar_t* description) = 0;
    virtual DWORD WriteACValueIndex(const GUID& plan, const GUID& subgroup, const GUID& setting,
                                    DWORD value) = 0;
    virtual DWORD WriteDCValueIndex(const GUID& plan, const GUID& subgroup, const GUID& setting,
                                    DWORD value) = 0;
    virtual DWORD ReplaceDefaultSchemes() = 0;
};

// The system's power management (powrprof.dll of the system folder, bound at run time so
// that a system lacking a call skips that step instead of refusing to start).
class SystemPowerPlanApi final : public PowerPlanApi {
public:
    SystemPowerPlanApi() noexcept;
    ~SystemPowerPlanApi() override;
    SystemPowerPlanApi(const SystemPowerPlanApi&) = delete;
    SystemPowerPlanApi& operator=(const SystemPowerPlanApi&) = delete;

    bool Loaded() const noexcept { return m_module.Valid(); }
    DWORD DuplicateScheme(const GUID& base, const GUID& plan) override;
    DWORD WriteFriendlyName(const GUID& plan, const wchar_t* name) override;
    DWORD WriteDescription(const GUID& plan, const wchar_t* description) override;
    DWORD WriteACValueIndex(const GUID& plan, const GUID& subgroup, const GUID& setting,
                            DWORD value) override;
    DWORD WriteDCValueIndex(const GUID& plan, const GUID& subgroup, const GUID& setting,
                            DWORD value) override;
    DWORD ReplaceDefaultSchemes() override;

private:
    using DuplicateFn = DWORD(WINAPI*)(HKEY, const GUID*, GUID**);
    using WriteTextFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, UCHAR*, DWORD);
    using WriteIndexFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, DWORD);
    using ReplaceFn = DWORD(WINAPI*)(void);

    common::UniqueModule m_module;
    DuplicateFn m_duplicate;
    WriteTextFn m_writeName;
    WriteTextFn m_writeDescription;
    WriteIndexFn m_writeAc;
    WriteIndexFn m_writeDc;
    ReplaceFn m_replace;
};

}  // namespace vendrel
