// The 33 exports of Tarvik.dll. Each one readies the library on its first call, checks its
// pointer argument, and lets no failure escape to the caller.
#include "common/log.h"
#include "tarvik/data_service.h"
#include "tarvik/library.h"
#include "tarvik/period_rules.h"
#include "tarvik/region_list.h"
#include "tarvik/registry_operation.h"
#include "tarvik/resource_ids.h"
#include "tarvik/tarvik_api.h"

using tarvik::CRegistryOperation;

namespace {

constexpr wchar_t kSelectedCompany[] = L"SelectedCompany";
constexpr wchar_t kAgreement[] = L"Agreement";
constexpr wchar_t kEnable[] = L"Enable";
constexpr wchar_t kDebug[] = L"Debug";
constexpr wchar_t kUtilization[] = L"Utilization";
constexpr DWORD kAccepted = 1;
constexpr DWORD kDebugOn = 1;

// Runs an export's body; anything thrown becomes the export's failure value.
template <typename R, typename Body>
R Guarded(R failure, Body body) noexcept {
    try {
        tarvik::EnsureLibraryReady();
        return body();
    } catch (...) {
        return failure;
    }
}

template <typename Body>
void GuardedVoid(Body body) noexcept {
    try {
        tarvik::EnsureLibraryReady();
        body();
    } catch (...) {
    }
}

// The two trace lines of a null pointer argument.
BOOL NullArgument(const wchar_t* function, const wchar_t* parameter) noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, function, L"%s is NULL.", parameter);
    LOG_TRACE(TRACE_LEVEL_APP, function, L"Exit - Error! retval:%08x", 0);
    return FALSE;
}

BOOL TracedExit(const wchar_t* function, BOOL result) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, function, L"Exit retval:%08x", result);
    return result;
}

SYSTEMTIME Now() noexcept {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    return now;
}

// Reads a daily window and moves it to today; a stored window out of range gives FALSE and zeros.
BOOL GetDailyWindow(const wchar_t* function, BOOL (*reader)(OneData*), OneData* lpOneData) noexcept {
    if (lpOneData == nullptr) {
        return NullArgument(function, L"lpOneData");
    }
    *lpOneData = {};
    if (!reader(lpOneData)) {
        return FALSE;
    }
    if (!tarvik::DailyWindowValid(*lpOneData)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, function, L"stored window out of range");
        *lpOneData = {};
        return FALSE;
    }
    tarvik::MoveDailyWindowToDay(*lpOneData, Now());
    return TRUE;
}

BOOL SetRecord(const wchar_t* function, BOOL (*writer)(const OneData*), const OneData* lpOneData) noexcept {
    if (lpOneData == nullptr) {
        return NullArgument(function, L"lpOneData");
    }
    return writer(lpOneData);
}

BOOL GetEnable(const wchar_t* function, BOOL (*reader)(BOOL*), BOOL* lpOn) noexcept {
    if (lpOn == nullptr) {
        return NullArgument(function, L"lpOn");
    }
    return reader(lpOn);
}

DWORD ReadSelectedRegion() noexcept {
    return CRegistryOperation::ReadDwordOr(tarvik::kMorrowKey, kSelectedCompany, 0);
}

BOOL WriteSelectedRegion(DWORD dwRegion) noexcept {
    return CRegistryOperation::WriteDword(tarvik::kMorrowKey, kSelectedCompany, dwRegion) ? TRUE : FALSE;
}

}  // namespace

extern "C" {

BOOL WINAPI TarvikGetTimeExceedThreshold(DWORD dwThreshold, OneData* lpOneData) {
    constexpr wchar_t kFn[] = L"TarvikGetTimeExceedThreshold";
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Enter");
        if (lpOneData == nullptr) {
            return NullArgument(kFn, L"lpOneData");
        }
        return TracedExit(kFn, tarvik::GetTimeExceedThreshold(tarvik::ServiceApi(), Now(), dwThreshold, lpOneData));
    });
}

BOOL WINAPI TarvikCompareToThreshold(DWORD dwThreshold, DWORD* lpExceed) {
    constexpr wchar_t kFn[] = L"TarvikCompareToThreshold";
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Enter");
        if (lpExceed == nullptr) {
            return NullArgument(kFn, L"lpExceed");
        }
        return TracedExit(kFn, tarvik::CompareToThreshold(tarvik::ServiceApi(), Now(), dwThreshold, lpExceed));
    });
}

DWORD WINAPI TarvikGetRegionList(RegionEntry** lpList) {
    constexpr wchar_t kFn[] = L"TarvikGetRegionList";
    return Guarded<DWORD>(0, [&]() -> DWORD {
        LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Enter");
        if (lpList == nullptr) {
            return NullArgument(kFn, L"lpList");
        }
        *lpList = tarvik::RegionTable();
        const DWORD count = tarvik::RegionTableCount();
        LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Exit retval:%08x", count);
        return count;
    });
}

DWORD WINAPI TarvikGetSelectedRegion() {
    constexpr wchar_t kFn[] = L"TarvikGetSelectedRegion";
    return Guarded<DWORD>(0, [&]() -> DWORD {
        LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Enter");
        const DWORD region = ReadSelectedRegion();
        LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Exit retval:%08x", region);
        return region;
    });
}

BOOL WINAPI TarvikSetSelectedRegion(DWORD dwRegion) {
    constexpr wchar_t kFn[] = L"TarvikSetSelectedRegion";
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Enter");
        return TracedExit(kFn, WriteSelectedRegion(dwRegion));
    });
}

BOOL WINAPI TarvikStartEngine() {
    constexpr wchar_t kFn[] = L"TarvikStartEngine";
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Enter");
        return TracedExit(kFn, tarvik::TheEngine().Start());
    });
}

void WINAPI TarvikStopEngine() {
    constexpr wchar_t kFn[] = L"TarvikStopEngine";
    GuardedVoid([&]() {
        LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Enter");
        tarvik::TheEngine().Stop();
        LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Exit");
    });
}

BOOL WINAPI TarvikShowDialog() {
    constexpr wchar_t kFn[] = L"TarvikShowDialog";
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        LOG_TRACE(TRACE_LEVEL_APP, kFn, L"Enter");
        DWORD agreement = 0;
        if (CRegistryOperation::ReadDword(tarvik::kMorrowKey, kAgreement, agreement) == tarvik::ReadResult::Read &&
            agreement == kAccepted) {
            return TracedExit(kFn, TRUE);
        }
        if (tarvik::ShowConsentDialog(tarvik::LibraryModule()) != IDC_CONSENT_ACCEPT) {
            return TracedExit(kFn, FALSE);
        }
        return TracedExit(kFn, CRegistryOperation::WriteDword(tarvik::kMorrowKey, kAgreement, kAccepted) ? TRUE : FALSE);
    });
}

BOOL WINAPI TarvikGetUsePeriod(OneData* lpOneData) {
    constexpr wchar_t kFn[] = L"TarvikGetUsePeriod";
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (lpOneData == nullptr) {
            return NullArgument(kFn, L"lpOneData");
        }
        *lpOneData = {};
        if (!CRegistryOperation::GetUsePeriod(lpOneData)) {
            return FALSE;
        }
        if (!tarvik::UsePeriodValid(*lpOneData) || !tarvik::MoveUsePeriodToYear(*lpOneData, Now())) {
            LOG_TRACE(TRACE_LEVEL_VALUES, kFn, L"stored period out of range");
            *lpOneData = {};
            return FALSE;
        }
        return TRUE;
    });
}

BOOL WINAPI TarvikSetUsePeriod(const OneData* lpOneData) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return SetRecord(L"TarvikSetUsePeriod", CRegistryOperation::SetUsePeriod, lpOneData);
    });
}

DWORD WINAPI TarvikGetPowerCompany() {
    return Guarded<DWORD>(0, []() -> DWORD { return ReadSelectedRegion(); });
}

BOOL WINAPI TarvikSetPowerCompany(DWORD dwRegion) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL { return WriteSelectedRegion(dwRegion); });
}

BOOL WINAPI TarvikGetLv1Time(OneData* lpOneData) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return GetDailyWindow(L"TarvikGetLv1Time", CRegistryOperation::GetLv1Time, lpOneData);
    });
}

BOOL WINAPI TarvikSetLv1Time(const OneData* lpOneData) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return SetRecord(L"TarvikSetLv1Time", CRegistryOperation::SetLv1Time, lpOneData);
    });
}

BOOL WINAPI TarvikGetLv2Time(OneData* lpOneData) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return GetDailyWindow(L"TarvikGetLv2Time", CRegistryOperation::GetLv2Time, lpOneData);
    });
}

BOOL WINAPI TarvikSetLv2Time(const OneData* lpOneData) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return SetRecord(L"TarvikSetLv2Time", CRegistryOperation::SetLv2Time, lpOneData);
    });
}

BOOL WINAPI TarvikGetThreshold(DWORD* lpThreshold) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (lpThreshold == nullptr) {
            return NullArgument(L"TarvikGetThreshold", L"lpThreshold");
        }
        return CRegistryOperation::GetThreshold(lpThreshold);
    });
}

BOOL WINAPI TarvikSetThreshold(DWORD dwThreshold) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL { return CRegistryOperation::SetThreshold(dwThreshold); });
}

BOOL WINAPI TarvikGetPlanChangeEnable(BOOL* lpOn) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return GetEnable(L"TarvikGetPlanChangeEnable", CRegistryOperation::GetPlanChangeEnable, lpOn);
    });
}

BOOL WINAPI TarvikSetPlanChangeEnable(BOOL bOn) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return CRegistryOperation::SetSelectModeBit(tarvik::kSelectPlanChange, bOn);
    });
}

BOOL WINAPI TarvikGetTimePeriodEnable(BOOL* lpOn) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return GetEnable(L"TarvikGetTimePeriodEnable", CRegistryOperation::GetTimePeriodEnable, lpOn);
    });
}

BOOL WINAPI TarvikSetTimePeriodEnable(BOOL bOn) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return CRegistryOperation::SetSelectModeBit(tarvik::kSelectTimePeriod, bOn);
    });
}

BOOL WINAPI TarvikGetTarvikEnable(BOOL* lpOn) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return GetEnable(L"TarvikGetTarvikEnable", CRegistryOperation::GetTarvikEnable, lpOn);
    });
}

BOOL WINAPI TarvikSetTarvikEnable(BOOL bOn) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return CRegistryOperation::SetSelectModeBit(tarvik::kSelectTarvik, bOn);
    });
}

BOOL WINAPI TarvikGetAgreement() {
    return Guarded<BOOL>(FALSE, []() -> BOOL {
        return CRegistryOperation::ReadDwordOr(tarvik::kMorrowKey, kAgreement, 0) == kAccepted ? TRUE : FALSE;
    });
}

BOOL WINAPI TarvikSetAgreement() {
    return Guarded<BOOL>(FALSE, []() -> BOOL {
        return CRegistryOperation::WriteDword(tarvik::kMorrowKey, kAgreement, kAccepted) ? TRUE : FALSE;
    });
}

BOOL WINAPI TarvikSetEngineEnable(DWORD dwEnable) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        return CRegistryOperation::WriteDword(tarvik::kMorrowKey, kEnable, dwEnable) ? TRUE : FALSE;
    });
}

DWORD WINAPI TarvikGetSupportType(DWORD dwRegion) {
    return Guarded<DWORD>(0, [&]() -> DWORD { return CRegistryOperation::GetSupportDataType(dwRegion); });
}

BOOL WINAPI TarvikGetDebugMode() {
    return Guarded<BOOL>(FALSE, []() -> BOOL {
        return CRegistryOperation::ReadDwordOr(tarvik::kTarvikKey, kDebug, 0) == kDebugOn ? TRUE : FALSE;
    });
}

DWORD WINAPI TarvikGetStartHour() {
    return Guarded<DWORD>(0, []() -> DWORD { return tarvik::ReadDebugStartHour(); });
}

DWORD WINAPI TarvikGetEndHour() {
    return Guarded<DWORD>(0, []() -> DWORD { return tarvik::ReadDebugEndHour(); });
}

DWORD WINAPI TarvikGetUtilization() {
    return Guarded<DWORD>(0, []() -> DWORD {
        return CRegistryOperation::ReadDwordOr(tarvik::kTarvikKey, kUtilization, 0);
    });
}

BOOL WINAPI TarvikGetThresholdLv3(DWORD* lpThreshold) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (lpThreshold == nullptr) {
            return NullArgument(L"TarvikGetThresholdLv3", L"lpThreshold");
        }
        return CRegistryOperation::GetThresholdLv3(lpThreshold);
    });
}

}  // extern "C"
