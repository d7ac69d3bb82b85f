/* simdev.sys internals: the driver-wide state, the request record and the per-device handlers. */
#ifndef SIMDEV_H
#define SIMDEV_H

#include <ddk/wdm.h>
#include <poclass.h>
#include <ntddvdeo.h>

#include "simdev_protocol.h"

#define SIMDEV_CONTROL SIMDEV_DEVICE_COUNT /* device kind of the control device */
#define SIMDEV_KIND_COUNT (SIMDEV_DEVICE_COUNT + 1)

/* Kept in every device object's extension. */
typedef struct _SIMDEV_EXTENSION {
    ULONG Kind;
} SIMDEV_EXTENSION;

/* One device I/O control request (buffered: one system buffer for input and output). */
typedef struct _SIMDEV_REQUEST {
    ULONG Code;
    PVOID Buffer;
    ULONG InputLength;
    ULONG OutputLength;
    ULONG_PTR Information; /* bytes returned */
} SIMDEV_REQUEST;

/* The whole state, guarded by the driver lock. */
extern SIMDEV_STATE g_state;

/* simdev_state.c: loading, write-through and the lock. */
NTSTATUS StateOpen(PUNICODE_STRING registryPath);
void StateSetDefaults(void);
void StateLoad(void);
void StateSave(void);
void StateLock(void);
void StateUnlock(void);
void StateDeletePhantom(void);

/* What a device that is not there answers: the caller sees ERROR_FILE_NOT_FOUND. */
#define SIMDEV_STATUS_GONE STATUS_OBJECT_NAME_NOT_FOUND

/* simdev_devices.c: creating the devices the state calls present, plugging and unplugging them. */
NTSTATUS DevicesCreate(PDRIVER_OBJECT driver, ULONG kind);
NTSTATUS DevicesSetPresent(PDRIVER_OBJECT driver, ULONG kind, BOOLEAN present);

/* Handlers, one per device; called with the lock held. */
NTSTATUS LedRequest(SIMDEV_REQUEST* request);
NTSTATUS CpuRequest(SIMDEV_REQUEST* request);
NTSTATUS LcdRequest(SIMDEV_REQUEST* request);
NTSTATUS BatteryRequest(SIMDEV_REQUEST* request);
NTSTATUS ControlRequest(PDRIVER_OBJECT driver, SIMDEV_REQUEST* request);

/* simdev_battery.c */
ULONG BatteryPowerState(void);

/* simdev_control.c */
NTSTATUS ErrorToStatus(ULONG win32Error);

/* Buffer checks shared by the handlers. */
#define REQUIRE_INPUT(request, size) \
    do { if ((request)->InputLength < (size)) return STATUS_BUFFER_TOO_SMALL; } while (0)
#define REQUIRE_OUTPUT(request, size) \
    do { if ((request)->OutputLength < (size)) return STATUS_BUFFER_TOO_SMALL; } while (0)

#endif /* SIMDEV_H */
