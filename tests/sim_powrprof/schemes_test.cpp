// Plans of the powrprof stand-in: enumeration, values, names, active plan, duplicate, delete,
// default plans.
#include "test_support.h"

#include <algorithm>

#include "common/handles.h"
#include "sim/powrprof/power_guids.h"
#include "sim/powrprof/seed.h"
#include "sim/powrprof/store_layout.h"

using namespace simpower;
using namespace simpower_test;

namespace {

constexpr GUID UNKNOWN_PLAN = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID NEW_PLAN = {0x0badc0de, 0x3333, 0x4444, {8, 7, 6, 5, 4, 3, 2, 1}};
constexpr DWORD NOT_FOUND = ERROR_FILE_NOT_FOUND;

struct HandledSetting {
    const GUID* subgroup;
    const GUID* setting;
};

const HandledSetting HANDLED[] = {
    {&SUB_DISPLAY, &SET_DISPLAY_OFF},   {&SUB_DISPLAY, &SET_BRIGHTNESS},    {&SUB_DISPLAY, &SET_DIM_TIMEOUT},
    {&SUB_DISPLAY, &SET_DIM_BRIGHTNESS}, {&SUB_DISK, &SET_DISK_OFF},        {&SUB_SLEEP, &SET_STANDBY},
    {&SUB_SLEEP, &SET_HIBERNATE},       {&SUB_SLEEP, &SET_HYBRID_SLEEP},    {&SUB_PROCESSOR, &SET_PROC_MIN},
    {&SUB_PROCESSOR, &SET_PROC_MAX},    {&SUB_GRAPHICS, &SET_GRAPHICS},     {&SUB_WIRELESS, &SET_WIRELESS},
    {&SUB_BUTTONS, &SET_POWER_BUTTON},  {&SUB_BUTTONS, &SET_SLEEP_BUTTON},  {&SUB_BUTTONS, &SET_LID_CLOSE},
    {&SUB_BATTERY, &SET_CRITICAL_ACTION}, {&SUB_BATTERY, &SET_LOW_ACTION},
};

DWORD ReadAc(const GUID& plan, const GUID& sub, const GUID& setting, DWORD& value) {
    return PowerReadACValueIndex(nullptr, &plan, &sub, &setting, &value);
}
DWORD ReadDc(const GUID& plan, const GUID& sub, const GUID& setting, DWORD& value) {
    return PowerReadDCValueIndex(nullptr, &plan, &sub, &setting, &value);
}
DWORD AcOf(const GUID& plan, const GUID& sub, const GUID& setting) {
    DWORD v = 0xDEADBEEF;
    EXPECT_EQ(ERROR_SUCCESS, ReadAc(plan, sub, setting, v));
    return v;
}
DWORD DcOf(const GUID& plan, const GUID& sub, const GUID& setting) {
    DWORD v = 0xDEADBEEF;
    EXPECT_EQ(ERROR_SUCCESS, ReadDc(plan, sub, setting, v));
    return v;
}

GUID ActivePlan() {
    GUID* active = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, PowerGetActiveScheme(nullptr, &active));
    GUID result = active ? *active : GUID{};
    common::UniqueLocal owner(active);
    return result;
}

class PowrprofPlans : public FreshPowerStore {};

TEST_F(PowrprofPlans, EnumeratesTheThreePlansInRegistryOrderThenEnds) {
    std::vector<GUID> plans = EnumeratePlans();
    ASSERT_EQ(3u, plans.size());
    EXPECT_EQ(GuidText(PLAN_BALANCED), GuidText(plans[0]));
    EXPECT_EQ(GuidText(PLAN_HIGH_PERFORMANCE), GuidText(plans[1]));
    EXPECT_EQ(GuidText(PLAN_POWER_SAVER), GuidText(plans[2]));
    GUID g{};
    DWORD size = sizeof(g);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS),
              PowerEnumerate(nullptr, nullptr, nullptr, ACCESS_SCHEME, 3, reinterpret_cast<UCHAR*>(&g), &size));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS),
              PowerEnumerate(nullptr, nullptr, nullptr, ACCESS_SCHEME, 1000, reinterpret_cast<UCHAR*>(&g), &size));
}

TEST_F(PowrprofPlans, ShortOrMissingBufferReportsTheSixteenBytesNeeded) {
    BYTE buffer[sizeof(GUID)] = {};
    DWORD size = sizeof(GUID) - 1;
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA),
              PowerEnumerate(nullptr, nullptr, nullptr, ACCESS_SCHEME, 0, buffer, &size));
    EXPECT_EQ(sizeof(GUID), size);
    for (BYTE b : buffer) EXPECT_EQ(0, b);  // nothing written into a short buffer
    size = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA),
              PowerEnumerate(nullptr, nullptr, nullptr, ACCESS_SCHEME, 0, nullptr, &size));
    EXPECT_EQ(sizeof(GUID), size);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
              PowerEnumerate(nullptr, nullptr, nullptr, ACCESS_SCHEME, 0, buffer, nullptr));
    size = sizeof(buffer);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
              PowerEnumerate(nullptr, nullptr, nullptr, ACCESS_ACTIVE_SCHEME, 0, buffer, &size));
}

TEST_F(PowrprofPlans, EnumeratesSubgroupsAndTheirSettings) {
    std::vector<std::wstring> subgroups;
    for (ULONG i = 0;; ++i) {
        GUID g{};
        DWORD size = sizeof(g);
        DWORD rc = PowerEnumerate(nullptr, &PLAN_BALANCED, nullptr, ACCESS_SUBGROUP, i, reinterpret_cast<UCHAR*>(&g),
                                  &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(ERROR_SUCCESS, rc);
        subgroups.push_back(GuidText(g));
    }
    EXPECT_EQ(8u, subgroups.size());
    EXPECT_NE(subgroups.end(), std::find(subgroups.begin(), subgroups.end(), GuidText(SUB_DISPLAY)));
    std::vector<std::wstring> display;
    for (ULONG i = 0;; ++i) {
        GUID g{};
        DWORD size = sizeof(g);
        DWORD rc = PowerEnumerate(nullptr, &PLAN_BALANCED, &SUB_DISPLAY, ACCESS_INDIVIDUAL_SETTING, i,
                                  reinterpret_cast<UCHAR*>(&g), &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(ERROR_SUCCESS, rc);
        display.push_back(GuidText(g));
    }
    ASSERT_EQ(4u, display.size());
    EXPECT_EQ(GuidText(SET_DIM_TIMEOUT), display[0]);
    EXPECT_EQ(GuidText(SET_DISPLAY_OFF), display[1]);
    EXPECT_EQ(GuidText(SET_BRIGHTNESS), display[2]);
    EXPECT_EQ(GuidText(SET_DIM_BRIGHTNESS), display[3]);
    GUID g{};
    DWORD size = sizeof(g);
    EXPECT_EQ(NOT_FOUND, PowerEnumerate(nullptr, &UNKNOWN_PLAN, nullptr, ACCESS_SUBGROUP, 0,
                                        reinterpret_cast<UCHAR*>(&g), &size));
}

TEST_F(PowrprofPlans, EnumeratesGuidNamedSubkeysOfACallersRootKey) {
    const wchar_t* rootPath = L"Software\\SimulatedPC\\PowrprofTestRoot";
    common::UniqueRegKey root;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, rootPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             root.Put(), nullptr));
    for (const wchar_t* name : {L"381b4222-f694-41f0-9685-ff5bb260df2e", L"NotAGuid",
                                L"{8C5E7FDA-E8BF-4A96-9A85-A6E23A8C635C}", L"381b4222-f694-41f0-9685-ff5bb260df2"}) {
        common::UniqueRegKey child;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root.Get(), name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 child.Put(), nullptr));
    }
    std::vector<std::wstring> found;
    DWORD rc = ERROR_SUCCESS;
    for (ULONG i = 0; rc == ERROR_SUCCESS; ++i) {
        GUID g{};
        DWORD size = sizeof(g);
        rc = PowerEnumerate(root.Get(), nullptr, nullptr, ACCESS_SCHEME, i, reinterpret_cast<UCHAR*>(&g), &size);
        if (rc == ERROR_SUCCESS) found.push_back(GuidText(g));
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), rc);
    ASSERT_EQ(2u, found.size());
    EXPECT_EQ(GuidText(PLAN_BALANCED), found[0]);
    EXPECT_EQ(GuidText(PLAN_HIGH_PERFORMANCE), found[1]);
    root.Reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, rootPath);
}

// Every index of a caller's root key, in order, until the first failure.
std::vector<std::wstring> EnumerateRoot(HKEY root, DWORD* endStatus) {
    std::vector<std::wstring> found;
    for (ULONG i = 0;; ++i) {
        GUID g{};
        DWORD size = sizeof(g);
        const DWORD rc =
            PowerEnumerate(root, nullptr, nullptr, ACCESS_SCHEME, i, reinterpret_cast<UCHAR*>(&g), &size);
        if (rc != ERROR_SUCCESS) {
            *endStatus = rc;
            return found;
        }
        found.push_back(GuidText(g));
    }
}

// Keys created and deleted behind the stand-in's back (as another process does) show up in the
// next enumeration, also when the number of subkeys stays the same.
TEST_F(PowrprofPlans, EnumerationFollowsKeysChangedByOthers) {
    const wchar_t* rootPath = L"Software\\SimulatedPC\\PowrprofTestRoot2";
    const wchar_t* kBalanced = L"381b4222-f694-41f0-9685-ff5bb260df2e";
    const wchar_t* kHigh = L"8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c";
    const wchar_t* kSaver = L"a1841308-3541-4fab-bc81-f71556f20b4a";
    RegDeleteTreeW(HKEY_CURRENT_USER, rootPath);
    common::UniqueRegKey root;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, rootPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             root.Put(), nullptr));
    auto add = [&](const wchar_t* name) {
        common::UniqueRegKey child;
        return RegCreateKeyExW(root.Get(), name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, child.Put(), nullptr);
    };
    ASSERT_EQ(ERROR_SUCCESS, add(kBalanced));
    ASSERT_EQ(ERROR_SUCCESS, add(kHigh));
    DWORD end = ERROR_SUCCESS;
    EXPECT_EQ((std::vector<std::wstring>{GuidText(PLAN_BALANCED), GuidText(PLAN_HIGH_PERFORMANCE)}),
              EnumerateRoot(root.Get(), &end));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), end);

    ASSERT_EQ(ERROR_SUCCESS, add(kSaver));
    EXPECT_EQ((std::vector<std::wstring>{GuidText(PLAN_BALANCED), GuidText(PLAN_HIGH_PERFORMANCE),
                                         GuidText(PLAN_POWER_SAVER)}),
              EnumerateRoot(root.Get(), &end));

    // One out, another in: the same count, other members.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(root.Get(), kHigh));
    ASSERT_EQ(ERROR_SUCCESS, add(L"6658a2a5-119c-4e4e-931b-972bcfdd14a6"));
    const std::vector<std::wstring> after = EnumerateRoot(root.Get(), &end);
    EXPECT_EQ(3u, after.size());
    EXPECT_EQ(after.end(), std::find(after.begin(), after.end(), GuidText(PLAN_HIGH_PERFORMANCE)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), end);

    // Plans deleted through the stand-in leave the store's enumeration at once.
    ASSERT_EQ(ERROR_SUCCESS, PowerDeleteScheme(nullptr, &PLAN_POWER_SAVER));
    const std::vector<GUID> plans = EnumeratePlans();
    EXPECT_EQ(2u, plans.size());
    for (const GUID& g : plans) EXPECT_NE(GuidText(PLAN_POWER_SAVER), GuidText(g));
    root.Reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, rootPath);
}

TEST_F(PowrprofPlans, EveryPlanHasEveryHandledSettingForBothSources) {
    for (const GUID& plan : {PLAN_BALANCED, PLAN_POWER_SAVER, PLAN_HIGH_PERFORMANCE}) {
        for (const HandledSetting& h : HANDLED) {
            DWORD ac = 0;
            DWORD dc = 0;
            EXPECT_EQ(ERROR_SUCCESS, ReadAc(plan, *h.subgroup, *h.setting, ac)) << GuidText(*h.setting);
            EXPECT_EQ(ERROR_SUCCESS, ReadDc(plan, *h.subgroup, *h.setting, dc)) << GuidText(*h.setting);
        }
    }
    // Windows' usual figures: Balanced turns the display off after 10 / 5 minutes.
    EXPECT_EQ(600u, AcOf(PLAN_BALANCED, SUB_DISPLAY, SET_DISPLAY_OFF));
    EXPECT_EQ(300u, DcOf(PLAN_BALANCED, SUB_DISPLAY, SET_DISPLAY_OFF));
    EXPECT_EQ(100u, AcOf(PLAN_HIGH_PERFORMANCE, SUB_PROCESSOR, SET_PROC_MIN));
    EXPECT_EQ(5u, AcOf(PLAN_BALANCED, SUB_PROCESSOR, SET_PROC_MIN));
    EXPECT_EQ(0u, AcOf(PLAN_HIGH_PERFORMANCE, SUB_SLEEP, SET_STANDBY));
    EXPECT_EQ(2u, DcOf(PLAN_BALANCED, SUB_BATTERY, SET_CRITICAL_ACTION));
}

TEST_F(PowrprofPlans, AcAndDcWritesReadBackSeparatelyAndPerPlan) {
    ASSERT_EQ(ERROR_SUCCESS, PowerWriteACValueIndex(nullptr, &PLAN_POWER_SAVER, &SUB_DISPLAY, &SET_BRIGHTNESS, 33));
    ASSERT_EQ(ERROR_SUCCESS, PowerWriteDCValueIndex(nullptr, &PLAN_POWER_SAVER, &SUB_DISPLAY, &SET_BRIGHTNESS, 17));
    EXPECT_EQ(33u, AcOf(PLAN_POWER_SAVER, SUB_DISPLAY, SET_BRIGHTNESS));
    EXPECT_EQ(17u, DcOf(PLAN_POWER_SAVER, SUB_DISPLAY, SET_BRIGHTNESS));
    EXPECT_EQ(100u, AcOf(PLAN_BALANCED, SUB_DISPLAY, SET_BRIGHTNESS));  // other plans keep theirs
    ASSERT_EQ(ERROR_SUCCESS, PowerWriteDCValueIndex(nullptr, &PLAN_BALANCED, &SUB_SLEEP, &SET_STANDBY, 0xFFFFFFFF));
    EXPECT_EQ(0xFFFFFFFFu, DcOf(PLAN_BALANCED, SUB_SLEEP, SET_STANDBY));
    EXPECT_EQ(1800u, AcOf(PLAN_BALANCED, SUB_SLEEP, SET_STANDBY));
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    EXPECT_EQ(ERROR_SUCCESS, PowerReadDCValue(nullptr, &PLAN_POWER_SAVER, &SUB_DISPLAY, &SET_BRIGHTNESS, &type,
                                              reinterpret_cast<UCHAR*>(&value), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(17u, value);
}

TEST_F(PowrprofPlans, OutOfRangeWritesFailAndKeepTheOldValue) {
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
              PowerWriteACValueIndex(nullptr, &PLAN_BALANCED, &SUB_DISPLAY, &SET_BRIGHTNESS, 101));
    EXPECT_EQ(100u, AcOf(PLAN_BALANCED, SUB_DISPLAY, SET_BRIGHTNESS));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
              PowerWriteDCValueIndex(nullptr, &PLAN_BALANCED, &SUB_WIRELESS, &SET_WIRELESS, 4));
    EXPECT_EQ(2u, DcOf(PLAN_BALANCED, SUB_WIRELESS, SET_WIRELESS));
    EXPECT_EQ(ERROR_SUCCESS, PowerWriteDCValueIndex(nullptr, &PLAN_BALANCED, &SUB_WIRELESS, &SET_WIRELESS, 3));
    DWORD v = 0;
    EXPECT_EQ(ERROR_SUCCESS, PowerReadValueMax(nullptr, &SUB_DISPLAY, &SET_BRIGHTNESS, &v));
    EXPECT_EQ(100u, v);
    EXPECT_EQ(ERROR_SUCCESS, PowerReadValueMin(nullptr, &SUB_PROCESSOR, &SET_PROC_MIN, &v));
    EXPECT_EQ(0u, v);
}

TEST_F(PowrprofPlans, UnknownPlansAndSettingsAndNullArguments) {
    DWORD v = 0;
    EXPECT_EQ(NOT_FOUND, ReadAc(UNKNOWN_PLAN, SUB_DISPLAY, SET_BRIGHTNESS, v));
    EXPECT_EQ(NOT_FOUND, ReadDc(PLAN_BALANCED, SUB_DISPLAY, UNKNOWN_PLAN, v));
    EXPECT_EQ(NOT_FOUND, ReadDc(PLAN_BALANCED, UNKNOWN_PLAN, SET_BRIGHTNESS, v));
    EXPECT_EQ(NOT_FOUND, PowerWriteACValueIndex(nullptr, &UNKNOWN_PLAN, &SUB_DISPLAY, &SET_BRIGHTNESS, 5));
    EXPECT_EQ(NOT_FOUND, PowerWriteACValueIndex(nullptr, &PLAN_BALANCED, &SUB_DISPLAY, &UNKNOWN_PLAN, 5));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
              PowerReadACValueIndex(nullptr, nullptr, &SUB_DISPLAY, &SET_BRIGHTNESS, &v));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
              PowerReadACValueIndex(nullptr, &PLAN_BALANCED, &SUB_DISPLAY, &SET_BRIGHTNESS, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
              PowerWriteDCValueIndex(nullptr, &PLAN_BALANCED, &SUB_DISPLAY, nullptr, 5));
    DWORD rc = 0;
    ReadName(&UNKNOWN_PLAN, nullptr, nullptr, rc);
    EXPECT_EQ(NOT_FOUND, rc);
    ReadName(nullptr, nullptr, nullptr, rc);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), rc);
    EXPECT_EQ(NOT_FOUND, WriteName(UNKNOWN_PLAN, L"x"));
    EXPECT_EQ(3u, EnumeratePlans().size());  // no failed write created a plan
}

TEST_F(PowrprofPlans, PlanNamesAreTheUsualOnesInTheUserLanguage) {
    DWORD rc = 0;
    const bool ja = UiIsJapanese();
    EXPECT_EQ(ja ? L"バランス" : L"Balanced", ReadName(&PLAN_BALANCED, nullptr, nullptr, rc));
    EXPECT_EQ(ERROR_SUCCESS, rc);
    EXPECT_EQ(ja ? L"省電力" : L"Power saver", ReadName(&PLAN_POWER_SAVER, nullptr, nullptr, rc));
    EXPECT_EQ(ja ? L"高パフォーマンス" : L"High performance", ReadName(&PLAN_HIGH_PERFORMANCE, nullptr, nullptr, rc));
    std::wstring description = ReadDescription(&PLAN_HIGH_PERFORMANCE, rc);
    EXPECT_EQ(ERROR_SUCCESS, rc);
    EXPECT_EQ(ja ? L"パフォーマンスが優先されますが、より多くの電力が使用される可能性があります。"
                 : L"Favors performance, but may use more energy.",
              description);
}

TEST_F(PowrprofPlans, NamesFollowTheBufferRules) {
    const std::wstring name = L"エコモード設定";
    ASSERT_EQ(ERROR_SUCCESS, WriteName(PLAN_POWER_SAVER, name));
    const DWORD needed = static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t));
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, PowerReadFriendlyName(nullptr, &PLAN_POWER_SAVER, nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(needed, size);
    std::vector<BYTE> buffer(needed + 8, 0xCC);
    size = needed - 1;
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA),
              PowerReadFriendlyName(nullptr, &PLAN_POWER_SAVER, nullptr, nullptr, buffer.data(), &size));
    EXPECT_EQ(needed, size);
    EXPECT_EQ(0xCC, buffer[0]);
    size = static_cast<DWORD>(buffer.size());
    EXPECT_EQ(ERROR_SUCCESS, PowerReadFriendlyName(nullptr, &PLAN_POWER_SAVER, nullptr, nullptr, buffer.data(), &size));
    EXPECT_EQ(needed, size);
    EXPECT_EQ(name, std::wstring(reinterpret_cast<const wchar_t*>(buffer.data())));
    EXPECT_EQ(0, buffer[needed - 1]);
    EXPECT_EQ(0, buffer[needed - 2]);  // the terminator is part of the copy
    EXPECT_EQ(0xCC, buffer[needed]);   // and nothing beyond it
    // A size without room for the terminator still stores the characters it covers.
    const std::wstring other = L"Plan";
    ASSERT_EQ(ERROR_SUCCESS, PowerWriteDescription(nullptr, &PLAN_POWER_SAVER, nullptr, nullptr,
                                                   reinterpret_cast<UCHAR*>(const_cast<wchar_t*>(other.c_str())),
                                                   static_cast<DWORD>(other.size() * sizeof(wchar_t))));
    DWORD rc = 0;
    EXPECT_EQ(other, ReadDescription(&PLAN_POWER_SAVER, rc));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
              PowerWriteFriendlyName(nullptr, &PLAN_POWER_SAVER, nullptr, nullptr, nullptr, 4));
    // A plan written by the user keeps its text whatever the language.
    EXPECT_EQ(name, ReadName(&PLAN_POWER_SAVER, nullptr, nullptr, rc));
}

TEST_F(PowrprofPlans, SubgroupAndSettingNamesExistForDefinedSettingsOnly) {
    DWORD rc = 0;
    const bool ja = UiIsJapanese();
    EXPECT_EQ(ja ? L"ディスプレイ" : L"Display", ReadName(nullptr, &SUB_DISPLAY, nullptr, rc));
    EXPECT_EQ(ERROR_SUCCESS, rc);
    EXPECT_EQ(ja ? L"ディスプレイの明るさ" : L"Display brightness",
              ReadName(&PLAN_BALANCED, &SUB_DISPLAY, &SET_BRIGHTNESS, rc));
    EXPECT_EQ(ERROR_SUCCESS, rc);
    EXPECT_FALSE(ReadName(&PLAN_BALANCED, &SUB_WIRELESS, &SET_WIRELESS, rc).empty());
    EXPECT_EQ(ERROR_SUCCESS, rc);
    ReadName(&PLAN_BALANCED, &SUB_DISPLAY, &SET_WIRELESS, rc);  // a setting in the wrong subgroup
    EXPECT_EQ(NOT_FOUND, rc);
    ReadName(&UNKNOWN_PLAN, &SUB_DISPLAY, &SET_BRIGHTNESS, rc);
    EXPECT_EQ(NOT_FOUND, rc);
}

TEST_F(PowrprofPlans, WithoutWirelessAndGraphicsThoseSettingsDoNotExist) {
    ASSERT_EQ(ERROR_SUCCESS, SeedStore(false));
    DWORD rc = 0;
    ReadName(&PLAN_BALANCED, &SUB_WIRELESS, &SET_WIRELESS, rc);
    EXPECT_EQ(NOT_FOUND, rc);
    ReadName(&PLAN_BALANCED, &SUB_GRAPHICS, &SET_GRAPHICS, rc);
    EXPECT_EQ(NOT_FOUND, rc);
    DWORD v = 0;
    EXPECT_EQ(NOT_FOUND, ReadAc(PLAN_BALANCED, SUB_WIRELESS, SET_WIRELESS, v));
    EXPECT_EQ(NOT_FOUND, PowerWriteDCValueIndex(nullptr, &PLAN_BALANCED, &SUB_GRAPHICS, &SET_GRAPHICS, 1));
    EXPECT_EQ(600u, AcOf(PLAN_BALANCED, SUB_DISPLAY, SET_DISPLAY_OFF));
    ULONG subgroups = 0;
    for (;; ++subgroups) {
        GUID g{};
        DWORD size = sizeof(g);
        if (PowerEnumerate(nullptr, nullptr, nullptr, ACCESS_SUBGROUP, subgroups, reinterpret_cast<UCHAR*>(&g),
                           &size) != ERROR_SUCCESS) {
            break;
        }
        EXPECT_NE(GuidText(SUB_WIRELESS), GuidText(g));
    }
    EXPECT_EQ(6u, subgroups);
}

TEST_F(PowrprofPlans, ActivePlanStartsBalancedAndFollowsSetActive) {
    EXPECT_EQ(GuidText(PLAN_BALANCED), GuidText(ActivePlan()));
    ASSERT_EQ(ERROR_SUCCESS, PowerSetActiveScheme(nullptr, &PLAN_POWER_SAVER));
    EXPECT_EQ(GuidText(PLAN_POWER_SAVER), GuidText(ActivePlan()));
    EXPECT_EQ(NOT_FOUND, PowerSetActiveScheme(nullptr, &UNKNOWN_PLAN));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), PowerSetActiveScheme(nullptr, nullptr));
    EXPECT_EQ(GuidText(PLAN_POWER_SAVER), GuidText(ActivePlan()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), PowerGetActiveScheme(nullptr, nullptr));
}

TEST_F(PowrprofPlans, DuplicateCopiesValuesAndRefusesAnExistingTarget) {
    ASSERT_EQ(ERROR_SUCCESS, PowerWriteACValueIndex(nullptr, &PLAN_BALANCED, &SUB_DISPLAY, &SET_BRIGHTNESS, 64));
    GUID target = NEW_PLAN;
    GUID* targetPtr = &target;
    ASSERT_EQ(ERROR_SUCCESS, PowerDuplicateScheme(nullptr, &PLAN_BALANCED, &targetPtr));
    EXPECT_EQ(&target, targetPtr);  // the caller's GUID is used as given
    EXPECT_EQ(64u, AcOf(NEW_PLAN, SUB_DISPLAY, SET_BRIGHTNESS));
    DWORD rc = 0;
    EXPECT_EQ(ReadName(&PLAN_BALANCED, nullptr, nullptr, rc), ReadName(&NEW_PLAN, nullptr, nullptr, rc));
    // Values of the copy are its own.
    ASSERT_EQ(ERROR_SUCCESS, PowerWriteACValueIndex(nullptr, &NEW_PLAN, &SUB_DISPLAY, &SET_BRIGHTNESS, 20));
    EXPECT_EQ(64u, AcOf(PLAN_BALANCED, SUB_DISPLAY, SET_BRIGHTNESS));

    ASSERT_EQ(ERROR_SUCCESS, WriteName(NEW_PLAN, L"Mine"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), PowerDuplicateScheme(nullptr, &PLAN_POWER_SAVER, &targetPtr));
    EXPECT_EQ(L"Mine", ReadName(&NEW_PLAN, nullptr, nullptr, rc));
    EXPECT_EQ(20u, AcOf(NEW_PLAN, SUB_DISPLAY, SET_BRIGHTNESS));

    GUID* allocated = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, PowerDuplicateScheme(nullptr, &PLAN_HIGH_PERFORMANCE, &allocated));
    ASSERT_NE(nullptr, allocated);
    common::UniqueLocal owner(allocated);
    EXPECT_NE(GuidText(PLAN_HIGH_PERFORMANCE), GuidText(*allocated));
    EXPECT_EQ(100u, AcOf(*allocated, SUB_PROCESSOR, SET_PROC_MIN));
    EXPECT_EQ(5u, EnumeratePlans().size());

    GUID* none = nullptr;
    EXPECT_EQ(NOT_FOUND, PowerDuplicateScheme(nullptr, &UNKNOWN_PLAN, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), PowerDuplicateScheme(nullptr, &PLAN_BALANCED, nullptr));
}

TEST_F(PowrprofPlans, DeleteRefusesTheActivePlanAndRemovesOthers) {
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), PowerDeleteScheme(nullptr, &PLAN_BALANCED));
    EXPECT_EQ(3u, EnumeratePlans().size());
    DWORD v = 0;
    EXPECT_EQ(ERROR_SUCCESS, ReadAc(PLAN_BALANCED, SUB_DISPLAY, SET_BRIGHTNESS, v));
    ASSERT_EQ(ERROR_SUCCESS, PowerDeleteScheme(nullptr, &PLAN_HIGH_PERFORMANCE));
    std::vector<GUID> plans = EnumeratePlans();
    ASSERT_EQ(2u, plans.size());
    EXPECT_EQ(GuidText(PLAN_POWER_SAVER), GuidText(plans[1]));
    EXPECT_EQ(NOT_FOUND, ReadAc(PLAN_HIGH_PERFORMANCE, SUB_DISPLAY, SET_BRIGHTNESS, v));
    EXPECT_EQ(NOT_FOUND, PowerSetActiveScheme(nullptr, &PLAN_HIGH_PERFORMANCE));
    EXPECT_EQ(NOT_FOUND, PowerDeleteScheme(nullptr, &PLAN_HIGH_PERFORMANCE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), PowerDeleteScheme(nullptr, nullptr));
}

TEST_F(PowrprofPlans, ReplacedDefaultsAreWhatRestoreBringsBack) {
    ASSERT_EQ(ERROR_SUCCESS, PowerWriteACValueIndex(nullptr, &PLAN_BALANCED, &SUB_DISPLAY, &SET_BRIGHTNESS, 70));
    ASSERT_EQ(ERROR_SUCCESS, PowerSetActiveScheme(nullptr, &PLAN_POWER_SAVER));
    ASSERT_EQ(ERROR_SUCCESS, PowerReplaceDefaultPowerSchemes());
    ASSERT_EQ(ERROR_SUCCESS, PowerWriteACValueIndex(nullptr, &PLAN_BALANCED, &SUB_DISPLAY, &SET_BRIGHTNESS, 10));
    ASSERT_EQ(ERROR_SUCCESS, PowerSetActiveScheme(nullptr, &PLAN_BALANCED));
    ASSERT_EQ(ERROR_SUCCESS, PowerDeleteScheme(nullptr, &PLAN_HIGH_PERFORMANCE));
    ASSERT_EQ(ERROR_SUCCESS, PowerRestoreDefaultPowerSchemes());
    EXPECT_EQ(70u, AcOf(PLAN_BALANCED, SUB_DISPLAY, SET_BRIGHTNESS));
    EXPECT_EQ(3u, EnumeratePlans().size());
    EXPECT_EQ(GuidText(PLAN_POWER_SAVER), GuidText(ActivePlan()));
    // Replacing again takes the present plans.
    ASSERT_EQ(ERROR_SUCCESS, PowerWriteACValueIndex(nullptr, &PLAN_BALANCED, &SUB_DISPLAY, &SET_BRIGHTNESS, 45));
    ASSERT_EQ(ERROR_SUCCESS, PowerReplaceDefaultPowerSchemes());
    ASSERT_EQ(ERROR_SUCCESS, PowerWriteACValueIndex(nullptr, &PLAN_BALANCED, &SUB_DISPLAY, &SET_BRIGHTNESS, 99));
    ASSERT_EQ(ERROR_SUCCESS, PowerRestoreDefaultPowerSchemes());
    EXPECT_EQ(45u, AcOf(PLAN_BALANCED, SUB_DISPLAY, SET_BRIGHTNESS));
}

TEST_F(PowrprofPlans, AccessCheckAnswersForValidRequestsOnly) {
    EXPECT_EQ(ERROR_SUCCESS, PowerSettingAccessCheck(ACCESS_SCHEME, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, PowerSettingAccessCheck(ACCESS_AC_POWER_SETTING_INDEX, &SET_BRIGHTNESS));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
              PowerSettingAccessCheck(static_cast<POWER_DATA_ACCESSOR>(0x99), nullptr));
    WriteDword(POWER_KEY, VALUE_ACCESS_DENIED, 1);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), PowerSettingAccessCheck(ACCESS_CREATE_SCHEME, nullptr));
    EXPECT_FALSE(CanUserWritePwrScheme());
}

}  // namespace
