#include <gtest/gtest.h>

#include "drivers/processor_device.h"
#include "fake_device.h"
#include "fake_power.h"
#include "test_registry.h"
#include "plans/plan_list.h"
#include "plans/settings.h"
#include "test_registry.h"

using namespace drivers;

namespace {

class ProcessorDeviceTest : public testing::Test {
protected:
    void SetUp() override { fakedev::Install(); }
    void TearDown() override { fakedev::Uninstall(); }
};

TEST_F(ProcessorDeviceTest, AbsentDriverGivesZeroAndFalseWithoutRequests) {
    EXPECT_EQ(QueryPowerSavingCapabilities(), 0u);
    EXPECT_FALSE(SetPowerSavingState(1));
    const fakedev::State s = fakedev::Get();
    EXPECT_EQ(s.ioctls, 0);
    ASSERT_EQ(s.opened.size(), 2u);
    EXPECT_EQ(s.opened[0], L"\\\\.\\ORVELPSRD");
}

TEST_F(ProcessorDeviceTest, CapabilitiesAndStatesPassUnchanged) {
    fakedev::Update([](fakedev::State& s) {
        s.processorPresent = true;
        s.capabilities = 0x5;
    });
    EXPECT_EQ(QueryPowerSavingCapabilities(), 0x5u);
    EXPECT_TRUE(SetPowerSavingState(0));  // state 0 is still sent
    EXPECT_TRUE(SetPowerSavingState(0x1234));
    const fakedev::State s = fakedev::Get();
    EXPECT_EQ(s.capabilityQueries, 1);
    ASSERT_EQ(s.processorStates.size(), 2u);
    EXPECT_EQ(s.processorStates[0], 0u);
    EXPECT_EQ(s.processorStates[1], 0x1234u);
    // every request opens the device anew and closes it afterwards
    ASSERT_EQ(s.handles.size(), 3u);
    for (HANDLE h : s.handles) {
        EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
    }
}

TEST_F(ProcessorDeviceTest, FailedRequestsGiveZeroAndFalse) {
    fakedev::Update([](fakedev::State& s) {
        s.processorPresent = true;
        s.capabilities = 0x1;
        s.failCode = IOCTL_PSRD_QUERY_CAPABILITIES;
    });
    EXPECT_EQ(QueryPowerSavingCapabilities(), 0u);
    fakedev::Update([](fakedev::State& s) { s.failCode = IOCTL_PSRD_SET_STATE; });
    testreg::MarkErrorLog();
    EXPECT_FALSE(SetPowerSavingState(1));
    EXPECT_TRUE(fakedev::Get().processorStates.empty());
    const std::vector<std::wstring> lines = testreg::NewErrorLogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"(0x1f)"), std::wstring::npos);
    // an absent device is no error-log record
    fakedev::Update([](fakedev::State& s) { s.processorPresent = false; });
    testreg::MarkErrorLog();
    EXPECT_FALSE(SetPowerSavingState(1));
    EXPECT_EQ(QueryPowerSavingCapabilities(), 0u);
    EXPECT_TRUE(testreg::NewErrorLogLines().empty());
}

class SettingsWithDriverTest : public ProcessorDeviceTest {
protected:
    void SetUp() override {
        ProcessorDeviceTest::SetUp();
        testreg::ClearSolvaneKeys();
        fakes::Install();
        plans::g_SettingsHooks = plans::SettingsHooks{};
        plans::g_SettingsHooks.wirelessAdapterPresent = [] { return false; };
        plans::g_Settings.dwOsGeneration = 2;
    }
    void TearDown() override {
        fakes::Uninstall();
        testreg::ClearSolvaneKeys();
        ProcessorDeviceTest::TearDown();
    }
};

TEST_F(SettingsWithDriverTest, WithoutTheDriverTheFlagStaysClearAndNoStateIsSent) {
    plans::LoadSettings();
    EXPECT_EQ(plans::g_Settings.blob.dwFlagWord & plans::FLAG_CPU_DRIVER, 0u);
    const fakedev::State s = fakedev::Get();
    EXPECT_TRUE(s.processorStates.empty());
    EXPECT_EQ(s.ioctls, 0);
}

TEST_F(SettingsWithDriverTest, DriverAnsweringBitZeroSetsTheFlag) {
    fakedev::Update([](fakedev::State& s) {
        s.processorPresent = true;
        s.capabilities = 0x1;
    });
    plans::LoadSettings();
    EXPECT_NE(plans::g_Settings.blob.dwFlagWord & plans::FLAG_CPU_DRIVER, 0u);
    EXPECT_EQ(fakedev::Get().capabilityQueries, 1);
    EXPECT_TRUE(fakedev::Get().processorStates.empty());  // loading only asks
    fakedev::Update([](fakedev::State& s) { s.capabilities = 0x2; });
    plans::LoadSettings();
    EXPECT_EQ(plans::g_Settings.blob.dwFlagWord & plans::FLAG_CPU_DRIVER, 0u);
}

}  // namespace
