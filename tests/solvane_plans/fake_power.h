// An in-memory power-plan store installed in place of powrprof for the plan tests, with counters
// and failures that a test can script.
#pragma once

#include <windows.h>
#include <cguid.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace fakes {

struct SettingKey {
    GUID subgroup;
    GUID setting;
    bool operator<(const SettingKey& o) const;
};

struct FakePlan {
    GUID guid;
    std::wstring name;
    std::wstring description;
    bool descriptionReadable = true;
    DWORD descriptionError = ERROR_ACCESS_DENIED;
    std::map<SettingKey, std::pair<DWORD, DWORD>> values;  // AC, DC
};

struct FakePower {
    std::vector<FakePlan> plans;
    GUID active = GUID_NULL;
    DWORD activeError = ERROR_SUCCESS;
    DWORD setActiveError = ERROR_SUCCESS;  // activation fails with it
    int activations = 0;
    std::set<std::pair<GUID, GUID>, bool (*)(const std::pair<GUID, GUID>&, const std::pair<GUID, GUID>&)> present;
    // Enumeration fails with enumerateError at this index (-1: never).
    long enumerateFailIndex = -1;
    DWORD enumerateError = ERROR_ACCESS_DENIED;
    int enumerateCalls = 0;  // PowerEnumerate calls, failed ones included
    // Reads or writes of these settings fail (setting GUID, true = AC).
    std::set<std::pair<GUID, bool>, bool (*)(const std::pair<GUID, bool>&, const std::pair<GUID, bool>&)> failRead;
    std::set<std::pair<GUID, bool>, bool (*)(const std::pair<GUID, bool>&, const std::pair<GUID, bool>&)> failWrite;
    // Every value read and write, in order ("R"/"W", setting GUID, AC).
    struct Access {
        char kind;
        GUID plan;
        GUID setting;
        bool ac;
    };
    std::vector<Access> log;
    int planNameReads = 0;
    int nameWrites = 0;
    int descriptionWrites = 0;

    FakePower();
    FakePlan* Find(const GUID& plan);
    FakePlan& AddPlan(const GUID& guid, const std::wstring& name);
    void Set(const GUID& plan, const GUID& subgroup, const GUID& setting, DWORD ac, DWORD dc);
    bool Get(const GUID& plan, const GUID& subgroup, const GUID& setting, DWORD* ac, DWORD* dc);
    void SetPresent(const GUID& subgroup, const GUID& setting, bool presentNow);
    size_t CountAccess(char kind, const GUID& setting) const;
};

// The store the fake API serves; Install() makes the plan code use it, Uninstall() restores.
FakePower& Store();
void Install();
void Uninstall();

// GUIDs written out here on their own so that a wrong GUID in the program shows.
namespace g {
extern const GUID Video, Disk, Sleep, Processor, Graphics, Wireless, Buttons, Battery;
extern const GUID MonitorTimeout, Brightness, DimTimeout, DimBrightness, DiskTimeout, Standby, Hibernate,
    HybridSleep, ProcMin, ProcMax, GraphicsSetting, WirelessSetting, PowerButton, SleepButton, LidClose,
    CriticalBattery, LowBattery;
extern const GUID Balanced, PowerSaver, HighPerformance, Eco1, Eco2, Eco3;
}  // namespace g

GUID MakeGuid(unsigned n);  // {0000000n-1111-2222-3333-444444444444}

}  // namespace fakes
