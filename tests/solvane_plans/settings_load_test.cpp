#include <gtest/gtest.h>

#include <cstring>

#include "common/handles.h"
#include "common/os_model.h"
#include "fake_power.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/power_values.h"
#include "plans/settings.h"
#include "test_registry.h"

using namespace plans;
using testreg::kKey;

namespace {

DWORD g_capabilities = 0;
bool g_wireless = false;
int g_monitorTimingCalls = 0;
ExternalMonitorTiming g_timing;
DWORD g_measuredMhz = 0;
int g_measureCalls = 0;
std::vector<std::string> g_calls;

class LoadSettingsTest : public testing::Test {
protected:
    void SetUp() override {
        testreg::ClearSolvaneKeys();
        fakes::Install();
        g_capabilities = 0;
        g_wireless = false;
        g_monitorTimingCalls = 0;
        g_measuredMhz = 0;
        g_measureCalls = 0;
        g_calls.clear();
        g_SettingsHooks = SettingsHooks{};
        g_SettingsHooks.processorDriverCapabilities = [] { return g_capabilities; };
        g_SettingsHooks.wirelessAdapterPresent = [] { return g_wireless; };
        g_SettingsHooks.panelSize = [](DWORD, INT32* w, INT32* h) {
            *w = 240;
            *h = 90;
        };
        g_Settings.dwOsGeneration = 2;
        RefreshPlanList();  // an empty store: no plans left from earlier tests
    }
    void TearDown() override {
        g_SettingsHooks = SettingsHooks{};
        fakes::Uninstall();
        testreg::ClearSolvaneKeys();
        EXPECT_FALSE(testreg::KeyExists(HKEY_CURRENT_USER, kKey));
        EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, kKey));
    }
};

SettingsBlob StoredBlob() {
    std::vector<BYTE> data = testreg::GetBinary(HKEY_CURRENT_USER, kKey, L"Settings");
    SettingsBlob blob{};
    EXPECT_EQ(data.size(), 40u);
    if (data.size() == sizeof(blob)) {
        memcpy(&blob, data.data(), sizeof(blob));
    }
    return blob;
}

TEST_F(LoadSettingsTest, FirstStartWritesFortyBytesAndTheStandardColourHalf) {
    LoadSettings();
    DWORD type = 0;
    std::vector<BYTE> data = testreg::GetBinary(HKEY_CURRENT_USER, kKey, L"Settings", &type);
    ASSERT_EQ(data.size(), 40u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    SettingsBlob blob;
    memcpy(&blob, data.data(), sizeof(blob));
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(blob.valid, 1);
    EXPECT_EQ(blob.dwFlagWord, 0x282u);
    EXPECT_EQ(blob.width, 240);
    EXPECT_EQ(blob.height, 90);
    EXPECT_EQ(blob.left, work.right - 240);
    EXPECT_EQ(blob.top, work.bottom - 90 - 26);
    EXPECT_EQ(blob.colorIndex, 0);
    DWORD saveColor = 0;
    ASSERT_TRUE(testreg::GetDword(HKEY_CURRENT_USER, kKey, L"SaveColor", &saveColor));
    EXPECT_EQ(saveColor, 0x40000u);
    // in memory: the same position
    EXPECT_EQ(g_Settings.blob.left, blob.left);
    EXPECT_EQ(g_Settings.blob.top, blob.top);
}

TEST_F(LoadSettingsTest, StoredBlobIsKeptAndSaveColorFollowsLayoutBit) {
    SettingsBlob stored{};
    stored.valid = 1;
    stored.dwFlagWord = FLAG_LAYOUT_ALT1 | FLAG_TOPMOST | FLAG_TRANSPARENT | FLAG_TOOL_WINDOW | FLAG_CANTCHGPP |
                        FLAG_SAVE_DISPLAY | FLAG_BATTERY | FLAG_ECO;
    stored.left = 11;
    stored.top = 22;
    stored.width = 33;
    stored.height = 44;
    stored.colorIndex = 6;
    for (int i = 0; i < 12; ++i) {
        stored.reserved[i] = static_cast<BYTE>(0xA0 + i);
    }
    ASSERT_EQ(testreg::SetBinary(HKEY_CURRENT_USER, kKey, L"Settings", &stored, sizeof(stored)), ERROR_SUCCESS);
    ASSERT_EQ(testreg::SetDword(HKEY_CURRENT_USER, kKey, L"SaveColor", 0x00020003), ERROR_SUCCESS);
    LoadSettings();
    EXPECT_EQ(g_Settings.blob.left, 11);
    EXPECT_EQ(g_Settings.blob.top, 22);
    EXPECT_EQ(g_Settings.blob.width, 33);
    EXPECT_EQ(g_Settings.blob.colorIndex, 6);
    EXPECT_EQ(g_Settings.dwSaveColor, 0x00020003u);
    EXPECT_EQ(g_Settings.blob.dwFlagWord, FLAG_LAYOUT_ALT1 | FLAG_TOPMOST | FLAG_TRANSPARENT | FLAG_TOOL_WINDOW);
    // not a first start: nothing was written back
    const SettingsBlob unchanged = StoredBlob();
    EXPECT_EQ(memcmp(&unchanged, &stored, sizeof(stored)), 0);

    SaveSettings();
    DWORD saveColor = 0;
    ASSERT_TRUE(testreg::GetDword(HKEY_CURRENT_USER, kKey, L"SaveColor", &saveColor));
    EXPECT_EQ(saveColor, 0x00060003u);  // layout 0x4: colour in the high half, low half kept
    SettingsBlob written = StoredBlob();
    EXPECT_EQ(memcmp(written.reserved, stored.reserved, sizeof(stored.reserved)), 0);
    EXPECT_EQ(written.left, 11);
}

TEST_F(LoadSettingsTest, WrongSizedBlobsAreLoggedAndReplaced) {
    for (DWORD size : {39u, 41u}) {
        testreg::ClearSolvaneKeys();
        BYTE bytes[41];
        memset(bytes, 0x5A, sizeof(bytes));
        ASSERT_EQ(testreg::SetBinary(HKEY_CURRENT_USER, kKey, L"Settings", bytes, size), ERROR_SUCCESS);
        testreg::MarkErrorLog();
        LoadSettings();
        SettingsBlob blob = StoredBlob();
        EXPECT_EQ(blob.valid, 1) << size;
        EXPECT_EQ(blob.dwFlagWord, 0x282u) << size;
        EXPECT_EQ(blob.width, 240) << size;
        // one error-log record with the size that was found
        std::vector<std::wstring> lines = testreg::NewErrorLogLines();
        wchar_t expected[16];
        swprintf(expected, 16, L"(0x%x)", size);
        bool found = false;
        for (const std::wstring& line : lines) {
            found = found || line.find(expected) != std::wstring::npos;
        }
        EXPECT_TRUE(found) << size;
    }
}

TEST_F(LoadSettingsTest, BlobWithZeroValidIsAFirstStart) {
    SettingsBlob stored{};
    stored.left = 5;
    ASSERT_EQ(testreg::SetBinary(HKEY_CURRENT_USER, kKey, L"Settings", &stored, sizeof(stored)), ERROR_SUCCESS);
    LoadSettings();
    EXPECT_EQ(StoredBlob().valid, 1);
    EXPECT_EQ(StoredBlob().width, 240);
}

TEST_F(LoadSettingsTest, MachineValuesDefaultsWhenMissing) {
    LoadSettings();
    EXPECT_EQ(g_Settings.dwLowerLimit, 50u);
    EXPECT_EQ(g_Settings.dwPwrDlgActivate, 1u);
    EXPECT_EQ(g_Settings.nTimerLED, 1000);
    EXPECT_EQ(g_Settings.dwNumDefScheme, 3u);
    EXPECT_FALSE(g_Settings.bAllowConstant);
    EXPECT_EQ(g_Settings.nFerrow, 0);
    EXPECT_EQ(g_Settings.nLegacyBIOS, 0);
    EXPECT_EQ(g_Settings.nModelNumber, 0);
    EXPECT_EQ(g_Settings.nPinnedCount, 2);
    EXPECT_EQ(g_Settings.blob.dwFlagWord & (FLAG_ECO | FLAG_THREE_MODE | FLAG_METER | FLAG_CPU_DRIVER), 0u);
}

TEST_F(LoadSettingsTest, MachineValuesAreRead) {
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"LowerLimit", 30);
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"PwrDlgActivate", 0);
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"TimerLED", 2500);
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"NumDefScheme", 5);
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"AllowConstant", 1);
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"Ferrow", 1);
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"LegacyBIOS", 1);
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"Meter", 1);
    testreg::SetString(HKEY_LOCAL_MACHINE, kKey, L"~MHz", L"2400MHz");
    g_capabilities = 0x1;
    g_wireless = true;
    LoadSettings();
    EXPECT_EQ(g_Settings.dwLowerLimit, 30u);
    EXPECT_EQ(g_Settings.dwPwrDlgActivate, 0u);
    EXPECT_EQ(g_Settings.nTimerLED, 2500);
    EXPECT_EQ(g_Settings.dwNumDefScheme, 5u);
    EXPECT_TRUE(g_Settings.bAllowConstant);
    EXPECT_EQ(g_Settings.nFerrow, 1);
    EXPECT_EQ(g_Settings.nLegacyBIOS, 1);
    EXPECT_EQ(g_Settings.dwProcessorMhz, 2400u);
    EXPECT_STREQ(g_Settings.szMHz, L"2400MHz");
    const DWORD flags = g_Settings.blob.dwFlagWord;
    EXPECT_NE(flags & FLAG_METER, 0u);
    EXPECT_NE(flags & FLAG_CPU_DRIVER, 0u);
    EXPECT_NE(flags & FLAG_WIRELESS, 0u);
    EXPECT_EQ(flags & FLAG_BATTERY, 0u);
}

TEST_F(LoadSettingsTest, CapabilityBitZeroOnlyTurnsOnTheDriverFlag) {
    g_capabilities = 0xFFFFFFFE;
    LoadSettings();
    EXPECT_EQ(g_Settings.blob.dwFlagWord & FLAG_CPU_DRIVER, 0u);
}

TEST_F(LoadSettingsTest, ClockIsMeasuredAndWrittenBackOnlyForModelsThatAskForIt) {
    g_SettingsHooks.measureProcessorMhz = [] {
        ++g_measureCalls;
        return g_measuredMhz;
    };
    g_measuredMhz = 1800;
    LoadSettings();
    EXPECT_EQ(g_measureCalls, 0);  // model number 0 and no Athlon
    EXPECT_FALSE(testreg::ValueExists(HKEY_LOCAL_MACHINE, kKey, L"~MHz"));

    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"ModelNumber", 7);
    LoadSettings();
    EXPECT_EQ(g_measureCalls, 1);
    EXPECT_EQ(g_Settings.nModelNumber, 7);
    EXPECT_EQ(g_Settings.dwProcessorMhz, 1800u);
    std::wstring text;
    ASSERT_TRUE(testreg::GetString(HKEY_LOCAL_MACHINE, kKey, L"~MHz", &text));
    EXPECT_EQ(text, L"1800MHz");

    LoadSettings();  // now present: read, not measured again
    EXPECT_EQ(g_measureCalls, 1);
    EXPECT_EQ(g_Settings.dwProcessorMhz, 1800u);
}

constexpr wchar_t kCpuKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

// Keeps every value of the processor's key and puts the key back as it was at the end of the
// test, so that a test may change the name, remove it or remove the whole key.
class ProcessorKeyKept {
public:
    ProcessorKeyKept() {
        common::UniqueRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCpuKey, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS) {
            return;
        }
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD cchName = ARRAYSIZE(name);
            DWORD type = 0;
            BYTE data[1024];
            DWORD cb = sizeof(data);
            if (RegEnumValueW(key.Get(), i, name, &cchName, nullptr, &type, data, &cb) != ERROR_SUCCESS) {
                break;
            }
            m_values.push_back(Value{name, type, std::vector<BYTE>(data, data + cb)});
        }
        m_saved = true;
    }
    ~ProcessorKeyKept() {
        if (!m_saved) {
            return;
        }
        common::UniqueRegKey key;
        // The hardware description is rebuilt at every boot: a removed key comes back volatile.
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCpuKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE,
                                  nullptr, key.Put(), nullptr),
                  ERROR_SUCCESS);
        for (const Value& v : m_values) {
            EXPECT_EQ(RegSetValueExW(key.Get(), v.name.c_str(), 0, v.type, v.data.data(),
                                     static_cast<DWORD>(v.data.size())),
                      ERROR_SUCCESS);
        }
    }
    ProcessorKeyKept(const ProcessorKeyKept&) = delete;
    ProcessorKeyKept& operator=(const ProcessorKeyKept&) = delete;
    bool Saved() const { return m_saved; }

private:
    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::vector<Value> m_values;
    bool m_saved = false;
};

LSTATUS SetProcessorName(const wchar_t* name) {
    return testreg::SetString(HKEY_LOCAL_MACHINE, kCpuKey, L"ProcessorNameString", name);
}

bool HasLine(const std::vector<std::wstring>& lines, const std::wstring& text) {
    for (const std::wstring& line : lines) {
        if (line.find(text) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

TEST_F(LoadSettingsTest, ClockAndClockTextComeFromTheProcessorName) {
    ProcessorKeyKept kept;
    ASSERT_TRUE(kept.Saved());
    struct {
        const wchar_t* name;
        DWORD mhz;
        const wchar_t* text;
        bool athlon;
    } cases[] = {
        {L"Intel(R) Core(TM)2 Duo CPU T7300 @ 2.00GHz", 2000, L"2.00GHz", false},
        {L"AMD Phenom(tm) II X4 945 Processor", 945, L"945", false},
        {L"AMD Athlon(tm) II Neo K325 1.3 GHz", 1300, L"1.3", true},
        {L"AMD Ryzen Processor", 0, L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        ASSERT_EQ(SetProcessorName(c.name), ERROR_SUCCESS);
        testreg::MarkErrorLog();
        LoadSettings();
        EXPECT_EQ(g_Settings.dwProcessorMhz, c.mhz);
        EXPECT_STREQ(g_Settings.szMHz, c.text);
        EXPECT_EQ(g_Settings.bAthlon, c.athlon);
        EXPECT_FALSE(HasLine(testreg::NewErrorLogLines(), L"ProcessorNameString"));
    }
    // A kept "~MHz" replaces both.
    testreg::SetString(HKEY_LOCAL_MACHINE, kKey, L"~MHz", L"1600MHz");
    LoadSettings();
    EXPECT_EQ(g_Settings.dwProcessorMhz, 1600u);
    EXPECT_STREQ(g_Settings.szMHz, L"1600MHz");
}

TEST_F(LoadSettingsTest, MissingProcessorNameIsLoggedAndGivesNoClock) {
    enum class Loss { Key, Value, EmptyValue };
    struct {
        Loss loss;
        const wchar_t* record;
    } cases[] = {
        {Loss::Key, L"fail : RegOpenKeyEx/HKLM...CentralProcessor\\0(0x2)"},
        {Loss::Value, L"fail : RegQueryValueEx/HKLM...ProcessorNameString(0x2)"},
        {Loss::EmptyValue, L"fail : RegQueryValueEx/HKLM...ProcessorNameString(0x0)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.record)));
        ProcessorKeyKept kept;
        ASSERT_TRUE(kept.Saved());
        ASSERT_EQ(SetProcessorName(L"AMD Athlon(tm) 64 X2 Dual Core Processor 4200+"), ERROR_SUCCESS);
        LoadSettings();
        ASSERT_EQ(g_Settings.dwProcessorMhz, 4200u);  // what a failed read must not leave behind
        switch (c.loss) {
        case Loss::Key:
            ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, kCpuKey), ERROR_SUCCESS);
            break;
        case Loss::Value:
            ASSERT_EQ(RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kCpuKey, L"ProcessorNameString"), ERROR_SUCCESS);
            break;
        case Loss::EmptyValue:
            ASSERT_EQ(SetProcessorName(L""), ERROR_SUCCESS);
            break;
        }
        testreg::MarkErrorLog();
        LoadSettings();
        EXPECT_EQ(g_Settings.dwProcessorMhz, 0u);
        EXPECT_STREQ(g_Settings.szMHz, L"");
        EXPECT_FALSE(g_Settings.bAthlon);
        EXPECT_TRUE(HasLine(testreg::NewErrorLogLines(), c.record));
    }
}

TEST_F(LoadSettingsTest, EcoModeTwoWithoutSchemeListPinsTheWindowsPlans) {
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"EcoMode", 2);
    testreg::SetString(HKEY_LOCAL_MACHINE, kKey, L"GUID_L", L"{00000001-1111-2222-3333-444444444444}");
    LoadSettings();
    EXPECT_NE(g_Settings.blob.dwFlagWord & FLAG_ECO, 0u);
    EXPECT_NE(g_Settings.blob.dwFlagWord & FLAG_THREE_MODE, 0u);
    ASSERT_EQ(g_Settings.nPinnedCount, 3);
    EXPECT_TRUE(IsEqualGUID(g_Settings.pinned[0], fakes::g::Balanced));
    EXPECT_TRUE(IsEqualGUID(g_Settings.pinned[1], fakes::g::PowerSaver));
    EXPECT_TRUE(IsEqualGUID(g_Settings.pinned[2], fakes::g::HighPerformance));
    EXPECT_TRUE(IsNullGuid(g_Settings.guidLow));  // three modes: "GUID_L" is not read
}

TEST_F(LoadSettingsTest, EcoModeTwoWithSchemeListBracedUnbracedAndGarbage) {
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"EcoMode", 2);
    testreg::SetMultiString(HKEY_LOCAL_MACHINE, kKey, L"SchemeList",
                            {L"{00000001-1111-2222-3333-444444444444}", L"00000002-1111-2222-3333-444444444444",
                             L"not a guid"});
    LoadSettings();
    ASSERT_EQ(g_Settings.nPinnedCount, 3);
    EXPECT_TRUE(IsEqualGUID(g_Settings.pinned[0], fakes::MakeGuid(1)));
    EXPECT_TRUE(IsEqualGUID(g_Settings.pinned[1], fakes::MakeGuid(2)));
    EXPECT_TRUE(IsNullGuid(g_Settings.pinned[2]));
}

TEST_F(LoadSettingsTest, EcoModeOneReadsLowAndHighPlansWithOrWithoutBraces) {
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"EcoMode", 1);
    testreg::SetString(HKEY_LOCAL_MACHINE, kKey, L"GUID_L", L"{00000001-1111-2222-3333-444444444444}");
    testreg::SetString(HKEY_LOCAL_MACHINE, kKey, L"GUID_H", L"00000002-1111-2222-3333-444444444444");
    LoadSettings();
    EXPECT_EQ(g_Settings.blob.dwFlagWord & (FLAG_ECO | FLAG_THREE_MODE), FLAG_ECO);
    EXPECT_EQ(g_Settings.nPinnedCount, 2);
    EXPECT_TRUE(IsNullGuid(g_Settings.pinned[0]));
    EXPECT_TRUE(IsNullGuid(g_Settings.pinned[1]));
    EXPECT_TRUE(IsEqualGUID(g_Settings.guidLow, fakes::MakeGuid(1)));
    EXPECT_TRUE(IsEqualGUID(g_Settings.guidHigh, fakes::MakeGuid(2)));
}

TEST_F(LoadSettingsTest, EcoModeOneWithSchemeListAndAGarbageGuidValue) {
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"EcoMode", 5);
    testreg::SetMultiString(HKEY_LOCAL_MACHINE, kKey, L"SchemeList",
                            {L"00000003-1111-2222-3333-444444444444", L"{00000004-1111-2222-3333-444444444444}",
                             L"{00000005-1111-2222-3333-444444444444}"});
    testreg::SetString(HKEY_LOCAL_MACHINE, kKey, L"GUID_L", L"{garbage}");
    LoadSettings();
    EXPECT_EQ(g_Settings.blob.dwFlagWord & (FLAG_ECO | FLAG_THREE_MODE), FLAG_ECO);
    ASSERT_EQ(g_Settings.nPinnedCount, 2);
    EXPECT_TRUE(IsEqualGUID(g_Settings.pinned[0], fakes::MakeGuid(3)));
    EXPECT_TRUE(IsEqualGUID(g_Settings.pinned[1], fakes::MakeGuid(4)));
    EXPECT_TRUE(IsNullGuid(g_Settings.pinned[2]));
    EXPECT_TRUE(IsNullGuid(g_Settings.guidLow));
}

TEST_F(LoadSettingsTest, EcoModeZeroClearsBothBitsAndReadsNoModePlans) {
    SettingsBlob stored{};
    stored.valid = 1;
    stored.dwFlagWord = FLAG_ECO | FLAG_THREE_MODE | FLAG_TRAY_ONLY;
    testreg::SetBinary(HKEY_CURRENT_USER, kKey, L"Settings", &stored, sizeof(stored));
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"EcoMode", 0);
    testreg::SetString(HKEY_LOCAL_MACHINE, kKey, L"GUID_L", L"{00000001-1111-2222-3333-444444444444}");
    LoadSettings();
    EXPECT_EQ(g_Settings.blob.dwFlagWord, FLAG_TRAY_ONLY);
    EXPECT_TRUE(IsNullGuid(g_Settings.guidLow));
}

TEST_F(LoadSettingsTest, ExternalMonitorTimingReadOnlyWhenSupported) {
    g_SettingsHooks.setExternalMonitorTiming = [](const ExternalMonitorTiming& t) {
        ++g_monitorTimingCalls;
        g_timing = t;
    };
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"ExternalMonitorRetryCount", 4);
    testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"ExternalMonitorLuiChkTime", 777);
    LoadSettings();
    EXPECT_EQ(g_monitorTimingCalls, 0);
    EXPECT_EQ(g_Settings.blob.dwFlagWord & FLAG_EXT_MONITOR, 0u);

    g_SettingsHooks.probeExternalMonitors = [] { return true; };
    LoadSettings();
    EXPECT_EQ(g_monitorTimingCalls, 1);
    EXPECT_NE(g_Settings.blob.dwFlagWord & FLAG_EXT_MONITOR, 0u);
    EXPECT_EQ(g_timing.retryCount, 4u);
    EXPECT_EQ(g_timing.retryTime, 0u);
    EXPECT_EQ(g_timing.checkCount, 10u);
    EXPECT_EQ(g_timing.sleepTime, 0u);
    EXPECT_EQ(g_timing.devChgTime, 3000u);
    EXPECT_EQ(g_timing.luiChkTime, 777u);
}

TEST_F(LoadSettingsTest, HooksRunInLoadOrderAndThePlanListIsBuiltLast) {
    g_SettingsHooks.readAutoRecord = [] { g_calls.push_back("auto"); };
    g_SettingsHooks.loadBatterySettings = [](HKEY key) {
        EXPECT_NE(key, nullptr);
        g_calls.push_back("battery-values");
    };
    g_SettingsHooks.batteryPresent = [] {
        g_calls.push_back("battery");
        return true;
    };
    g_SettingsHooks.loadEcoLevelLibrary = [] { g_calls.push_back("tessit"); };
    g_SettingsHooks.initBrightness = [] { g_calls.push_back("brightness"); };
    g_SettingsHooks.captureFactoryDefaults = [] {
        EXPECT_EQ(g_PlanCount, 0u);  // the plan list comes after the snapshots
        g_calls.push_back("factory");
    };
    testreg::CreateKey(HKEY_LOCAL_MACHINE, kKey);
    fakes::Store().AddPlan(fakes::g::Balanced, L"Balanced");
    fakes::Store().active = fakes::g::Balanced;
    LoadSettings();
    const std::vector<std::string> expected = {"auto", "battery-values", "battery", "tessit", "brightness", "factory"};
    EXPECT_EQ(g_calls, expected);
    EXPECT_NE(g_Settings.blob.dwFlagWord & FLAG_BATTERY, 0u);
    EXPECT_EQ(g_PlanCount, 1u);
}

TEST_F(LoadSettingsTest, PlanChangeWarningDefaultsToOneAndRoundTrips) {
    EXPECT_EQ(ReadPlanChangeWarning(), 1u);
    WritePlanChangeWarning(false);
    DWORD value = 99;
    ASSERT_TRUE(testreg::GetDword(HKEY_CURRENT_USER, kKey, L"PwrChangeDlg", &value));
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(ReadPlanChangeWarning(), 0u);
    WritePlanChangeWarning(true);
    EXPECT_EQ(ReadPlanChangeWarning(), 1u);
}

TEST_F(LoadSettingsTest, FactoryModeAssignmentFromRegistryOrBuiltIn) {
    GUID slots[kMaxPinnedPlans];
    ReadFactoryModeAssignment(true, slots);
    EXPECT_TRUE(IsEqualGUID(slots[0], fakes::g::Eco1));
    EXPECT_TRUE(IsEqualGUID(slots[1], fakes::g::Eco2));
    EXPECT_TRUE(IsEqualGUID(slots[2], fakes::g::Eco3));
    ReadFactoryModeAssignment(false, slots);
    EXPECT_TRUE(IsEqualGUID(slots[0], fakes::g::Eco3));
    EXPECT_TRUE(IsEqualGUID(slots[1], fakes::g::Eco1));
    EXPECT_TRUE(IsNullGuid(slots[2]));
    testreg::SetMultiString(HKEY_LOCAL_MACHINE, kKey, L"ModeDefaultSchemeList",
                            {L"{00000001-1111-2222-3333-444444444444}", L"00000002-1111-2222-3333-444444444444",
                             L"{00000003-1111-2222-3333-444444444444}"});
    ReadFactoryModeAssignment(true, slots);
    EXPECT_TRUE(IsEqualGUID(slots[0], fakes::MakeGuid(1)));
    EXPECT_TRUE(IsEqualGUID(slots[1], fakes::MakeGuid(2)));
    EXPECT_TRUE(IsEqualGUID(slots[2], fakes::MakeGuid(3)));
}

}  // namespace

// A stored "LowerLimit" reaches the low presets only when it makes a valid pair with their
// minimum of 5; anything else gives 50 (a limit of 0 would write 5/0).
TEST_F(LoadSettingsTest, LowerLimitOutsideFiveToHundredGivesTheDefault) {
    struct Case {
        DWORD stored;
        DWORD used;
    };
    const Case cases[] = {{0, 50}, {4, 50}, {5, 5}, {30, 30}, {100, 100}, {101, 50}, {0xFFFFFFFF, 50}};
    for (const Case& c : cases) {
        testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"LowerLimit", c.stored);
        LoadSettings();
        EXPECT_EQ(g_Settings.dwLowerLimit, c.used) << "stored " << c.stored;
        DWORD minimum = 0;
        DWORD maximum = 0;
        ASSERT_TRUE(PresetToProcessorPair(PRESET_LOW, g_Settings.dwLowerLimit, &minimum, &maximum));
        EXPECT_LE(minimum, maximum) << "stored " << c.stored;
        EXPECT_LE(maximum, 100u) << "stored " << c.stored;
    }
}

// The settings' OS generation follows the program's one OS-model rule: "OSModel" 1, 2 or 3
// replaces the system's model, any other value is ignored.
TEST_F(LoadSettingsTest, OsGenerationFollowsTheOsModelRule) {
    struct Case {
        DWORD stored;
        bool replaces;
    };
    const Case cases[] = {{1, true}, {2, true}, {3, true}, {0, false}, {4, false}, {7, false}, {0xFFFFFFFF, false}};
    const DWORD system = common::OsModelOfSystem();
    for (const Case& c : cases) {
        testreg::SetDword(HKEY_LOCAL_MACHINE, kKey, L"OSModel", c.stored);
        EXPECT_EQ(DetermineOsGeneration(), c.replaces ? c.stored : system) << "OSModel " << c.stored;
        EXPECT_EQ(DetermineOsGeneration(), common::DetermineOsModel());
    }
}
