#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "battery/auto_change.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "plans/guid_text.h"
#include "plans/power_guids.h"
#include "tests/battery/test_support.h"

namespace {

constexpr wchar_t kSolvaneKey[] = L"Software\\Orvel\\Solvane";
const GUID kTarget = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
const GUID kOther = {0x66666666, 0x7777, 0x8888, {0x99, 0x99, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}};
const GUID kPrevious = {0xBBBBBBBB, 0xCCCC, 0xDDDD, {0xEE, 0xEE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};

SYSTEM_BATTERY_STATE State(bool ac, bool charging, bool discharging, DWORD remaining, DWORD max) {
    SYSTEM_BATTERY_STATE s{};
    s.AcOnLine = ac;
    s.BatteryPresent = TRUE;
    s.Charging = charging;
    s.Discharging = discharging;
    s.RemainingCapacity = remaining;
    s.MaxCapacity = max;
    return s;
}

battery::AutoRecord Record(ULONGLONG threshold, const GUID& previous) {
    battery::AutoRecord r = battery::DefaultAutoRecord();
    r.bChecked = 1;
    r.RemaindPercent = threshold;
    r.guidTarget = kTarget;
    r.guidPrevious = previous;
    return r;
}

TEST(AutoDecisionTest, ThresholdAndPowerSourceCases) {
    using battery::AutoAction;
    struct {
        const char* name;
        SYSTEM_BATTERY_STATE state;
        ULONGLONG threshold;
        GUID active;
        GUID previous;
        AutoAction action;
    } cases[] = {
        {"30.0 % discharging switches", State(false, false, true, 3000, 10000), 30, kOther, GUID_NULL,
         AutoAction::SwitchToTarget},
        {"30.4 % discharging stays", State(false, false, true, 3040, 10000), 30, kOther, GUID_NULL, AutoAction::None},
        {"29.9 % idle off mains switches", State(false, false, false, 2990, 10000), 30, kOther, GUID_NULL,
         AutoAction::SwitchToTarget},
        {"target already active", State(false, false, true, 1000, 10000), 30, kTarget, GUID_NULL, AutoAction::None},
        {"30.2 % charging switches back", State(true, true, false, 3020, 10000), 30, kTarget, kPrevious,
         AutoAction::SwitchBack},
        {"30.0 % charging stays", State(true, true, false, 3000, 10000), 30, kTarget, kPrevious, AutoAction::None},
        {"full on mains switches back", State(true, false, false, 10000, 10000), 30, kTarget, kPrevious,
         AutoAction::SwitchBack},
        {"charging without a stored plan", State(true, true, false, 9000, 10000), 30, kTarget, GUID_NULL,
         AutoAction::None},
        {"previous plan already active", State(true, true, false, 9000, 10000), 30, kPrevious, kPrevious,
         AutoAction::None},
        {"low charge on mains does not switch", State(true, true, false, 500, 10000), 30, kOther, GUID_NULL,
         AutoAction::None},
        {"threshold 0 waits for an empty battery", State(false, false, true, 1, 10000), 0, kOther, GUID_NULL,
         AutoAction::None},
        {"threshold 0 at empty", State(false, false, true, 0, 10000), 0, kOther, GUID_NULL,
         AutoAction::SwitchToTarget},
        {"no maximum capacity", State(false, false, true, 0, 0), 30, kOther, GUID_NULL, AutoAction::None},
    };
    for (const auto& c : cases) {
        const battery::AutoDecision d = battery::DecideAutoChange(c.state, Record(c.threshold, c.previous), c.active);
        EXPECT_EQ(d.action, c.action) << c.name;
    }
    const battery::AutoDecision d =
        battery::DecideAutoChange(State(false, false, true, 3040, 10000), Record(30, GUID_NULL), kOther);
    EXPECT_DOUBLE_EQ(d.dCharge, 30.4);
}

class AutoRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorLogModule(GetModuleHandleW(nullptr));
        DeleteFileW(L"error.log");
        Clear();
    }
    void TearDown() override {
        Clear();
        battery::SetAutoRecord(battery::DefaultAutoRecord());
        DeleteFileW(L"error.log");
    }
    static void Clear() {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            common::UniqueRegKey key;
            if (common::OpenRegKey(root, kSolvaneKey, KEY_SET_VALUE, key) == ERROR_SUCCESS) {
                common::DeleteRegValue(key.Get(), L"Auto");
            }
        }
    }
    static void UserBytes(const std::vector<BYTE>& bytes) {
        common::UniqueRegKey key;
        ASSERT_EQ(common::CreateRegKey(HKEY_CURRENT_USER, kSolvaneKey, KEY_SET_VALUE, key), ERROR_SUCCESS);
        ASSERT_EQ(common::WriteRegBinary(key.Get(), L"Auto", bytes.data(), static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }
    static void MachineText(const wchar_t* text) {
        common::UniqueRegKey key;
        ASSERT_EQ(common::CreateRegKey(HKEY_LOCAL_MACHINE, kSolvaneKey, KEY_SET_VALUE, key), ERROR_SUCCESS);
        ASSERT_EQ(common::WriteRegString(key.Get(), L"Auto", text), ERROR_SUCCESS);
    }
    static std::vector<BYTE> StoredBytes() {
        common::UniqueRegKey key;
        std::vector<BYTE> bytes(64);
        DWORD cb = static_cast<DWORD>(bytes.size());
        DWORD type = 0;
        if (common::OpenRegKey(HKEY_CURRENT_USER, kSolvaneKey, KEY_QUERY_VALUE, key) != ERROR_SUCCESS ||
            RegQueryValueExW(key.Get(), L"Auto", nullptr, &type, bytes.data(), &cb) != ERROR_SUCCESS ||
            type != REG_BINARY) {
            return {};
        }
        bytes.resize(cb);
        return bytes;
    }
};

// The 48 stored bytes of a record, field by field (little-endian).
std::vector<BYTE> Bytes(DWORD checked, DWORD reserved, ULONGLONG threshold, const GUID& target, const GUID& previous) {
    std::vector<BYTE> bytes(48);
    memcpy(&bytes[0], &checked, 4);
    memcpy(&bytes[4], &reserved, 4);
    memcpy(&bytes[8], &threshold, 8);
    memcpy(&bytes[16], &target, 16);
    memcpy(&bytes[32], &previous, 16);
    return bytes;
}

TEST_F(AutoRecordTest, LoadsTheRecordOrFallsBack) {
    struct {
        const char* name;
        std::vector<BYTE> user;        // empty: no per-user value
        const wchar_t* machine;        // null: no HKLM value
        DWORD checked;
        ULONGLONG threshold;
        GUID target;
        GUID previous;
        bool sizeError;
    } cases[] = {
        {"48 bytes", Bytes(1, 7, 15, kTarget, kPrevious), L"{66666666-7777-8888-9999-AAAAAAAAAAAA}", 1, 15, kTarget,
         kPrevious, false},
        {"40 bytes, machine target", std::vector<BYTE>(40, 0xAB), L"{66666666-7777-8888-9999-AAAAAAAAAAAA}", 0, 30,
         kOther, GUID_NULL, true},
        {"49 bytes, no machine target", std::vector<BYTE>(49, 0x01), nullptr, 0, 30, plans::kPlanPowerSaver,
         GUID_NULL, true},
        {"nothing stored", {}, nullptr, 0, 30, plans::kPlanPowerSaver, GUID_NULL, false},
        {"machine target without braces", {}, L"66666666-7777-8888-9999-aaaaaaaaaaaa", 0, 30, kOther, GUID_NULL,
         false},
        {"machine text that is no GUID", {}, L"Power saver", 0, 30, plans::kPlanPowerSaver, GUID_NULL, false},
    };
    for (const auto& c : cases) {
        Clear();
        DeleteFileW(L"error.log");
        if (!c.user.empty()) {
            UserBytes(c.user);
        }
        if (c.machine != nullptr) {
            MachineText(c.machine);
        }
        battery::SetAutoRecord(Record(99, kPrevious));
        battery::LoadAutoSettings();
        const battery::AutoRecord r = battery::GetAutoRecord();
        EXPECT_EQ(r.bChecked, c.checked) << c.name;
        EXPECT_EQ(r.RemaindPercent, c.threshold) << c.name;
        EXPECT_TRUE(IsEqualGUID(r.guidTarget, c.target)) << c.name;
        EXPECT_TRUE(IsEqualGUID(r.guidPrevious, c.previous)) << c.name;
        const std::wstring log = battery_test::ErrorLog();
        EXPECT_EQ(battery_test::Count(log, L"初期設定値が不正です(0x0)"), c.sizeError ? 1u : 0u) << c.name;
    }
}

TEST_F(AutoRecordTest, SaveWritesTheFortyEightBytesThatLoadReadsBack) {
    battery::AutoRecord r = Record(42, kPrevious);
    r.dwReserved = 0x5A5A5A5A;
    battery::SetAutoRecord(r);
    ASSERT_EQ(battery::SaveAutoSettings(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(StoredBytes(), Bytes(1, 0x5A5A5A5A, 42, kTarget, kPrevious));
    battery::SetAutoRecord(battery::DefaultAutoRecord());
    battery::LoadAutoSettings();
    const battery::AutoRecord back = battery::GetAutoRecord();
    EXPECT_EQ(back.RemaindPercent, 42u);
    EXPECT_EQ(back.dwReserved, 0x5A5A5A5Au);
    EXPECT_TRUE(IsEqualGUID(back.guidPrevious, kPrevious));
}

TEST_F(AutoRecordTest, AValueOfAnotherTypeIsAReadError) {
    common::UniqueRegKey key;
    ASSERT_EQ(common::CreateRegKey(HKEY_CURRENT_USER, kSolvaneKey, KEY_SET_VALUE, key), ERROR_SUCCESS);
    const std::vector<BYTE> bytes = Bytes(1, 0, 10, kTarget, GUID_NULL);
    ASSERT_EQ(RegSetValueExW(key.Get(), L"Auto", 0, REG_NONE, bytes.data(), 48), ERROR_SUCCESS);
    battery::LoadAutoSettings();
    EXPECT_EQ(battery::GetAutoRecord().RemaindPercent, 30u);
    EXPECT_EQ(battery_test::Count(battery_test::ErrorLog(), L"fail : RegQueryValueEx/HKCU...Settings(0xd)"), 1u)
        << battery_test::ErrorLog();
}

}  // namespace
