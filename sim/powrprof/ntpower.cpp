// CallNtPowerInformation with the simulated processor and battery, the sleep states and their
// record, and the platform role.
#include <windows.h>
#include <powrprof.h>

#include "sim/powrprof/exports_common.h"
#include "sim/powrprof/store.h"
#include "sim/powrprof/store_layout.h"

using namespace simpower;

// <powrprof.h> declares CallNtPowerInformation with a LONG status and leaves no NTSTATUS behind.
using NTSTATUS = LONG;

namespace {

constexpr NTSTATUS NT_STATUS_SUCCESS = 0;
constexpr NTSTATUS NT_STATUS_BUFFER_TOO_SMALL = static_cast<NTSTATUS>(0xC0000023L);
constexpr NTSTATUS NT_STATUS_NOT_IMPLEMENTED = static_cast<NTSTATUS>(0xC0000002L);
constexpr DWORD UNKNOWN_TIME = 0xFFFFFFFF;
constexpr DWORD SECONDS_PER_HOUR = 3600;
constexpr DWORD PERCENT = 100;
constexpr DWORD LOW_ALERT_PERCENT = 10;      // manufacturer's low-battery alert
constexpr DWORD WARNING_ALERT_PERCENT = 3;   // manufacturer's warning alert

// Not declared by the mingw-w64 headers.
struct ProcessorPowerInformation {
    ULONG Number;
    ULONG MaxMhz;
    ULONG CurrentMhz;
    ULONG MhzLimit;
    ULONG MaxIdleState;
    ULONG CurrentIdleState;
};

using NtPowerInformationFn = NTSTATUS(WINAPI*)(POWER_INFORMATION_LEVEL, PVOID, ULONG, PVOID, ULONG);

NTSTATUS CallNtdll(POWER_INFORMATION_LEVEL level, PVOID in, ULONG inLength, PVOID out, ULONG outLength) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto fn = ntdll ? reinterpret_cast<NtPowerInformationFn>(
                          reinterpret_cast<void*>(GetProcAddress(ntdll, "NtPowerInformation")))
                    : nullptr;
    return fn ? fn(level, in, inLength, out, outLength) : NT_STATUS_NOT_IMPLEMENTED;
}

DWORD ReadDword(HKEY key, const wchar_t* name, DWORD fallback) {
    DWORD value = fallback;
    return ReadDwordValue(key, name, value) == ERROR_SUCCESS ? value : fallback;
}

NTSTATUS ProcessorState(PVOID out, ULONG outLength) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    const ULONG count = info.dwNumberOfProcessors;
    const ULONG needed = count * sizeof(ProcessorPowerInformation);
    if (out == nullptr || outLength < needed) return NT_STATUS_BUFFER_TOO_SMALL;
    auto* cpus = static_cast<ProcessorPowerInformation*>(out);
    if (CallNtdll(ProcessorInformation, nullptr, 0, out, needed) != NT_STATUS_SUCCESS) {
        ZeroMemory(out, needed);
        for (ULONG i = 0; i < count; ++i) cpus[i].Number = i;
    }
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, PROCESSOR_KEY, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return NT_STATUS_SUCCESS;  // no simulated processor: the host's figures
    }
    for (ULONG i = 0; i < count; ++i) {
        cpus[i].MaxMhz = ReadDword(key.Get(), VALUE_MAX_MHZ, cpus[i].MaxMhz);
        cpus[i].CurrentMhz = ReadDword(key.Get(), VALUE_CURRENT_MHZ, cpus[i].CurrentMhz);
        cpus[i].MhzLimit = ReadDword(key.Get(), VALUE_MHZ_LIMIT, cpus[i].MhzLimit);
    }
    return NT_STATUS_SUCCESS;
}

struct SimBattery {
    bool present;
    bool acOnLine;
    bool charging;
    DWORD fullCharged;
    DWORD remaining;
    LONG rate;
};

SimBattery ReadSimBattery() {
    SimBattery b{false, true, false, 0, 0, 0};
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, BATTERY_KEY, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return b;
    b.present = ReadDword(key.Get(), L"BatteryPresent", 0) != 0;
    b.acOnLine = ReadDword(key.Get(), L"AcOnLine", 1) != 0;
    if (!b.present) return b;
    b.charging = ReadDword(key.Get(), L"Charging", 0) != 0;
    b.fullCharged = ReadDword(key.Get(), L"FullChargedCapacity", 0);
    b.remaining = ReadDword(key.Get(), L"RemainingCapacity", 0);
    b.rate = static_cast<LONG>(ReadDword(key.Get(), L"Rate", 0));
    return b;
}

NTSTATUS BatteryState(PVOID out, ULONG outLength) {
    if (out == nullptr || outLength < sizeof(SYSTEM_BATTERY_STATE)) return NT_STATUS_BUFFER_TOO_SMALL;
    const SimBattery b = ReadSimBattery();
    SYSTEM_BATTERY_STATE s{};
    s.AcOnLine = b.acOnLine;
    s.BatteryPresent = b.present;
    s.Charging = b.present && b.charging;
    s.Discharging = b.present && !b.acOnLine && !b.charging;
    s.MaxCapacity = b.fullCharged;
    s.RemainingCapacity = b.remaining;
    s.Rate = static_cast<DWORD>(b.rate);
    s.EstimatedTime = UNKNOWN_TIME;
    if (s.Discharging && b.rate < 0) {
        const ULONGLONG seconds = static_cast<ULONGLONG>(b.remaining) * SECONDS_PER_HOUR /
                                  static_cast<ULONGLONG>(-static_cast<LONGLONG>(b.rate));
        s.EstimatedTime = seconds < UNKNOWN_TIME ? static_cast<DWORD>(seconds) : UNKNOWN_TIME - 1;
    }
    s.DefaultAlert1 = b.fullCharged * LOW_ALERT_PERCENT / PERCENT;
    s.DefaultAlert2 = b.fullCharged * WARNING_ALERT_PERCENT / PERCENT;
    memcpy(out, &s, sizeof(s));
    return NT_STATUS_SUCCESS;
}

bool SleepStateAllowed(const wchar_t* valueName) {
    PrepareStore();
    UniqueRegKey power;
    if (OpenPowerKey(KEY_READ, power) != ERROR_SUCCESS) return true;
    return ReadDword(power.Get(), valueName, 1) != 0;
}

NTSTATUS PowerCapabilities(PVOID in, ULONG inLength, PVOID out, ULONG outLength) {
    if (out == nullptr || outLength < sizeof(SYSTEM_POWER_CAPABILITIES)) return NT_STATUS_BUFFER_TOO_SMALL;
    SYSTEM_POWER_CAPABILITIES caps{};
    if (CallNtdll(SystemPowerCapabilities, in, inLength, &caps, sizeof(caps)) != NT_STATUS_SUCCESS) {
        ZeroMemory(&caps, sizeof(caps));
    }
    const SimBattery b = ReadSimBattery();
    const bool suspend = SleepStateAllowed(VALUE_SUSPEND_ALLOWED);
    const bool hibernate = SleepStateAllowed(VALUE_HIBERNATE_ALLOWED);
    caps.PowerButtonPresent = TRUE;
    caps.LidPresent = b.present;  // the notebooks are the machines with a battery
    caps.SystemS3 = suspend;
    caps.SystemS4 = hibernate;
    caps.HiberFilePresent = hibernate;
    caps.SystemS5 = TRUE;
    caps.SystemBatteriesPresent = b.present;
    caps.VideoDimPresent = TRUE;
    caps.ProcessorThrottle = TRUE;
    memcpy(out, &caps, sizeof(caps));
    return NT_STATUS_SUCCESS;
}

}  // namespace

extern "C" {

NTSTATUS WINAPI CallNtPowerInformation(POWER_INFORMATION_LEVEL InformationLevel, PVOID InputBuffer,
                                       ULONG InputBufferLength, PVOID OutputBuffer, ULONG OutputBufferLength) {
    switch (InformationLevel) {
    case ProcessorInformation:
        return ProcessorState(OutputBuffer, OutputBufferLength);
    case SystemBatteryState:
        return BatteryState(OutputBuffer, OutputBufferLength);
    case SystemPowerCapabilities:
        return PowerCapabilities(InputBuffer, InputBufferLength, OutputBuffer, OutputBufferLength);
    default:
        return CallNtdll(InformationLevel, InputBuffer, InputBufferLength, OutputBuffer, OutputBufferLength);
    }
}

BOOLEAN WINAPI GetPwrCapabilities(PSYSTEM_POWER_CAPABILITIES lpspc) {
    if (lpspc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return PowerCapabilities(nullptr, 0, lpspc, sizeof(*lpspc)) == NT_STATUS_SUCCESS;
}

BOOLEAN WINAPI IsPwrSuspendAllowed(VOID) { return SleepStateAllowed(VALUE_SUSPEND_ALLOWED); }

BOOLEAN WINAPI IsPwrHibernateAllowed(VOID) { return SleepStateAllowed(VALUE_HIBERNATE_ALLOWED); }

BOOLEAN WINAPI IsPwrShutdownAllowed(VOID) { return TRUE; }

BOOLEAN WINAPI IsAdminOverrideActive(PADMINISTRATOR_POWER_POLICY papp) {
    (void)papp;
    return FALSE;  // no administrator power policy on the simulated PC
}

// The simulated PC never sleeps: the request is recorded for the tests and answered as
// Windows would answer it (FALSE when that sleep state is not available).
BOOLEAN WINAPI SetSuspendState(BOOLEAN bHibernate, BOOLEAN bForce, BOOLEAN bWakeupEventsDisabled) {
    PrepareStore();
    UniqueRegKey power;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, POWER_KEY, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, power.Put(),
                        nullptr) == ERROR_SUCCESS) {
        WriteDwordValue(power.Get(), VALUE_LAST_HIBERNATE, bHibernate ? 1 : 0);
        WriteDwordValue(power.Get(), VALUE_LAST_FORCE, bForce ? 1 : 0);
        WriteDwordValue(power.Get(), VALUE_LAST_NO_WAKE, bWakeupEventsDisabled ? 1 : 0);
        WriteDwordValue(power.Get(), VALUE_SUSPEND_COUNT, ReadDword(power.Get(), VALUE_SUSPEND_COUNT, 0) + 1);
    }
    if (!SleepStateAllowed(bHibernate ? VALUE_HIBERNATE_ALLOWED : VALUE_SUSPEND_ALLOWED)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    return TRUE;
}

POWER_PLATFORM_ROLE WINAPI PowerDeterminePlatformRole(void) {
    return ReadSimBattery().present ? PlatformRoleMobile : PlatformRoleDesktop;
}

POWER_PLATFORM_ROLE WINAPI PowerDeterminePlatformRoleEx(ULONG Version) {
    (void)Version;
    return PowerDeterminePlatformRole();
}

}  // extern "C"
