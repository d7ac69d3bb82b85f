// Runs inside a simulated PC with the product installed: the Windows plans, the maker's three
// ECO plans, the maker's plan files beside the program and the installed "BKSettings" values.
#include <windows.h>
#include <powrprof.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plans/factory_defaults.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/power_values.h"
#include "plans/settings.h"
#include "resources/resource.h"

using namespace plans;

namespace {

constexpr const wchar_t* kKey = L"Software\\Orvel\\Solvane";
// The maker's ECO plans as the setup package creates them.
constexpr GUID kEcoSave = {0x9B7D845B, 0xAF66, 0x4D2A, {0xB4, 0x76, 0xD4, 0xDA, 0xB8, 0x40, 0xAB, 0xF8}};
constexpr GUID kEcoPerformance = {0xB06FB371, 0x2C24, 0x43A7, {0xB8, 0x7B, 0x5E, 0xED, 0xE7, 0x12, 0xB5, 0x49}};

class ErrorLogCleanup : public testing::Environment {
public:
    void SetUp() override { m_existed = GetFileAttributesW(L"error.log") != INVALID_FILE_ATTRIBUTES; }
    void TearDown() override {
        if (!m_existed) {
            DeleteFileW(L"error.log");
        }
    }

private:
    bool m_existed = false;
};
testing::Environment* const g_errorLogCleanup = testing::AddGlobalTestEnvironment(new ErrorLogCleanup);

std::wstring PlanKey(const GUID& plan) {
    wchar_t text[kBracedGuidBufferChars];
    FormatKeyGuid(plan, text);
    return std::wstring(kKey) + L"\\PowerSettings\\" + text;
}
std::wstring SnapshotKey(const GUID& plan) { return PlanKey(plan) + L"\\DefaultSettings"; }

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

DWORD GetDword(const std::wstring& path, const wchar_t* name, DWORD missing = 0xDEADBEEF) {
    DWORD value = 0;
    DWORD cb = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &cb) != ERROR_SUCCESS) {
        return missing;
    }
    return value;
}

std::vector<BYTE> GetRaw(const std::wstring& path, const wchar_t* name, DWORD* type) {
    std::vector<BYTE> data(4096);
    DWORD cb = static_cast<DWORD>(data.size());
    *type = REG_NONE;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return {};
    }
    const LSTATUS status = RegQueryValueExW(key, name, nullptr, type, data.data(), &cb);
    RegCloseKey(key);
    data.resize(status == ERROR_SUCCESS ? cb : 0);
    return data;
}

void PutRaw(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD cb) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), cb), ERROR_SUCCESS);
    RegCloseKey(key);
}

void Load() {
    g_SettingsHooks = SettingsHooks{};
    g_SettingsHooks.wirelessAdapterPresent = [] { return true; };
    g_Settings.dwOsGeneration = 2;
    LoadSettings();
}

std::vector<GUID> Plans() {
    DWORD end = 0;
    std::vector<GUID> plans = EnumerateAllPlans(&end);
    EXPECT_EQ(end, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    return plans;
}

std::vector<bool> SnapshotPattern(const std::vector<GUID>& plans) {
    std::vector<bool> pattern;
    for (const GUID& g : plans) {
        pattern.push_back(KeyExists(SnapshotKey(g)));
    }
    return pattern;
}

// Makes a plan other than `plan` active so that `plan` can be deleted.
void DeletePlan(const GUID& plan) {
    GUID* active = nullptr;
    ASSERT_EQ(PowerGetActiveScheme(nullptr, &active), ERROR_SUCCESS);
    const bool isActive = IsEqualGUID(*active, plan) != FALSE;
    LocalFree(active);
    if (isActive) {
        for (const GUID& g : Plans()) {
            if (!IsEqualGUID(g, plan)) {
                ASSERT_EQ(PowerSetActiveScheme(nullptr, &g), ERROR_SUCCESS);
                break;
            }
        }
    }
    ASSERT_EQ(PowerDeleteScheme(nullptr, &plan), ERROR_SUCCESS);
}

std::wstring ProgramFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    EXPECT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder)));
    return std::wstring(folder) + L"\\Solvane\\" + name;
}

// Records what the mode-table restore asked and warned.
struct UiLog {
    bool answer = true;
    std::vector<UINT> asked;
    std::vector<UINT> warned;
    ModeRestoreUi Ui() {
        ModeRestoreUi ui;
        ui.ask = [](void* c, UINT id) {
            static_cast<UiLog*>(c)->asked.push_back(id);
            return static_cast<UiLog*>(c)->answer;
        };
        ui.warn = [](void* c, UINT id) { static_cast<UiLog*>(c)->warned.push_back(id); };
        ui.context = this;
        return ui;
    }
};

// A table whose combo boxes offer every plan on the machine except `missing`.
ModeRestoreTable TableWithout(bool threeMode, const GUID& missing) {
    ModeRestoreTable table{};
    table.threeMode = threeMode;
    for (auto& offered : table.offered) {
        for (const GUID& g : Plans()) {
            if (!IsEqualGUID(g, missing)) {
                offered.push_back(g);
            }
        }
    }
    for (GUID& g : table.selected) {
        g = kEcoSave;  // anything: the restore must replace it
    }
    return table;
}

// --- snapshots ------------------------------------------------------------------------------

TEST(Snapshot, FirstStartTakesTheFirstPlansLaterStartsNoneADeletedOneIsReplaced) {
    Load();
    std::vector<GUID> plans = Plans();
    ASSERT_GE(plans.size(), 5u);
    ASSERT_EQ(g_Settings.dwNumDefScheme, 3u);
    const std::vector<bool> none(plans.size(), false);
    ASSERT_EQ(SnapshotPattern(plans), none);

    CaptureFactoryDefaults();
    std::vector<bool> firstThree(plans.size(), false);
    firstThree[0] = firstThree[1] = firstThree[2] = true;
    EXPECT_EQ(SnapshotPattern(plans), firstThree);
    for (size_t i = 0; i < plans.size(); ++i) {
        EXPECT_EQ(HasFactorySnapshot(plans[i]), firstThree[i]) << i;
    }

    CaptureFactoryDefaults();  // a later start
    EXPECT_EQ(SnapshotPattern(plans), firstThree);

    // The second plan is deleted elsewhere: its key keeps the snapshot, the fourth plan gets one.
    const GUID deleted = plans[1];
    DeletePlan(deleted);
    CaptureFactoryDefaults();
    EXPECT_TRUE(KeyExists(SnapshotKey(deleted)));
    plans = Plans();
    std::vector<bool> afterDelete(plans.size(), false);
    afterDelete[0] = afterDelete[1] = afterDelete[2] = true;  // the old fourth plan is now third
    EXPECT_EQ(SnapshotPattern(plans), afterDelete);
}

TEST(Snapshot, ValuesAreThePlansInTheirStoredForms) {
    Load();
    const GUID plan = Plans()[0];
    CaptureFactoryDefaults();
    const std::wstring key = SnapshotKey(plan);
    PlanRecord record{};
    record.guid = plan;
    ReadPlanRecord(&record);
    PowerValues values{};
    ASSERT_TRUE(ReadPowerValues(plan, &values));

    DWORD type = 0;
    const std::vector<BYTE> name = GetRaw(key, L"FriendlyName", &type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    // Stored without terminator; Wine's query hands one back after the text.
    const size_t textBytes = wcslen(record.szName) * sizeof(wchar_t);
    ASSERT_GE(name.size(), textBytes);
    ASSERT_LE(name.size(), textBytes + sizeof(wchar_t));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(name.data()), textBytes / 2), record.szName);

    struct Row {
        const wchar_t* name;
        DWORD expected;
    } rows[] = {
        {L"MonitorTimeoutAC", values.dwMonitorAC},   {L"MonitorTimeoutDC", values.dwMonitorDC},
        {L"HDDTimeoutAC", values.dwDiskAC},          {L"HDDTimeoutDC", values.dwDiskDC},
        {L"SystemStandbyAC", values.dwStandbyAC},    {L"SystemStandbyDC", values.dwStandbyDC},
        {L"HibernateAC", values.dwHibernateAC},      {L"HibernateDC", values.dwHibernateDC},
        {L"MaxThrottleAC", values.dwMaxThrottleAC},  {L"MinThrottleAC", values.dwMinThrottleAC},
        {L"MaxThrottleDC", values.dwMaxThrottleDC},  {L"MinThrottleDC", values.dwMinThrottleDC},
        {L"BrightnessAC", static_cast<DWORD>(record.nBrightnessAC)},
        {L"BrightnessDC", static_cast<DWORD>(record.nBrightnessDC)},
        {L"IconNo", static_cast<DWORD>(record.nIconNo)}, {L"Flags", record.dwFlags},
        {L"WLANSettingAC", values.dwWirelessAC},     {L"WLANSettingDC", values.dwWirelessDC},
        {L"DIMTimeoutAC", values.dwDimTimeoutAC},    {L"DIMTimeoutDC", values.dwDimTimeoutDC},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(GetDword(key, row.name), row.expected) << row.name;
    }
    // Not part of the snapshot.
    EXPECT_EQ(GetDword(key, L"LedNo"), 0xDEADBEEFu);
    EXPECT_EQ(GetDword(key, L"Indicator"), 0xDEADBEEFu);
    const std::vector<BYTE> als = GetRaw(key, L"ALSBC", &type);
    ASSERT_EQ(als.size(), sizeof(AmbientLightRange));
    EXPECT_EQ(memcmp(als.data(), &record.biALS, als.size()), 0);

    // And it reads back as the plan.
    PlanRecord snap{};
    PowerValues snapValues{};
    ProcessorPair pair{};
    ASSERT_EQ(ReadFactorySnapshot(plan, &snap, &snapValues, &pair), ERROR_SUCCESS);
    EXPECT_STREQ(snap.szName, record.szName);
    EXPECT_STREQ(snap.szDescription, record.szDescription);
    EXPECT_EQ(snapValues.dwMonitorDC, values.dwMonitorDC);
    EXPECT_EQ(snapValues.dwHibernateAC, values.dwHibernateAC);
    EXPECT_EQ(pair.dwMaxDC, values.dwMaxThrottleDC);
    EXPECT_EQ(pair.ucPresetDC, values.ucPresetDC);
    EXPECT_EQ(pair.ucPresetAC, values.ucPresetAC);
}

TEST(Snapshot, ReadingFallsBackToTheDefaultsOfMissingValues) {
    Load();
    struct Case {
        const wchar_t* label;
        bool terminated;         // "FriendlyName" stored with its terminator
        bool graphicsAndRadio;   // "VideoSettingDC"/"WLANSettingDC" present
        DWORD iconNo;            // 0: not stored
    } cases[] = {
        {L"name without terminator, nothing else", false, false, 0},
        {L"name with terminator, every optional value", true, true, 4},
    };
    GUID plan = {0x1234ABCD, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};
    for (const Case& c : cases) {
        ++plan.Data1;
        SCOPED_TRACE(c.label);
        const std::wstring key = SnapshotKey(plan);
        const std::wstring name = L"ECO テスト設定";
        PutRaw(key, L"FriendlyName", REG_EXPAND_SZ, name.c_str(),
               static_cast<DWORD>((name.size() + (c.terminated ? 1 : 0)) * sizeof(wchar_t)));
        if (c.graphicsAndRadio) {
            const DWORD one = 1, two = 2, indicator = 0x00030002;
            PutRaw(key, L"VideoSettingDC", REG_DWORD, &one, sizeof(one));
            PutRaw(key, L"WLANSettingDC", REG_DWORD, &two, sizeof(two));
            PutRaw(key, L"IconNo", REG_DWORD, &c.iconNo, sizeof(c.iconNo));
            PutRaw(key, L"Indicator", REG_DWORD, &indicator, sizeof(indicator));
        }
        ASSERT_TRUE(HasFactorySnapshot(plan));
        PlanRecord record{};
        PowerValues values{};
        ProcessorPair pair{};
        ASSERT_EQ(ReadFactorySnapshot(plan, &record, &values, &pair), ERROR_SUCCESS);
        EXPECT_EQ(std::wstring(record.szName), name);
        EXPECT_STREQ(record.szDescription, L"");
        EXPECT_EQ(record.nIconNo, c.graphicsAndRadio ? 4 : kDefaultIconNo);
        EXPECT_EQ(record.nIndicator, c.graphicsAndRadio ? 0x00030002 : kIndicatorCompute);
        EXPECT_EQ(record.dwFlags, 0u);
        const AmbientLightRange defaultRange = DefaultAmbientLightRange();
        EXPECT_EQ(memcmp(&record.biALS, &defaultRange, sizeof(record.biALS)), 0);
        EXPECT_EQ(values.bGraphics, c.graphicsAndRadio);
        EXPECT_EQ(values.dwGraphicsDC, c.graphicsAndRadio ? 1u : 0u);
        EXPECT_EQ(values.bWireless, c.graphicsAndRadio);
        EXPECT_EQ(values.dwWirelessDC, c.graphicsAndRadio ? 2u : 0u);
        EXPECT_EQ(values.dwMonitorAC, 0u);
    }
    ++plan.Data1;
    EXPECT_FALSE(HasFactorySnapshot(plan));
    PlanRecord record{};
    PowerValues values{};
    ProcessorPair pair{};
    EXPECT_EQ(ReadFactorySnapshot(plan, &record, &values, &pair), static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
}

// --- mode-table restore ---------------------------------------------------------------------

TEST(ThreeMode, ASlotWhosePlanIsGoneBecomesEmptyAndTheUserIsWarned) {
    Load();
    ASSERT_TRUE(IsThreeMode(g_Settings.blob.dwFlagWord));
    GUID factory[kMaxPinnedPlans];
    ReadFactoryModeAssignment(true, factory);
    const size_t plansBefore = Plans().size();

    UiLog ui;
    ModeRestoreTable table = TableWithout(true, factory[1]);
    EXPECT_EQ(RestoreModeTable(&table, ui.Ui()), ModeRestoreResult::Incomplete);
    EXPECT_EQ(ui.asked, std::vector<UINT>{IDS_MODE_RESTORE_ASK_THREE});
    EXPECT_EQ(ui.warned, std::vector<UINT>{IDS_MODE_RESTORE_FAILED_THREE});
    EXPECT_TRUE(IsEqualGUID(table.selected[0], factory[0]));
    EXPECT_TRUE(IsNullGuid(table.selected[1]));
    EXPECT_TRUE(IsEqualGUID(table.selected[2], factory[2]));
    EXPECT_EQ(Plans().size(), plansBefore);  // the three-mode restore re-creates nothing

    UiLog declined;
    declined.answer = false;
    ModeRestoreTable kept = TableWithout(true, GUID_NULL);
    EXPECT_EQ(RestoreModeTable(&kept, declined.Ui()), ModeRestoreResult::Declined);
    EXPECT_TRUE(declined.warned.empty());
    for (const GUID& g : kept.selected) {
        EXPECT_TRUE(IsEqualGUID(g, kEcoSave));
    }
}

TEST(TwoMode, TheDeletedEcoPlanComesBackFromItsFileWithItsInstalledValues) {
    Load();
    ASSERT_FALSE(IsThreeMode(g_Settings.blob.dwFlagWord));
    DeletePlan(kEcoPerformance);
    // The extension values were changed before the plan went: the restore must bring back the
    // installed ones.
    const DWORD changedIcon = 9;
    PutRaw(PlanKey(kEcoPerformance), L"IconNo", REG_DWORD, &changedIcon, sizeof(changedIcon));

    UiLog ui;
    ModeRestoreTable table = TableWithout(false, kEcoPerformance);
    EXPECT_EQ(RestoreModeTable(&table, ui.Ui()), ModeRestoreResult::Restored);
    EXPECT_EQ(ui.asked, std::vector<UINT>{IDS_MODE_RESTORE_ASK_TWO});
    EXPECT_TRUE(ui.warned.empty());
    EXPECT_TRUE(IsEqualGUID(table.selected[0], kEcoPerformance));
    EXPECT_TRUE(IsEqualGUID(table.selected[1], kEcoSave));
    EXPECT_TRUE(table.planListRefreshed);

    PlanRecord record{};
    record.guid = kEcoPerformance;
    ReadPlanRecord(&record);
    ASSERT_FALSE(IsNullGuid(record.guid));
    EXPECT_STREQ(record.szName, L"ECO パフォーマンス");
    EXPECT_EQ(record.nIconNo, 3);
    EXPECT_EQ(record.nLedNo, 3);
    EXPECT_EQ(record.nIndicator, 0x00050001);
    const BYTE als[] = {1, 7, 2, 5, 1};
    EXPECT_EQ(memcmp(&record.biALS, als, sizeof(als)), 0);
    PowerValues values{};
    ASSERT_TRUE(ReadPowerValues(kEcoPerformance, &values));
    EXPECT_EQ(values.dwMonitorAC, 900u);
    EXPECT_EQ(values.dwStandbyDC, 1800u);
    // A fresh snapshot of the re-created plan.
    EXPECT_EQ(GetDword(SnapshotKey(kEcoPerformance), L"MonitorTimeoutDC"), 600u);
    EXPECT_EQ(GetDword(SnapshotKey(kEcoPerformance), L"IconNo"), 3u);
    bool listed = false;
    for (const PlanRecord& r : g_PlanList) {
        listed = listed || IsEqualGUID(r.guid, kEcoPerformance);
    }
    EXPECT_TRUE(listed);
}

TEST(TwoMode, AMissingPlanFileLeavesTheSlotEmptyAndWarns) {
    Load();
    const std::wstring file = ProgramFile(L"StdMode.pow");
    const std::wstring aside = file + L".aside";
    ASSERT_TRUE(MoveFileW(file.c_str(), aside.c_str()));
    DeletePlan(kEcoSave);

    UiLog ui;
    ModeRestoreTable table = TableWithout(false, kEcoSave);
    const ModeRestoreResult result = RestoreModeTable(&table, ui.Ui());
    MoveFileW(aside.c_str(), file.c_str());
    EXPECT_EQ(result, ModeRestoreResult::Incomplete);
    EXPECT_EQ(ui.warned, std::vector<UINT>{IDS_MODE_RESTORE_FAILED_TWO});
    EXPECT_TRUE(IsEqualGUID(table.selected[0], kEcoPerformance));
    EXPECT_TRUE(IsNullGuid(table.selected[1]));
    for (const GUID& g : Plans()) {
        EXPECT_FALSE(IsEqualGUID(g, kEcoSave));
    }
}

}  // namespace
