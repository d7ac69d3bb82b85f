/* \\.\ORVELPSRD: the processor power-saving device. It reports its capability bits and keeps the
 * last state it was handed; a device without the power-saving capability refuses a state. */
#include "simdev.h"

static NTSTATUS QueryCapabilities(SIMDEV_REQUEST* request) {
    REQUIRE_OUTPUT(request, sizeof(ULONG));
    *(ULONG*)request->Buffer = g_state.CpuCapabilities;
    request->Information = sizeof(ULONG);
    return STATUS_SUCCESS;
}

static NTSTATUS SetState(SIMDEV_REQUEST* request) {
    REQUIRE_INPUT(request, sizeof(ULONG));
    if ((g_state.CpuCapabilities & CPU_CAPABILITY_POWER_SAVING) == 0) {
        return STATUS_NOT_SUPPORTED;
    }
    g_state.CpuState = *(const ULONG*)request->Buffer;
    ++g_state.CpuSetCount;
    if (request->OutputLength >= sizeof(ULONG)) {
        *(ULONG*)request->Buffer = 0;
        request->Information = sizeof(ULONG);
    }
    return STATUS_SUCCESS;
}

NTSTATUS CpuRequest(SIMDEV_REQUEST* request) {
    switch (request->Code) {
    case IOCTL_CPU_QUERY_CAPABILITIES:
        return QueryCapabilities(request);
    case IOCTL_CPU_SET_STATE:
        return SetState(request);
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}
