/* \\.\SIMDEVCTL: how simctl and the tests read and change the simulated devices. */
#include "simdev.h"

#define WIN32_ERROR_MAX 0xFFFFUL
#define NTSTATUS_FROM_WIN32_BASE 0xC0070000UL

typedef struct _ERROR_MAPPING {
    ULONG Win32Error;
    NTSTATUS Status;
} ERROR_MAPPING;

/* The status a real device would answer for the common errors; any other error travels as a
 * status of the Win32 facility, which the system turns back into the same error. */
static const ERROR_MAPPING g_errors[] = {
    {1, STATUS_INVALID_DEVICE_REQUEST},    /* ERROR_INVALID_FUNCTION */
    {2, SIMDEV_STATUS_GONE},               /* ERROR_FILE_NOT_FOUND */
    {5, STATUS_ACCESS_DENIED},             /* ERROR_ACCESS_DENIED */
    {21, STATUS_DEVICE_NOT_READY},         /* ERROR_NOT_READY */
    {31, STATUS_UNSUCCESSFUL},             /* ERROR_GEN_FAILURE */
    {50, STATUS_NOT_SUPPORTED},            /* ERROR_NOT_SUPPORTED */
    {87, STATUS_INVALID_PARAMETER},        /* ERROR_INVALID_PARAMETER */
    {121, STATUS_IO_TIMEOUT},              /* ERROR_SEM_TIMEOUT */
    {122, STATUS_BUFFER_TOO_SMALL},        /* ERROR_INSUFFICIENT_BUFFER */
    {1117, STATUS_IO_DEVICE_ERROR},        /* ERROR_IO_DEVICE */
    {1167, STATUS_DEVICE_NOT_CONNECTED},   /* ERROR_DEVICE_NOT_CONNECTED */
};

NTSTATUS ErrorToStatus(ULONG win32Error) {
    ULONG i;
    for (i = 0; i < sizeof(g_errors) / sizeof(g_errors[0]); ++i) {
        if (g_errors[i].Win32Error == win32Error) {
            return g_errors[i].Status;
        }
    }
    return (NTSTATUS)(NTSTATUS_FROM_WIN32_BASE | (win32Error & WIN32_ERROR_MAX));
}

static NTSTATUS GetState(SIMDEV_REQUEST* request) {
    REQUIRE_OUTPUT(request, sizeof(SIMDEV_STATE));
    g_state.Size = sizeof(SIMDEV_STATE);
    memcpy(request->Buffer, &g_state, sizeof(SIMDEV_STATE));
    request->Information = sizeof(SIMDEV_STATE);
    return STATUS_SUCCESS;
}

static NTSTATUS SetPresent(PDRIVER_OBJECT driver, ULONG device, ULONG present) {
    NTSTATUS status;
    if (present > 1) {
        return STATUS_INVALID_PARAMETER;
    }
    if (present == g_state.Present[device]) {
        return STATUS_SUCCESS;
    }
    status = DevicesSetPresent(driver, device, present ? TRUE : FALSE);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (device == SIMDEV_BATTERY && present) {
        ++g_state.BatteryTag; /* a battery put back in is a new battery to its callers */
    }
    g_state.Present[device] = present;
    return STATUS_SUCCESS;
}

static NTSTATUS SetValue(PDRIVER_OBJECT driver, SIMDEV_REQUEST* request) {
    SIMDEV_SET_VALUE set;
    REQUIRE_INPUT(request, sizeof(set));
    memcpy(&set, request->Buffer, sizeof(set));
    switch (set.Item) {
    case SIMDEV_ITEM_LED_PRESENT:
    case SIMDEV_ITEM_CPU_PRESENT:
    case SIMDEV_ITEM_LCD_PRESENT:
    case SIMDEV_ITEM_BATTERY_PRESENT:
        return SetPresent(driver, set.Item - SIMDEV_ITEM_LED_PRESENT, set.Value);
    case SIMDEV_ITEM_LED_VALUE:
        if (set.Value > SIMDEV_LED_VALUE_MAX) {
            return STATUS_INVALID_PARAMETER;
        }
        g_state.LedValue = set.Value;
        return STATUS_SUCCESS;
    case SIMDEV_ITEM_CPU_CAPABILITIES:
        g_state.CpuCapabilities = set.Value;
        return STATUS_SUCCESS;
    case SIMDEV_ITEM_BRIGHTNESS:
        if (set.Value > SIMDEV_MAX_BRIGHTNESS) {
            return STATUS_INVALID_PARAMETER;
        }
        g_state.BrightnessAC = set.Value;
        g_state.BrightnessDC = set.Value;
        return STATUS_SUCCESS;
    default:
        return STATUS_INVALID_PARAMETER;
    }
}

static NTSTATUS SetLevels(SIMDEV_REQUEST* request) {
    const SIMDEV_LEVELS* levels = (const SIMDEV_LEVELS*)request->Buffer;
    ULONG i;
    REQUIRE_INPUT(request, FIELD_OFFSET(SIMDEV_LEVELS, Levels));
    if (levels->Count == 0 || levels->Count > SIMDEV_MAX_LEVELS) {
        return STATUS_INVALID_PARAMETER;
    }
    REQUIRE_INPUT(request, FIELD_OFFSET(SIMDEV_LEVELS, Levels) + levels->Count);
    for (i = 0; i < levels->Count; ++i) {
        if (levels->Levels[i] > SIMDEV_MAX_BRIGHTNESS) {
            return STATUS_INVALID_PARAMETER;
        }
    }
    memset(g_state.Levels, 0, sizeof(g_state.Levels));
    memcpy(g_state.Levels, levels->Levels, levels->Count);
    g_state.LevelCount = levels->Count;
    return STATUS_SUCCESS;
}

static NTSTATUS SetBattery(SIMDEV_REQUEST* request) {
    SIMDEV_BATTERY_VALUES battery;
    REQUIRE_INPUT(request, sizeof(battery));
    memcpy(&battery, request->Buffer, sizeof(battery));
    if (battery.DesignCapacity == 0 || battery.FullChargedCapacity == 0 ||
        battery.FullChargedCapacity > battery.DesignCapacity ||
        battery.RemainingCapacity > battery.FullChargedCapacity || battery.AcOnLine > 1 ||
        battery.Charging > 1) {
        return STATUS_INVALID_PARAMETER;
    }
    /* A battery charges only on mains; off mains it can only discharge. */
    if ((battery.Charging && !battery.AcOnLine) || (battery.Charging && battery.Rate < 0) ||
        (!battery.AcOnLine && battery.Rate > 0)) {
        return STATUS_INVALID_PARAMETER;
    }
    g_state.Battery = battery;
    return STATUS_SUCCESS;
}

static NTSTATUS SetFailure(SIMDEV_REQUEST* request) {
    SIMDEV_FAIL fail;
    REQUIRE_INPUT(request, sizeof(fail));
    memcpy(&fail, request->Buffer, sizeof(fail));
    if (fail.Device >= SIMDEV_DEVICE_COUNT || fail.Win32Error > WIN32_ERROR_MAX ||
        (fail.Count != 0 && fail.Win32Error == 0)) {
        return STATUS_INVALID_PARAMETER;
    }
    g_state.FailPending[fail.Device] = fail.Count;
    g_state.FailError[fail.Device] = fail.Count != 0 ? fail.Win32Error : 0;
    return STATUS_SUCCESS;
}

static NTSTATUS ResetCounters(void) {
    ULONG i;
    for (i = 0; i < SIMDEV_DEVICE_COUNT; ++i) {
        g_state.Requests[i] = 0;
        g_state.Failures[i] = 0;
    }
    g_state.LedCommandCount = 0;
    g_state.LedNotifyCount = 0;
    g_state.CpuSetCount = 0;
    g_state.BrightnessSetCount = 0;
    return STATUS_SUCCESS;
}

NTSTATUS ControlRequest(PDRIVER_OBJECT driver, SIMDEV_REQUEST* request) {
    switch (request->Code) {
    case IOCTL_SIMDEV_GET_STATE:
        return GetState(request);
    case IOCTL_SIMDEV_SET_VALUE:
        return SetValue(driver, request);
    case IOCTL_SIMDEV_SET_LEVELS:
        return SetLevels(request);
    case IOCTL_SIMDEV_SET_BATTERY:
        return SetBattery(request);
    case IOCTL_SIMDEV_FAIL:
        return SetFailure(request);
    case IOCTL_SIMDEV_RESET_COUNTERS:
        return ResetCounters();
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}
