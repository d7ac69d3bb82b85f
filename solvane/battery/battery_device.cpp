// The battery devices: enumeration of the battery interface class, the driver's tag,
// information and status requests, and matching the configured models to the devices.
#include "battery/battery_device.h"

#include <setupapi.h>
#include <strsafe.h>

#include "common/log.h"
#include "resources/resource.h"

namespace battery {

namespace {

// {72631E54-78A4-11D0-BCF7-00AA00B7B32A}
const GUID kBatteryClass = {0x72631E54, 0x78A4, 0x11D0, {0xBC, 0xF7, 0x00, 0xAA, 0x00, 0xB7, 0xB3, 0x2A}};

constexpr DWORD kIoctlQueryTag = 0x294040;
constexpr DWORD kIoctlQueryInformation = 0x294044;
constexpr DWORD kIoctlQueryStatus = 0x29404C;
constexpr ULONG kTagWaitMs = 50;
constexpr DWORD kDeviceNameBytes = 1026;
constexpr ULONG kLevelInformation = 0;      // BatteryInformation
constexpr ULONG kLevelDeviceName = 4;       // BatteryDeviceName

struct QueryInformation {
    ULONG BatteryTag;
    ULONG InformationLevel;
    LONG AtRate;
};
struct WaitStatus {
    ULONG BatteryTag;
    ULONG Timeout;
    ULONG PowerState;
    ULONG LowCapacity;
    ULONG HighCapacity;
};
struct Status {
    ULONG PowerState;
    ULONG Capacity;
    ULONG Voltage;
    LONG Rate;
};
struct Information {
    ULONG Capabilities;
    UCHAR Technology;
    UCHAR Reserved[3];
    UCHAR Chemistry[4];
    ULONG DesignedCapacity;
    ULONG FullChargedCapacity;
    ULONG DefaultAlert1;
    ULONG DefaultAlert2;
    ULONG CriticalBias;
    ULONG CycleCount;
};
static_assert(sizeof(Information) == 36, "BATTERY_INFORMATION is 36 bytes");
static_assert(sizeof(Status) == 16, "BATTERY_STATUS is 16 bytes");

struct DevInfoTraits {
    using Handle = HDEVINFO;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::SetupDiDestroyDeviceInfoList(h); }
};
using UniqueDevInfo = common::UniqueResource<DevInfoTraits>;

UniqueDevInfo OpenBatteryClass() noexcept {
    return UniqueDevInfo(SetupDiGetClassDevsW(&kBatteryClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
}

// Interface path of the index-th present battery; false when there is none (or it is too long).
bool InterfacePath(HDEVINFO set, DWORD index, bool* exists, wchar_t* path, size_t cchPath) noexcept {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    *exists = SetupDiEnumDeviceInterfaces(set, nullptr, &kBatteryClass, index, &data) != FALSE;
    if (!*exists) {
        return false;
    }
    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &needed, nullptr);
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        return false;
    }
    std::vector<BYTE> buffer(needed);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, needed, nullptr, nullptr)) {
        return false;
    }
    size_t length = 0;
    if (FAILED(StringCchLengthW(detail->DevicePath, cchPath, &length))) {
        return false;  // a path of cchPath characters or more is not taken
    }
    return SUCCEEDED(StringCchCopyW(path, cchPath, detail->DevicePath));
}

bool Query(HANDLE device, DWORD code, void* in, DWORD cbIn, void* out, DWORD cbOut) noexcept {
    DWORD returned = 0;
    return DeviceIoControl(device, code, in, cbIn, out, cbOut, &returned, nullptr) != FALSE;
}

}  // namespace

common::UniqueFile OpenBatteryDevice(const wchar_t* path, bool logFailure) noexcept {
    common::UniqueFile device(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!device && logFailure) {
        WriteErrorLog(IDS_ERR_BATTERY_HANDLE, GetLastError(), ERRLOG_FILE);
    }
    return device;
}

ULONG QueryBatteryTag(HANDLE device) noexcept {
    ULONG wait = kTagWaitMs;
    ULONG tag = 0;
    if (!Query(device, kIoctlQueryTag, &wait, sizeof(wait), &tag, sizeof(tag))) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            WriteErrorLog(IDS_ERR_BATTERY_QUERY_TAG, error, ERRLOG_FILE);
        }
        return 0;
    }
    return tag;
}

bool QueryBatteryName(HANDLE device, ULONG tag, wchar_t* name, size_t cchName) noexcept {
    QueryInformation query{tag, kLevelDeviceName, 0};
    BYTE buffer[kDeviceNameBytes + sizeof(wchar_t)] = {};
    if (!Query(device, kIoctlQueryInformation, &query, sizeof(query), buffer, kDeviceNameBytes)) {
        WriteErrorLog(IDS_ERR_BATTERY_QUERY_INFORMATION, GetLastError(), ERRLOG_FILE);
        return false;
    }
    return SUCCEEDED(StringCchCopyW(name, cchName, reinterpret_cast<const wchar_t*>(buffer)));
}

bool QueryBatteryValues(HANDLE device, ULONG tag, BatteryRecord* record) noexcept {
    WaitStatus wait{tag, 0, 0, 0, 0};
    Status status{};
    if (!Query(device, kIoctlQueryStatus, &wait, sizeof(wait), &status, sizeof(status))) {
        WriteErrorLog(IDS_ERR_BATTERY_QUERY_STATUS, GetLastError(), ERRLOG_FILE);
        return false;
    }
    QueryInformation query{tag, kLevelInformation, 0};
    Information info{};
    if (!Query(device, kIoctlQueryInformation, &query, sizeof(query), &info, sizeof(info))) {
        WriteErrorLog(IDS_ERR_BATTERY_QUERY_INFORMATION, GetLastError(), ERRLOG_FILE);
        return false;
    }
    record->PowerState = status.PowerState;
    record->Capacity = status.Capacity;
    record->Rate = status.Rate;
    record->FullChargedCapacity = info.FullChargedCapacity;
    return true;
}

bool HasBatteryDevice() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"HasBatteryDevice", L"Enter");
    bool found = false;
    UniqueDevInfo set = OpenBatteryClass();
    if (set) {
        for (DWORD index = 0; index < kMaxBatteryInterfaces && !found; ++index) {
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof(data);
            found = SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &kBatteryClass, index, &data) != FALSE;
            if (!found && GetLastError() == ERROR_NO_MORE_ITEMS) {
                break;
            }
        }
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"HasBatteryDevice", L"Exit retval:%08x", found ? 1 : 0);
    return found;
}

DWORD MatchBatteryDevices(std::vector<BatteryRecord>& records) noexcept {
    bool unmatched = false;
    for (const BatteryRecord& record : records) {
        unmatched = unmatched || (record.bChecked != 0 && record.bExist == 0);
    }
    if (!unmatched) {
        return 0;  // every usable model has its device: nothing to ask the drivers
    }
    UniqueDevInfo set = OpenBatteryClass();
    if (!set) {
        WriteErrorLog(IDS_ERR_BATTERY_HANDLE, GetLastError(), ERRLOG_FILE);
        return 0;
    }
    DWORD examined = 0;
    for (DWORD index = 0; index < records.size(); ++index) {
        bool exists = false;
        wchar_t path[kDevNameChars] = L"";
        const bool usable = InterfacePath(set.Get(), index, &exists, path, ARRAYSIZE(path));
        if (!exists) {
            break;
        }
        ++examined;
        if (!usable) {
            continue;
        }
        common::UniqueFile device = OpenBatteryDevice(path, true);
        if (!device) {
            continue;
        }
        const ULONG tag = QueryBatteryTag(device.Get());
        wchar_t name[kDeviceNameBytes / sizeof(wchar_t)] = L"";
        if (tag == 0 || !QueryBatteryName(device.Get(), tag, name, ARRAYSIZE(name))) {
            continue;
        }
        for (BatteryRecord& record : records) {
            if (record.bChecked != 0 && record.bExist == 0 && wcscmp(record.devName, name) == 0) {
                StringCchCopyW(record.szPath, ARRAYSIZE(record.szPath), path);
                record.bExist = 1;
                record.nSlot = index;
                break;
            }
        }
    }
    return examined;
}

DWORD ChargingMaskFromDevices() noexcept {
    DWORD mask = 0;
    UniqueDevInfo set = OpenBatteryClass();
    if (!set) {
        return 0;
    }
    for (DWORD index = 0; index < kMaxBatteryInterfaces; ++index) {
        bool exists = false;
        wchar_t path[kDevNameChars] = L"";
        const bool usable = InterfacePath(set.Get(), index, &exists, path, ARRAYSIZE(path));
        if (!exists) {
            break;
        }
        if (!usable) {
            continue;
        }
        common::UniqueFile device = OpenBatteryDevice(path, false);
        const ULONG tag = device ? QueryBatteryTag(device.Get()) : 0;
        BatteryRecord values{};
        if (tag != 0 && QueryBatteryValues(device.Get(), tag, &values) && (values.PowerState & 0x4) != 0) {
            mask |= 1u << index;
        }
    }
    return mask;
}

}  // namespace battery
