/* The driver's state: defaults, the Parameters key it is kept in, and the driver lock. */
#include "simdev.h"

SIMDEV_STATE g_state;

static SIMDEV_STATE g_saved;      /* what the Parameters key holds */
static BOOLEAN g_savedValid;      /* false until everything has been written once */
static HANDLE g_parameters;       /* ...\Services\simdev\Parameters */
static KMUTEX g_lock;

#define PARAMETERS_SUFFIX L"\\Parameters"
#define PATH_CHARS 512
#define DEFAULT_DESIGN_CAPACITY 50000 /* mWh */
#define DEFAULT_FULL_CAPACITY 48000
#define DEFAULT_VOLTAGE 11100 /* mV */
#define DEFAULT_BRIGHTNESS 100
#define LEVEL_STEP 10
#define DEFAULT_LEVEL_COUNT 11 /* 0, 10, ... 100 */
#define DEFAULT_BATTERY_NAME L"SIMBATT0001"
#define PHANTOM_KEY L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\ROOT\\SIMBATT\\0000"
#define VALUE_BUFFER_BYTES 1024

typedef struct _DWORD_VALUE {
    const WCHAR* Name;
    ULONG Offset; /* of a ULONG (or LONG) field of SIMDEV_STATE */
} DWORD_VALUE;

#define STATE_FIELD(field) FIELD_OFFSET(SIMDEV_STATE, field)

static const DWORD_VALUE g_dwordValues[] = {
    {L"LedPresent", STATE_FIELD(Present[SIMDEV_LED])},
    {L"CpuPresent", STATE_FIELD(Present[SIMDEV_CPU])},
    {L"LcdPresent", STATE_FIELD(Present[SIMDEV_LCD])},
    {L"BatteryPresent", STATE_FIELD(Present[SIMDEV_BATTERY])},
    {L"LedRequests", STATE_FIELD(Requests[SIMDEV_LED])},
    {L"CpuRequests", STATE_FIELD(Requests[SIMDEV_CPU])},
    {L"LcdRequests", STATE_FIELD(Requests[SIMDEV_LCD])},
    {L"BatteryRequests", STATE_FIELD(Requests[SIMDEV_BATTERY])},
    {L"LedFailures", STATE_FIELD(Failures[SIMDEV_LED])},
    {L"CpuFailures", STATE_FIELD(Failures[SIMDEV_CPU])},
    {L"LcdFailures", STATE_FIELD(Failures[SIMDEV_LCD])},
    {L"BatteryFailures", STATE_FIELD(Failures[SIMDEV_BATTERY])},
    {L"LedFailPending", STATE_FIELD(FailPending[SIMDEV_LED])},
    {L"CpuFailPending", STATE_FIELD(FailPending[SIMDEV_CPU])},
    {L"LcdFailPending", STATE_FIELD(FailPending[SIMDEV_LCD])},
    {L"BatteryFailPending", STATE_FIELD(FailPending[SIMDEV_BATTERY])},
    {L"LedFailError", STATE_FIELD(FailError[SIMDEV_LED])},
    {L"CpuFailError", STATE_FIELD(FailError[SIMDEV_CPU])},
    {L"LcdFailError", STATE_FIELD(FailError[SIMDEV_LCD])},
    {L"BatteryFailError", STATE_FIELD(FailError[SIMDEV_BATTERY])},
    {L"LedValue", STATE_FIELD(LedValue)},
    {L"LedLastCommand", STATE_FIELD(LedLastCommand)},
    {L"LedCommandCount", STATE_FIELD(LedCommandCount)},
    {L"LedNotifyCount", STATE_FIELD(LedNotifyCount)},
    {L"LedHistoryCount", STATE_FIELD(LedHistoryCount)},
    {L"CpuCapabilities", STATE_FIELD(CpuCapabilities)},
    {L"CpuState", STATE_FIELD(CpuState)},
    {L"CpuSetCount", STATE_FIELD(CpuSetCount)},
    {L"BrightnessAC", STATE_FIELD(BrightnessAC)},
    {L"BrightnessDC", STATE_FIELD(BrightnessDC)},
    {L"BrightnessSetCount", STATE_FIELD(BrightnessSetCount)},
    {L"DesignCapacity", STATE_FIELD(Battery.DesignCapacity)},
    {L"FullChargedCapacity", STATE_FIELD(Battery.FullChargedCapacity)},
    {L"RemainingCapacity", STATE_FIELD(Battery.RemainingCapacity)},
    {L"Rate", STATE_FIELD(Battery.Rate)},
    {L"Voltage", STATE_FIELD(Battery.Voltage)},
    {L"AcOnLine", STATE_FIELD(Battery.AcOnLine)},
    {L"Charging", STATE_FIELD(Battery.Charging)},
};
#define DWORD_VALUE_COUNT (sizeof(g_dwordValues) / sizeof(g_dwordValues[0]))

static ULONG* Field(SIMDEV_STATE* state, ULONG offset) {
    return (ULONG*)((UCHAR*)state + offset);
}

void StateLock(void) {
    KeWaitForSingleObject(&g_lock, Executive, KernelMode, FALSE, NULL);
}

void StateUnlock(void) {
    KeReleaseMutex(&g_lock, FALSE);
}

void StateSetDefaults(void) {
    ULONG i;
    memset(&g_state, 0, sizeof(g_state));
    g_state.Size = sizeof(g_state);
    for (i = 0; i < SIMDEV_DEVICE_COUNT; ++i) {
        g_state.Present[i] = 1;
    }
    g_state.CpuCapabilities = CPU_CAPABILITY_POWER_SAVING;
    g_state.BrightnessAC = DEFAULT_BRIGHTNESS;
    g_state.BrightnessDC = DEFAULT_BRIGHTNESS;
    g_state.LevelCount = DEFAULT_LEVEL_COUNT;
    for (i = 0; i < DEFAULT_LEVEL_COUNT; ++i) {
        g_state.Levels[i] = (UCHAR)(i * LEVEL_STEP);
    }
    g_state.Battery.DesignCapacity = DEFAULT_DESIGN_CAPACITY;
    g_state.Battery.FullChargedCapacity = DEFAULT_FULL_CAPACITY;
    g_state.Battery.RemainingCapacity = DEFAULT_FULL_CAPACITY;
    g_state.Battery.Voltage = DEFAULT_VOLTAGE;
    g_state.Battery.AcOnLine = 1;
    g_state.BatteryTag = 1;
    memcpy(g_state.BatteryDeviceName, DEFAULT_BATTERY_NAME, sizeof(DEFAULT_BATTERY_NAME));
}

NTSTATUS StateOpen(PUNICODE_STRING registryPath) {
    static WCHAR path[PATH_CHARS];
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
    ULONG disposition;
    USHORT suffixBytes = sizeof(PARAMETERS_SUFFIX) - sizeof(WCHAR);

    KeInitializeMutex(&g_lock, 0);
    if (registryPath == NULL || registryPath->Length + suffixBytes + sizeof(WCHAR) > sizeof(path)) {
        return STATUS_INVALID_PARAMETER;
    }
    memcpy(path, registryPath->Buffer, registryPath->Length);
    memcpy((UCHAR*)path + registryPath->Length, PARAMETERS_SUFFIX, suffixBytes + sizeof(WCHAR));
    name.Buffer = path;
    name.Length = (USHORT)(registryPath->Length + suffixBytes);
    name.MaximumLength = (USHORT)sizeof(path);
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL,
                               NULL);
    return ZwCreateKey(&g_parameters, KEY_ALL_ACCESS, &attributes, 0, NULL, REG_OPTION_NON_VOLATILE,
                       &disposition);
}

/* Reads one value into buffer; returns its type, or REG_NONE when missing. */
static ULONG QueryValue(const WCHAR* valueName, UCHAR* data, ULONG capacity, ULONG* length) {
    static UCHAR buffer[VALUE_BUFFER_BYTES];
    KEY_VALUE_PARTIAL_INFORMATION* info = (KEY_VALUE_PARTIAL_INFORMATION*)buffer;
    UNICODE_STRING name;
    ULONG resultLength = 0;

    *length = 0;
    if (g_parameters == NULL) {
        return REG_NONE;
    }
    RtlInitUnicodeString(&name, valueName);
    if (!NT_SUCCESS(ZwQueryValueKey(g_parameters, &name, KeyValuePartialInformation, buffer,
                                    sizeof(buffer), &resultLength))) {
        return REG_NONE;
    }
    if (info->DataLength > capacity) {
        return REG_NONE;
    }
    memcpy(data, info->Data, info->DataLength);
    *length = info->DataLength;
    return info->Type;
}

static void WriteValue(const WCHAR* valueName, ULONG type, const void* data, ULONG length) {
    UNICODE_STRING name;
    if (g_parameters == NULL) {
        return;
    }
    RtlInitUnicodeString(&name, valueName);
    ZwSetValueKey(g_parameters, &name, 0, type, (PVOID)data, length);
}

/* Brings loaded values back into range, so a damaged key cannot make a device misbehave. */
static void StateSanitise(void) {
    ULONG i;
    SIMDEV_BATTERY_VALUES* battery = &g_state.Battery;
    for (i = 0; i < SIMDEV_DEVICE_COUNT; ++i) {
        g_state.Present[i] = g_state.Present[i] ? 1 : 0;
    }
    if (g_state.LedHistoryCount > SIMDEV_LED_HISTORY) {
        g_state.LedHistoryCount = SIMDEV_LED_HISTORY;
    }
    if (g_state.BrightnessAC > SIMDEV_MAX_BRIGHTNESS) {
        g_state.BrightnessAC = SIMDEV_MAX_BRIGHTNESS;
    }
    if (g_state.BrightnessDC > SIMDEV_MAX_BRIGHTNESS) {
        g_state.BrightnessDC = SIMDEV_MAX_BRIGHTNESS;
    }
    if (battery->DesignCapacity == 0) {
        battery->DesignCapacity = DEFAULT_DESIGN_CAPACITY;
    }
    if (battery->FullChargedCapacity == 0 || battery->FullChargedCapacity > battery->DesignCapacity) {
        battery->FullChargedCapacity = battery->DesignCapacity;
    }
    if (battery->RemainingCapacity > battery->FullChargedCapacity) {
        battery->RemainingCapacity = battery->FullChargedCapacity;
    }
    battery->AcOnLine = battery->AcOnLine ? 1 : 0;
    battery->Charging = (battery->Charging && battery->AcOnLine) ? 1 : 0;
}

void StateLoad(void) {
    ULONG i;
    ULONG length;
    ULONG value;
    UCHAR levels[SIMDEV_MAX_LEVELS];
    WCHAR deviceName[SIMDEV_DEVICE_NAME_CHARS];

    for (i = 0; i < DWORD_VALUE_COUNT; ++i) {
        if (QueryValue(g_dwordValues[i].Name, (UCHAR*)&value, sizeof(value), &length) == REG_DWORD &&
            length == sizeof(value)) {
            *Field(&g_state, g_dwordValues[i].Offset) = value;
        }
    }
    if (QueryValue(L"BrightnessLevels", levels, sizeof(levels), &length) == REG_BINARY &&
        length > 0) {
        memset(g_state.Levels, 0, sizeof(g_state.Levels));
        memcpy(g_state.Levels, levels, length);
        g_state.LevelCount = length;
    }
    QueryValue(L"LedHistory", (UCHAR*)g_state.LedHistory, sizeof(g_state.LedHistory), &length);
    if (length != sizeof(g_state.LedHistory)) {
        memset(g_state.LedHistory, 0, sizeof(g_state.LedHistory));
        g_state.LedHistoryCount = 0;
    }
    memset(deviceName, 0, sizeof(deviceName));
    if (QueryValue(L"BatteryDeviceName", (UCHAR*)deviceName, sizeof(deviceName) - sizeof(WCHAR),
                   &length) == REG_SZ &&
        length >= 2 * sizeof(WCHAR)) {
        memcpy(g_state.BatteryDeviceName, deviceName, sizeof(deviceName));
    }
    StateSanitise();
}

void StateSave(void) {
    ULONG i;
    for (i = 0; i < DWORD_VALUE_COUNT; ++i) {
        ULONG offset = g_dwordValues[i].Offset;
        ULONG value = *Field(&g_state, offset);
        if (!g_savedValid || value != *Field(&g_saved, offset)) {
            WriteValue(g_dwordValues[i].Name, REG_DWORD, &value, sizeof(value));
        }
    }
    if (!g_savedValid || g_state.LevelCount != g_saved.LevelCount ||
        memcmp(g_state.Levels, g_saved.Levels, g_state.LevelCount) != 0) {
        WriteValue(L"BrightnessLevels", REG_BINARY, g_state.Levels, g_state.LevelCount);
    }
    if (!g_savedValid ||
        memcmp(g_state.LedHistory, g_saved.LedHistory, sizeof(g_state.LedHistory)) != 0) {
        WriteValue(L"LedHistory", REG_BINARY, g_state.LedHistory, sizeof(g_state.LedHistory));
    }
    if (!g_savedValid) {
        ULONG chars = 0;
        while (chars < SIMDEV_DEVICE_NAME_CHARS - 1 && g_state.BatteryDeviceName[chars] != 0) {
            ++chars;
        }
        WriteValue(L"BatteryDeviceName", REG_SZ, g_state.BatteryDeviceName,
                   (chars + 1) * sizeof(WCHAR));
    }
    g_saved = g_state;
    g_savedValid = TRUE;
}

/* Wine leaves the battery's device instance marked as a phantom after registering its interface;
 * a phantom instance breaks the next start, so the mark is removed around the registration. */
void StateDeletePhantom(void) {
    UNICODE_STRING keyName;
    UNICODE_STRING valueName;
    OBJECT_ATTRIBUTES attributes;
    HANDLE key;

    RtlInitUnicodeString(&keyName, PHANTOM_KEY);
    InitializeObjectAttributes(&attributes, &keyName, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               NULL, NULL);
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_ALL_ACCESS, &attributes))) {
        return;
    }
    RtlInitUnicodeString(&valueName, L"Phantom");
    ZwDeleteValueKey(key, &valueName);
    ZwClose(key);
}
