// dxva2.dll of the simulated PC: enumeration from EnumDisplayMonitors, capability strings,
// high-level brightness, VCP 0x10, scripted failures with a retry loop, unplugging, call log.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/dxva2/dxva2_api.h"
#include "sim/simlib/simlib.h"

namespace {

using namespace dxva2sim;

constexpr DWORD RETRY_COUNT = 10;  // the product's default attempt count

BOOL CALLBACK CollectDisplay(HMONITOR hMonitor, HDC, LPRECT, LPARAM context) {
    reinterpret_cast<std::vector<HMONITOR>*>(context)->push_back(hMonitor);
    return TRUE;
}

std::vector<HMONITOR> Displays() {
    std::vector<HMONITOR> displays;
    EnumDisplayMonitors(nullptr, nullptr, CollectDisplay, reinterpret_cast<LPARAM>(&displays));
    return displays;
}

// All physical monitors of all displays, in enumeration order.
std::vector<PHYSICAL_MONITOR> OpenAll() {
    std::vector<PHYSICAL_MONITOR> all;
    for (HMONITOR display : Displays()) {
        DWORD count = 0;
        if (!GetNumberOfPhysicalMonitorsFromHMONITOR(display, &count) || count == 0) {
            continue;
        }
        std::vector<PHYSICAL_MONITOR> some(count);
        if (GetPhysicalMonitorsFromHMONITOR(display, count, some.data())) {
            all.insert(all.end(), some.begin(), some.end());
        }
    }
    return all;
}

std::string CapabilityString(HANDLE monitor) {
    DWORD length = 0;
    if (!GetCapabilitiesStringLength(monitor, &length) || length == 0) {
        return "";
    }
    std::vector<char> text(length, 'x');
    if (!CapabilitiesRequestAndCapabilitiesReply(monitor, text.data(), length)) {
        return "";
    }
    return text.data();
}

class Dxva2Monitors : public testing::Test {
protected:
    void SetUp() override {
        simlib::DeleteTree(simlib::PieceKey(PIECE, L"Failures"));
        simlib::WriteDword(simlib::PieceKey(PIECE), L"Monitors", 2);
        simlib::WriteDword(MonitorKey(1), L"BrightnessCurrent", 80);
        simlib::WriteDword(MonitorKey(2), L"BrightnessCurrent", 40);
        monitors_ = OpenAll();
        ASSERT_EQ(2u, monitors_.size());
        simlib::ClearLog(PIECE);
    }
    void TearDown() override {
        if (!monitors_.empty()) {
            DestroyPhysicalMonitors(static_cast<DWORD>(monitors_.size()), monitors_.data());
        }
        simlib::DeleteTree(simlib::PieceKey(PIECE, L"Failures"));
        simlib::WriteDword(simlib::PieceKey(PIECE), L"Monitors", 2);
    }
    static std::wstring MonitorKey(DWORD n) { return simlib::PieceKey(PIECE, (L"Monitor" + std::to_wstring(n)).c_str()); }
    HANDLE First() const { return monitors_[0].hPhysicalMonitor; }
    HANDLE Second() const { return monitors_[1].hPhysicalMonitor; }

    std::vector<PHYSICAL_MONITOR> monitors_;
};

static_assert(sizeof(PHYSICAL_MONITOR) == 264);  // packed: handle + 128 characters

TEST_F(Dxva2Monitors, EnumerationFromDisplaysGivesBothMonitorsWithDistinctHandles) {
    EXPECT_STREQ(L"SV-E2410 (DDC/CI)", monitors_[0].szPhysicalMonitorDescription);
    EXPECT_STREQ(L"SV-W2790 (DDC/CI)", monitors_[1].szPhysicalMonitorDescription);
    EXPECT_NE(nullptr, First());
    EXPECT_NE(First(), Second());
}

TEST_F(Dxva2Monitors, TooSmallArrayOrUnknownDisplayFails) {
    std::vector<HMONITOR> displays = Displays();
    ASSERT_FALSE(displays.empty());
    HMONITOR last = displays.back();
    DWORD count = 0;
    ASSERT_TRUE(GetNumberOfPhysicalMonitorsFromHMONITOR(last, &count));
    ASSERT_GE(count, 1u);
    if (count > 1) {
        PHYSICAL_MONITOR one{};
        EXPECT_FALSE(GetPhysicalMonitorsFromHMONITOR(last, 1, &one));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        EXPECT_EQ(nullptr, one.hPhysicalMonitor);
    }
    HMONITOR bogus = reinterpret_cast<HMONITOR>(static_cast<ULONG_PTR>(0x7777));
    EXPECT_FALSE(GetNumberOfPhysicalMonitorsFromHMONITOR(bogus, &count));
    EXPECT_FALSE(GetNumberOfPhysicalMonitorsFromHMONITOR(last, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(Dxva2Monitors, DestroyedHandleNoLongerWorks) {
    HANDLE first = First();
    ASSERT_TRUE(DestroyPhysicalMonitor(first));
    DWORD a = 0, b = 0, c = 0;
    EXPECT_FALSE(GetMonitorBrightness(first, &a, &b, &c));
    EXPECT_EQ(ERROR_GRAPHICS_INVALID_PHYSICAL_MONITOR_HANDLE, GetLastError());
    EXPECT_FALSE(DestroyPhysicalMonitor(first));
    monitors_.erase(monitors_.begin());
}

TEST_F(Dxva2Monitors, CapabilityStringsCarryModelAndVcpList) {
    DWORD length = 0;
    ASSERT_TRUE(GetCapabilitiesStringLength(First(), &length));
    std::string caps = CapabilityString(First());
    EXPECT_EQ(caps.size() + 1, length);
    EXPECT_NE(std::string::npos, caps.find("model(SV-E2410)"));
    EXPECT_NE(std::string::npos, caps.find(" 10 "));
    EXPECT_NE(std::string::npos, CapabilityString(Second()).find("model(SV-W2790)"));

    // One character short: refused, the buffer untouched beyond what it was.
    std::vector<char> shortBuffer(length - 1, 'x');
    EXPECT_FALSE(CapabilitiesRequestAndCapabilitiesReply(First(), shortBuffer.data(), length - 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ('x', shortBuffer[0]);
}

TEST_F(Dxva2Monitors, HighLevelCapabilitiesOnlyOnTheFirstMonitor) {
    DWORD caps = 0, temps = 0;
    ASSERT_TRUE(GetMonitorCapabilities(First(), &caps, &temps));
    EXPECT_NE(0u, caps & MC_CAPS_BRIGHTNESS);
    EXPECT_FALSE(GetMonitorCapabilities(Second(), &caps, &temps));
    EXPECT_EQ(ERROR_GRAPHICS_MCA_MCCS_VERSION_MISMATCH, GetLastError());
    DWORD a = 0, b = 0, c = 0;
    EXPECT_FALSE(GetMonitorBrightness(Second(), &a, &b, &c));
}

TEST_F(Dxva2Monitors, HighLevelBrightnessRoundTripsAndKeepsValueOnBadSet) {
    DWORD minimum = 99, current = 0, maximum = 0;
    ASSERT_TRUE(GetMonitorBrightness(First(), &minimum, &current, &maximum));
    EXPECT_EQ(0u, minimum);
    EXPECT_EQ(80u, current);
    EXPECT_EQ(100u, maximum);

    ASSERT_TRUE(SetMonitorBrightness(First(), 37));
    ASSERT_TRUE(GetMonitorBrightness(First(), &minimum, &current, &maximum));
    EXPECT_EQ(37u, current);
    EXPECT_EQ(37u, simlib::DwordOr(MonitorKey(1), L"BrightnessCurrent", 0));

    EXPECT_FALSE(SetMonitorBrightness(First(), 101));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    ASSERT_TRUE(GetMonitorBrightness(First(), &minimum, &current, &maximum));
    EXPECT_EQ(37u, current);

    ASSERT_TRUE(SaveCurrentMonitorSettings(First()));
    EXPECT_EQ(37u, simlib::DwordOr(MonitorKey(1), L"SavedBrightness", 0));
}

TEST_F(Dxva2Monitors, VcpBrightnessOnTheLowLevelMonitor) {
    MC_VCP_CODE_TYPE type = MC_MOMENTARY;
    DWORD current = 0, maximum = 0;
    ASSERT_TRUE(GetVCPFeatureAndVCPFeatureReply(Second(), VCP_BRIGHTNESS, &type, &current, &maximum));
    EXPECT_EQ(MC_SET_PARAMETER, type);
    EXPECT_EQ(40u, current);
    EXPECT_EQ(50u, maximum);

    ASSERT_TRUE(SetVCPFeature(Second(), VCP_BRIGHTNESS, 19));
    ASSERT_TRUE(GetVCPFeatureAndVCPFeatureReply(Second(), VCP_BRIGHTNESS, nullptr, &current, &maximum));
    EXPECT_EQ(19u, current);
    EXPECT_FALSE(SetVCPFeature(Second(), VCP_BRIGHTNESS, 51));
    ASSERT_TRUE(GetVCPFeatureAndVCPFeatureReply(Second(), VCP_BRIGHTNESS, nullptr, &current, nullptr));
    EXPECT_EQ(19u, current);
    ASSERT_TRUE(SaveCurrentSettings(Second()));
    EXPECT_EQ(19u, simlib::DwordOr(MonitorKey(2), L"SavedBrightness", 0));

    EXPECT_FALSE(GetVCPFeatureAndVCPFeatureReply(Second(), 0xE0, nullptr, &current, &maximum));
    EXPECT_EQ(ERROR_GRAPHICS_DDCCI_VCP_NOT_SUPPORTED, GetLastError());
    // VCP 0x10 and the high-level value are one and the same setting.
    ASSERT_TRUE(SetVCPFeature(First(), VCP_BRIGHTNESS, 64));
    DWORD a = 0, b = 0, c = 0;
    ASSERT_TRUE(GetMonitorBrightness(First(), &a, &b, &c));
    EXPECT_EQ(64u, b);
}

TEST_F(Dxva2Monitors, ScriptedFailuresThenSuccessUnderARetryLoop) {
    ASSERT_EQ(ERROR_SUCCESS, simlib::ScriptFailure(PIECE, L"GetMonitorBrightness", 3,
                                                   ERROR_GRAPHICS_I2C_ERROR_TRANSMITTING_DATA));
    std::vector<DWORD> errors;
    DWORD minimum = 0, current = 0, maximum = 0;
    DWORD attempt = 0;
    for (; attempt < RETRY_COUNT; ++attempt) {
        if (GetMonitorBrightness(First(), &minimum, &current, &maximum)) {
            break;
        }
        errors.push_back(GetLastError());
    }
    EXPECT_EQ(3u, attempt);
    ASSERT_EQ(3u, errors.size());
    for (DWORD e : errors) {
        EXPECT_EQ(ERROR_GRAPHICS_I2C_ERROR_TRANSMITTING_DATA, e);
    }
    EXPECT_EQ(80u, current);
    // The script ran out: the next call succeeds again and the script is gone.
    EXPECT_TRUE(GetMonitorBrightness(First(), &minimum, &current, &maximum));
    DWORD left = 0;
    EXPECT_NE(ERROR_SUCCESS, simlib::ReadDword(simlib::PieceKey(PIECE, L"Failures\\GetMonitorBrightness"), L"Count", left));

    std::vector<std::wstring> log = simlib::ReadLog(PIECE);
    ASSERT_EQ(5u, log.size());
    EXPECT_EQ(L"GetMonitorBrightness(1) = 0 error 0xC0262582", log[0]);
    EXPECT_EQ(L"GetMonitorBrightness(1) = 1 min 0 current 80 max 100", log[3]);
}

TEST_F(Dxva2Monitors, FailuresOfOneFunctionLeaveTheOthersAlone) {
    ASSERT_EQ(ERROR_SUCCESS, simlib::ScriptFailure(PIECE, L"SetVCPFeature", simlib::FAIL_FOREVER,
                                                   ERROR_GRAPHICS_DDCCI_INVALID_MESSAGE_COMMAND));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(SetVCPFeature(Second(), VCP_BRIGHTNESS, 10));
        EXPECT_EQ(ERROR_GRAPHICS_DDCCI_INVALID_MESSAGE_COMMAND, GetLastError());
    }
    DWORD current = 0;
    EXPECT_TRUE(GetVCPFeatureAndVCPFeatureReply(Second(), VCP_BRIGHTNESS, nullptr, &current, nullptr));
    EXPECT_EQ(40u, current);
    // An ending error (the monitor is gone) is delivered just the same.
    ASSERT_EQ(ERROR_SUCCESS, simlib::ScriptFailure(PIECE, L"GetCapabilitiesStringLength", 1,
                                                   ERROR_GRAPHICS_MONITOR_NO_LONGER_EXISTS));
    DWORD length = 0;
    EXPECT_FALSE(GetCapabilitiesStringLength(First(), &length));
    EXPECT_EQ(ERROR_GRAPHICS_MONITOR_NO_LONGER_EXISTS, GetLastError());
    EXPECT_TRUE(GetCapabilitiesStringLength(First(), &length));
}

TEST_F(Dxva2Monitors, SetAcknowledgedButNotAppliedShowsInTheReadBack) {
    ASSERT_EQ(ERROR_SUCCESS, simlib::ScriptFailure(PIECE, L"SetMonitorBrightness", 2, ERROR_SUCCESS));
    DWORD a = 0, current = 0, c = 0;
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(SetMonitorBrightness(First(), 55));
        ASSERT_TRUE(GetMonitorBrightness(First(), &a, &current, &c));
        EXPECT_EQ(80u, current);
    }
    EXPECT_TRUE(SetMonitorBrightness(First(), 55));
    ASSERT_TRUE(GetMonitorBrightness(First(), &a, &current, &c));
    EXPECT_EQ(55u, current);
    std::vector<std::wstring> log = simlib::ReadLog(PIECE);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(L"SetMonitorBrightness(1, 55) = 1 (not applied)", log[0]);
}

TEST_F(Dxva2Monitors, UnpluggedMonitorAnswersNoLongerExists) {
    ASSERT_EQ(ERROR_SUCCESS, simlib::WriteDword(simlib::PieceKey(PIECE), L"Monitors", 1));
    DWORD current = 0;
    EXPECT_FALSE(GetVCPFeatureAndVCPFeatureReply(Second(), VCP_BRIGHTNESS, nullptr, &current, nullptr));
    EXPECT_EQ(ERROR_GRAPHICS_MONITOR_NO_LONGER_EXISTS, GetLastError());
    EXPECT_TRUE(GetVCPFeatureAndVCPFeatureReply(First(), VCP_BRIGHTNESS, nullptr, &current, nullptr));
    std::vector<PHYSICAL_MONITOR> fresh = OpenAll();
    ASSERT_EQ(1u, fresh.size());
    EXPECT_STREQ(L"SV-E2410 (DDC/CI)", fresh[0].szPhysicalMonitorDescription);
    EXPECT_TRUE(DestroyPhysicalMonitors(1, fresh.data()));
}

TEST_F(Dxva2Monitors, CallLogNamesMonitorArgumentsAndResult) {
    ASSERT_TRUE(SetMonitorBrightness(First(), 42));
    DWORD current = 0, maximum = 0;
    ASSERT_TRUE(GetVCPFeatureAndVCPFeatureReply(Second(), VCP_BRIGHTNESS, nullptr, &current, &maximum));
    std::vector<std::wstring> log = simlib::ReadLog(PIECE);
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(L"SetMonitorBrightness(1, 42) = 1", log[0]);
    EXPECT_EQ(L"GetVCPFeatureAndVCPFeatureReply(2, 0x10) = 1 current 40 max 50", log[1]);
    EXPECT_EQ(2u, simlib::DwordOr(simlib::PieceKey(PIECE), L"CallCount", 0));
}

// The notebook profile has no DDC/CI monitor: the panel is a generic monitor that never answers.
TEST(GenericMonitor, PanelIsListedButDoesNotAnswerDdcCi) {
    std::vector<PHYSICAL_MONITOR> all = OpenAll();
    ASSERT_EQ(Displays().size(), all.size());
    ASSERT_FALSE(all.empty());
    EXPECT_STREQ(L"Generic PnP Monitor", all[0].szPhysicalMonitorDescription);
    DWORD length = 0;
    EXPECT_FALSE(GetCapabilitiesStringLength(all[0].hPhysicalMonitor, &length));
    EXPECT_EQ(ERROR_GRAPHICS_I2C_ERROR_TRANSMITTING_DATA, GetLastError());
    DWORD current = 0;
    EXPECT_FALSE(GetVCPFeatureAndVCPFeatureReply(all[0].hPhysicalMonitor, VCP_BRIGHTNESS, nullptr, &current, nullptr));
    EXPECT_TRUE(DestroyPhysicalMonitors(static_cast<DWORD>(all.size()), all.data()));
}

}  // namespace
