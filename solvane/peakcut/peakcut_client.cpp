#include "peakcut/peakcut.h"

#include <shlobj.h>
#include <strsafe.h>

#include "common/log.h"
#include "tarvik/one_data.h"

namespace peakcut {

namespace {

constexpr const wchar_t* kLibraryTail = L"\\Solvane\\Tarvik.dll";

template <typename Pointer>
void Bind(HMODULE module, const char* name, Pointer* target) noexcept {
    *target = module != nullptr ? reinterpret_cast<Pointer>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                                : nullptr;
}

bool FlagOn(PFN_TarvikGetEnable getter) noexcept {
    BOOL on = FALSE;
    return getter != nullptr && getter(&on) != FALSE && on != FALSE;
}

// Demand compared with a percentage: true only when the comparison succeeded and is exceeded.
bool Exceeds(const PeakCutClient& client, DWORD percent) noexcept {
    DWORD exceed = 0;
    return client.compareToThreshold != nullptr && client.compareToThreshold(percent, &exceed) != FALSE &&
           exceed != 0;
}

void StartClientEngine(PeakCutClient& client) noexcept {
    if (client.engineStarted == 0 && client.startEngine != nullptr) {
        client.engineStarted = client.startEngine() != FALSE ? 1 : 0;
        LOG_TRACE(TRACE_LEVEL_VALUES, L"EvaluatePeakCut", L"engine started: %lu", client.engineStarted);
    }
}

DWORD Settle(PeakCutClient& client, DWORD level, DWORD reason) noexcept {
    client.level = level;
    client.reason = reason;
    return level;
}

}  // namespace

bool LibraryPath(wchar_t* path, size_t cchPath) noexcept {
    if (cchPath == 0) {
        return false;
    }
    path[0] = L'\0';
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE)) {
        return false;
    }
    const size_t cchMax = cchPath < MAX_PATH ? cchPath : MAX_PATH;
    if (FAILED(StringCchCopyW(path, cchMax, folder)) || FAILED(StringCchCatW(path, cchMax, kLibraryTail))) {
        path[0] = L'\0';
        return false;
    }
    return true;
}

void BindClient(HMODULE module, PeakCutClient* client) noexcept {
    client->module = module;
    Bind(module, "TarvikStartEngine", &client->startEngine);
    Bind(module, "TarvikStopEngine", &client->stopEngine);
    Bind(module, "TarvikGetPlanChangeEnable", &client->getPlanChangeEnable);
    Bind(module, "TarvikGetUsePeriod", &client->getUsePeriod);
    Bind(module, "TarvikGetTimePeriodEnable", &client->getTimePeriodEnable);
    Bind(module, "TarvikGetLv2Time", &client->getLv2Time);
    Bind(module, "TarvikGetLv1Time", &client->getLv1Time);
    Bind(module, "TarvikGetTarvikEnable", &client->getTarvikEnable);
    Bind(module, "TarvikGetThreshold", &client->getThreshold);
    Bind(module, "TarvikCompareToThreshold", &client->compareToThreshold);
    Bind(module, "TarvikGetThresholdLv3", &client->getThresholdLv3);
}

bool InWindow(PFN_TarvikGetRecord getter, const SYSTEMTIME& now, bool daily) noexcept {
    if (getter == nullptr) {
        return false;
    }
    OneData record{};
    if (getter(&record) == FALSE) {
        return false;
    }
    long long start = 0;
    long long end = 0;
    long long current = 0;
    if (!tarvik::SystemTimeToSeconds(record.start, start) || !tarvik::SystemTimeToSeconds(record.end, end) ||
        !tarvik::SystemTimeToSeconds(now, current)) {
        return false;
    }
    if (daily && end < start) {
        // 23:30-00:15: the window runs over midnight.
        return current >= start || current <= end;
    }
    return start <= current && current <= end;
}

void StopClientEngine(PeakCutClient& client) noexcept {
    if (client.engineStarted != 0) {
        if (client.stopEngine != nullptr) {
            client.stopEngine();
        }
        client.engineStarted = 0;
        LOG_TRACE(TRACE_LEVEL_VALUES, L"EvaluatePeakCut", L"engine stopped");
    }
}

DWORD EvaluatePeakCut(PeakCutClient& client, const EvalContext& context) noexcept {
    if (!FlagOn(client.getPlanChangeEnable) || !InWindow(client.getUsePeriod, context.now, false)) {
        client.levelLatch = 0;
        StopClientEngine(client);
        return Settle(client, 0, context.userChangedToday ? client.reason : kReasonNone);
    }
    DWORD timeLevel = 0;
    if (FlagOn(client.getTimePeriodEnable)) {
        if (InWindow(client.getLv2Time, context.now, true)) {
            timeLevel = 2;
        } else if (InWindow(client.getLv1Time, context.now, true)) {
            timeLevel = 1;
        }
    }
    DWORD demandLevel = 0;
    if (FlagOn(client.getTarvikEnable)) {
        StartClientEngine(client);
        if (context.desktop) {
            DWORD level3 = kDefaultLevel3Percent;
            if (client.getThresholdLv3 == nullptr || client.getThresholdLv3(&level3) == FALSE) {
                level3 = kDefaultLevel3Percent;
            }
            if (!Exceeds(client, level3)) {
                client.levelLatch = 0;
            } else if (client.levelLatch == 0) {
                client.levelLatch = 1;
                return Settle(client, 3, kReasonDemand);
            }
        }
        DWORD threshold = 0;
        if (client.getThreshold != nullptr && client.getThreshold(&threshold) != FALSE && Exceeds(client, threshold)) {
            demandLevel = 2;
        }
    } else {
        StopClientEngine(client);
        client.levelLatch = 0;
    }
    if (timeLevel != 2) {
        if (demandLevel == 2) {
            return Settle(client, 2, kReasonDemand);
        }
        if (timeLevel != 1) {
            return Settle(client, 0, kReasonNone);
        }
    }
    return Settle(client, timeLevel, context.userChangedToday ? client.reason : kReasonTimeWindow);
}

}  // namespace peakcut
