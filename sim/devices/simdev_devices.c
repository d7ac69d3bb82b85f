/* Device objects: one per simulated device plus the control device, and the battery's device
 * interface. The battery is a root-enumerated device (ROOT\SIMBATT\0000) so that
 * SetupDiGetClassDevs(&GUID_DEVICE_BATTERY, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE) finds it. */
#include "simdev.h"

typedef struct _DEVICE_NAMES {
    const WCHAR* Device;
    const WCHAR* Link; /* NULL: reached through its device interface only */
} DEVICE_NAMES;

static const DEVICE_NAMES g_names[SIMDEV_KIND_COUNT] = {
    {L"\\Device\\SimdevLed", L"\\DosDevices\\VUREZORERIDAD"},
    {L"\\Device\\SimdevCpu", L"\\DosDevices\\ORVELPSRD"},
    {L"\\Device\\SimdevLcd", L"\\DosDevices\\LCD"},
    {L"\\Device\\SimdevBattery", NULL},
    {L"\\Device\\SimdevControl", L"\\DosDevices\\SIMDEVCTL"},
};

static const GUID g_batteryGuid = {0x72631e54, 0x78a4, 0x11d0,
                                   {0xbc, 0xf7, 0x00, 0xaa, 0x00, 0xb7, 0xb3, 0x2a}};

static PDEVICE_OBJECT g_devices[SIMDEV_KIND_COUNT];
static UNICODE_STRING g_batteryLink; /* set by IoRegisterDeviceInterface */


static NTSTATUS RegisterBattery(PDEVICE_OBJECT device) {
    NTSTATUS status;
    device->Flags |= DO_BUS_ENUMERATED_DEVICE;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    StateDeletePhantom();
    status = IoRegisterDeviceInterface(device, &g_batteryGuid, NULL, &g_batteryLink);
    StateDeletePhantom();
    if (!NT_SUCCESS(status)) {
        return status;
    }
    return IoSetDeviceInterfaceState(&g_batteryLink, TRUE);
}

NTSTATUS DevicesCreate(PDRIVER_OBJECT driver, ULONG kind) {
    UNICODE_STRING deviceName;
    UNICODE_STRING linkName;
    PDEVICE_OBJECT device = NULL;
    NTSTATUS status;

    if (kind >= SIMDEV_KIND_COUNT) {
        return STATUS_INVALID_PARAMETER;
    }
    if (g_devices[kind] != NULL) {
        return STATUS_SUCCESS;
    }
    RtlInitUnicodeString(&deviceName, g_names[kind].Device);
    status = IoCreateDevice(driver, sizeof(SIMDEV_EXTENSION), &deviceName, SIMDEV_DEVICE_TYPE, 0,
                            FALSE, &device);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    ((SIMDEV_EXTENSION*)device->DeviceExtension)->Kind = kind;
    device->Flags |= DO_BUFFERED_IO;
    if (g_names[kind].Link != NULL) {
        RtlInitUnicodeString(&linkName, g_names[kind].Link);
        status = IoCreateSymbolicLink(&linkName, &deviceName);
    } else {
        status = RegisterBattery(device);
    }
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    g_devices[kind] = device;
    return STATUS_SUCCESS;
}

/* Unplugging removes the name (or disables the battery's interface), so that opening the device
 * fails as on a machine without it; plugging back restores it. */
NTSTATUS DevicesSetPresent(PDRIVER_OBJECT driver, ULONG kind, BOOLEAN present) {
    UNICODE_STRING deviceName;
    UNICODE_STRING linkName;

    if (kind >= SIMDEV_DEVICE_COUNT) {
        return STATUS_INVALID_PARAMETER;
    }
    if (g_devices[kind] == NULL) {
        return present ? DevicesCreate(driver, kind) : STATUS_SUCCESS;
    }
    if (g_names[kind].Link == NULL) {
        return IoSetDeviceInterfaceState(&g_batteryLink, present);
    }
    RtlInitUnicodeString(&linkName, g_names[kind].Link);
    if (!present) {
        return IoDeleteSymbolicLink(&linkName);
    }
    RtlInitUnicodeString(&deviceName, g_names[kind].Device);
    return IoCreateSymbolicLink(&linkName, &deviceName);
}
