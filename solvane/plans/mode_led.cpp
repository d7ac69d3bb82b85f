#include "plans/mode_led.h"

#include "drivers/eco_led.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "plans/settings.h"

namespace plans {

namespace {

constexpr DWORD kDelayedRefreshSleepMs = 1000;

}  // namespace

BOOL RefreshLedFromPlan(const GUID& plan) noexcept {
    if (IsNullGuid(plan)) {
        return FALSE;
    }
    PlanRecord record{};
    record.guid = plan;
    ReadPlanRecord(&record);
    if (IsNullGuid(record.guid)) {
        return FALSE;
    }
    const bool threeMode = IsThreeMode(g_Settings.blob.dwFlagWord);
    return drivers::SetLedState(drivers::LedStateForLedNo(static_cast<DWORD>(record.nLedNo), threeMode));
}

BOOL RefreshLedFromCurrentPlan() noexcept { return RefreshLedFromPlan(activepsi.guid); }

BOOL ShowModeLed(DWORD state, HWND hwndTimer) noexcept {
    const BOOL result = drivers::SetLedState(state);
    ArmLedCheckTimer(hwndTimer);
    return result;
}

void DelayedLedRefresh(HWND hwndTimer) noexcept {
    Sleep(kDelayedRefreshSleepMs);
    drivers::MarkLedForVerification();
    RefreshLedFromCurrentPlan();
    ArmLedCheckTimer(hwndTimer);
}

void ArmLedCheckTimer(HWND hwnd) noexcept {
    if ((g_Settings.blob.dwFlagWord & FLAG_ECO) == 0) {
        return;
    }
    const INT32 period = g_Settings.nTimerLED > 0 ? g_Settings.nTimerLED : kDefaultTimerLED;
    drivers::ArmLedCheckTimerFor(hwnd, static_cast<DWORD>(period));
}

}  // namespace plans
