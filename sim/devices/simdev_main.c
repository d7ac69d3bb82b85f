/* simdev.sys: entry point and request dispatch. Requests of a device that is absent, or that has
 * failures queued, are answered with an error before the device's handler sees them. */
#include "simdev.h"

static PDRIVER_OBJECT g_driver;

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static ULONG KindOf(PDEVICE_OBJECT device) {
    return ((SIMDEV_EXTENSION*)device->DeviceExtension)->Kind;
}

static NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
    ULONG kind = KindOf(device);
    NTSTATUS status = STATUS_SUCCESS;
    StateLock();
    if (kind < SIMDEV_DEVICE_COUNT && !g_state.Present[kind]) {
        status = SIMDEV_STATUS_GONE; /* as if the device were not there at all */
    }
    StateUnlock();
    return Complete(irp, status, 0);
}

static NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS DeviceRequest(ULONG kind, SIMDEV_REQUEST* request) {
    NTSTATUS status;
    ++g_state.Requests[kind];
    if (!g_state.Present[kind]) {
        status = SIMDEV_STATUS_GONE; /* a handle opened before the device was unplugged */
    } else if (g_state.FailPending[kind] != 0) {
        --g_state.FailPending[kind];
        status = ErrorToStatus(g_state.FailError[kind]);
        if (g_state.FailPending[kind] == 0) {
            g_state.FailError[kind] = 0;
        }
    } else {
        switch (kind) {
        case SIMDEV_LED: status = LedRequest(request); break;
        case SIMDEV_CPU: status = CpuRequest(request); break;
        case SIMDEV_LCD: status = LcdRequest(request); break;
        default: status = BatteryRequest(request); break;
        }
    }
    if (!NT_SUCCESS(status)) {
        ++g_state.Failures[kind];
    }
    return status;
}

static NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    SIMDEV_REQUEST request;
    ULONG kind = KindOf(device);
    NTSTATUS status;

    request.Code = stack->Parameters.DeviceIoControl.IoControlCode;
    request.Buffer = irp->AssociatedIrp.SystemBuffer;
    request.InputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    request.OutputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    request.Information = 0;
    if (request.Buffer == NULL) {
        request.InputLength = 0;
        request.OutputLength = 0;
    }

    StateLock();
    if (kind == SIMDEV_CONTROL) {
        status = ControlRequest(g_driver, &request);
    } else {
        status = DeviceRequest(kind, &request);
    }
    StateSave();
    StateUnlock();
    return Complete(irp, status, NT_SUCCESS(status) ? request.Information : 0);
}

/* The battery answers the identity queries that registering its interface needs. */
static NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp) {
    static const WCHAR deviceId[] = L"ROOT\\SIMBATT";
    static const WCHAR instanceId[] = L"0000";
    static const WCHAR hardwareIds[] = L"ROOT\\SIMBATT\0";
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const WCHAR* id = NULL;
    ULONG bytes = 0;
    WCHAR* copy;

    if (KindOf(device) != SIMDEV_BATTERY || stack->MinorFunction != IRP_MN_QUERY_ID) {
        NTSTATUS status = irp->IoStatus.Status;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    }
    switch (stack->Parameters.QueryId.IdType) {
    case BusQueryDeviceID: id = deviceId; bytes = sizeof(deviceId); break;
    case BusQueryInstanceID: id = instanceId; bytes = sizeof(instanceId); break;
    case BusQueryHardwareIDs: id = hardwareIds; bytes = sizeof(hardwareIds); break;
    default: break;
    }
    if (id == NULL) {
        NTSTATUS status = irp->IoStatus.Status;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    }
    copy = (WCHAR*)ExAllocatePool(PagedPool, bytes);
    if (copy == NULL) {
        return Complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    }
    memcpy(copy, id, bytes);
    return Complete(irp, STATUS_SUCCESS, (ULONG_PTR)copy);
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    ULONG kind;
    NTSTATUS status;

    g_driver = driver;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;

    StateSetDefaults();
    StateOpen(registryPath); /* without the key the devices still work, unpersisted */
    StateLoad();

    for (kind = 0; kind < SIMDEV_DEVICE_COUNT; ++kind) {
        if (g_state.Present[kind] && !NT_SUCCESS(DevicesCreate(driver, kind))) {
            g_state.Present[kind] = 0; /* reported absent rather than failing the others */
        }
    }
    StateSave();
    /* The control device comes last: once it answers, every device is in place. */
    status = DevicesCreate(driver, SIMDEV_CONTROL);
    return NT_SUCCESS(status) ? STATUS_SUCCESS : status;
}
