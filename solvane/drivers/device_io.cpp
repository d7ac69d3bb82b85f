#include "drivers/device_io.h"

namespace drivers {

namespace {

const DeviceIoApi kKernel32 = {CreateFileW, DeviceIoControl};
const DeviceIoApi* g_api = &kKernel32;

}  // namespace

const DeviceIoApi& DeviceIo() noexcept { return *g_api; }

void SetDeviceIoApi(const DeviceIoApi* api) noexcept { g_api = api != nullptr ? api : &kKernel32; }

HANDLE OpenDriverDevice(const wchar_t* path, DWORD attributes) noexcept {
    return DeviceIo().createFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, attributes, nullptr);
}

}  // namespace drivers
