#include "sim/powrprof/store.h"

#include <vector>

#include "sim/powrprof/guid_text.h"
#include "sim/powrprof/seed.h"
#include "sim/powrprof/store_layout.h"

namespace simpower {
namespace {

constexpr DWORD SEED_LOCK_TIMEOUT_MS = 10000;
constexpr wchar_t SEED_MUTEX_NAME[] = L"SimulatedPC.PowerStore";
// Longest REG_SZ the store keeps (names and descriptions are far shorter).
constexpr DWORD MAX_STRING_BYTES = 64 * 1024;
constexpr DWORD MAX_KEY_NAME_CCH = 256;

DWORD OpenSub(HKEY parent, const wchar_t* name, REGSAM access, UniqueRegKey& key) {
    return RegOpenKeyExW(parent, name, 0, access, key.Put());
}

bool StoreComplete() {
    UniqueRegKey power;
    if (OpenPowerKey(KEY_READ, power) != ERROR_SUCCESS) return false;
    std::wstring active;
    GUID g{};
    return ReadStringValue(power.Get(), VALUE_ACTIVE_SCHEME, active) == ERROR_SUCCESS &&
           ParseGuid(active.c_str(), g);
}

}  // namespace

DWORD ReadStringValue(HKEY key, const wchar_t* name, std::wstring& value) {
    DWORD type = 0;
    DWORD bytes = 0;
    DWORD rc = RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes);
    if (rc != ERROR_SUCCESS) return rc;
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || bytes > MAX_STRING_BYTES) {
        return ERROR_INVALID_DATA;
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    if (rc != ERROR_SUCCESS) return rc;
    buffer[bytes / sizeof(wchar_t)] = L'\0';
    value.assign(buffer.data());  // stops at the first terminator
    return ERROR_SUCCESS;
}

DWORD WriteStringValue(HKEY key, const wchar_t* name, const std::wstring& value) {
    DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

DWORD ReadDwordValue(HKEY key, const wchar_t* name, DWORD& value) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD bytes = sizeof(data);
    DWORD rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &bytes);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_DWORD || bytes != sizeof(data)) return ERROR_INVALID_DATA;
    value = data;
    return ERROR_SUCCESS;
}

DWORD WriteDwordValue(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

DWORD OpenPowerKey(REGSAM access, UniqueRegKey& key) {
    return OpenSub(HKEY_LOCAL_MACHINE, POWER_KEY, access, key);
}

DWORD EnsureStore() {
    if (StoreComplete()) return ERROR_SUCCESS;
    common::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, SEED_MUTEX_NAME));
    common::MutexLock lock(mutex.Get(), SEED_LOCK_TIMEOUT_MS);
    if (!lock.Owned()) return ERROR_TIMEOUT;
    if (StoreComplete()) return ERROR_SUCCESS;  // another process seeded meanwhile
    return SeedStore(true);
}

DWORD OpenGuidSubkey(HKEY parent, const GUID& guid, REGSAM access, UniqueRegKey& key) {
    wchar_t name[GUID_TEXT_CCH];
    GuidToText(guid, name);
    return OpenSub(parent, name, access, key);
}

DWORD CreateGuidSubkey(HKEY parent, const GUID& guid, UniqueRegKey& key) {
    wchar_t name[GUID_TEXT_CCH];
    GuidToText(guid, name);
    InvalidateEnumCache();
    return RegCreateKeyExW(parent, name, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.Put(), nullptr);
}

namespace {

// Walks every subkey of parent and keeps the GUID-named ones in order. The status is the one
// that ended the walk (ERROR_NO_MORE_ITEMS after the last subkey).
DWORD ListGuidSubkeys(HKEY parent, std::vector<GUID>& guids) {
    for (DWORD i = 0;; ++i) {
        wchar_t name[MAX_KEY_NAME_CCH];
        DWORD cch = MAX_KEY_NAME_CCH;
        DWORD rc = RegEnumKeyExW(parent, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;  // too long to be a GUID
        if (rc != ERROR_SUCCESS) return rc;
        GUID g{};
        if (ParseGuid(name, g)) guids.push_back(g);
    }
}

// Enumeration by index walks the subkeys once per key state instead of once per index: the
// GUID subkeys of the last few keys enumerated are kept, and a list is reused only while its key
// has the same full name, subkey count and last-write time (creating or deleting a subkey
// changes the time, in this process or another) and no write of this process came between.
struct EnumCacheEntry {
    std::wstring keyName;
    DWORD subkeys = 0;
    FILETIME written{};
    LONG generation = 0;
    std::vector<GUID> guids;
    DWORD endStatus = ERROR_NO_MORE_ITEMS;
};

constexpr size_t ENUM_CACHE_ENTRIES = 4;
constexpr ULONG KEY_NAME_INFORMATION_CLASS = 3;  // KeyNameInformation
constexpr ULONG MAX_KEY_PATH_BYTES = 4096;

SRWLOCK g_enumLock = SRWLOCK_INIT;
EnumCacheEntry g_enumCache[ENUM_CACHE_ENTRIES];
size_t g_enumNext = 0;
volatile LONG g_storeGeneration = 1;

using NtQueryKeyFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

// The key's full registry path ("\REGISTRY\MACHINE\..."); false when it cannot be told.
bool KeyFullName(HKEY key, std::wstring& name) {
    static const NtQueryKeyFn query = reinterpret_cast<NtQueryKeyFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
    if (query == nullptr) return false;
    std::vector<BYTE> buffer(MAX_KEY_PATH_BYTES);
    ULONG needed = 0;
    if (query(key, KEY_NAME_INFORMATION_CLASS, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) < 0) {
        return false;
    }
    ULONG length = 0;
    memcpy(&length, buffer.data(), sizeof(length));
    if (length > buffer.size() - sizeof(ULONG)) return false;
    name.assign(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof(ULONG)), length / sizeof(wchar_t));
    return true;
}

}  // namespace

void InvalidateEnumCache() { InterlockedIncrement(&g_storeGeneration); }

DWORD EnumGuidSubkey(HKEY parent, ULONG index, GUID& guid) {
    std::wstring name;
    DWORD subkeys = 0;
    FILETIME written{};
    const LONG generation = g_storeGeneration;
    const bool identified =
        KeyFullName(parent, name) && RegQueryInfoKeyW(parent, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                                      nullptr, nullptr, nullptr, nullptr, &written) == ERROR_SUCCESS;
    if (identified) {
        AcquireSRWLockShared(&g_enumLock);
        for (const EnumCacheEntry& e : g_enumCache) {
            if (e.generation == generation && e.subkeys == subkeys && CompareFileTime(&e.written, &written) == 0 &&
                e.keyName == name) {
                const DWORD rc = index < e.guids.size() ? ERROR_SUCCESS : e.endStatus;
                if (rc == ERROR_SUCCESS) guid = e.guids[index];
                ReleaseSRWLockShared(&g_enumLock);
                return rc;
            }
        }
        ReleaseSRWLockShared(&g_enumLock);
    }
    std::vector<GUID> guids;
    const DWORD endStatus = ListGuidSubkeys(parent, guids);
    const DWORD rc = index < guids.size() ? ERROR_SUCCESS : endStatus;
    if (rc == ERROR_SUCCESS) guid = guids[index];
    if (identified && endStatus == ERROR_NO_MORE_ITEMS) {
        AcquireSRWLockExclusive(&g_enumLock);
        EnumCacheEntry& slot = g_enumCache[g_enumNext];
        g_enumNext = (g_enumNext + 1) % ENUM_CACHE_ENTRIES;
        slot.keyName = std::move(name);
        slot.subkeys = subkeys;
        slot.written = written;
        slot.generation = generation;
        slot.guids = std::move(guids);
        slot.endStatus = endStatus;
        ReleaseSRWLockExclusive(&g_enumLock);
    }
    return rc;
}

DWORD OpenPlanKey(const GUID& plan, REGSAM access, UniqueRegKey& key) {
    UniqueRegKey schemes;
    DWORD rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(POWER_KEY) + L"\\" + SCHEMES_SUBKEY).c_str(),
                             0, access, schemes.Put());
    if (rc != ERROR_SUCCESS) return rc;
    return OpenGuidSubkey(schemes.Get(), plan, access, key);
}

bool PlanExists(const GUID& plan) {
    UniqueRegKey key;
    return OpenPlanKey(plan, KEY_READ, key) == ERROR_SUCCESS;
}

DWORD OpenDefinitionKey(const GUID& subgroup, const GUID* setting, REGSAM access, UniqueRegKey& key) {
    UniqueRegKey settings;
    DWORD rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(POWER_KEY) + L"\\" + SETTINGS_SUBKEY).c_str(),
                             0, KEY_READ, settings.Put());
    if (rc != ERROR_SUCCESS) return rc;
    UniqueRegKey group;
    rc = OpenGuidSubkey(settings.Get(), subgroup, setting ? KEY_READ : access, group);
    if (rc != ERROR_SUCCESS) return rc;
    if (setting == nullptr) {
        key = std::move(group);
    } else {
        rc = OpenGuidSubkey(group.Get(), *setting, access, key);
        if (rc != ERROR_SUCCESS) return rc;
    }
    std::wstring name;
    if (ReadStringValue(key.Get(), VALUE_FRIENDLY_NAME, name) != ERROR_SUCCESS) {
        key.Reset();
        return ERROR_FILE_NOT_FOUND;  // a setting exists only when it has a name
    }
    return ERROR_SUCCESS;
}

DWORD ReadValueIndex(const GUID& plan, const GUID& subgroup, const GUID& setting, PowerSource source,
                     DWORD& value) {
    UniqueRegKey planKey;
    DWORD rc = OpenPlanKey(plan, KEY_READ, planKey);
    if (rc != ERROR_SUCCESS) return rc;
    UniqueRegKey definition;
    rc = OpenDefinitionKey(subgroup, &setting, KEY_READ, definition);
    if (rc != ERROR_SUCCESS) return rc;
    const bool ac = source == PowerSource::Ac;
    UniqueRegKey group;
    UniqueRegKey own;
    if (OpenGuidSubkey(planKey.Get(), subgroup, KEY_READ, group) == ERROR_SUCCESS &&
        OpenGuidSubkey(group.Get(), setting, KEY_READ, own) == ERROR_SUCCESS &&
        ReadDwordValue(own.Get(), ac ? VALUE_AC_INDEX : VALUE_DC_INDEX, value) == ERROR_SUCCESS) {
        return ERROR_SUCCESS;
    }
    rc = ReadDwordValue(definition.Get(), ac ? VALUE_AC_DEFAULT : VALUE_DC_DEFAULT, value);
    return rc == ERROR_SUCCESS ? rc : ERROR_FILE_NOT_FOUND;
}

DWORD CheckValueForSetting(HKEY definition, DWORD value) {
    DWORD count = 0;
    if (ReadDwordValue(definition, VALUE_POSSIBLE_COUNT, count) == ERROR_SUCCESS) {
        return value < count ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    }
    DWORD minimum = 0;
    DWORD maximum = MAXDWORD;
    ReadDwordValue(definition, VALUE_MIN, minimum);
    ReadDwordValue(definition, VALUE_MAX, maximum);
    return (value >= minimum && value <= maximum) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

DWORD WriteValueIndex(const GUID& plan, const GUID& subgroup, const GUID& setting, PowerSource source,
                      DWORD value) {
    UniqueRegKey planKey;
    DWORD rc = OpenPlanKey(plan, KEY_READ | KEY_WRITE, planKey);
    if (rc != ERROR_SUCCESS) return rc;
    UniqueRegKey definition;
    rc = OpenDefinitionKey(subgroup, &setting, KEY_READ, definition);
    if (rc != ERROR_SUCCESS) return rc;
    rc = CheckValueForSetting(definition.Get(), value);
    if (rc != ERROR_SUCCESS) return rc;
    UniqueRegKey group;
    rc = CreateGuidSubkey(planKey.Get(), subgroup, group);
    if (rc != ERROR_SUCCESS) return rc;
    UniqueRegKey own;
    rc = CreateGuidSubkey(group.Get(), setting, own);
    if (rc != ERROR_SUCCESS) return rc;
    return WriteDwordValue(own.Get(), source == PowerSource::Ac ? VALUE_AC_INDEX : VALUE_DC_INDEX, value);
}

DWORD ReadActiveScheme(GUID& plan) {
    UniqueRegKey power;
    DWORD rc = OpenPowerKey(KEY_READ, power);
    if (rc != ERROR_SUCCESS) return rc;
    std::wstring text;
    rc = ReadStringValue(power.Get(), VALUE_ACTIVE_SCHEME, text);
    if (rc != ERROR_SUCCESS) return rc;
    return ParseGuid(text.c_str(), plan) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

DWORD WriteActiveScheme(const GUID& plan) {
    UniqueRegKey power;
    DWORD rc = OpenPowerKey(KEY_READ | KEY_WRITE, power);
    if (rc != ERROR_SUCCESS) return rc;
    GUID previous{};
    const bool changes = ReadActiveScheme(previous) != ERROR_SUCCESS || !IsEqualGUID(previous, plan);
    // A new store starts its serial at an arbitrary point, so that a watcher that followed an
    // earlier store (deleted meanwhile) cannot mistake the new serial for one it has seen.
    DWORD serial = 0;
    if (ReadDwordValue(power.Get(), VALUE_ACTIVE_SERIAL, serial) != ERROR_SUCCESS) serial = GetTickCount();
    wchar_t text[GUID_TEXT_CCH];
    GuidToText(plan, text);
    // The serial is written after the GUID: a watcher woken by the serial reads the new plan.
    rc = WriteStringValue(power.Get(), VALUE_ACTIVE_SCHEME, text);
    if (rc != ERROR_SUCCESS || !changes) return rc;
    return WriteDwordValue(power.Get(), VALUE_ACTIVE_SERIAL, serial + 1);
}

DWORD DeleteTree(HKEY key, const wchar_t* subkey) {
    UniqueRegKey probe;
    DWORD rc = RegOpenKeyExW(key, subkey, 0, KEY_READ, probe.Put());
    if (rc != ERROR_SUCCESS) return rc;
    probe.Reset();
    InvalidateEnumCache();
    return RegDeleteTreeW(key, subkey);  // removes the subkey itself as well
}

DWORD CopyTree(HKEY source, const wchar_t* sourceSubkey, HKEY target, const wchar_t* targetSubkey) {
    UniqueRegKey from;
    DWORD rc = RegOpenKeyExW(source, sourceSubkey, 0, KEY_READ, from.Put());
    if (rc != ERROR_SUCCESS) return rc;
    InvalidateEnumCache();
    UniqueRegKey to;
    DWORD disposition = 0;
    rc = RegCreateKeyExW(target, targetSubkey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, to.Put(),
                         &disposition);
    if (rc != ERROR_SUCCESS) return rc;
    if (disposition != REG_CREATED_NEW_KEY) return ERROR_ALREADY_EXISTS;
    rc = RegCopyTreeW(from.Get(), nullptr, to.Get());
    if (rc != ERROR_SUCCESS) {
        to.Reset();
        RegDeleteTreeW(target, targetSubkey);
    }
    return rc;
}

}  // namespace simpower
