/*
 * simdev: the simulated PC's device driver and its control protocol.
 *
 * The driver serves the devices the product opens:
 *   \\.\VUREZORERIDAD  ECO indicator LED (codes 0x9C40E084, E088, E08C, E094)
 *   \\.\ORVELPSRD      processor power-saving device (0x9C40E108 capabilities, E10C state)
 *   \\.\LCD            panel brightness (IOCTL_VIDEO_*_BRIGHTNESS)
 *   a battery device interface of GUID_DEVICE_BATTERY (IOCTL_BATTERY_QUERY_TAG/INFORMATION/STATUS)
 * and a control device \\.\SIMDEVCTL through which simctl and the tests read and set the state.
 *
 * Control requests (device type 0x9C40, buffered, any access):
 *   IOCTL_SIMDEV_GET_STATE       in: none                    out: SIMDEV_STATE
 *   IOCTL_SIMDEV_SET_VALUE       in: SIMDEV_SET_VALUE        out: none
 *   IOCTL_SIMDEV_SET_LEVELS      in: SIMDEV_LEVELS           out: none
 *   IOCTL_SIMDEV_SET_BATTERY     in: SIMDEV_BATTERY_VALUES       out: none
 *   IOCTL_SIMDEV_FAIL            in: SIMDEV_FAIL             out: none
 *   IOCTL_SIMDEV_RESET_COUNTERS  in: none                    out: none
 * A value out of range is refused with STATUS_INVALID_PARAMETER (Win32 error 87) and changes
 * nothing. Every change is written through to
 * HKLM\System\CurrentControlSet\Services\simdev\Parameters (value names below) and reloaded when
 * the driver starts, so the state survives a restart of the wineserver.
 *
 * This header is shared by the driver (kernel headers) and by user-mode code (<windows.h> and
 * <winioctl.h>); it uses only types both define.
 */
#ifndef SIMDEV_PROTOCOL_H
#define SIMDEV_PROTOCOL_H

#define SIMDEV_DEVICE_TYPE 0x9C40

/* Names as user mode opens them. */
#define SIMDEV_CONTROL_PATH L"\\\\.\\SIMDEVCTL"
#define SIMDEV_LED_PATH L"\\\\.\\VUREZORERIDAD"
#define SIMDEV_CPU_PATH L"\\\\.\\ORVELPSRD"
#define SIMDEV_LCD_PATH L"\\\\.\\LCD"

/* The LED device. */
#define IOCTL_LED_READ_PERIODIC 0x9C40E084UL /* in: 4 bytes (0), out: 4-byte LED value */
#define IOCTL_LED_READ 0x9C40E088UL          /* in: none, out: 4-byte LED value */
#define IOCTL_LED_SET 0x9C40E08CUL           /* in: 4-byte command word, out: 4-byte result */
#define IOCTL_LED_NOTIFY 0x9C40E094UL        /* in: none, out: 4-byte value */
#define LED_COMMAND_TAG 0xE7UL               /* command word = (0xE7 << 16) | command byte */
#define LED_COMMAND_TAG_SHIFT 16
#define LED_COMMAND_WORD(command) ((LED_COMMAND_TAG << LED_COMMAND_TAG_SHIFT) | (command))
#define LED_COMMAND_STATE0 0x80UL
#define LED_COMMAND_STATE1 0x81UL
#define LED_COMMAND_STATE2 0x84UL
#define LED_COMMAND_STATE3 0x82UL
#define LED_VALUE_STATE0 0x00UL
#define LED_VALUE_STATE1 0x71UL
#define LED_VALUE_STATE2 0x74UL
#define LED_VALUE_STATE3 0x72UL

/* The processor power-saving device. */
#define IOCTL_CPU_QUERY_CAPABILITIES 0x9C40E108UL /* in: none, out: 4-byte capability bits */
#define IOCTL_CPU_SET_STATE 0x9C40E10CUL          /* in: 4-byte state, out: 4 bytes (0) */
#define CPU_CAPABILITY_POWER_SAVING 0x1UL

/* Control requests. */
#define SIMDEV_CONTROL_CODE(function) \
    (((ULONG)SIMDEV_DEVICE_TYPE << 16) | ((ULONG)(function) << 2) /* buffered, any access */)
#define IOCTL_SIMDEV_GET_STATE SIMDEV_CONTROL_CODE(0x900)
#define IOCTL_SIMDEV_SET_VALUE SIMDEV_CONTROL_CODE(0x901)
#define IOCTL_SIMDEV_SET_LEVELS SIMDEV_CONTROL_CODE(0x902)
#define IOCTL_SIMDEV_SET_BATTERY SIMDEV_CONTROL_CODE(0x903)
#define IOCTL_SIMDEV_FAIL SIMDEV_CONTROL_CODE(0x904)
#define IOCTL_SIMDEV_RESET_COUNTERS SIMDEV_CONTROL_CODE(0x905)

/* Devices, as indexes of the per-device arrays. */
#define SIMDEV_LED 0
#define SIMDEV_CPU 1
#define SIMDEV_LCD 2
#define SIMDEV_BATTERY 3
#define SIMDEV_DEVICE_COUNT 4

/* Items of IOCTL_SIMDEV_SET_VALUE. */
#define SIMDEV_ITEM_LED_PRESENT 1     /* 0/1 (item = SIMDEV_ITEM_LED_PRESENT + device) */
#define SIMDEV_ITEM_CPU_PRESENT 2
#define SIMDEV_ITEM_LCD_PRESENT 3
#define SIMDEV_ITEM_BATTERY_PRESENT 4
#define SIMDEV_ITEM_LED_VALUE 5       /* any raw read-back value, 0..0xFF */
#define SIMDEV_ITEM_CPU_CAPABILITIES 6
#define SIMDEV_ITEM_BRIGHTNESS 7      /* 0..100, both AC and DC */
#define SIMDEV_ITEM_PRESENT(device) (SIMDEV_ITEM_LED_PRESENT + (device))

#define SIMDEV_LED_HISTORY 16
#define SIMDEV_MAX_LEVELS 256
#define SIMDEV_MAX_BRIGHTNESS 100
#define SIMDEV_LED_VALUE_MAX 0xFFUL
#define SIMDEV_DEVICE_NAME_CHARS 64

typedef struct _SIMDEV_SET_VALUE {
    ULONG Item;
    ULONG Value;
} SIMDEV_SET_VALUE;

typedef struct _SIMDEV_LEVELS {
    ULONG Count; /* 1..256 */
    UCHAR Levels[SIMDEV_MAX_LEVELS]; /* percentages 0..100, darkest first */
} SIMDEV_LEVELS;

typedef struct _SIMDEV_BATTERY_VALUES {
    ULONG DesignCapacity;      /* mWh, > 0 */
    ULONG FullChargedCapacity; /* mWh, 1..DesignCapacity */
    ULONG RemainingCapacity;   /* mWh, <= FullChargedCapacity */
    LONG Rate;                 /* mW, negative while discharging */
    ULONG Voltage;             /* mV */
    ULONG AcOnLine;            /* 0/1 */
    ULONG Charging;            /* 0/1; needs AcOnLine */
} SIMDEV_BATTERY_VALUES;

typedef struct _SIMDEV_FAIL {
    ULONG Device;     /* SIMDEV_LED .. SIMDEV_BATTERY */
    ULONG Count;      /* the next Count requests fail; 0 cancels */
    ULONG Win32Error; /* the error the caller sees, 1..0xFFFF */
} SIMDEV_FAIL;

typedef struct _SIMDEV_STATE {
    ULONG Size; /* sizeof(SIMDEV_STATE) */
    ULONG Present[SIMDEV_DEVICE_COUNT];
    ULONG Requests[SIMDEV_DEVICE_COUNT];    /* device I/O control requests received */
    ULONG Failures[SIMDEV_DEVICE_COUNT];    /* of those, answered with an error */
    ULONG FailPending[SIMDEV_DEVICE_COUNT]; /* injected failures still to come */
    ULONG FailError[SIMDEV_DEVICE_COUNT];   /* their Win32 error */
    ULONG LedValue;                          /* raw read-back value */
    ULONG LedLastCommand;                    /* last accepted command word, 0 = none yet */
    ULONG LedCommandCount;                   /* accepted set commands */
    ULONG LedNotifyCount;                    /* notifications (0x9C40E094) received */
    ULONG LedHistoryCount;                   /* valid entries of LedHistory */
    ULONG LedHistory[SIMDEV_LED_HISTORY];    /* LED values set by commands, oldest first */
    ULONG CpuCapabilities;
    ULONG CpuState;     /* last state set */
    ULONG CpuSetCount;  /* accepted set-state requests */
    ULONG BrightnessAC; /* current brightness, percent */
    ULONG BrightnessDC;
    ULONG BrightnessSetCount; /* accepted set requests */
    ULONG LevelCount;
    UCHAR Levels[SIMDEV_MAX_LEVELS];
    SIMDEV_BATTERY_VALUES Battery;
    ULONG BatteryTag;
    WCHAR BatteryDeviceName[SIMDEV_DEVICE_NAME_CHARS];
} SIMDEV_STATE;

/*
 * Value names under ...\Services\simdev\Parameters (REG_DWORD unless stated):
 *   "LedPresent" "CpuPresent" "LcdPresent" "BatteryPresent"   0/1, read at start: absent devices
 *                                                               are not created
 *   "LedRequests" "CpuRequests" "LcdRequests" "BatteryRequests"
 *   "LedFailures" ... "LedFailPending" ... "LedFailError" ...  (same prefixes)
 *   "LedValue" "LedLastCommand" "LedCommandCount" "LedNotifyCount" "LedHistoryCount"
 *   "LedHistory" (REG_BINARY, 16 DWORDs)
 *   "CpuCapabilities" "CpuState" "CpuSetCount"
 *   "BrightnessAC" "BrightnessDC" "BrightnessSetCount" "BrightnessLevels" (REG_BINARY, one byte
 *   per level)
 *   "DesignCapacity" "FullChargedCapacity" "RemainingCapacity" "Rate" (signed) "Voltage"
 *   "AcOnLine" "Charging"
 *   "BatteryDeviceName" (REG_SZ, read at start; what BatteryDeviceName queries answer)
 */

#endif /* SIMDEV_PROTOCOL_H */
