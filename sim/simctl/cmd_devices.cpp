// simctl commands of the simulated devices (simdev.sys): the ECO LED, the processor power-saving
// device, the panel brightness, the battery, injected failures, presence and request counters.
#include <climits>
#include <string>
#include <vector>

#include "sim/devices/simdev_client.h"
#include "sim/simctl/simctl.h"

namespace {

constexpr int EXIT_REFUSED = 1;
constexpr ULONG PERCENT = 100;
constexpr LONG DEFAULT_DISCHARGE_RATE = -10000;  // mW
constexpr LONG DEFAULT_CHARGE_RATE = 20000;      // mW
constexpr ULONG MAX_WIN32_ERROR = 0xFFFF;
constexpr ULONG DEFAULT_FAIL_ERROR = ERROR_GEN_FAILURE;

int Refused(const wchar_t* what, DWORD error) {
    simctl::Err(L"simctl: %ls failed: error %lu\n", what, error);
    return EXIT_REFUSED;
}

bool ReadState(SIMDEV_STATE& state, int& exitCode) {
    DWORD error = simdev::GetState(state);
    if (error != ERROR_SUCCESS) {
        exitCode = Refused(L"reading the device state (is simdev.sys loaded?)", error);
        return false;
    }
    return true;
}

bool ParseUnsigned(const std::wstring& text, ULONG maximum, ULONG& value) {
    long long parsed = 0;
    if (!simctl::ParseNumber(text, parsed) || parsed < 0 || parsed > static_cast<long long>(maximum)) {
        return false;
    }
    value = static_cast<ULONG>(parsed);
    return true;
}

// Accepts decimal or 0x-prefixed hexadecimal.
bool ParseUnsignedAnyBase(const std::wstring& text, ULONG maximum, ULONG& value) {
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        wchar_t* end = nullptr;
        unsigned long long parsed = wcstoull(text.c_str() + 2, &end, 16);
        if (end == nullptr || *end != L'\0' || parsed > maximum) {
            return false;
        }
        value = static_cast<ULONG>(parsed);
        return true;
    }
    return ParseUnsigned(text, maximum, value);
}

bool ParseOnOff(const std::wstring& text, ULONG& value) {
    if (text == L"on") {
        value = 1;
        return true;
    }
    if (text == L"off") {
        value = 0;
        return true;
    }
    return false;
}

const wchar_t* OnOff(ULONG value) { return value ? L"on" : L"off"; }

void PrintLed(const SIMDEV_STATE& state) {
    simctl::Out(L"led.present: %lu\n", state.Present[SIMDEV_LED]);
    simctl::Out(L"led.state: %lu\n", simdev::LedStateFromValue(state.LedValue));
    simctl::Out(L"led.value: 0x%02lX\n", state.LedValue);
    simctl::Out(L"led.last-command: 0x%08lX\n", state.LedLastCommand);
    simctl::Out(L"led.commands: %lu\n", state.LedCommandCount);
    simctl::Out(L"led.notifications: %lu\n", state.LedNotifyCount);
    simctl::Out(L"led.history:");
    for (ULONG i = 0; i < state.LedHistoryCount && i < SIMDEV_LED_HISTORY; ++i) {
        simctl::Out(L" 0x%02lX", state.LedHistory[i]);
    }
    simctl::Out(L"\n");
}

void PrintCpu(const SIMDEV_STATE& state) {
    simctl::Out(L"cpu.present: %lu\n", state.Present[SIMDEV_CPU]);
    simctl::Out(L"cpu.capabilities: 0x%08lX\n", state.CpuCapabilities);
    simctl::Out(L"cpu.state: %lu\n", state.CpuState);
    simctl::Out(L"cpu.set-requests: %lu\n", state.CpuSetCount);
}

void PrintBrightness(const SIMDEV_STATE& state) {
    simctl::Out(L"lcd.present: %lu\n", state.Present[SIMDEV_LCD]);
    simctl::Out(L"lcd.brightness-ac: %lu\n", state.BrightnessAC);
    simctl::Out(L"lcd.brightness-dc: %lu\n", state.BrightnessDC);
    simctl::Out(L"lcd.set-requests: %lu\n", state.BrightnessSetCount);
    simctl::Out(L"lcd.levels:");
    for (ULONG i = 0; i < state.LevelCount && i < SIMDEV_MAX_LEVELS; ++i) {
        simctl::Out(L" %u", state.Levels[i]);
    }
    simctl::Out(L"\n");
}

void PrintBattery(const SIMDEV_STATE& state) {
    const SIMDEV_BATTERY_VALUES& b = state.Battery;
    ULONG percent = b.FullChargedCapacity != 0 ? b.RemainingCapacity * PERCENT / b.FullChargedCapacity : 0;
    simctl::Out(L"battery.present: %lu\n", state.Present[SIMDEV_BATTERY]);
    simctl::Out(L"battery.percent: %lu\n", percent);
    simctl::Out(L"battery.ac: %ls\n", OnOff(b.AcOnLine));
    simctl::Out(L"battery.charging: %ls\n", OnOff(b.Charging));
    simctl::Out(L"battery.design-capacity: %lu\n", b.DesignCapacity);
    simctl::Out(L"battery.full-capacity: %lu\n", b.FullChargedCapacity);
    simctl::Out(L"battery.remaining-capacity: %lu\n", b.RemainingCapacity);
    simctl::Out(L"battery.rate: %ld\n", b.Rate);
    simctl::Out(L"battery.voltage: %lu\n", b.Voltage);
    simctl::Out(L"battery.tag: %lu\n", state.BatteryTag);
    simctl::Out(L"battery.device-name: %ls\n", state.BatteryDeviceName);
}

void PrintCounters(const SIMDEV_STATE& state) {
    for (ULONG i = 0; i < SIMDEV_DEVICE_COUNT; ++i) {
        simctl::Out(L"%ls.requests: %lu\n", simdev::kDeviceNames[i], state.Requests[i]);
        simctl::Out(L"%ls.failures: %lu\n", simdev::kDeviceNames[i], state.Failures[i]);
        simctl::Out(L"%ls.fail-pending: %lu\n", simdev::kDeviceNames[i], state.FailPending[i]);
        simctl::Out(L"%ls.fail-error: %lu\n", simdev::kDeviceNames[i], state.FailError[i]);
    }
}

// led [--state 0..3 | --raw VALUE]
int RunLed(const std::vector<std::wstring>& args) {
    if (args.size() == 2) {
        ULONG value = 0;
        if (args[0] == L"--state") {
            ULONG ledState = 0;
            if (!ParseUnsigned(args[1], ~0UL, ledState) || !simdev::LedValueFromState(ledState, value)) {
                return simctl::UsageError(L"led", L"the LED state must be 0, 1, 2 or 3");
            }
        } else if (args[0] == L"--raw") {
            if (!ParseUnsignedAnyBase(args[1], SIMDEV_LED_VALUE_MAX, value)) {
                return simctl::UsageError(L"led", L"the raw LED value must be 0..255 (or 0x00..0xFF)");
            }
        } else {
            return simctl::UsageError(L"led", L"unknown option");
        }
        DWORD error = simdev::SetValue(SIMDEV_ITEM_LED_VALUE, value);
        if (error != ERROR_SUCCESS) {
            return Refused(L"setting the LED", error);
        }
    } else if (!args.empty()) {
        return simctl::UsageError(L"led", L"expected no arguments, --state N or --raw VALUE");
    }
    SIMDEV_STATE state;
    int exitCode = 0;
    if (!ReadState(state, exitCode)) {
        return exitCode;
    }
    PrintLed(state);
    return 0;
}

// cpu-state [--capabilities BITS]
int RunCpuState(const std::vector<std::wstring>& args) {
    if (args.size() == 2 && args[0] == L"--capabilities") {
        ULONG bits = 0;
        if (!ParseUnsignedAnyBase(args[1], ~0UL, bits)) {
            return simctl::UsageError(L"cpu-state", L"the capability bits must be a number");
        }
        DWORD error = simdev::SetValue(SIMDEV_ITEM_CPU_CAPABILITIES, bits);
        if (error != ERROR_SUCCESS) {
            return Refused(L"setting the capabilities", error);
        }
    } else if (!args.empty()) {
        return simctl::UsageError(L"cpu-state", L"expected no arguments or --capabilities BITS");
    }
    SIMDEV_STATE state;
    int exitCode = 0;
    if (!ReadState(state, exitCode)) {
        return exitCode;
    }
    PrintCpu(state);
    return 0;
}

// Parses "0,10,20" into levels; false for anything malformed or out of range.
bool ParseLevels(const std::wstring& text, SIMDEV_LEVELS& levels) {
    ZeroMemory(&levels, sizeof(levels));
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(L',', start);
        std::wstring item = text.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        ULONG value = 0;
        if (levels.Count == SIMDEV_MAX_LEVELS || !ParseUnsigned(item, SIMDEV_MAX_BRIGHTNESS, value)) {
            return false;
        }
        levels.Levels[levels.Count++] = static_cast<UCHAR>(value);
        if (comma == std::wstring::npos) {
            break;
        }
        start = comma + 1;
    }
    return levels.Count > 0;
}

// brightness [--set N] [--levels L1,L2,...]
int RunBrightness(const std::vector<std::wstring>& args) {
    if (args.size() % 2 != 0) {
        return simctl::UsageError(L"brightness", L"every option needs a value");
    }
    bool haveSet = false;
    bool haveLevels = false;
    ULONG value = 0;
    SIMDEV_LEVELS levels;
    for (size_t i = 0; i < args.size(); i += 2) {
        if (args[i] == L"--set" && !haveSet) {
            if (!ParseUnsigned(args[i + 1], SIMDEV_MAX_BRIGHTNESS, value)) {
                return simctl::UsageError(L"brightness", L"the brightness must be 0..100");
            }
            haveSet = true;
        } else if (args[i] == L"--levels" && !haveLevels) {
            if (!ParseLevels(args[i + 1], levels)) {
                return simctl::UsageError(L"brightness", L"levels must be 1..256 comma-separated values 0..100");
            }
            haveLevels = true;
        } else {
            return simctl::UsageError(L"brightness", L"unknown or repeated option");
        }
    }
    if (haveLevels) {
        DWORD error = simdev::SetLevels(levels);
        if (error != ERROR_SUCCESS) {
            return Refused(L"setting the brightness levels", error);
        }
    }
    if (haveSet) {
        DWORD error = simdev::SetValue(SIMDEV_ITEM_BRIGHTNESS, value);
        if (error != ERROR_SUCCESS) {
            return Refused(L"setting the brightness", error);
        }
    }
    SIMDEV_STATE state;
    int exitCode = 0;
    if (!ReadState(state, exitCode)) {
        return exitCode;
    }
    PrintBrightness(state);
    return 0;
}

struct BatteryOptions {
    bool havePercent = false, haveAc = false, haveCharging = false, haveRate = false;
    bool haveVoltage = false, haveFull = false, haveDesign = false, haveRemaining = false;
    ULONG percent = 0, ac = 0, charging = 0, voltage = 0, full = 0, design = 0, remaining = 0;
    LONG rate = 0;
};

bool ParseBatteryOption(const std::wstring& name, const std::wstring& value, BatteryOptions& o,
                        const wchar_t*& problem) {
    long long number = 0;
    if (name == L"--percent" && !o.havePercent) {
        problem = L"--percent must be 0..100";
        return (o.havePercent = ParseUnsigned(value, PERCENT, o.percent));
    }
    if (name == L"--ac" && !o.haveAc) {
        problem = L"--ac must be on or off";
        return (o.haveAc = ParseOnOff(value, o.ac));
    }
    if (name == L"--charging" && !o.haveCharging) {
        problem = L"--charging must be on or off";
        return (o.haveCharging = ParseOnOff(value, o.charging));
    }
    if (name == L"--rate" && !o.haveRate) {
        problem = L"--rate must be a whole number of mW (negative while discharging)";
        if (!simctl::ParseNumber(value, number) || number < LONG_MIN || number > LONG_MAX) {
            return false;
        }
        o.rate = static_cast<LONG>(number);
        return (o.haveRate = true);
    }
    if (name == L"--voltage" && !o.haveVoltage) {
        problem = L"--voltage must be a number of mV";
        return (o.haveVoltage = ParseUnsigned(value, ~0UL, o.voltage));
    }
    if (name == L"--full" && !o.haveFull) {
        problem = L"--full must be a positive number of mWh";
        return (o.haveFull = ParseUnsigned(value, ~0UL, o.full) && o.full > 0);
    }
    if (name == L"--design" && !o.haveDesign) {
        problem = L"--design must be a positive number of mWh";
        return (o.haveDesign = ParseUnsigned(value, ~0UL, o.design) && o.design > 0);
    }
    if (name == L"--remaining" && !o.haveRemaining && !o.havePercent) {
        problem = L"--remaining must be a number of mWh (and is not given with --percent)";
        return (o.haveRemaining = ParseUnsigned(value, ~0UL, o.remaining));
    }
    problem = L"unknown or repeated option";
    return false;
}

// battery [--percent N | --remaining mWh] [--ac on|off] [--charging on|off] [--rate mW] [--voltage mV]
//         [--full mWh] [--design mWh]
int RunBattery(const std::vector<std::wstring>& args) {
    if (args.size() % 2 != 0) {
        return simctl::UsageError(L"battery", L"every option needs a value");
    }
    BatteryOptions o;
    for (size_t i = 0; i < args.size(); i += 2) {
        const wchar_t* problem = nullptr;
        if (!ParseBatteryOption(args[i], args[i + 1], o, problem)) {
            return simctl::UsageError(L"battery", problem);
        }
    }
    SIMDEV_STATE state;
    int exitCode = 0;
    if (!ReadState(state, exitCode)) {
        return exitCode;
    }
    if (!args.empty()) {
        SIMDEV_BATTERY_VALUES b = state.Battery;
        ULONG oldPercent = b.FullChargedCapacity != 0 ? b.RemainingCapacity * PERCENT / b.FullChargedCapacity : 0;
        if (o.haveDesign) b.DesignCapacity = o.design;
        if (o.haveFull) b.FullChargedCapacity = o.full;
        if (!o.haveFull && b.FullChargedCapacity > b.DesignCapacity) b.FullChargedCapacity = b.DesignCapacity;
        ULONG percent = o.havePercent ? o.percent : oldPercent;
        b.RemainingCapacity = static_cast<ULONG>(static_cast<ULONGLONG>(b.FullChargedCapacity) * percent / PERCENT);
        if (o.haveRemaining) {
            if (o.remaining > b.FullChargedCapacity) {
                return simctl::UsageError(L"battery", L"--remaining must not exceed the full charged capacity");
            }
            // Fractions of a percent (30.4 % of 10000 mWh is 3040).
            b.RemainingCapacity = o.remaining;
            percent = b.FullChargedCapacity != 0 ? o.remaining * PERCENT / b.FullChargedCapacity : 0;
        }
        if (o.haveAc) b.AcOnLine = o.ac;
        if (o.haveCharging) {
            b.Charging = o.charging;
        } else if (o.haveAc || o.havePercent || o.haveRemaining) {
            b.Charging = (b.AcOnLine && percent < PERCENT) ? 1 : 0;  // mains charges a battery not full
        }
        if (b.Charging && !b.AcOnLine) {
            return simctl::UsageError(L"battery", L"a battery charges only with --ac on");
        }
        if (o.haveVoltage) b.Voltage = o.voltage;
        if (o.haveRate) {
            b.Rate = o.rate;
        } else {
            b.Rate = !b.AcOnLine ? DEFAULT_DISCHARGE_RATE : (b.Charging ? DEFAULT_CHARGE_RATE : 0);
        }
        DWORD error = simdev::SetBattery(b);
        if (error == ERROR_INVALID_PARAMETER) {
            simctl::Err(L"simctl: the battery refused these values (charging needs AC, the rate must be "
                        L"negative off mains and not negative while charging, full <= design)\n");
            return EXIT_REFUSED;
        }
        if (error != ERROR_SUCCESS) {
            return Refused(L"setting the battery", error);
        }
        if (!ReadState(state, exitCode)) {
            return exitCode;
        }
    }
    PrintBattery(state);
    return 0;
}

// fail DEVICE N [ERROR]
int RunFail(const std::vector<std::wstring>& args) {
    if (args.size() < 2 || args.size() > 3) {
        return simctl::UsageError(L"fail", L"expected a device, a count and optionally an error");
    }
    ULONG device = 0;
    ULONG count = 0;
    ULONG error = DEFAULT_FAIL_ERROR;
    if (!simdev::DeviceFromName(args[0].c_str(), device)) {
        return simctl::UsageError(L"fail", L"the device must be led, cpu, lcd or battery");
    }
    if (!ParseUnsigned(args[1], ~0UL, count)) {
        return simctl::UsageError(L"fail", L"the count must be a whole number (0 cancels)");
    }
    if (args.size() == 3 && (!ParseUnsigned(args[2], MAX_WIN32_ERROR, error) || error == 0)) {
        return simctl::UsageError(L"fail", L"the error must be a Win32 error code 1..65535");
    }
    DWORD result = simdev::InjectFailures(device, count, error);
    if (result != ERROR_SUCCESS) {
        return Refused(L"injecting failures", result);
    }
    simctl::Out(L"%ls: the next %lu requests fail with error %lu\n", simdev::kDeviceNames[device], count,
                count != 0 ? error : 0);
    return 0;
}

// device DEVICE present|absent
int RunDevice(const std::vector<std::wstring>& args) {
    ULONG device = 0;
    if (args.size() != 2 || !simdev::DeviceFromName(args[0].c_str(), device) ||
        (args[1] != L"present" && args[1] != L"absent")) {
        return simctl::UsageError(L"device", L"expected led|cpu|lcd|battery and present|absent");
    }
    DWORD error = simdev::SetValue(SIMDEV_ITEM_PRESENT(device), args[1] == L"present" ? 1 : 0);
    if (error != ERROR_SUCCESS) {
        return Refused(L"changing the device's presence", error);
    }
    simctl::Out(L"%ls: %ls\n", simdev::kDeviceNames[device], args[1].c_str());
    return 0;
}

// counters [--reset]
int RunCounters(const std::vector<std::wstring>& args) {
    if (args.size() == 1 && args[0] == L"--reset") {
        DWORD error = simdev::ResetCounters();
        if (error != ERROR_SUCCESS) {
            return Refused(L"resetting the counters", error);
        }
    } else if (!args.empty()) {
        return simctl::UsageError(L"counters", L"expected no arguments or --reset");
    }
    SIMDEV_STATE state;
    int exitCode = 0;
    if (!ReadState(state, exitCode)) {
        return exitCode;
    }
    PrintCounters(state);
    return 0;
}

void PrintDevicesStatus() {
    SIMDEV_STATE state;
    int exitCode = 0;
    if (!ReadState(state, exitCode)) {
        return;
    }
    PrintLed(state);
    PrintCpu(state);
    PrintBrightness(state);
    PrintBattery(state);
    PrintCounters(state);
}

}  // namespace

SIMCTL_COMMAND(L"led", L"led [--state 0..3 | --raw VALUE]", L"print (or set) the ECO LED state and raw value", RunLed);
SIMCTL_COMMAND(L"cpu-state", L"cpu-state [--capabilities BITS]",
               L"print the processor power-saving state and capabilities", RunCpuState);
SIMCTL_COMMAND(L"brightness", L"brightness [--set N] [--levels L1,L2,...]",
               L"print (or set) the panel brightness and its levels", RunBrightness);
SIMCTL_COMMAND(L"battery",
               L"battery [--percent N | --remaining mWh] [--ac on|off] [--charging on|off] [--rate mW] [--voltage mV] "
               L"[--full mWh] [--design mWh]",
               L"print (or set) the battery", RunBattery);
SIMCTL_COMMAND(L"fail", L"fail led|cpu|lcd|battery N [ERROR]",
               L"make the device's next N requests fail with a Win32 error (default 31)", RunFail);
SIMCTL_COMMAND(L"device", L"device led|cpu|lcd|battery present|absent", L"plug or unplug a device", RunDevice);
SIMCTL_COMMAND(L"counters", L"counters [--reset]", L"print (or reset) the per-device request counters",
               RunCounters);
SIMCTL_STATUS(L"devices", PrintDevicesStatus);
