// Helpers of the simulated-device tests: device requests made the way the product makes them,
// battery enumeration through SetupDi, simctl runs and the driver's Parameters key.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "common/handles.h"
#include "sim/devices/simdev_client.h"
#include "tests/support/simctl_run.h"

namespace simdev_test {

// GUID_DEVICE_BATTERY {72631E54-78A4-11D0-BCF7-00AA00B7B32A}.
inline const GUID kBatteryClass = {0x72631e54, 0x78a4, 0x11d0,
                                   {0xbc, 0xf7, 0x00, 0xaa, 0x00, 0xb7, 0xb3, 0x2a}};

inline const wchar_t kParametersKey[] = L"System\\CurrentControlSet\\Services\\simdev\\Parameters";

struct DevInfoTraits {
    using Handle = HDEVINFO;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::SetupDiDestroyDeviceInfoList(h); }
};
using UniqueDevInfo = common::UniqueResource<DevInfoTraits>;

// Result of one DeviceIoControl: 0 or the Win32 error, and the bytes returned.
struct IoResult {
    DWORD error = ERROR_SUCCESS;
    DWORD returned = 0;
};

inline IoResult Ioctl(HANDLE device, DWORD code, const void* input, DWORD inputSize, void* output,
                      DWORD outputSize) {
    IoResult result;
    SetLastError(ERROR_SUCCESS);
    if (!DeviceIoControl(device, code, const_cast<void*>(input), inputSize, output, outputSize,
                         &result.returned, nullptr)) {
        result.error = GetLastError();
        if (result.error == ERROR_SUCCESS) {
            result.error = ERROR_GEN_FAILURE;  // a failure must never read as success
        }
    }
    return result;
}

// Opens the device by path and sends one request; a failed open reports CreateFileW's error.
inline IoResult IoctlPath(const wchar_t* path, DWORD code, const void* input, DWORD inputSize,
                          void* output, DWORD outputSize) {
    common::UniqueFile device = simdev::OpenDevice(path);
    if (!device) {
        IoResult failed;
        failed.error = GetLastError();
        return failed;
    }
    return Ioctl(device.Get(), code, input, inputSize, output, outputSize);
}

// Interface paths of the present batteries.
inline std::vector<std::wstring> BatteryPaths() {
    std::vector<std::wstring> paths;
    UniqueDevInfo set(SetupDiGetClassDevsW(&kBatteryClass, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set) {
        return paths;
    }
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data = {};
        data.cbSize = sizeof(data);
        if (!SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &kBatteryClass, index, &data)) {
            break;
        }
        DWORD needed = 0;
        SetupDiGetDeviceInterfaceDetailW(set.Get(), &data, nullptr, 0, &needed, nullptr);
        std::vector<BYTE> buffer(needed + sizeof(WCHAR));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (needed != 0 && SetupDiGetDeviceInterfaceDetailW(set.Get(), &data, detail, needed,
                                                            nullptr, nullptr)) {
            paths.push_back(detail->DevicePath);
        }
    }
    return paths;
}

// Reads a REG_DWORD of the driver's Parameters key; false when it is missing.
inline bool ReadParameter(const wchar_t* name, DWORD& value) {
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_LOCAL_MACHINE, kParametersKey, name, RRF_RT_REG_DWORD, nullptr,
                        &value, &size) == ERROR_SUCCESS;
}

// Runs SIM_BIN\simctl.exe with the arguments; returns its exit code (or -1) and its output.
inline int RunSimctl(const std::wstring& arguments, std::string& output) {
    testsupport::SimctlRun run = testsupport::RunSimctlCommand(arguments);
    output = std::move(run.output);
    return static_cast<int>(run.exitCode);
}

}  // namespace simdev_test
