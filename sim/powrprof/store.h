// The simulated power configuration in the registry (layout in store_layout.h): opening plans
// and setting definitions, value indexes, names, the active plan.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace simpower {

using common::UniqueRegKey;

// Which of a plan's two indexes: on mains (AC) or on battery (DC).
enum class PowerSource { Ac, Dc };

// Registry helpers (REG_SZ values are returned without their terminator).
DWORD ReadStringValue(HKEY key, const wchar_t* name, std::wstring& value);
DWORD WriteStringValue(HKEY key, const wchar_t* name, const std::wstring& value);
DWORD ReadDwordValue(HKEY key, const wchar_t* name, DWORD& value);
DWORD WriteDwordValue(HKEY key, const wchar_t* name, DWORD value);

// HKLM\Software\SimulatedPC\Power, without seeding it.
DWORD OpenPowerKey(REGSAM access, UniqueRegKey& key);
// Seeds the default configuration (with the wireless and graphics settings) when the Power key
// is missing or incomplete; serialised across processes.
DWORD EnsureStore();

// <parent>\<guid> (ERROR_FILE_NOT_FOUND when missing).
DWORD OpenGuidSubkey(HKEY parent, const GUID& guid, REGSAM access, UniqueRegKey& key);
DWORD CreateGuidSubkey(HKEY parent, const GUID& guid, UniqueRegKey& key);
// The index-th subkey of parent whose name is a GUID (other names are skipped);
// ERROR_NO_MORE_ITEMS after the last. Index i costs one walk per state of the key, not i + 1
// steps per call.
DWORD EnumGuidSubkey(HKEY parent, ULONG index, GUID& guid);
// Drops the kept enumerations (every subkey this stand-in creates or deletes calls it).
void InvalidateEnumCache();

// Schemes\<plan> (ERROR_FILE_NOT_FOUND for an unknown plan).
DWORD OpenPlanKey(const GUID& plan, REGSAM access, UniqueRegKey& key);
bool PlanExists(const GUID& plan);
// Settings\<subgroup>[\<setting>] when it exists (has a name); ERROR_FILE_NOT_FOUND otherwise.
// setting may be null for the subgroup itself.
DWORD OpenDefinitionKey(const GUID& subgroup, const GUID* setting, REGSAM access,
                        UniqueRegKey& key);

// A plan's index for one setting; the setting's default when the plan has no own value.
DWORD ReadValueIndex(const GUID& plan, const GUID& subgroup, const GUID& setting,
                     PowerSource source, DWORD& value);
// Checks the value against the setting's range or number of index values
// (ERROR_INVALID_PARAMETER outside it) before anything is written.
DWORD WriteValueIndex(const GUID& plan, const GUID& subgroup, const GUID& setting,
                      PowerSource source, DWORD value);
// ERROR_INVALID_PARAMETER when value is outside what the setting accepts.
DWORD CheckValueForSetting(HKEY definition, DWORD value);

DWORD ReadActiveScheme(GUID& plan);
// Writes the active plan; when that changes the active plan it raises the serial that the
// watchers follow (activating the plan that is already active announces nothing).
DWORD WriteActiveScheme(const GUID& plan);

// Deletes key\subkey with everything below it; ERROR_FILE_NOT_FOUND when absent.
DWORD DeleteTree(HKEY key, const wchar_t* subkey);
// Copies source\sourceSubkey to a new target\targetSubkey (which must not exist yet).
DWORD CopyTree(HKEY source, const wchar_t* sourceSubkey, HKEY target, const wchar_t* targetSubkey);

}  // namespace simpower
