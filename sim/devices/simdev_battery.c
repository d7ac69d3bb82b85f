/* The battery behind the GUID_DEVICE_BATTERY interface: tag, information levels and status.
 * Capacities are in mWh, the rate in mW (negative while discharging), the voltage in mV. */
#include "simdev.h"

#define BATTERY_TECHNOLOGY_RECHARGEABLE 1
#define BATTERY_TEMPERATURE_DECIKELVIN 2981 /* 25 degrees Celsius */
#define BATTERY_ALERT1_PERCENT 5
#define BATTERY_ALERT2_PERCENT 10
#define BATTERY_CYCLE_COUNT 12
#define BATTERY_GRANULARITY_MWH 1
#define SECONDS_PER_HOUR 3600ULL
#define PERCENT 100
#define MANUFACTURE_DAY 1
#define MANUFACTURE_MONTH 4
#define MANUFACTURE_YEAR 2024
#define MANUFACTURER_NAME L"Simulated PC"
#define SERIAL_NUMBER L"0001"

typedef struct _REPORTING_SCALE {
    ULONG Granularity;
    ULONG Capacity;
} REPORTING_SCALE;

ULONG BatteryPowerState(void) {
    const SIMDEV_BATTERY_VALUES* battery = &g_state.Battery;
    ULONG state = 0;
    if (battery->AcOnLine) {
        state |= BATTERY_POWER_ON_LINE;
        if (battery->Charging) {
            state |= BATTERY_CHARGING;
        }
    } else {
        state |= BATTERY_DISCHARGING;
        if ((ULONGLONG)battery->RemainingCapacity * PERCENT <
            (ULONGLONG)battery->FullChargedCapacity * BATTERY_ALERT1_PERCENT) {
            state |= BATTERY_CRITICAL;
        }
    }
    return state;
}

static NTSTATUS QueryTag(SIMDEV_REQUEST* request) {
    REQUIRE_INPUT(request, sizeof(ULONG));
    REQUIRE_OUTPUT(request, sizeof(ULONG));
    *(ULONG*)request->Buffer = g_state.BatteryTag;
    request->Information = sizeof(ULONG);
    return STATUS_SUCCESS;
}

static NTSTATUS ReturnBytes(SIMDEV_REQUEST* request, const void* data, ULONG length) {
    REQUIRE_OUTPUT(request, length);
    memcpy(request->Buffer, data, length);
    request->Information = length;
    return STATUS_SUCCESS;
}

/* A string level: the text with its terminating zero. */
static NTSTATUS ReturnString(SIMDEV_REQUEST* request, const WCHAR* text) {
    ULONG chars = 0;
    while (text[chars] != 0) {
        ++chars;
    }
    return ReturnBytes(request, text, (chars + 1) * sizeof(WCHAR));
}

static NTSTATUS QueryBatteryInformation(SIMDEV_REQUEST* request) {
    BATTERY_INFORMATION info;
    const SIMDEV_BATTERY_VALUES* battery = &g_state.Battery;
    memset(&info, 0, sizeof(info));
    info.Capabilities = BATTERY_SYSTEM_BATTERY;
    info.Technology = BATTERY_TECHNOLOGY_RECHARGEABLE;
    memcpy(info.Chemistry, "LION", sizeof(info.Chemistry));
    info.DesignedCapacity = battery->DesignCapacity;
    info.FullChargedCapacity = battery->FullChargedCapacity;
    info.DefaultAlert1 = battery->FullChargedCapacity / PERCENT * BATTERY_ALERT1_PERCENT;
    info.DefaultAlert2 = battery->FullChargedCapacity / PERCENT * BATTERY_ALERT2_PERCENT;
    info.CriticalBias = 0;
    info.CycleCount = BATTERY_CYCLE_COUNT;
    return ReturnBytes(request, &info, sizeof(info));
}

/* Seconds left at the given discharge rate (mW, negative), or at the present rate when 0. */
static ULONG EstimatedTime(LONG atRate) {
    const SIMDEV_BATTERY_VALUES* battery = &g_state.Battery;
    LONG rate = atRate;
    if (rate == 0) {
        if (battery->AcOnLine) {
            return BATTERY_UNKNOWN_TIME;
        }
        rate = battery->Rate;
    }
    if (rate >= 0) {
        return BATTERY_UNKNOWN_TIME;
    }
    return (ULONG)((ULONGLONG)battery->RemainingCapacity * SECONDS_PER_HOUR /
                   (ULONGLONG)(-(LONGLONG)rate));
}

static NTSTATUS QueryInformation(SIMDEV_REQUEST* request) {
    BATTERY_QUERY_INFORMATION query;
    REQUIRE_INPUT(request, sizeof(query));
    memcpy(&query, request->Buffer, sizeof(query));
    if (query.BatteryTag != g_state.BatteryTag) {
        return SIMDEV_STATUS_GONE; /* a battery that was removed since the tag was read */
    }
    switch (query.InformationLevel) {
    case BatteryInformation:
        return QueryBatteryInformation(request);
    case BatteryGranularityInformation: {
        REPORTING_SCALE scale = {BATTERY_GRANULARITY_MWH, g_state.Battery.DesignCapacity};
        return ReturnBytes(request, &scale, sizeof(scale));
    }
    case BatteryTemperature: {
        ULONG temperature = BATTERY_TEMPERATURE_DECIKELVIN;
        return ReturnBytes(request, &temperature, sizeof(temperature));
    }
    case BatteryEstimatedTime: {
        ULONG seconds = EstimatedTime((LONG)query.AtRate);
        return ReturnBytes(request, &seconds, sizeof(seconds));
    }
    case BatteryDeviceName:
        return ReturnString(request, g_state.BatteryDeviceName);
    case BatteryManufactureDate: {
        BATTERY_MANUFACTURE_DATE date = {MANUFACTURE_DAY, MANUFACTURE_MONTH, MANUFACTURE_YEAR};
        return ReturnBytes(request, &date, sizeof(date));
    }
    case BatteryManufactureName:
        return ReturnString(request, MANUFACTURER_NAME);
    case BatteryUniqueID:
    case BatterySerialNumber:
        return ReturnString(request, SERIAL_NUMBER);
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}

static NTSTATUS QueryStatus(SIMDEV_REQUEST* request) {
    BATTERY_WAIT_STATUS wait;
    BATTERY_STATUS status;
    REQUIRE_INPUT(request, sizeof(wait));
    REQUIRE_OUTPUT(request, sizeof(status));
    memcpy(&wait, request->Buffer, sizeof(wait));
    if (wait.BatteryTag != g_state.BatteryTag) {
        return SIMDEV_STATUS_GONE;
    }
    status.PowerState = BatteryPowerState();
    status.Capacity = g_state.Battery.RemainingCapacity;
    status.Voltage = g_state.Battery.Voltage;
    status.Rate = g_state.Battery.Rate;
    return ReturnBytes(request, &status, sizeof(status));
}

NTSTATUS BatteryRequest(SIMDEV_REQUEST* request) {
    switch (request->Code) {
    case IOCTL_BATTERY_QUERY_TAG:
        return QueryTag(request);
    case IOCTL_BATTERY_QUERY_INFORMATION:
        return QueryInformation(request);
    case IOCTL_BATTERY_QUERY_STATUS:
        return QueryStatus(request);
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}
