#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "battery/battery.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "tests/battery/test_support.h"

namespace {

constexpr wchar_t kTestKey[] = L"Software\\SolvaneBatteryTest";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorLogModule(GetModuleHandleW(nullptr));
        DeleteFileW(L"error.log");
        common::DeleteRegTree(HKEY_CURRENT_USER, kTestKey);
        ASSERT_EQ(common::CreateRegKey(HKEY_CURRENT_USER, kTestKey, KEY_ALL_ACCESS, key_), ERROR_SUCCESS);
    }
    void TearDown() override {
        key_.Reset();
        common::DeleteRegTree(HKEY_CURRENT_USER, kTestKey);
        DeleteFileW(L"error.log");
    }
    void Binary(const wchar_t* name, const std::vector<WORD>& words) {
        ASSERT_EQ(common::WriteRegBinary(key_.Get(), name, words.data(), static_cast<DWORD>(words.size() * 2)),
                  ERROR_SUCCESS);
    }
    void Dword(const wchar_t* name, DWORD value) {
        ASSERT_EQ(common::WriteRegDword(key_.Get(), name, value), ERROR_SUCCESS);
    }
    // A model subkey with the given values (null: not written).
    void Model(const std::wstring& name, const DWORD* changePoint, const DWORD* fullPercent, const wchar_t* ua,
               const wchar_t* ub, const wchar_t* uc, const wchar_t* i) {
        common::UniqueRegKey model;
        ASSERT_EQ(RegCreateKeyExW(key_.Get(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, model.Put(),
                                  nullptr),
                  ERROR_SUCCESS)
            << name.size();
        if (changePoint != nullptr) common::WriteRegDword(model.Get(), L"ChargeChangePoint", *changePoint);
        if (fullPercent != nullptr) common::WriteRegDword(model.Get(), L"FullPercent", *fullPercent);
        if (ua != nullptr) common::WriteRegString(model.Get(), L"UaChargeParameter", ua);
        if (ub != nullptr) common::WriteRegString(model.Get(), L"UbChargeParameter", ub);
        if (uc != nullptr) common::WriteRegString(model.Get(), L"UcChargeParameter", uc);
        if (i != nullptr) common::WriteRegString(model.Get(), L"IChargeParameter", i);
    }
    common::UniqueRegKey key_;
};

struct RatesCase {
    const char* name;
    void (*prepare)(RegistryTest*);
    int levels;
    std::vector<WORD> cpu;
    std::vector<WORD> lcd;
};

const std::vector<WORD> kDefaultCpu = {10000, 9326, 9209, 9089};
const std::vector<WORD> kDefaultLcd = {7894, 8342, 8634, 8980, 9465, 9615, 9794, 10000};

// count entries from first, step apart.
std::vector<WORD> StepTable(size_t count, WORD first, WORD step) {
    std::vector<WORD> table;
    for (size_t i = 0; i < count; ++i) {
        table.push_back(static_cast<WORD>(first + i * step));
    }
    return table;
}

class RatesTest : public RegistryTest {
public:
    void B(const wchar_t* name, const std::vector<WORD>& words) { Binary(name, words); }
    void D(const wchar_t* name, DWORD value) { Dword(name, value); }
};

TEST_F(RatesTest, TablesFromTheRegistryOrTheirDefaults) {
    const RatesCase cases[] = {
        {"nothing stored, levels unknown", [](RegistryTest*) {}, 0, kDefaultCpu, {}},
        {"stored tables",
         [](RegistryTest* t) {
             auto* r = static_cast<RatesTest*>(t);
             r->B(L"CPURate", {10000, 9000, 8000, 7000});
             r->D(L"Num_LCD_Rate", 3);
             r->B(L"LCDRate", {9000, 9500, 10000});
         },
         0, {10000, 9000, 8000, 7000}, {9000, 9500, 10000}},
        {"short CPURate leaves the rest 0",
         [](RegistryTest* t) { static_cast<RatesTest*>(t)->B(L"CPURate", {9999, 8888}); }, 0, {9999, 8888, 0, 0}, {}},
        {"too long CPURate keeps the defaults",
         [](RegistryTest* t) { static_cast<RatesTest*>(t)->B(L"CPURate", {1, 2, 3, 4, 5}); }, 0, kDefaultCpu, {}},
        {"LCDRate missing restores the default table",
         [](RegistryTest* t) { static_cast<RatesTest*>(t)->D(L"Num_LCD_Rate", 4); }, 0, kDefaultCpu, kDefaultLcd},
        {"Num_LCD_Rate 0 builds from the panel's levels",
         [](RegistryTest* t) {
             auto* r = static_cast<RatesTest*>(t);
             r->D(L"Num_LCD_Rate", 0);
             r->D(L"LCDRate_Min", 6000);
         },
         5, kDefaultCpu, {6000, 7000, 8000, 9000, 10000}},
        {"Num_LCD_Rate 129 builds from the panel's levels",
         [](RegistryTest* t) {
             auto* r = static_cast<RatesTest*>(t);
             r->D(L"Num_LCD_Rate", 129);
             r->D(L"LCDRate_Min", 9000);
         },
         3, kDefaultCpu, {9000, 9500, 10000}},
        {"one level builds nothing",
         [](RegistryTest* t) { static_cast<RatesTest*>(t)->D(L"LCDRate_Min", 9000); }, 1, kDefaultCpu, {}},
        {"200 panel levels build 200 entries",
         [](RegistryTest* t) { static_cast<RatesTest*>(t)->D(L"LCDRate_Min", 8010); }, 200, kDefaultCpu,
         StepTable(200, 8010, 10)},
        {"256 panel levels build 256 entries",
         [](RegistryTest* t) { static_cast<RatesTest*>(t)->D(L"LCDRate_Min", 7450); }, 256, kDefaultCpu,
         StepTable(256, 7450, 10)},
        {"LCDRate_Min above 10000 builds nothing",
         [](RegistryTest* t) { static_cast<RatesTest*>(t)->D(L"LCDRate_Min", 10001); }, 5, kDefaultCpu, {}},
    };
    for (const RatesCase& c : cases) {
        TearDown();
        SetUp();
        c.prepare(this);
        const battery::DischargeRates rates = battery::ReadDischargeRates(key_.Get(), c.levels);
        EXPECT_EQ(std::vector<WORD>(std::begin(rates.cpu), std::end(rates.cpu)), c.cpu) << c.name;
        EXPECT_EQ(rates.lcd, c.lcd) << c.name;
    }
}

TEST_F(RegistryTest, ModelKeysAreReadAndCheckedOneByOne) {
    const DWORD eighty = 80;
    const DWORD ninety = 90;
    const DWORD tooMuch = 101;
    Model(L"BAT_GOOD", &eighty, &ninety, L"0.5", L"-1.25", L"  300 ", L"2000");
    Model(L"BAT_DEFAULT_FULL", &eighty, nullptr, L"1", L"0", L"0", L"1500");
    Model(L"BAT_NO_TURN", nullptr, &ninety, L"1", L"0", L"0", L"1500");
    Model(L"BAT_TURN_101", &tooMuch, &ninety, L"1", L"0", L"0", L"1500");
    Model(L"BAT_FULL_101", &eighty, &tooMuch, L"1", L"0", L"0", L"1500");
    Model(L"BAT_A_ZERO", &eighty, &ninety, L"0", L"0", L"0", L"1500");
    Model(L"BAT_I_ZERO", &eighty, &ninety, L"1", L"0", L"0", L"0.0");
    Model(L"BAT_B_TEXT", &eighty, &ninety, L"1", L"abc", L"0", L"1500");
    Model(L"BAT_C_MISSING", &eighty, &ninety, L"1", L"0", nullptr, L"1500");

    const std::vector<battery::BatteryRecord> records = battery::ReadBatteryRecords(key_.Get());
    ASSERT_EQ(records.size(), 9u);
    struct Expect {
        const wchar_t* name;
        DWORD valid;
    } expected[] = {{L"BAT_GOOD", 1},     {L"BAT_DEFAULT_FULL", 1}, {L"BAT_NO_TURN", 0},
                    {L"BAT_TURN_101", 0}, {L"BAT_FULL_101", 0},     {L"BAT_A_ZERO", 0},
                    {L"BAT_I_ZERO", 0},   {L"BAT_B_TEXT", 0},       {L"BAT_C_MISSING", 0}};
    for (const Expect& e : expected) {
        const battery::BatteryRecord* found = nullptr;
        for (const auto& r : records) {
            if (wcscmp(r.devName, e.name) == 0) found = &r;
        }
        ASSERT_NE(found, nullptr) << testing::PrintToString(std::wstring(e.name));
        EXPECT_EQ(found->bChecked, e.valid) << testing::PrintToString(std::wstring(e.name));
        EXPECT_EQ(found->bExist, 0u);
        if (wcscmp(e.name, L"BAT_GOOD") == 0) {
            EXPECT_EQ(found->dwChangePoint, 80u);
            EXPECT_EQ(found->dwFullPercent, 90u);
            EXPECT_DOUBLE_EQ(found->dA, 0.5);
            EXPECT_DOUBLE_EQ(found->dB, -1.25);
            EXPECT_DOUBLE_EQ(found->dC, 300.0);
            EXPECT_DOUBLE_EQ(found->dI, 2000.0);
        }
        if (wcscmp(e.name, L"BAT_DEFAULT_FULL") == 0) {
            EXPECT_EQ(found->dwFullPercent, 100u);
        }
    }
    const std::wstring log = battery_test::ErrorLog();
    EXPECT_EQ(battery_test::Count(log, L"fail : RegQueryValueEx/ChargingChangePoint "), 2u) << log;
    EXPECT_EQ(battery_test::Count(log, L"fail : RegQueryValueEx/FullPercent"), 1u) << log;
    // Four keys fail on a parameter with the same record (id and value): the log shows it once.
    EXPECT_EQ(battery_test::Count(log, L"fail : Charge Parameter(0x0)"), 1u) << log;
}

TEST_F(RegistryTest, LongestKeyNameIsKeptWhole) {
    const DWORD eighty = 80;
    const std::wstring longest(255, L'N');   // the longest key name the registry keeps
    Model(longest, &eighty, nullptr, L"1", L"0", L"0", L"1500");
    Model(L"SHORT", &eighty, nullptr, L"1", L"0", L"0", L"1500");
    const std::vector<battery::BatteryRecord> records = battery::ReadBatteryRecords(key_.Get());
    ASSERT_EQ(records.size(), 2u);
    for (const auto& r : records) {
        EXPECT_LT(wcslen(r.devName), battery::kDevNameChars);
        EXPECT_EQ(r.bChecked, 1u);
    }
}

}  // namespace
