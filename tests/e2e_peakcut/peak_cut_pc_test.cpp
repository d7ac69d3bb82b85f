// Two-mode desktop with the product and Tarvik.dll installed (ECO plan: the maker's performance
// plan, "LedNo" 3; standard: the save plan, "LedNo" 1). A daily level-2 window around the real
// clock moves the plan to the ECO plan at start and keeps the plan that was active as the
// origin; with plan change switched off the next start brings the origin back.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "e2e_support.h"
#include "tarvik/tarvik_api.h"

namespace e2e {
namespace {

constexpr wchar_t kLibrary[] = L"C:\\Program Files\\Solvane\\Tarvik.dll";
constexpr wchar_t kEfEnv[] = L"Software\\Orvel\\Solvane\\EFEnv";

template <typename T>
T Export(HMODULE module, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

GUID StoredOrigin() {
    GUID origin{};
    DWORD size = sizeof(origin);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kEfEnv, L"PeakCutOrigin", RRF_RT_REG_BINARY, nullptr, &origin, &size) !=
        ERROR_SUCCESS) {
        return GUID{};
    }
    return origin;
}

DWORD StoredLevel() {
    DWORD level = 0xFFFF;
    DWORD size = sizeof(level);
    RegGetValueW(HKEY_LOCAL_MACHINE, kEfEnv, L"PeakCutLevel", RRF_RT_REG_DWORD, nullptr, &level, &size);
    return level;
}

class PeakCutPc : public testing::Test {
protected:
    void SetUp() override {
        m_library.Reset(LoadLibraryW(kLibrary));
        ASSERT_TRUE(m_library) << "Tarvik.dll is installed with the product";
        SetPlanValue(kEcoPerformance, L"LedNo", 3);
        SetPlanValue(kEcoSave, L"LedNo", 1);
        SetPlanValue(kEcoBalance, L"LedNo", 0);
        ASSERT_TRUE(Activate(kEcoSave));
    }
    void TearDown() override { SetPlanChange(FALSE); }

    void SetPlanChange(BOOL on) {
        auto set = Export<PFN_TarvikSetEnable>(m_library.Get(), "TarvikSetPlanChangeEnable");
        ASSERT_NE(set, nullptr);
        EXPECT_TRUE(set(on));
    }
    // A use period from 1 January 00:00 to 31 December 23:59:59 of the current year.
    static OneData WholeYear(const SYSTEMTIME& now) {
        OneData period{};
        period.value = 1;
        period.start = now;
        period.start.wMonth = 1;
        period.start.wDay = 1;
        period.start.wHour = period.start.wMinute = period.start.wSecond = period.start.wMilliseconds = 0;
        period.end = now;
        period.end.wMonth = 12;
        period.end.wDay = 31;
        period.end.wHour = 23;
        period.end.wMinute = 59;
        period.end.wSecond = 59;
        return period;
    }

    // Time windows on, demand link off, the use period over the whole year and the level-2
    // window from an hour before now to an hour after (over midnight when now is close to it).
    void SetWindowAroundNow() {
        SetPlanChange(TRUE);
        auto setTime = Export<PFN_TarvikSetEnable>(m_library.Get(), "TarvikSetTimePeriodEnable");
        auto setDemand = Export<PFN_TarvikSetEnable>(m_library.Get(), "TarvikSetTarvikEnable");
        auto setPeriod = Export<PFN_TarvikSetRecord>(m_library.Get(), "TarvikSetUsePeriod");
        auto setLv2 = Export<PFN_TarvikSetRecord>(m_library.Get(), "TarvikSetLv2Time");
        ASSERT_TRUE(setTime && setDemand && setPeriod && setLv2);
        EXPECT_TRUE(setTime(TRUE));
        setDemand(FALSE);
        SYSTEMTIME now{};
        GetLocalTime(&now);
        const OneData period = WholeYear(now);
        ASSERT_TRUE(setPeriod(&period));
        OneData window{};
        window.value = 1;
        window.start = now;
        window.start.wHour = static_cast<WORD>((now.wHour + 23) % 24);
        window.end = now;
        window.end.wHour = static_cast<WORD>((now.wHour + 1) % 24);
        ASSERT_TRUE(setLv2(&window));
    }

    // Demand linked to region 3 with the threshold at 90 percent, time windows off.
    void SetDemandLink() {
        SetPlanChange(TRUE);
        auto setTime = Export<PFN_TarvikSetEnable>(m_library.Get(), "TarvikSetTimePeriodEnable");
        auto setDemand = Export<PFN_TarvikSetEnable>(m_library.Get(), "TarvikSetTarvikEnable");
        auto setRegion = Export<PFN_TarvikSetDword>(m_library.Get(), "TarvikSetSelectedRegion");
        auto setThreshold = Export<PFN_TarvikSetDword>(m_library.Get(), "TarvikSetThreshold");
        auto setPeriod = Export<PFN_TarvikSetRecord>(m_library.Get(), "TarvikSetUsePeriod");
        ASSERT_TRUE(setTime && setDemand && setRegion && setThreshold && setPeriod);
        EXPECT_TRUE(setTime(FALSE));
        EXPECT_TRUE(setDemand(TRUE));
        EXPECT_TRUE(setRegion(3));
        EXPECT_TRUE(setThreshold(90));
        SYSTEMTIME now{};
        GetLocalTime(&now);
        const OneData period = WholeYear(now);
        ASSERT_TRUE(setPeriod(&period));
    }

    common::UniqueModule m_library;
};

// The visible dialog of the process, or null.
HWND FindDialog(DWORD pid) {
    struct Find {
        DWORD pid;
        HWND found;
    } find{pid, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto* f = reinterpret_cast<Find*>(lParam);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            wchar_t name[16] = {};
            GetClassNameW(hwnd, name, ARRAYSIZE(name));
            if (owner == f->pid && lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(hwnd)) {
                f->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

HWND WaitDialog(DWORD pid, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        if (HWND dialog = FindDialog(pid); dialog != nullptr) {
            return dialog;
        }
        Sleep(100);
    }
    return nullptr;
}

TEST_F(PeakCutPc, WindowAroundNowSwitchesToEcoAndTheOriginComesBackWhenSwitchedOff) {
    SetWindowAroundNow();
    {
        Resident resident;
        ASSERT_TRUE(resident.Start());
        ASSERT_TRUE(WaitActivePlan(kEcoPerformance, kWaitMs)) << "level 2 of the time window";
        EXPECT_TRUE(IsEqualGUID(StoredOrigin(), kEcoSave));
        EXPECT_EQ(StoredLevel(), 2u);
        EXPECT_TRUE(resident.WaitTrace(L"0x540: level 2 reason 1"));
        EXPECT_TRUE(resident.Close());
        EXPECT_EQ(StoredLevel(), 0u) << "reset when the program ends";
    }
    SetPlanChange(FALSE);
    {
        Resident resident;
        ASSERT_TRUE(resident.Start());
        ASSERT_TRUE(WaitActivePlan(kEcoSave, kWaitMs)) << "the origin comes back at start";
        EXPECT_EQ(StoredOrigin(), GUID{});
        EXPECT_TRUE(resident.Close());
    }
}

TEST_F(PeakCutPc, DemandAboveTheThresholdAsksThenSwitchesAndFallingDemandRestores) {
    SetDemandLink();
    ASSERT_EQ(RunSimctl(L"demand --region 3 --percent 95"), 0u);
    Resident resident;
    ASSERT_TRUE(resident.Start());
    // The ECO question (dialog 546) comes first; the plan stays until it is answered.
    HWND question = WaitDialog(resident.Pid(), kWaitMs);
    ASSERT_NE(question, nullptr) << "the level-2 question";
    EXPECT_NE(GetDlgItem(question, 1258), nullptr) << "the percentage field of dialog 546";
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), kEcoSave));
    PostMessageW(question, WM_COMMAND, IDYES, 0);
    ASSERT_TRUE(WaitActivePlan(kEcoPerformance, kWaitMs));
    EXPECT_TRUE(IsEqualGUID(StoredOrigin(), kEcoSave));
    EXPECT_TRUE(resident.WaitTrace(L"0x540: level 2 reason 2"));

    // Demand falls: the next pass (one a minute) brings the origin back.
    ASSERT_EQ(RunSimctl(L"demand --region 3 --percent 50"), 0u);
    EXPECT_TRUE(WaitActivePlan(kEcoSave, 75000)) << "the origin after the next pass";
    EXPECT_TRUE(resident.WaitTrace(L"0x540: level 0 reason 0"));
    EXPECT_EQ(StoredOrigin(), GUID{});
    RunSimctl(L"demand --region 3 --clear");
    EXPECT_TRUE(resident.Close());
}

}  // namespace
}  // namespace e2e
