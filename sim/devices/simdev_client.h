// User-mode side of the simdev control device: opens \\.\SIMDEVCTL and sends its requests.
// Used by simctl and by the tests of the simulated devices.
#pragma once

#include <windows.h>

#include "common/handles.h"
#include "sim/devices/simdev_protocol.h"

namespace simdev {

// The device names as the command line spells them, indexed by SIMDEV_LED .. SIMDEV_BATTERY.
inline const wchar_t* const kDeviceNames[SIMDEV_DEVICE_COUNT] = {L"led", L"cpu", L"lcd",
                                                                 L"battery"};

// Device index for a name ("led", "cpu", "lcd", "battery"); false for anything else.
inline bool DeviceFromName(const wchar_t* name, ULONG& device) {
    for (ULONG i = 0; i < SIMDEV_DEVICE_COUNT; ++i) {
        if (lstrcmpiW(name, kDeviceNames[i]) == 0) {
            device = i;
            return true;
        }
    }
    return false;
}

// Opens a device the way the product does; an invalid handle when it cannot be opened.
inline common::UniqueFile OpenDevice(const wchar_t* path) {
    return common::UniqueFile(CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Sends one request to the control device; returns 0 or the Win32 error.
inline DWORD Control(DWORD code, const void* input, DWORD inputSize, void* output,
                     DWORD outputSize) {
    common::UniqueFile device = OpenDevice(SIMDEV_CONTROL_PATH);
    if (!device) {
        return GetLastError();
    }
    DWORD returned = 0;
    if (!DeviceIoControl(device.Get(), code, const_cast<void*>(input), inputSize, output,
                         outputSize, &returned, nullptr)) {
        return GetLastError();
    }
    return ERROR_SUCCESS;
}

inline DWORD GetState(SIMDEV_STATE& state) {
    ZeroMemory(&state, sizeof(state));
    return Control(IOCTL_SIMDEV_GET_STATE, nullptr, 0, &state, sizeof(state));
}

inline DWORD SetValue(ULONG item, ULONG value) {
    SIMDEV_SET_VALUE set = {item, value};
    return Control(IOCTL_SIMDEV_SET_VALUE, &set, sizeof(set), nullptr, 0);
}

inline DWORD SetBattery(const SIMDEV_BATTERY_VALUES& battery) {
    return Control(IOCTL_SIMDEV_SET_BATTERY, &battery, sizeof(battery), nullptr, 0);
}

inline DWORD SetLevels(const SIMDEV_LEVELS& levels) {
    return Control(IOCTL_SIMDEV_SET_LEVELS, &levels, sizeof(levels), nullptr, 0);
}

inline DWORD InjectFailures(ULONG device, ULONG count, ULONG win32Error) {
    SIMDEV_FAIL fail = {device, count, win32Error};
    return Control(IOCTL_SIMDEV_FAIL, &fail, sizeof(fail), nullptr, 0);
}

inline DWORD ResetCounters() {
    return Control(IOCTL_SIMDEV_RESET_COUNTERS, nullptr, 0, nullptr, 0);
}

// LED state shown by a read-back value: 0x71 -> 1, 0x74 -> 2, 0x72 -> 3, anything else -> 0.
inline ULONG LedStateFromValue(ULONG value) {
    switch (value) {
    case LED_VALUE_STATE1: return 1;
    case LED_VALUE_STATE2: return 2;
    case LED_VALUE_STATE3: return 3;
    default: return 0;
    }
}

// Read-back value of an LED state 0..3; false for any other state.
inline bool LedValueFromState(ULONG state, ULONG& value) {
    static const ULONG values[] = {LED_VALUE_STATE0, LED_VALUE_STATE1, LED_VALUE_STATE2,
                                   LED_VALUE_STATE3};
    if (state >= sizeof(values) / sizeof(values[0])) {
        return false;
    }
    value = values[state];
    return true;
}

}  // namespace simdev
