#include "drivers/processor_device.h"

#include "common/handles.h"
#include "common/log.h"
#include "drivers/device_io.h"

namespace drivers {

DWORD QueryPowerSavingCapabilities() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"QueryPowerSavingCapabilities", L"Enter");
    common::UniqueFile device(OpenDriverDevice(kProcessorDevicePath, FILE_ATTRIBUTE_NORMAL));
    if (!device) {
        LOG_TRACE(TRACE_LEVEL_APP, L"QueryPowerSavingCapabilities", L"Exit retval:%08x", 0);
        return 0;
    }
    DWORD capabilities = 0;
    DWORD returned = 0;
    if (!DeviceIo().deviceIoControl(device.Get(), IOCTL_PSRD_QUERY_CAPABILITIES, nullptr, 0, &capabilities,
                                    sizeof(capabilities), &returned, nullptr)) {
        WriteErrorLog(kErrQueryCapabilities, GetLastError(), ERRLOG_FILE);
        capabilities = 0;
    } else if (returned < sizeof(capabilities)) {
        capabilities = 0;  // a short answer carries no capability bits
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"QueryPowerSavingCapabilities", L"Exit retval:%08x", capabilities);
    return capabilities;
}

BOOL SetPowerSavingState(DWORD state) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"SetPowerSavingState", L"Enter");
    common::UniqueFile device(OpenDriverDevice(kProcessorDevicePath, FILE_ATTRIBUTE_NORMAL));
    if (!device) {
        LOG_TRACE(TRACE_LEVEL_APP, L"SetPowerSavingState", L"Exit retval:%08x", FALSE);
        return FALSE;
    }
    DWORD output = 0;
    DWORD returned = 0;
    const BOOL result = DeviceIo().deviceIoControl(device.Get(), IOCTL_PSRD_SET_STATE, &state, sizeof(state),
                                                   &output, sizeof(output), &returned, nullptr);
    if (!result) {
        WriteErrorLog(kErrSetPowerSavingState, GetLastError(), ERRLOG_FILE);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"SetPowerSavingState", L"Exit retval:%08x", result);
    return result;
}

}  // namespace drivers
