// Registry layout of the simulated power configuration. Everything lives below
// HKEY_LOCAL_MACHINE\Software\SimulatedPC\Power:
//
//   "ActivePowerScheme"    REG_SZ     the active plan, GUID text without braces (lower case)
//   "ActiveSchemeSerial"   REG_DWORD  raised whenever the active plan changes; the watcher of
//                                     every process broadcasts when it moves
//   "DefaultActiveScheme"  REG_SZ     the active plan when PowerReplaceDefaultPowerSchemes ran
//   "SuspendCount"         REG_DWORD  calls of SetSuspendState so far
//   "LastSuspendHibernate", "LastSuspendForceCritical", "LastSuspendDisableWakeEvent"
//                          REG_DWORD  arguments of the last SetSuspendState call (0/1)
//   "SuspendAllowed", "HibernateAllowed"  REG_DWORD, optional (default 1): the sleep states
//   "AccessDenied"         REG_DWORD, optional (default 0): nonzero makes PowerSettingAccessCheck
//                                     answer ERROR_ACCESS_DENIED (a user under group policy)
//   Schemes\<plan>                    one key per plan: "FriendlyName", "Description" (REG_SZ)
//     Schemes\<plan>\<subgroup>\<setting>   "ACSettingIndex", "DCSettingIndex" (REG_DWORD)
//   Settings\<subgroup>               "FriendlyName", "Description" of the subgroup
//     Settings\<subgroup>\<setting>   "FriendlyName", "Description", "ACDefaultIndex",
//                                     "DCDefaultIndex" (REG_DWORD) and either the range
//                                     "ValueMin", "ValueMax", "ValueIncrement" (REG_DWORD),
//                                     "ValueUnits" (REG_SZ) or "PossibleValues" (REG_DWORD,
//                                     the number of index values 0 .. n-1)
//   DefaultSchemes\<plan>\...         copy of Schemes made by PowerReplaceDefaultPowerSchemes
//
// Key names are GUIDs as "%08x-%04x-%04x-..." in lower case, without braces. A subgroup or a
// setting exists when its key under Settings has a "FriendlyName". A plan without its own value
// for a setting reads the setting's default index. A name that starts with "@powrprof.dll,-"
// names a string resource of the stand-in and reads back in the user's UI language.
#pragma once

namespace simpower {

inline constexpr wchar_t SIMULATED_PC_KEY[] = L"Software\\SimulatedPC";
inline constexpr wchar_t POWER_KEY[] = L"Software\\SimulatedPC\\Power";
inline constexpr wchar_t SCHEMES_SUBKEY[] = L"Schemes";
inline constexpr wchar_t SETTINGS_SUBKEY[] = L"Settings";
inline constexpr wchar_t DEFAULT_SCHEMES_SUBKEY[] = L"DefaultSchemes";

inline constexpr wchar_t VALUE_ACTIVE_SCHEME[] = L"ActivePowerScheme";
inline constexpr wchar_t VALUE_ACTIVE_SERIAL[] = L"ActiveSchemeSerial";
inline constexpr wchar_t VALUE_DEFAULT_ACTIVE[] = L"DefaultActiveScheme";
inline constexpr wchar_t VALUE_SUSPEND_COUNT[] = L"SuspendCount";
inline constexpr wchar_t VALUE_LAST_HIBERNATE[] = L"LastSuspendHibernate";
inline constexpr wchar_t VALUE_LAST_FORCE[] = L"LastSuspendForceCritical";
inline constexpr wchar_t VALUE_LAST_NO_WAKE[] = L"LastSuspendDisableWakeEvent";
inline constexpr wchar_t VALUE_SUSPEND_ALLOWED[] = L"SuspendAllowed";
inline constexpr wchar_t VALUE_HIBERNATE_ALLOWED[] = L"HibernateAllowed";
inline constexpr wchar_t VALUE_ACCESS_DENIED[] = L"AccessDenied";

inline constexpr wchar_t VALUE_FRIENDLY_NAME[] = L"FriendlyName";
inline constexpr wchar_t VALUE_DESCRIPTION[] = L"Description";
inline constexpr wchar_t VALUE_AC_INDEX[] = L"ACSettingIndex";
inline constexpr wchar_t VALUE_DC_INDEX[] = L"DCSettingIndex";
inline constexpr wchar_t VALUE_AC_DEFAULT[] = L"ACDefaultIndex";
inline constexpr wchar_t VALUE_DC_DEFAULT[] = L"DCDefaultIndex";
inline constexpr wchar_t VALUE_MIN[] = L"ValueMin";
inline constexpr wchar_t VALUE_MAX[] = L"ValueMax";
inline constexpr wchar_t VALUE_INCREMENT[] = L"ValueIncrement";
inline constexpr wchar_t VALUE_UNITS[] = L"ValueUnits";
inline constexpr wchar_t VALUE_POSSIBLE_COUNT[] = L"PossibleValues";

// The simulated processor and battery (written by simctl and the simdev driver).
inline constexpr wchar_t PROCESSOR_KEY[] = L"Software\\SimulatedPC\\Processor";
inline constexpr wchar_t VALUE_MAX_MHZ[] = L"MaxMhz";
inline constexpr wchar_t VALUE_CURRENT_MHZ[] = L"CurrentMhz";
inline constexpr wchar_t VALUE_MHZ_LIMIT[] = L"MhzLimit";
inline constexpr wchar_t BATTERY_KEY[] = L"System\\CurrentControlSet\\Services\\simdev\\Parameters";

// Prefix of names that refer to the stand-in's own string table.
inline constexpr wchar_t RESOURCE_NAME_PREFIX[] = L"@powrprof.dll,-";

}  // namespace simpower
