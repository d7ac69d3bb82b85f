// CallNtPowerInformation, the sleep states and their record.
#include "test_support.h"

#include <vector>

#include "sim/powrprof/store_layout.h"

using namespace simpower;
using namespace simpower_test;

namespace {

constexpr LONG STATUS_OK = 0;
constexpr LONG STATUS_TOO_SMALL = static_cast<LONG>(0xC0000023L);

struct CpuInfo {  // PROCESSOR_POWER_INFORMATION
    ULONG Number;
    ULONG MaxMhz;
    ULONG CurrentMhz;
    ULONG MhzLimit;
    ULONG MaxIdleState;
    ULONG CurrentIdleState;
};
static_assert(sizeof(CpuInfo) == 24);

ULONG CpuCount() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

class PowrprofProcessor : public FreshPowerStore {
protected:
    KeyStash m_processor{PROCESSOR_KEY};
};

TEST_F(PowrprofProcessor, EveryProcessorReportsTheSimulatedFrequencies) {
    WriteDword(PROCESSOR_KEY, VALUE_MAX_MHZ, 2400);
    WriteDword(PROCESSOR_KEY, VALUE_CURRENT_MHZ, 1197);
    WriteDword(PROCESSOR_KEY, VALUE_MHZ_LIMIT, 2200);
    const ULONG count = CpuCount();
    ASSERT_GE(count, 1u);
    std::vector<CpuInfo> cpus(count + 1, CpuInfo{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE});
    ASSERT_EQ(STATUS_OK, CallNtPowerInformation(ProcessorInformation, nullptr, 0, cpus.data(),
                                                static_cast<ULONG>(count * sizeof(CpuInfo))));
    for (ULONG i = 0; i < count; ++i) {
        EXPECT_EQ(i, cpus[i].Number);
        EXPECT_EQ(2400u, cpus[i].MaxMhz);
        EXPECT_EQ(1197u, cpus[i].CurrentMhz);
        EXPECT_EQ(2200u, cpus[i].MhzLimit);
    }
    EXPECT_EQ(0xEEu, cpus[count].Number);  // nothing beyond the processors
    WriteDword(PROCESSOR_KEY, VALUE_CURRENT_MHZ, 2400);
    ASSERT_EQ(STATUS_OK, CallNtPowerInformation(ProcessorInformation, nullptr, 0, cpus.data(),
                                                static_cast<ULONG>(count * sizeof(CpuInfo))));
    EXPECT_EQ(2400u, cpus[0].CurrentMhz);
}

TEST_F(PowrprofProcessor, ABufferShortOfOneEntryIsRefused) {
    const ULONG count = CpuCount();
    std::vector<CpuInfo> cpus(count);
    EXPECT_EQ(STATUS_TOO_SMALL, CallNtPowerInformation(ProcessorInformation, nullptr, 0, cpus.data(),
                                                       static_cast<ULONG>(count * sizeof(CpuInfo) - 1)));
    EXPECT_EQ(STATUS_TOO_SMALL, CallNtPowerInformation(ProcessorInformation, nullptr, 0, nullptr, 0));
}

class PowrprofBattery : public FreshPowerStore {
protected:
    KeyStash m_battery{BATTERY_KEY};
};

SYSTEM_BATTERY_STATE QueryBattery() {
    SYSTEM_BATTERY_STATE s;
    memset(&s, 0xEE, sizeof(s));
    EXPECT_EQ(STATUS_OK, CallNtPowerInformation(SystemBatteryState, nullptr, 0, &s, sizeof(s)));
    return s;
}

TEST_F(PowrprofBattery, DischargingBatteryReportsCapacitiesRateAndTime) {
    WriteDword(BATTERY_KEY, L"BatteryPresent", 1);
    WriteDword(BATTERY_KEY, L"AcOnLine", 0);
    WriteDword(BATTERY_KEY, L"Charging", 0);
    WriteDword(BATTERY_KEY, L"DesignCapacity", 48000);
    WriteDword(BATTERY_KEY, L"FullChargedCapacity", 40000);
    WriteDword(BATTERY_KEY, L"RemainingCapacity", 20000);
    WriteDword(BATTERY_KEY, L"Rate", static_cast<DWORD>(-10000));
    WriteDword(BATTERY_KEY, L"Voltage", 11100);
    SYSTEM_BATTERY_STATE s = QueryBattery();
    EXPECT_FALSE(s.AcOnLine);
    EXPECT_TRUE(s.BatteryPresent);
    EXPECT_FALSE(s.Charging);
    EXPECT_TRUE(s.Discharging);
    EXPECT_EQ(40000u, s.MaxCapacity);
    EXPECT_EQ(20000u, s.RemainingCapacity);
    EXPECT_EQ(static_cast<DWORD>(-10000), s.Rate);
    EXPECT_EQ(7200u, s.EstimatedTime);  // 20000 mWh at 10000 mW
    EXPECT_EQ(0, s.Spare1[0]);
}

TEST_F(PowrprofBattery, ChargingOnMainsHasNoEstimate) {
    WriteDword(BATTERY_KEY, L"BatteryPresent", 1);
    WriteDword(BATTERY_KEY, L"AcOnLine", 1);
    WriteDword(BATTERY_KEY, L"Charging", 1);
    WriteDword(BATTERY_KEY, L"FullChargedCapacity", 50000);
    WriteDword(BATTERY_KEY, L"RemainingCapacity", 45000);
    WriteDword(BATTERY_KEY, L"Rate", 15000);
    SYSTEM_BATTERY_STATE s = QueryBattery();
    EXPECT_TRUE(s.AcOnLine);
    EXPECT_TRUE(s.Charging);
    EXPECT_FALSE(s.Discharging);
    EXPECT_EQ(15000u, s.Rate);
    EXPECT_EQ(0xFFFFFFFFu, s.EstimatedTime);
}

TEST_F(PowrprofBattery, WithoutASimulatedBatteryTheMachineRunsOnMains) {
    SYSTEM_BATTERY_STATE s = QueryBattery();
    EXPECT_TRUE(s.AcOnLine);
    EXPECT_FALSE(s.BatteryPresent);
    EXPECT_FALSE(s.Discharging);
    EXPECT_EQ(0u, s.MaxCapacity);
    EXPECT_EQ(0u, s.RemainingCapacity);
    EXPECT_EQ(PlatformRoleDesktop, PowerDeterminePlatformRole());
    SYSTEM_POWER_CAPABILITIES caps{};
    ASSERT_TRUE(GetPwrCapabilities(&caps));
    EXPECT_FALSE(caps.SystemBatteriesPresent);
    WriteDword(BATTERY_KEY, L"BatteryPresent", 1);
    ASSERT_TRUE(GetPwrCapabilities(&caps));
    EXPECT_TRUE(caps.SystemBatteriesPresent);
    EXPECT_EQ(PlatformRoleMobile, PowerDeterminePlatformRole());
    BYTE shortBuffer[sizeof(SYSTEM_BATTERY_STATE) - 1];
    EXPECT_EQ(STATUS_TOO_SMALL, CallNtPowerInformation(SystemBatteryState, nullptr, 0, shortBuffer, sizeof(shortBuffer)));
}

class PowrprofSuspend : public FreshPowerStore {};

TEST_F(PowrprofSuspend, RequestsAreCountedWithTheirArgumentsAndNeverSuspend) {
    EXPECT_TRUE(IsPwrSuspendAllowed());
    EXPECT_TRUE(IsPwrHibernateAllowed());
    ASSERT_TRUE(SetSuspendState(TRUE, FALSE, TRUE));
    EXPECT_EQ(1u, ReadDword(POWER_KEY, VALUE_SUSPEND_COUNT, 0));
    EXPECT_EQ(1u, ReadDword(POWER_KEY, VALUE_LAST_HIBERNATE, 9));
    EXPECT_EQ(0u, ReadDword(POWER_KEY, VALUE_LAST_FORCE, 9));
    EXPECT_EQ(1u, ReadDword(POWER_KEY, VALUE_LAST_NO_WAKE, 9));
    ASSERT_TRUE(SetSuspendState(FALSE, TRUE, FALSE));
    EXPECT_EQ(2u, ReadDword(POWER_KEY, VALUE_SUSPEND_COUNT, 0));
    EXPECT_EQ(0u, ReadDword(POWER_KEY, VALUE_LAST_HIBERNATE, 9));
    EXPECT_EQ(1u, ReadDword(POWER_KEY, VALUE_LAST_FORCE, 9));
    EXPECT_EQ(0u, ReadDword(POWER_KEY, VALUE_LAST_NO_WAKE, 9));
}

TEST_F(PowrprofSuspend, HibernationSwitchedOffIsRefusedButRecorded) {
    WriteDword(POWER_KEY, VALUE_HIBERNATE_ALLOWED, 0);
    EXPECT_FALSE(IsPwrHibernateAllowed());
    EXPECT_TRUE(IsPwrSuspendAllowed());
    EXPECT_FALSE(SetSuspendState(TRUE, FALSE, FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_SUPPORTED), GetLastError());
    EXPECT_EQ(1u, ReadDword(POWER_KEY, VALUE_SUSPEND_COUNT, 0));
    SYSTEM_POWER_CAPABILITIES caps{};
    ASSERT_TRUE(GetPwrCapabilities(&caps));
    EXPECT_FALSE(caps.SystemS4);
    EXPECT_TRUE(caps.SystemS3);
}

}  // namespace
