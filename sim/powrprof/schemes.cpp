// Exports for plans: enumeration, value indexes, names and descriptions, the active plan,
// duplicate, delete, import and the default plans.
#include <windows.h>
#include <powrprof.h>
#include <rpc.h>

#include <string>

#include "sim/powrprof/exports_common.h"
#include "sim/powrprof/guid_text.h"
#include "sim/powrprof/plan_file.h"
#include "sim/powrprof/power_guids.h"
#include "sim/powrprof/seed.h"
#include "sim/powrprof/store.h"
#include "sim/powrprof/store_layout.h"
#include "sim/simlib/simlib.h"

using namespace simpower;

namespace {

constexpr DWORD GUID_BYTES = sizeof(GUID);

std::wstring PowerSubkey(const wchar_t* sub) { return std::wstring(POWER_KEY) + L"\\" + sub; }

DWORD OpenSchemesKey(REGSAM access, UniqueRegKey& key) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, PowerSubkey(SCHEMES_SUBKEY).c_str(), 0, access, key.Put());
}

// The index-th subkey of parent that is a defined subgroup or setting (has a name).
DWORD EnumNamedGuidSubkey(HKEY parent, ULONG index, GUID& guid) {
    ULONG found = 0;
    for (ULONG i = 0;; ++i) {
        GUID g{};
        DWORD rc = EnumGuidSubkey(parent, i, g);
        if (rc != ERROR_SUCCESS) return rc;
        UniqueRegKey child;
        std::wstring name;
        if (OpenGuidSubkey(parent, g, KEY_READ, child) != ERROR_SUCCESS ||
            ReadStringValue(child.Get(), VALUE_FRIENDLY_NAME, name) != ERROR_SUCCESS) {
            continue;
        }
        if (found++ == index) {
            guid = g;
            return ERROR_SUCCESS;
        }
    }
}

// GUID-named subkeys below a caller's key (the caller's own records of plans).
DWORD EnumerateUnderRoot(HKEY root, const GUID* scheme, const GUID* subgroup, POWER_DATA_ACCESSOR access,
                         ULONG index, GUID& found) {
    UniqueRegKey level1;
    UniqueRegKey level2;
    HKEY parent = root;
    if (access != ACCESS_SCHEME) {
        if (scheme == nullptr) return ERROR_INVALID_PARAMETER;
        DWORD rc = OpenGuidSubkey(root, *scheme, KEY_READ, level1);
        if (rc != ERROR_SUCCESS) return rc;
        parent = level1.Get();
        if (access == ACCESS_INDIVIDUAL_SETTING) {
            rc = OpenGuidSubkey(parent, subgroup ? *subgroup : GUID_NO_SUBGROUP, KEY_READ, level2);
            if (rc != ERROR_SUCCESS) return rc;
            parent = level2.Get();
        }
    }
    return EnumGuidSubkey(parent, index, found);
}

DWORD EnumerateStore(const GUID* scheme, const GUID* subgroup, POWER_DATA_ACCESSOR access, ULONG index,
                     GUID& found) {
    if (access == ACCESS_SCHEME) {
        UniqueRegKey schemes;
        DWORD rc = OpenSchemesKey(KEY_READ, schemes);
        return rc == ERROR_SUCCESS ? EnumGuidSubkey(schemes.Get(), index, found) : rc;
    }
    if (scheme != nullptr && !PlanExists(*scheme)) return ERROR_FILE_NOT_FOUND;
    UniqueRegKey parent;
    DWORD rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, PowerSubkey(SETTINGS_SUBKEY).c_str(), 0, KEY_READ, parent.Put());
    if (rc != ERROR_SUCCESS) return rc;
    if (access == ACCESS_INDIVIDUAL_SETTING) {
        UniqueRegKey group;
        rc = OpenDefinitionKey(subgroup ? *subgroup : GUID_NO_SUBGROUP, nullptr, KEY_READ, group);
        if (rc != ERROR_SUCCESS) return rc;
        parent = std::move(group);
    }
    return EnumNamedGuidSubkey(parent.Get(), index, found);
}

// The key that holds the name and description of a plan, a subgroup or a setting.
DWORD OpenNamedKey(const GUID* scheme, const GUID* subgroup, const GUID* setting, REGSAM access,
                   UniqueRegKey& key) {
    if (scheme == nullptr && subgroup == nullptr && setting == nullptr) return ERROR_INVALID_PARAMETER;
    if (subgroup == nullptr && setting == nullptr) return OpenPlanKey(*scheme, access, key);
    if (scheme != nullptr && !PlanExists(*scheme)) return ERROR_FILE_NOT_FOUND;
    return OpenDefinitionKey(subgroup ? *subgroup : GUID_NO_SUBGROUP, setting, access, key);
}

DWORD ReadNamedText(const GUID* scheme, const GUID* subgroup, const GUID* setting, const wchar_t* valueName,
                    UCHAR* buffer, DWORD* size) {
    if (size == nullptr) return ERROR_INVALID_PARAMETER;
    PrepareStore();
    UniqueRegKey key;
    DWORD rc = OpenNamedKey(scheme, subgroup, setting, KEY_READ, key);
    if (rc != ERROR_SUCCESS) return rc;
    std::wstring text;
    rc = ReadStringValue(key.Get(), valueName, text);
    if (rc != ERROR_SUCCESS) return rc;
    return CopyTextOut(ResolveName(text), buffer, size);
}

DWORD WriteNamedText(const GUID* scheme, const GUID* subgroup, const GUID* setting, const wchar_t* valueName,
                     const UCHAR* buffer, DWORD size) {
    if (buffer == nullptr || size < sizeof(wchar_t)) return ERROR_INVALID_PARAMETER;
    PrepareStore();
    UniqueRegKey key;
    DWORD rc = OpenNamedKey(scheme, subgroup, setting, KEY_READ | KEY_WRITE, key);
    if (rc != ERROR_SUCCESS) return rc;
    std::wstring text(reinterpret_cast<const wchar_t*>(buffer), size / sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), text.size()));  // up to the terminator the caller counted
    return WriteStringValue(key.Get(), valueName, text);
}

DWORD ReadIndex(const GUID* scheme, const GUID* subgroup, const GUID* setting, PowerSource source, DWORD* value) {
    if (scheme == nullptr || setting == nullptr || value == nullptr) return ERROR_INVALID_PARAMETER;
    PrepareStore();
    return ReadValueIndex(*scheme, subgroup ? *subgroup : GUID_NO_SUBGROUP, *setting, source, *value);
}

DWORD WriteIndex(const GUID* scheme, const GUID* subgroup, const GUID* setting, PowerSource source, DWORD value) {
    if (scheme == nullptr || setting == nullptr) return ERROR_INVALID_PARAMETER;
    PrepareStore();
    return WriteValueIndex(*scheme, subgroup ? *subgroup : GUID_NO_SUBGROUP, *setting, source, value);
}

DWORD ReadValue(const GUID* scheme, const GUID* subgroup, const GUID* setting, PowerSource source, ULONG* type,
                BYTE* buffer, DWORD* size) {
    if (size == nullptr) return ERROR_INVALID_PARAMETER;
    DWORD value = 0;
    DWORD rc = ReadIndex(scheme, subgroup, setting, source, &value);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != nullptr) *type = REG_DWORD;
    if (buffer == nullptr) {
        *size = sizeof(DWORD);
        return ERROR_SUCCESS;
    }
    if (*size < sizeof(DWORD)) {
        *size = sizeof(DWORD);
        return ERROR_MORE_DATA;
    }
    memcpy(buffer, &value, sizeof(value));
    *size = sizeof(DWORD);
    return ERROR_SUCCESS;
}

DWORD ReadRangeValue(const GUID* subgroup, const GUID* setting, const wchar_t* valueName, DWORD* value) {
    if (setting == nullptr || value == nullptr) return ERROR_INVALID_PARAMETER;
    PrepareStore();
    UniqueRegKey definition;
    DWORD rc = OpenDefinitionKey(subgroup ? *subgroup : GUID_NO_SUBGROUP, setting, KEY_READ, definition);
    if (rc != ERROR_SUCCESS) return rc;
    return ReadDwordValue(definition.Get(), valueName, *value);
}

GUID* AllocGuid(const GUID& value) {
    GUID* p = static_cast<GUID*>(LocalAlloc(LMEM_FIXED, GUID_BYTES));
    if (p != nullptr) *p = value;
    return p;
}

bool NewGuid(GUID& g) {
    RPC_STATUS status = UuidCreate(&g);
    return status == RPC_S_OK || status == RPC_S_UUID_LOCAL_ONLY;
}

// The plan a duplicate or an import goes to: the caller's GUID, or a new one.
DWORD ChooseTarget(GUID** destination, GUID& target, bool& allocated) {
    allocated = *destination == nullptr;
    if (!allocated) {
        target = **destination;
        return PlanExists(target) ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    }
    do {
        if (!NewGuid(target)) return ERROR_GEN_FAILURE;
    } while (PlanExists(target));
    return ERROR_SUCCESS;
}

DWORD HandBackTarget(GUID** destination, const GUID& target, bool allocated) {
    if (!allocated) return ERROR_SUCCESS;
    *destination = AllocGuid(target);
    return *destination ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

// Values of settings this machine defines must be within their range; values of settings it
// does not know are kept as the file gives them.
DWORD CheckPlanFileValues(const PlanFile& plan) {
    for (const PlanFileSetting& s : plan.settings) {
        UniqueRegKey definition;
        if (OpenDefinitionKey(s.subgroup, &s.setting, KEY_READ, definition) != ERROR_SUCCESS) continue;
        if (CheckValueForSetting(definition.Get(), s.ac) != ERROR_SUCCESS ||
            CheckValueForSetting(definition.Get(), s.dc) != ERROR_SUCCESS) {
            return ERROR_INVALID_DATA;
        }
    }
    return ERROR_SUCCESS;
}

DWORD WritePlanFromFile(HKEY planKey, const PlanFile& plan) {
    DWORD rc = WriteStringValue(planKey, VALUE_FRIENDLY_NAME, plan.name);
    if (rc == ERROR_SUCCESS) rc = WriteStringValue(planKey, VALUE_DESCRIPTION, plan.description);
    for (size_t i = 0; rc == ERROR_SUCCESS && i < plan.settings.size(); ++i) {
        const PlanFileSetting& s = plan.settings[i];
        UniqueRegKey group;
        UniqueRegKey value;
        rc = CreateGuidSubkey(planKey, s.subgroup, group);
        if (rc == ERROR_SUCCESS) rc = CreateGuidSubkey(group.Get(), s.setting, value);
        if (rc == ERROR_SUCCESS) rc = WriteDwordValue(value.Get(), VALUE_AC_INDEX, s.ac);
        if (rc == ERROR_SUCCESS) rc = WriteDwordValue(value.Get(), VALUE_DC_INDEX, s.dc);
    }
    return rc;
}

DWORD CreatePlanFromFile(const GUID& target, const PlanFile& plan) {
    UniqueRegKey schemes;
    DWORD rc = OpenSchemesKey(KEY_READ | KEY_WRITE, schemes);
    if (rc != ERROR_SUCCESS) return rc;
    wchar_t name[GUID_TEXT_CCH];
    GuidToText(target, name);
    UniqueRegKey planKey;
    DWORD disposition = 0;
    InvalidateEnumCache();
    rc = RegCreateKeyExW(schemes.Get(), name, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, planKey.Put(),
                         &disposition);
    if (rc != ERROR_SUCCESS) return rc;
    if (disposition != REG_CREATED_NEW_KEY) return ERROR_ALREADY_EXISTS;
    rc = WritePlanFromFile(planKey.Get(), plan);
    if (rc != ERROR_SUCCESS) {
        planKey.Reset();
        DeleteTree(schemes.Get(), name);  // no half-imported plan stays behind
    }
    return rc;
}

bool WirelessGraphicsDefined() {
    UniqueRegKey key;
    return OpenDefinitionKey(SUB_WIRELESS, &SET_WIRELESS, KEY_READ, key) == ERROR_SUCCESS ||
           OpenDefinitionKey(SUB_GRAPHICS, &SET_GRAPHICS, KEY_READ, key) == ERROR_SUCCESS;
}

}  // namespace

extern "C" {

DWORD WINAPI PowerEnumerate(HKEY RootPowerKey, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                            POWER_DATA_ACCESSOR AccessFlags, ULONG Index, UCHAR* Buffer, DWORD* BufferSize) {
    if (BufferSize == nullptr) return ERROR_INVALID_PARAMETER;
    if (AccessFlags != ACCESS_SCHEME && AccessFlags != ACCESS_SUBGROUP &&
        AccessFlags != ACCESS_INDIVIDUAL_SETTING) {
        return ERROR_INVALID_PARAMETER;
    }
    PrepareStore();
    GUID found{};
    DWORD rc = RootPowerKey != nullptr
                   ? EnumerateUnderRoot(RootPowerKey, SchemeGuid, SubGroupOfPowerSettingsGuid, AccessFlags, Index, found)
                   : EnumerateStore(SchemeGuid, SubGroupOfPowerSettingsGuid, AccessFlags, Index, found);
    if (rc != ERROR_SUCCESS) return rc;
    if (Buffer == nullptr || *BufferSize < GUID_BYTES) {
        *BufferSize = GUID_BYTES;
        return ERROR_MORE_DATA;
    }
    memcpy(Buffer, &found, GUID_BYTES);
    *BufferSize = GUID_BYTES;
    return ERROR_SUCCESS;
}

DWORD WINAPI PowerReadACValueIndex(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                   const GUID* PowerSettingGuid, LPDWORD AcValueIndex) {
    return ReadIndex(SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, PowerSource::Ac, AcValueIndex);
}

DWORD WINAPI PowerReadDCValueIndex(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                   const GUID* PowerSettingGuid, LPDWORD DcValueIndex) {
    return ReadIndex(SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, PowerSource::Dc, DcValueIndex);
}

DWORD WINAPI PowerWriteACValueIndex(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                    const GUID* PowerSettingGuid, DWORD AcValueIndex) {
    return WriteIndex(SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, PowerSource::Ac, AcValueIndex);
}

DWORD WINAPI PowerWriteDCValueIndex(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                    const GUID* PowerSettingGuid, DWORD DcValueIndex) {
    return WriteIndex(SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, PowerSource::Dc, DcValueIndex);
}

DWORD WINAPI PowerReadACValue(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                              const GUID* PowerSettingGuid, PULONG Type, LPBYTE Buffer, LPDWORD BufferSize) {
    return ReadValue(SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, PowerSource::Ac, Type, Buffer,
                     BufferSize);
}

DWORD WINAPI PowerReadDCValue(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                              const GUID* PowerSettingGuid, PULONG Type, PUCHAR Buffer, LPDWORD BufferSize) {
    return ReadValue(SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, PowerSource::Dc, Type, Buffer,
                     BufferSize);
}

DWORD WINAPI PowerReadFriendlyName(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                   const GUID* PowerSettingGuid, PUCHAR Buffer, LPDWORD BufferSize) {
    return ReadNamedText(SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, VALUE_FRIENDLY_NAME, Buffer,
                         BufferSize);
}

DWORD WINAPI PowerWriteFriendlyName(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                    const GUID* PowerSettingGuid, UCHAR* Buffer, DWORD BufferSize) {
    return WriteNamedText(SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, VALUE_FRIENDLY_NAME, Buffer,
                          BufferSize);
}

DWORD WINAPI PowerReadDescription(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                  const GUID* PowerSettingGuid, PUCHAR Buffer, LPDWORD BufferSize) {
    return ReadNamedText(SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, VALUE_DESCRIPTION, Buffer,
                         BufferSize);
}

DWORD WINAPI PowerWriteDescription(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                   const GUID* PowerSettingGuid, UCHAR* Buffer, DWORD BufferSize) {
    return WriteNamedText(SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, VALUE_DESCRIPTION, Buffer,
                          BufferSize);
}

DWORD WINAPI PowerReadValueMin(HKEY, const GUID* SubGroupOfPowerSettingsGuid, const GUID* PowerSettingGuid,
                               LPDWORD ValueMinimum) {
    return ReadRangeValue(SubGroupOfPowerSettingsGuid, PowerSettingGuid, VALUE_MIN, ValueMinimum);
}

DWORD WINAPI PowerReadValueMax(HKEY, const GUID* SubGroupOfPowerSettingsGuid, const GUID* PowerSettingGuid,
                               LPDWORD ValueMaximum) {
    return ReadRangeValue(SubGroupOfPowerSettingsGuid, PowerSettingGuid, VALUE_MAX, ValueMaximum);
}

DWORD WINAPI PowerReadValueIncrement(HKEY, const GUID* SubGroupOfPowerSettingsGuid, const GUID* PowerSettingGuid,
                                     LPDWORD ValueIncrement) {
    return ReadRangeValue(SubGroupOfPowerSettingsGuid, PowerSettingGuid, VALUE_INCREMENT, ValueIncrement);
}

DWORD WINAPI PowerGetActiveScheme(HKEY, GUID** ActivePolicyGuid) {
    if (ActivePolicyGuid == nullptr) return ERROR_INVALID_PARAMETER;
    PrepareStore();
    GUID active{};
    DWORD rc = ReadActiveScheme(active);
    if (rc != ERROR_SUCCESS) return rc;
    *ActivePolicyGuid = AllocGuid(active);
    return *ActivePolicyGuid ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

DWORD WINAPI PowerSetActiveScheme(HKEY, const GUID* SchemeGuid) {
    if (SchemeGuid == nullptr) return ERROR_INVALID_PARAMETER;
    PrepareStore();
    if (!PlanExists(*SchemeGuid)) return ERROR_FILE_NOT_FOUND;
    // A scripted failure (simlib's "Failures\PowerSetActiveScheme" under the Power key) refuses
    // the change and leaves the active plan as it was.
    DWORD scripted = ERROR_SUCCESS;
    if (simlib::TakeScriptedFailure(L"Power", L"PowerSetActiveScheme", scripted)) return scripted;
    return WriteActiveScheme(*SchemeGuid);
}

DWORD WINAPI PowerDuplicateScheme(HKEY, const GUID* SourceSchemeGuid, GUID** DestinationSchemeGuid) {
    if (SourceSchemeGuid == nullptr || DestinationSchemeGuid == nullptr) return ERROR_INVALID_PARAMETER;
    PrepareStore();
    if (!PlanExists(*SourceSchemeGuid)) return ERROR_FILE_NOT_FOUND;
    GUID target{};
    bool allocated = false;
    DWORD rc = ChooseTarget(DestinationSchemeGuid, target, allocated);
    if (rc != ERROR_SUCCESS) return rc;
    UniqueRegKey schemes;
    rc = OpenSchemesKey(KEY_READ | KEY_WRITE, schemes);
    if (rc != ERROR_SUCCESS) return rc;
    wchar_t from[GUID_TEXT_CCH];
    wchar_t to[GUID_TEXT_CCH];
    GuidToText(*SourceSchemeGuid, from);
    GuidToText(target, to);
    rc = CopyTree(schemes.Get(), from, schemes.Get(), to);
    if (rc != ERROR_SUCCESS) return rc;
    rc = HandBackTarget(DestinationSchemeGuid, target, allocated);
    if (rc != ERROR_SUCCESS) DeleteTree(schemes.Get(), to);
    return rc;
}

DWORD WINAPI PowerDeleteScheme(HKEY, const GUID* SchemeGuid) {
    if (SchemeGuid == nullptr) return ERROR_INVALID_PARAMETER;
    PrepareStore();
    if (!PlanExists(*SchemeGuid)) return ERROR_FILE_NOT_FOUND;
    GUID active{};
    if (ReadActiveScheme(active) == ERROR_SUCCESS && IsEqualGUID(active, *SchemeGuid)) {
        return ERROR_ACCESS_DENIED;  // the active plan cannot be deleted
    }
    UniqueRegKey schemes;
    DWORD rc = OpenSchemesKey(KEY_READ | KEY_WRITE, schemes);
    if (rc != ERROR_SUCCESS) return rc;
    wchar_t name[GUID_TEXT_CCH];
    GuidToText(*SchemeGuid, name);
    return DeleteTree(schemes.Get(), name);
}

DWORD WINAPI PowerImportPowerScheme(HKEY, LPCWSTR ImportFileNamePath, GUID** DestinationSchemeGuid) {
    if (ImportFileNamePath == nullptr || DestinationSchemeGuid == nullptr) return ERROR_INVALID_PARAMETER;
    PrepareStore();
    PlanFile plan;
    DWORD rc = LoadPlanFile(ImportFileNamePath, plan);
    if (rc == ERROR_SUCCESS) rc = CheckPlanFileValues(plan);
    if (rc != ERROR_SUCCESS) return rc;
    GUID target{};
    bool allocated = false;
    rc = ChooseTarget(DestinationSchemeGuid, target, allocated);
    if (rc == ERROR_SUCCESS) rc = CreatePlanFromFile(target, plan);
    if (rc != ERROR_SUCCESS) return rc;
    rc = HandBackTarget(DestinationSchemeGuid, target, allocated);
    if (rc != ERROR_SUCCESS) {
        UniqueRegKey schemes;
        wchar_t name[GUID_TEXT_CCH];
        GuidToText(target, name);
        if (OpenSchemesKey(KEY_READ | KEY_WRITE, schemes) == ERROR_SUCCESS) DeleteTree(schemes.Get(), name);
    }
    return rc;
}

DWORD WINAPI PowerReplaceDefaultPowerSchemes(void) {
    PrepareStore();
    UniqueRegKey power;
    DWORD rc = OpenPowerKey(KEY_ALL_ACCESS, power);
    if (rc != ERROR_SUCCESS) return rc;
    GUID active{};
    rc = ReadActiveScheme(active);
    if (rc != ERROR_SUCCESS) return rc;
    rc = DeleteTree(power.Get(), DEFAULT_SCHEMES_SUBKEY);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return rc;
    rc = CopyTree(power.Get(), SCHEMES_SUBKEY, power.Get(), DEFAULT_SCHEMES_SUBKEY);
    if (rc != ERROR_SUCCESS) return rc;
    wchar_t text[GUID_TEXT_CCH];
    GuidToText(active, text);
    return WriteStringValue(power.Get(), VALUE_DEFAULT_ACTIVE, text);
}

DWORD WINAPI PowerRestoreDefaultPowerSchemes(void) {
    PrepareStore();
    UniqueRegKey power;
    DWORD rc = OpenPowerKey(KEY_ALL_ACCESS, power);
    if (rc != ERROR_SUCCESS) return rc;
    UniqueRegKey defaults;
    if (RegOpenKeyExW(power.Get(), DEFAULT_SCHEMES_SUBKEY, 0, KEY_READ, defaults.Put()) != ERROR_SUCCESS) {
        return SeedStore(WirelessGraphicsDefined());  // never replaced: the Windows plans
    }
    defaults.Reset();
    rc = DeleteTree(power.Get(), SCHEMES_SUBKEY);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return rc;
    rc = CopyTree(power.Get(), DEFAULT_SCHEMES_SUBKEY, power.Get(), SCHEMES_SUBKEY);
    if (rc != ERROR_SUCCESS) return rc;
    std::wstring text;
    GUID active = PLAN_BALANCED;
    if (ReadStringValue(power.Get(), VALUE_DEFAULT_ACTIVE, text) != ERROR_SUCCESS ||
        !ParseGuid(text.c_str(), active) || !PlanExists(active)) {
        UniqueRegKey schemes;
        if (OpenSchemesKey(KEY_READ, schemes) != ERROR_SUCCESS ||
            EnumGuidSubkey(schemes.Get(), 0, active) != ERROR_SUCCESS) {
            return ERROR_FILE_NOT_FOUND;
        }
    }
    return WriteActiveScheme(active);
}

DWORD WINAPI PowerSettingAccessCheck(POWER_DATA_ACCESSOR AccessFlags, const GUID* /*PowerGuid*/) {
    switch (AccessFlags) {
    case ACCESS_AC_POWER_SETTING_INDEX:
    case ACCESS_DC_POWER_SETTING_INDEX:
    case ACCESS_SCHEME:
    case ACCESS_SUBGROUP:
    case ACCESS_INDIVIDUAL_SETTING:
    case ACCESS_ACTIVE_SCHEME:
    case ACCESS_CREATE_SCHEME:
        break;
    default:
        return ERROR_INVALID_PARAMETER;
    }
    PrepareStore();
    UniqueRegKey power;
    DWORD denied = 0;
    if (OpenPowerKey(KEY_READ, power) == ERROR_SUCCESS) ReadDwordValue(power.Get(), VALUE_ACCESS_DENIED, denied);
    return denied ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

BOOLEAN WINAPI CanUserWritePwrScheme(void) {
    return PowerSettingAccessCheck(ACCESS_SCHEME, nullptr) == ERROR_SUCCESS;
}

}  // extern "C"
