#include "vendrel/plan_file.h"

#include <rpc.h>
#include <strsafe.h>

#include "common/log.h"

namespace vendrel {

namespace {
constexpr wchar_t kInfoSection[] = L"PLANS_INFO";
constexpr wchar_t kAliasSection[] = L"ALIASES";
constexpr wchar_t kCountKey[] = L"COUNT";
constexpr wchar_t kReplaceKey[] = L"REPLACE";
constexpr wchar_t kGuidKey[] = L"GUID";
constexpr wchar_t kBaseGuidKey[] = L"BASE_GUID";
constexpr wchar_t kNameKey[] = L"NAME";
constexpr wchar_t kDescKey[] = L"DESC";
constexpr wchar_t kSettingKey[] = L"SETTING";
constexpr wchar_t kAcIndexKey[] = L"ACINDEX";
constexpr wchar_t kDcIndexKey[] = L"DCINDEX";
constexpr wchar_t kSubgroupKey[] = L"SUBGROUP_GUID";
constexpr wchar_t kSettingGuidKey[] = L"SETTING_GUID";
constexpr wchar_t kAliasMark = L'@';
constexpr GUID kNullGuid = {};

constexpr size_t kGuidTextChars = 260;     // GUID text up to 259 characters
constexpr size_t kPlanTextChars = 512;     // names and descriptions up to 511 characters
constexpr size_t kSectionNameChars = 64;   // section names up to 63 characters
constexpr size_t kNumberedNameChars = 32;  // "SETTING_%d", "PLAN_%d"

bool ParseGuid(wchar_t* text, GUID* guid) noexcept {
    return UuidFromStringW(reinterpret_cast<RPC_WSTR>(text), guid) == RPC_S_OK;
}

// One setting entry of a plan: value section → definition section → the two index writes.
void WritePlanSetting(const CIniCtl& ini, const wchar_t* planSection, int entry, const GUID& plan,
                      PowerPlanApi& api) noexcept {
    wchar_t entryKey[kNumberedNameChars] = {};
    if (FAILED(StringCchPrintfW(entryKey, ARRAYSIZE(entryKey), L"SETTING_%d", entry))) {
        return;
    }
    wchar_t valueSection[kSectionNameChars] = {};
    if (ini.ReadString(planSection, entryKey, L"", valueSection, ARRAYSIZE(valueSection)) == 0) {
        return;
    }
    wchar_t definitionSection[kSectionNameChars] = {};
    if (ini.ReadString(valueSection, kSettingKey, L"", definitionSection,
                       ARRAYSIZE(definitionSection)) == 0) {
        return;
    }
    GUID subgroup = kNullGuid;  // an unreadable subgroup is "no subgroup"
    GUID setting = kNullGuid;
    ReadPlanFileGuid(ini, definitionSection, kSubgroupKey, &subgroup);
    if (!ReadPlanFileGuid(ini, definitionSection, kSettingGuidKey, &setting)) {
        // Without a setting GUID the value would land on a setting nobody asked for.
        LOG_TRACE(TRACE_LEVEL_VALUES, L"WritePlanSetting", L"%s: no SETTING_GUID in %s",
                  entryKey, definitionSection);
        return;
    }
    if (ini.HasValue(valueSection, kAcIndexKey)) {
        const DWORD value = ini.ReadInt(valueSection, kAcIndexKey, 0);
        api.WriteACValueIndex(plan, subgroup, setting, value);
    }
    if (ini.HasValue(valueSection, kDcIndexKey)) {
        const DWORD value = ini.ReadInt(valueSection, kDcIndexKey, 0);
        api.WriteDCValueIndex(plan, subgroup, setting, value);
    }
}
}  // namespace

bool ReadPlanFileGuid(const CIniCtl& ini, const wchar_t* section, const wchar_t* key,
                      GUID* guid) noexcept {
    if (guid == nullptr) {
        return false;
    }
    *guid = kNullGuid;
    wchar_t text[kGuidTextChars] = {};
    if (ini.ReadString(section, key, L"", text, ARRAYSIZE(text)) == 0) {
        return false;
    }
    if (text[0] == kAliasMark) {
        wchar_t alias[kGuidTextChars] = {};
        if (text[1] == L'\0' ||
            ini.ReadString(kAliasSection, text + 1, L"", alias, ARRAYSIZE(alias)) == 0) {
            return false;
        }
        StringCchCopyW(text, ARRAYSIZE(text), alias);
    }
    GUID parsed = kNullGuid;
    if (!ParseGuid(text, &parsed)) {
        return false;
    }
    *guid = parsed;
    return true;
}

DWORD CreatePlanFromFile(const CIniCtl& ini, int index, PowerPlanApi& api) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"CreatePlanFromFile", L"Enter");
    wchar_t section[kNumberedNameChars] = {};
    if (FAILED(StringCchPrintfW(section, ARRAYSIZE(section), L"PLAN_%d", index))) {
        return ERROR_INVALID_PARAMETER;
    }
    GUID plan = kNullGuid;
    GUID base = kNullGuid;
    if (!ReadPlanFileGuid(ini, section, kGuidKey, &plan) ||
        !ReadPlanFileGuid(ini, section, kBaseGuidKey, &base)) {
        LOG_TRACE(TRACE_LEVEL_APP, L"CreatePlanFromFile", L"Exit - Error! retval:%08x",
                  ERROR_INVALID_DATA);
        return ERROR_INVALID_DATA;
    }
    // A plan that is its own base, or the null GUID, would overwrite a plan the file does
    // not create.
    if (IsEqualGUID(plan, kNullGuid) || IsEqualGUID(base, kNullGuid) || IsEqualGUID(plan, base)) {
        LOG_TRACE(TRACE_LEVEL_APP, L"CreatePlanFromFile", L"Exit - Error! retval:%08x",
                  ERROR_INVALID_DATA);
        return ERROR_INVALID_DATA;
    }
    DWORD result = api.DuplicateScheme(base, plan);
    if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS) {
        LOG_TRACE(TRACE_LEVEL_APP, L"CreatePlanFromFile", L"Exit - Error! retval:%08x", result);
        return result;
    }
    wchar_t text[kPlanTextChars] = {};
    if (ini.ReadString(section, kNameKey, L"", text, ARRAYSIZE(text)) > 0) {
        api.WriteFriendlyName(plan, text);
    }
    if (ini.ReadString(section, kDescKey, L"", text, ARRAYSIZE(text)) > 0) {
        api.WriteDescription(plan, text);
    }
    const int settings = ini.ReadCount(section, kSettingKey);
    for (int entry = 0; entry < settings; ++entry) {
        WritePlanSetting(ini, section, entry, plan, api);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"CreatePlanFromFile", L"Exit");
    return ERROR_SUCCESS;
}

int CreatePlansFromFile(const wchar_t* planFilePath, PowerPlanApi& api) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"CreatePlansFromFile", L"Enter");
    CIniCtl ini(planFilePath);
    if (!ini.IsInitialised()) {
        return 0;
    }
    const int count = ini.ReadCount(kInfoSection, kCountKey);
    int created = 0;
    for (int index = 0; index < count; ++index) {
        if (CreatePlanFromFile(ini, index, api) == ERROR_SUCCESS) {
            ++created;
        }
    }
    if (ini.ReadInt(kInfoSection, kReplaceKey, 0) != 0) {
        const DWORD result = api.ReplaceDefaultSchemes();
        LOG_TRACE(TRACE_LEVEL_VALUES, L"CreatePlansFromFile",
                  L"PowerReplaceDefaultPowerSchemes:%u", result);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"CreatePlansFromFile", L"Exit retval:%08x", created);
    return created;
}

}  // namespace vendrel
