#include "app/eco_level.h"

#include <cstring>

#include "common/handles.h"
#include "common/log.h"
#include "plans/settings.h"


DWORD (*g_pfnEcoPanelLevel)(INT32 percent) = nullptr;
bool (*g_pfnEcoCmosBrightness)() = nullptr;

namespace {

using InitializeFn = DWORD(WINAPI*)();
using QueryFn = DWORD(WINAPI*)(const EcoLevelRequest*);
using FinalizeFn = DWORD(WINAPI*)();

common::UniqueModule g_tessit;
constexpr DWORD kAnswerMask = 0xFFFF;

template <typename Fn>
Fn Export(const char* name) noexcept {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(g_tessit.Get(), name)));
}

DWORD PanelLevel(INT32 percent) noexcept {
    return g_pfnEcoPanelLevel != nullptr ? g_pfnEcoPanelLevel(percent) : 0;
}

}  // namespace

EcoLevelRequest BuildEcoLevelRequest(const plans::PlanRecord& record, const plans::PowerValues& values,
                                     DWORD flagWord) noexcept {
    EcoLevelRequest request{};
    if ((flagWord & plans::FLAG_EXT_MONITOR) != 0) {
        request.dwKind = kEcoKindExternalMonitor;
    } else if ((flagWord & plans::FLAG_BATTERY) != 0) {
        request.dwKind = kEcoKindBattery;
    } else {
        request.dwKind = kEcoKindNoBattery;
    }
    request.dwMonitorAC = values.dwMonitorAC;
    request.dwMonitorDC = values.dwMonitorDC;
    request.dwDiskAC = values.dwDiskAC;
    request.dwDiskDC = values.dwDiskDC;
    request.dwStandbyAC = values.dwStandbyAC;
    request.dwStandbyDC = values.dwStandbyDC;
    request.dwHibernateAC = values.dwHibernateAC;
    request.dwHibernateDC = values.dwHibernateDC;
    request.dwMaxProcessorAC = values.dwMaxThrottleAC;
    request.dwMinProcessorAC = values.dwMinThrottleAC;
    request.dwMaxProcessorDC = values.dwMaxThrottleDC;
    request.dwMinProcessorDC = values.dwMinThrottleDC;
    if (request.dwKind == kEcoKindExternalMonitor) {
        request.dwBrightnessA = static_cast<DWORD>(record.nBrightnessMonitorEnable);
        request.dwBrightnessB = static_cast<DWORD>(record.nBrightnessMonitor);
    } else {
        request.dwBrightnessB = PanelLevel(record.nBrightnessAC);
    }
    if (request.dwKind == kEcoKindBattery) {
        request.dwBrightnessC = PanelLevel(record.nBrightnessDC);
        if (g_pfnEcoCmosBrightness != nullptr && g_pfnEcoCmosBrightness()) {
            static_assert(sizeof(record.biALS) == kEcoLevelAlsBytes, "the five ALSBC bytes");
            memcpy(request.abALS, &record.biALS, kEcoLevelAlsBytes);
        }
    }
    return request;
}

void LoadEcoLevelLibrary() {
    LOG_TRACE(TRACE_LEVEL_APP, L"LoadEcoLevelLibrary", L"Enter");
    g_tessit.Reset(LoadLibraryW(L"Tessit.dll"));
    if (g_tessit) {
        const auto initialize = Export<InitializeFn>("TessitApiInitializeApp");
        if (initialize != nullptr) {
            const DWORD result = initialize();
            LOG_TRACE(TRACE_LEVEL_VALUES, L"LoadEcoLevelLibrary", L"TessitApiInitializeApp: %lu",
                      static_cast<unsigned long>(result));
        } else {
            g_tessit.Reset();
        }
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"LoadEcoLevelLibrary", L"Exit");
}

void FinalizeEcoLevelLibrary() {
    if (!g_tessit) {
        return;
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"FinalizeEcoLevelLibrary", L"Enter");
    const auto finalize = Export<FinalizeFn>("TessitApiFinalizeApp");
    if (finalize != nullptr) {
        finalize();
    }
    g_tessit.Reset();
    LOG_TRACE(TRACE_LEVEL_APP, L"FinalizeEcoLevelLibrary", L"Exit");
}

DWORD QueryEcoLevel(const EcoLevelRequest& request) noexcept {
    if (!g_tessit) {
        return kEcoLevelNoAnswer;
    }
    const auto query = Export<QueryFn>("TessitApiGetTessit");
    if (query == nullptr) {
        return kEcoLevelNoAnswer;
    }
    return query(&request) & kAnswerMask;
}

bool DecodeEcoLevel(DWORD answer, int* performance, int* saving) noexcept {
    if (answer == kEcoLevelNoAnswer) {
        return false;
    }
    const int high = static_cast<int>((answer >> 8) & 0xFF);
    const int low = static_cast<int>(answer & 0xFF);
    *performance = high > kEcoLevelMax ? kEcoLevelMax : high;
    *saving = low > kEcoLevelMax ? kEcoLevelMax : low;
    return true;
}

bool ResolvePlanGauges(const plans::PlanRecord& record, DWORD flagWord, int* performance, int* saving) noexcept {
    plans::PowerValues values{};
    const bool read = plans::ReadPowerValues(record.guid, &values);
    if (read && DecodeEcoLevel(QueryEcoLevel(BuildEcoLevelRequest(record, values, flagWord)), performance, saving)) {
        return true;
    }
    if (plans::DecodeIndicator(record.nIndicator, performance, saving)) {
        return true;
    }
    if (!read) {
        return false;
    }
    plans::ComputeIndicatorBars(values, performance, saving);
    return true;
}
