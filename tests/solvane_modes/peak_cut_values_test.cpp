// The values shared with the peak-cut client, kept under HKLM "Software\Orvel\Solvane\EFEnv".
#include "plans/peak_cut_values.h"

#include <gtest/gtest.h>

#include "tests/solvane_app/test_support.h"

namespace {

constexpr wchar_t kEfEnv[] = L"Software\\Orvel\\Solvane\\EFEnv";
const GUID kPlan = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};

class PeakCutValues : public testing::Test {
protected:
    void SetUp() override {
        plans::g_dwPeakCutLevel = 0;
        plans::g_bSelfSwitchFlag = false;
        plans::g_dwPeakCutReason = 0;
        m_origin.Delete();
        m_flag.Delete();
    }
    void TearDown() override {
        plans::g_dwPeakCutLevel = 0;
        plans::g_bSelfSwitchFlag = false;
        plans::g_dwPeakCutReason = 0;
    }
    bool OriginStored() {
        GUID plan{};
        SYSTEMTIME when{};
        return plans::ReadPeakCutOrigin(&plan, &when) == ERROR_SUCCESS;
    }

    testsupport::ScopedRegValue m_level{HKEY_LOCAL_MACHINE, kEfEnv, L"PeakCutLevel"};
    testsupport::ScopedRegValue m_origin{HKEY_LOCAL_MACHINE, kEfEnv, L"PeakCutOrigin"};
    testsupport::ScopedRegValue m_flag{HKEY_LOCAL_MACHINE, kEfEnv, L"UserChangeFlag"};
};

TEST_F(PeakCutValues, OriginAndTimeRoundTripUnderTheMachineKey) {
    SYSTEMTIME when{};
    when.wYear = 2026;
    when.wMonth = 12;
    when.wDay = 7;
    when.wHour = 13;
    ASSERT_EQ(plans::WritePeakCutOrigin(kPlan, when), ERROR_SUCCESS);
    GUID plan{};
    SYSTEMTIME read{};
    ASSERT_EQ(plans::ReadPeakCutOrigin(&plan, &read), ERROR_SUCCESS);
    EXPECT_TRUE(IsEqualGUID(plan, kPlan));
    EXPECT_EQ(memcmp(&read, &when, sizeof(when)), 0);

    // Stored as 16-byte REG_BINARY values, where the client reads them.
    BYTE raw[32] = {};
    DWORD type = 0;
    DWORD size = sizeof(raw);
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kEfEnv, L"PeakCutOrigin", RRF_RT_ANY, &type, raw, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(memcmp(raw, &kPlan, sizeof(kPlan)), 0);
    size = sizeof(raw);
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kEfEnv, L"UserChangeFlag", RRF_RT_ANY, &type, raw, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 16u);
    HKEY user = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, kEfEnv, 0, KEY_READ, &user), ERROR_SUCCESS)
        << "nothing goes to the per-user key";
    if (user != nullptr) {
        RegCloseKey(user);
    }
}

TEST_F(PeakCutValues, ShortRecordIsNotReadAsAnOrigin) {
    ASSERT_EQ(m_origin.SetRaw(REG_BINARY, &kPlan, 8), ERROR_SUCCESS);
    SYSTEMTIME when{};
    ASSERT_EQ(m_flag.SetRaw(REG_BINARY, &when, sizeof(when)), ERROR_SUCCESS);
    GUID plan = kPlan;
    SYSTEMTIME read{};
    EXPECT_NE(plans::ReadPeakCutOrigin(&plan, &read), ERROR_SUCCESS);
}

TEST_F(PeakCutValues, WithoutPeakCutAPlanChangeRecordsNothing) {
    EXPECT_FALSE(plans::NotePlanChangeDuringPeakCut(kPlan));
    EXPECT_FALSE(OriginStored());
    EXPECT_EQ(plans::g_dwPeakCutReason.load(), 0u);
}

TEST_F(PeakCutValues, OwnChangeClearsTheFlagOnly) {
    plans::g_dwPeakCutLevel = 2;
    plans::g_bSelfSwitchFlag = true;
    EXPECT_FALSE(plans::NotePlanChangeDuringPeakCut(kPlan));
    EXPECT_FALSE(plans::g_bSelfSwitchFlag.load());
    EXPECT_FALSE(OriginStored());
    EXPECT_EQ(plans::g_dwPeakCutReason.load(), 0u);
}

TEST_F(PeakCutValues, UserChangeDuringPeakCutIsRecorded) {
    plans::g_dwPeakCutLevel = 1;
    SYSTEMTIME before{};
    GetLocalTime(&before);
    EXPECT_TRUE(plans::NotePlanChangeDuringPeakCut(kPlan));
    EXPECT_EQ(plans::g_dwPeakCutReason.load(), plans::kPeakCutReasonUserChanged);
    GUID plan{};
    SYSTEMTIME when{};
    ASSERT_EQ(plans::ReadPeakCutOrigin(&plan, &when), ERROR_SUCCESS);
    EXPECT_TRUE(IsEqualGUID(plan, kPlan));
    EXPECT_EQ(when.wYear, before.wYear);
    EXPECT_EQ(when.wMonth, before.wMonth);
    EXPECT_EQ(when.wDay, before.wDay);
}

TEST_F(PeakCutValues, LevelIsWrittenAsADword) {
    ASSERT_EQ(plans::WritePeakCutLevel(2), ERROR_SUCCESS);
    DWORD value = 0;
    DWORD size = sizeof(value);
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kEfEnv, L"PeakCutLevel", RRF_RT_REG_DWORD, nullptr, &value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 2u);
}

}  // namespace
