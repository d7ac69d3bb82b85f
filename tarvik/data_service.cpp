#include "tarvik/data_service.h"

#include <initializer_list>

#include "common/log.h"
#include "tarvik/data_log.h"
#include "tarvik/registry_operation.h"
#include "tarvik/threshold_rules.h"

namespace tarvik {
namespace {

constexpr wchar_t kDebug[] = L"Debug";
constexpr wchar_t kStartHour[] = L"StartHour";
constexpr wchar_t kEndHour[] = L"EndHour";
constexpr wchar_t kUtilization[] = L"Utilization";
constexpr wchar_t kSelectedCompany[] = L"SelectedCompany";
constexpr DWORD kDebugOn = 1;
constexpr DWORD kLastHourOfDay = 23;
constexpr DWORD kDefaultDebugHour = 0;

constexpr DWORD kRequestInstant = kKindPeakSupply | kKindInstant;      // 9
constexpr DWORD kRequestActual = kKindPeakSupply | kKindActual;        // 10
constexpr DWORD kRequestEstimated = kKindPeakSupply | kKindEstimated;  // 12
constexpr DWORD kRequestPeakDemand = kKindPeakSupply | kKindPeakDemand;  // 24

DebugState g_debugState;

DWORD ReadDebugHour(const wchar_t* name) noexcept {
    const DWORD hour = CRegistryOperation::ReadDwordOr(kTarvikKey, name, kDefaultDebugHour);
    if (hour > kLastHourOfDay) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"ReadDebugHour", L"%s %u is no hour of the day", name, hour);
        return kDefaultDebugHour;
    }
    return hour;
}

template <typename T>
void Bind(HMODULE module, const char* name, T& fn) noexcept {
    fn = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Releases the service's data set when the comparison leaves.
class DataSet {
public:
    explicit DataSet(const DataServiceApi& api) noexcept : m_api(api), m_data(nullptr), m_open(false) {}
    ~DataSet() {
        if (m_open && m_api.EFReleaseData != nullptr) {
            m_api.EFReleaseData(m_data);
        }
    }
    DataSet(const DataSet&) = delete;
    DataSet& operator=(const DataSet&) = delete;

    bool Open(DWORD region, DWORD request) noexcept {
        if (m_api.EFGetData == nullptr) {
            return false;
        }
        m_open = m_api.EFGetData(region, request, &m_data, 0, 0) != FALSE;
        return m_open;
    }
    void Release() noexcept {
        if (m_open && m_api.EFReleaseData != nullptr) {
            m_api.EFReleaseData(m_data);
        }
        m_open = false;
    }
    ServiceDataHandle Handle() const noexcept { return m_data; }

private:
    const DataServiceApi& m_api;
    ServiceDataHandle m_data;
    bool m_open;
};

// Today's peak-supply record: the first record whose start is on today's date.
bool FindDaySupply(const DataServiceApi& api, const DataSet& set, const SYSTEMTIME& now, OneData& supply) {
    if (api.EFGetPeakSupplyData == nullptr) {
        return false;
    }
    std::vector<OneData> records;
    const EnumEnd end = EnumerateRecords(api.EFGetPeakSupplyData, set.Handle(), records,
                                         [&now](const OneData& r) { return StartsOnDay(r, now); });
    if (end != EnumEnd::Stopped) {
        return false;
    }
    supply = records.back();
    return true;
}

bool EnumerateAll(PFN_EFGetRecord getter, const DataSet& set, std::vector<OneData>& records) {
    return EnumerateRecords(getter, set.Handle(), records, [](const OneData&) { return false; }) ==
           EnumEnd::Ended;
}

BOOL CompareWithService(const DataServiceApi& api, const SYSTEMTIME& now, DWORD threshold, DWORD* exceed) {
    *exceed = 0;
    const DWORD region = CRegistryOperation::ReadDwordOr(kMorrowKey, kSelectedCompany, 0);
    const DWORD mask = CRegistryOperation::GetSupportDataType(region);
    DWORD request = 0;
    PFN_EFGetRecord getter = nullptr;
    const bool instantKind = (mask & kKindInstant) != 0;
    if (instantKind) {
        request = kRequestInstant;
        getter = api.EFGetInstantData;
    } else if ((mask & kKindActual) != 0) {
        request = kRequestActual;
        getter = api.EFGetActualData;
    } else {
        return FALSE;
    }
    DataSet set(api);
    if (!set.Open(region, request)) {
        return FALSE;
    }
    OneData supply = {};
    if (!FindDaySupply(api, set, now, supply) || getter == nullptr) {
        return FALSE;
    }
    std::vector<OneData> records;
    if (!EnumerateAll(getter, set, records) || records.empty()) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"TarvikCompareToThreshold", L"no demand records (%u)",
                  static_cast<unsigned>(records.size()));
        return FALSE;
    }
    const OneData& latest = records[LatestRecordIndex(records.data(), records.size())];
    *exceed = DemandExceeds(latest, supply.value, threshold) ? 1 : 0;
    OutputLog(region, &supply, instantKind ? &latest : nullptr, instantKind ? nullptr : &latest, now);
    return TRUE;
}

BOOL ExceedWindowWithService(const DataServiceApi& api, const SYSTEMTIME& now, DWORD threshold,
                             OneData* result) {
    *result = {};
    const DWORD region = CRegistryOperation::ReadDwordOr(kMorrowKey, kSelectedCompany, 0);
    const DWORD mask = CRegistryOperation::GetSupportDataType(region);
    const bool estimated = (mask & kKindEstimated) != 0;
    const DWORD request = estimated ? kRequestEstimated
                                    : ((mask & kKindPeakDemand) != 0 ? kRequestPeakDemand : 0);
    if (request == 0) {
        return FALSE;  // the region offers neither a forecast nor the peak demand
    }
    DataSet set(api);
    if (!set.Open(region, request)) {
        return FALSE;
    }
    OneData supply = {};
    if (!FindDaySupply(api, set, now, supply)) {
        return FALSE;
    }
    const PFN_EFGetRecord getter = estimated ? api.EFGetEstimatedData : api.EFGetPeakDemandData;
    std::vector<OneData> records;
    if (getter != nullptr) {
        if (!EnumerateAll(getter, set, records)) {
            return FALSE;
        }
    } else if (estimated) {
        return FALSE;
    }
    // A service without the peak-demand records has no hour to compare: the zero record.
    set.Release();
    HourlyShares shares = {};
    FillHourlyShares(records.data(), records.size(), supply.value, now, shares);
    if (estimated) {
        return WindowFromEstimates(shares, threshold, now, *result);
    }
    return WindowFromPeakDemand(shares, threshold, records.empty() ? nullptr : &records.back(), now,
                                *result);
}

}  // namespace

void BindDataService(HMODULE module, DataServiceApi& api) noexcept {
    api = {};
    if (module == nullptr) {
        return;
    }
    Bind(module, "EFInitialize", api.EFInitialize);
    Bind(module, "EFGetData", api.EFGetData);
    Bind(module, "EFGetInstantData", api.EFGetInstantData);
    Bind(module, "EFGetActualData", api.EFGetActualData);
    Bind(module, "EFGetEstimatedData", api.EFGetEstimatedData);
    Bind(module, "EFGetPeakSupplyData", api.EFGetPeakSupplyData);
    Bind(module, "EFGetPeakDemandData", api.EFGetPeakDemandData);
    Bind(module, "EFReleaseData", api.EFReleaseData);
    Bind(module, "EFDataUpdate", api.EFDataUpdate);
    Bind(module, "EFFinalize", api.EFFinalize);
}

DWORD ReadDebugStartHour() noexcept { return ReadDebugHour(kStartHour); }
DWORD ReadDebugEndHour() noexcept { return ReadDebugHour(kEndHour); }

DebugState& LibraryDebugState() noexcept { return g_debugState; }

void ReadDebugMode(const SYSTEMTIME& now, bool simulatedWindowOnTheHour) noexcept {
    DebugState& state = g_debugState;
    state.debug = CRegistryOperation::ReadDwordOr(kTarvikKey, kDebug, 0) == kDebugOn ? TRUE : FALSE;
    if (!state.debug) {
        return;
    }
    state.windowStart = now;
    state.windowEnd = now;
    state.windowStart.wHour = static_cast<WORD>(ReadDebugStartHour());
    state.windowEnd.wHour = static_cast<WORD>(ReadDebugEndHour());
    if (simulatedWindowOnTheHour) {
        for (SYSTEMTIME* st : {&state.windowStart, &state.windowEnd}) {
            st->wMinute = 0;
            st->wSecond = 0;
            st->wMilliseconds = 0;
        }
    }
    state.utilization = CRegistryOperation::ReadDwordOr(kTarvikKey, kUtilization, 0);
}

BOOL CompareToThreshold(const DataServiceApi& api, const SYSTEMTIME& now, DWORD threshold,
                        DWORD* exceed) noexcept {
    if (exceed == nullptr) {
        return FALSE;
    }
    try {
        DebugState& state = g_debugState;
        state.debug = CRegistryOperation::ReadDwordOr(kTarvikKey, kDebug, 0) == kDebugOn ? TRUE : FALSE;
        if (state.debug) {
            state.utilization = CRegistryOperation::ReadDwordOr(kTarvikKey, kUtilization, 0);
            *exceed = state.utilization >= threshold ? 1 : 0;
            return TRUE;
        }
        return CompareWithService(api, now, threshold, exceed);
    } catch (...) {
        *exceed = 0;
        return FALSE;
    }
}

BOOL GetTimeExceedThreshold(const DataServiceApi& api, const SYSTEMTIME& now, DWORD threshold,
                            OneData* result) noexcept {
    if (result == nullptr) {
        return FALSE;
    }
    try {
        ReadDebugMode(now, false);
        const DebugState& state = g_debugState;
        if (state.debug) {
            *result = {};
            result->start = state.windowStart;
            result->end = state.windowEnd;
            return TRUE;
        }
        return ExceedWindowWithService(api, now, threshold, result);
    } catch (...) {
        *result = {};
        return FALSE;
    }
}

}  // namespace tarvik
