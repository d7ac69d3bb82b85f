#include "sim/powrprof/seed.h"

#include <strsafe.h>

#include <string>

#include "sim/powrprof/power_guids.h"
#include "sim/powrprof/resource_ids.h"
#include "sim/powrprof/store.h"
#include "sim/powrprof/store_layout.h"

namespace simpower {
namespace {

constexpr DWORD SECONDS = 1;
constexpr DWORD MINUTES = 60 * SECONDS;
constexpr DWORD HOURS = 60 * MINUTES;
constexpr DWORD NEVER = 0;
constexpr DWORD PERCENT_MAX = 100;
constexpr DWORD TIMEOUT_MAX = MAXDWORD;

// Button and battery actions: do nothing, sleep, hibernate, shut down.
constexpr DWORD ACTION_NOTHING = 0;
constexpr DWORD ACTION_SLEEP = 1;
constexpr DWORD ACTION_HIBERNATE = 2;
constexpr DWORD ACTION_COUNT = 4;
// Wireless adapter power saving: maximum performance, low, medium, maximum power saving.
constexpr DWORD WLAN_MAX_PERFORMANCE = 0;
constexpr DWORD WLAN_MEDIUM_SAVING = 2;
constexpr DWORD WLAN_MAX_SAVING = 3;
constexpr DWORD WLAN_COUNT = 4;
// Graphics power plan: maximum battery life, balanced, maximum performance.
constexpr DWORD GFX_BATTERY = 0;
constexpr DWORD GFX_BALANCED = 1;
constexpr DWORD GFX_PERFORMANCE = 2;
constexpr DWORD GFX_COUNT = 3;
constexpr DWORD OFF_ON_COUNT = 2;

enum PlanIndex { BALANCED, POWER_SAVER, HIGH_PERFORMANCE, PLAN_COUNT };

struct AcDc {
    DWORD ac;
    DWORD dc;
};

struct SettingSeed {
    const GUID* subgroup;
    const GUID* setting;
    UINT nameId;
    DWORD possibleValues;  // index setting with this many values; 0 = a range setting
    DWORD maximum;         // range settings: 0 .. maximum
    const wchar_t* units;
    bool wirelessOrGraphics;
    AcDc values[PLAN_COUNT];  // Balanced, Power saver, High performance
};

struct SubgroupSeed {
    const GUID* subgroup;
    UINT nameId;
    bool wirelessOrGraphics;
};

struct PlanSeed {
    const GUID* plan;
    UINT nameId;
    UINT descriptionId;
};

constexpr wchar_t UNIT_SECONDS[] = L"Seconds";
constexpr wchar_t UNIT_PERCENT[] = L"%";

const SubgroupSeed SUBGROUPS[] = {
    {&SUB_DISPLAY, IDS_SUB_DISPLAY, false},     {&SUB_DISK, IDS_SUB_DISK, false},
    {&SUB_SLEEP, IDS_SUB_SLEEP, false},         {&SUB_PROCESSOR, IDS_SUB_PROCESSOR, false},
    {&SUB_GRAPHICS, IDS_SUB_GRAPHICS, true},    {&SUB_WIRELESS, IDS_SUB_WIRELESS, true},
    {&SUB_BUTTONS, IDS_SUB_BUTTONS, false},     {&SUB_BATTERY, IDS_SUB_BATTERY, false},
};

const SettingSeed SETTINGS[] = {
    {&SUB_DISPLAY, &SET_DISPLAY_OFF, IDS_SET_DISPLAY_OFF, 0, TIMEOUT_MAX, UNIT_SECONDS, false,
     {{10 * MINUTES, 5 * MINUTES}, {5 * MINUTES, 2 * MINUTES}, {15 * MINUTES, 10 * MINUTES}}},
    {&SUB_DISPLAY, &SET_BRIGHTNESS, IDS_SET_BRIGHTNESS, 0, PERCENT_MAX, UNIT_PERCENT, false,
     {{100, 40}, {50, 25}, {100, 75}}},
    {&SUB_DISPLAY, &SET_DIM_TIMEOUT, IDS_SET_DIM_TIMEOUT, 0, TIMEOUT_MAX, UNIT_SECONDS, false,
     {{5 * MINUTES, 2 * MINUTES}, {2 * MINUTES, 1 * MINUTES}, {10 * MINUTES, 5 * MINUTES}}},
    {&SUB_DISPLAY, &SET_DIM_BRIGHTNESS, IDS_SET_DIM_BRIGHTNESS, 0, PERCENT_MAX, UNIT_PERCENT, false,
     {{50, 50}, {50, 50}, {50, 50}}},
    {&SUB_DISK, &SET_DISK_OFF, IDS_SET_DISK_OFF, 0, TIMEOUT_MAX, UNIT_SECONDS, false,
     {{20 * MINUTES, 10 * MINUTES}, {20 * MINUTES, 5 * MINUTES}, {20 * MINUTES, 20 * MINUTES}}},
    {&SUB_SLEEP, &SET_STANDBY, IDS_SET_STANDBY, 0, TIMEOUT_MAX, UNIT_SECONDS, false,
     {{30 * MINUTES, 15 * MINUTES}, {15 * MINUTES, 10 * MINUTES}, {NEVER, 1 * HOURS}}},
    {&SUB_SLEEP, &SET_HIBERNATE, IDS_SET_HIBERNATE, 0, TIMEOUT_MAX, UNIT_SECONDS, false,
     {{NEVER, 3 * HOURS}, {NEVER, 3 * HOURS}, {NEVER, 3 * HOURS}}},
    {&SUB_SLEEP, &SET_HYBRID_SLEEP, IDS_SET_HYBRID_SLEEP, OFF_ON_COUNT, 0, nullptr, false,
     {{0, 0}, {0, 0}, {0, 0}}},
    {&SUB_PROCESSOR, &SET_PROC_MIN, IDS_SET_PROC_MIN, 0, PERCENT_MAX, UNIT_PERCENT, false,
     {{5, 5}, {5, 5}, {100, 5}}},
    {&SUB_PROCESSOR, &SET_PROC_MAX, IDS_SET_PROC_MAX, 0, PERCENT_MAX, UNIT_PERCENT, false,
     {{100, 100}, {100, 50}, {100, 100}}},
    {&SUB_GRAPHICS, &SET_GRAPHICS, IDS_SET_GRAPHICS, GFX_COUNT, 0, nullptr, true,
     {{GFX_PERFORMANCE, GFX_BALANCED}, {GFX_BALANCED, GFX_BATTERY}, {GFX_PERFORMANCE, GFX_PERFORMANCE}}},
    {&SUB_WIRELESS, &SET_WIRELESS, IDS_SET_WIRELESS, WLAN_COUNT, 0, nullptr, true,
     {{WLAN_MAX_PERFORMANCE, WLAN_MEDIUM_SAVING},
      {WLAN_MEDIUM_SAVING, WLAN_MAX_SAVING},
      {WLAN_MAX_PERFORMANCE, WLAN_MAX_PERFORMANCE}}},
    {&SUB_BUTTONS, &SET_POWER_BUTTON, IDS_SET_POWER_BUTTON, ACTION_COUNT, 0, nullptr, false,
     {{ACTION_SLEEP, ACTION_SLEEP}, {ACTION_SLEEP, ACTION_SLEEP}, {ACTION_SLEEP, ACTION_SLEEP}}},
    {&SUB_BUTTONS, &SET_SLEEP_BUTTON, IDS_SET_SLEEP_BUTTON, ACTION_COUNT, 0, nullptr, false,
     {{ACTION_SLEEP, ACTION_SLEEP}, {ACTION_SLEEP, ACTION_SLEEP}, {ACTION_SLEEP, ACTION_SLEEP}}},
    {&SUB_BUTTONS, &SET_LID_CLOSE, IDS_SET_LID_CLOSE, ACTION_COUNT, 0, nullptr, false,
     {{ACTION_SLEEP, ACTION_SLEEP}, {ACTION_SLEEP, ACTION_SLEEP}, {ACTION_SLEEP, ACTION_SLEEP}}},
    {&SUB_BATTERY, &SET_CRITICAL_ACTION, IDS_SET_CRITICAL_ACTION, ACTION_COUNT, 0, nullptr, false,
     {{ACTION_HIBERNATE, ACTION_HIBERNATE}, {ACTION_HIBERNATE, ACTION_HIBERNATE}, {ACTION_HIBERNATE, ACTION_HIBERNATE}}},
    {&SUB_BATTERY, &SET_LOW_ACTION, IDS_SET_LOW_ACTION, ACTION_COUNT, 0, nullptr, false,
     {{ACTION_NOTHING, ACTION_NOTHING}, {ACTION_NOTHING, ACTION_NOTHING}, {ACTION_NOTHING, ACTION_NOTHING}}},
    {&SUB_BATTERY, &SET_CRITICAL_LEVEL, IDS_SET_CRITICAL_LEVEL, 0, PERCENT_MAX, UNIT_PERCENT, false,
     {{5, 5}, {5, 5}, {5, 5}}},
    {&SUB_BATTERY, &SET_LOW_LEVEL, IDS_SET_LOW_LEVEL, 0, PERCENT_MAX, UNIT_PERCENT, false,
     {{10, 10}, {10, 10}, {10, 10}}},
};

const PlanSeed PLANS[PLAN_COUNT] = {
    {&PLAN_BALANCED, IDS_PLAN_BALANCED, IDS_DESC_BALANCED},
    {&PLAN_POWER_SAVER, IDS_PLAN_POWER_SAVER, IDS_DESC_POWER_SAVER},
    {&PLAN_HIGH_PERFORMANCE, IDS_PLAN_HIGH_PERFORMANCE, IDS_DESC_HIGH_PERFORMANCE},
};

std::wstring ResourceName(UINT id) {
    wchar_t text[32];
    StringCchPrintfW(text, ARRAYSIZE(text), L"%ls%u", RESOURCE_NAME_PREFIX, id);
    return text;
}

DWORD CreateSub(HKEY parent, const wchar_t* name, UniqueRegKey& key) {
    return RegCreateKeyExW(parent, name, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.Put(), nullptr);
}

DWORD SeedDefinitions(HKEY settings, bool withWirelessGraphics) {
    for (const SubgroupSeed& s : SUBGROUPS) {
        if (s.wirelessOrGraphics && !withWirelessGraphics) continue;
        UniqueRegKey group;
        DWORD rc = CreateGuidSubkey(settings, *s.subgroup, group);
        if (rc == ERROR_SUCCESS) rc = WriteStringValue(group.Get(), VALUE_FRIENDLY_NAME, ResourceName(s.nameId));
        if (rc != ERROR_SUCCESS) return rc;
    }
    for (const SettingSeed& s : SETTINGS) {
        if (s.wirelessOrGraphics && !withWirelessGraphics) continue;
        UniqueRegKey group;
        UniqueRegKey def;
        DWORD rc = CreateGuidSubkey(settings, *s.subgroup, group);
        if (rc == ERROR_SUCCESS) rc = CreateGuidSubkey(group.Get(), *s.setting, def);
        if (rc != ERROR_SUCCESS) return rc;
        HKEY k = def.Get();
        rc = WriteStringValue(k, VALUE_FRIENDLY_NAME, ResourceName(s.nameId));
        if (rc == ERROR_SUCCESS) rc = WriteDwordValue(k, VALUE_AC_DEFAULT, s.values[BALANCED].ac);
        if (rc == ERROR_SUCCESS) rc = WriteDwordValue(k, VALUE_DC_DEFAULT, s.values[BALANCED].dc);
        if (s.possibleValues != 0) {
            if (rc == ERROR_SUCCESS) rc = WriteDwordValue(k, VALUE_POSSIBLE_COUNT, s.possibleValues);
        } else {
            if (rc == ERROR_SUCCESS) rc = WriteDwordValue(k, VALUE_MIN, 0);
            if (rc == ERROR_SUCCESS) rc = WriteDwordValue(k, VALUE_MAX, s.maximum);
            if (rc == ERROR_SUCCESS) rc = WriteDwordValue(k, VALUE_INCREMENT, 1);
            if (rc == ERROR_SUCCESS) rc = WriteStringValue(k, VALUE_UNITS, s.units);
        }
        if (rc != ERROR_SUCCESS) return rc;
    }
    return ERROR_SUCCESS;
}

DWORD SeedPlan(HKEY schemes, int index, bool withWirelessGraphics) {
    const PlanSeed& p = PLANS[index];
    UniqueRegKey plan;
    DWORD rc = CreateGuidSubkey(schemes, *p.plan, plan);
    if (rc == ERROR_SUCCESS) rc = WriteStringValue(plan.Get(), VALUE_FRIENDLY_NAME, ResourceName(p.nameId));
    if (rc == ERROR_SUCCESS) rc = WriteStringValue(plan.Get(), VALUE_DESCRIPTION, ResourceName(p.descriptionId));
    if (rc != ERROR_SUCCESS) return rc;
    for (const SettingSeed& s : SETTINGS) {
        if (s.wirelessOrGraphics && !withWirelessGraphics) continue;
        UniqueRegKey group;
        UniqueRegKey value;
        rc = CreateGuidSubkey(plan.Get(), *s.subgroup, group);
        if (rc == ERROR_SUCCESS) rc = CreateGuidSubkey(group.Get(), *s.setting, value);
        if (rc == ERROR_SUCCESS) rc = WriteDwordValue(value.Get(), VALUE_AC_INDEX, s.values[index].ac);
        if (rc == ERROR_SUCCESS) rc = WriteDwordValue(value.Get(), VALUE_DC_INDEX, s.values[index].dc);
        if (rc != ERROR_SUCCESS) return rc;
    }
    return ERROR_SUCCESS;
}

}  // namespace

DWORD SeedStore(bool withWirelessGraphics) {
    UniqueRegKey power;
    DWORD rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, POWER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                               power.Put(), nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    // Until the active plan is written again the store counts as incomplete.
    RegDeleteValueW(power.Get(), VALUE_ACTIVE_SCHEME);
    for (const wchar_t* sub : {SCHEMES_SUBKEY, SETTINGS_SUBKEY, DEFAULT_SCHEMES_SUBKEY}) {
        rc = DeleteTree(power.Get(), sub);
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return rc;
    }
    UniqueRegKey settings;
    rc = CreateSub(power.Get(), SETTINGS_SUBKEY, settings);
    if (rc == ERROR_SUCCESS) rc = SeedDefinitions(settings.Get(), withWirelessGraphics);
    if (rc != ERROR_SUCCESS) return rc;
    UniqueRegKey schemes;
    rc = CreateSub(power.Get(), SCHEMES_SUBKEY, schemes);
    for (int i = 0; rc == ERROR_SUCCESS && i < PLAN_COUNT; ++i) {
        rc = SeedPlan(schemes.Get(), i, withWirelessGraphics);
    }
    if (rc != ERROR_SUCCESS) return rc;
    return WriteActiveScheme(PLAN_BALANCED);
}

}  // namespace simpower
