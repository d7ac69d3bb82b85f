/* \\.\VUREZORERIDAD: the ECO indicator LED of the embedded controller.
 * The LED takes a command word (0xE7 << 16) | command byte and reads back one value per state:
 * 0x80 -> 0 (state 0), 0x81 -> 0x71 (state 1), 0x84 -> 0x74 (state 2), 0x82 -> 0x72 (state 3). */
#include "simdev.h"

#define LED_COMMAND_BYTE_MASK 0xFFUL

static BOOLEAN CommandToValue(ULONG word, ULONG* value) {
    if ((word >> LED_COMMAND_TAG_SHIFT) != LED_COMMAND_TAG ||
        (word & ~((LED_COMMAND_TAG << LED_COMMAND_TAG_SHIFT) | LED_COMMAND_BYTE_MASK)) != 0) {
        return FALSE;
    }
    switch (word & LED_COMMAND_BYTE_MASK) {
    case LED_COMMAND_STATE0: *value = LED_VALUE_STATE0; return TRUE;
    case LED_COMMAND_STATE1: *value = LED_VALUE_STATE1; return TRUE;
    case LED_COMMAND_STATE2: *value = LED_VALUE_STATE2; return TRUE;
    case LED_COMMAND_STATE3: *value = LED_VALUE_STATE3; return TRUE;
    default: return FALSE;
    }
}

static void RememberValue(ULONG value) {
    if (g_state.LedHistoryCount == SIMDEV_LED_HISTORY) {
        memmove(g_state.LedHistory, g_state.LedHistory + 1,
                (SIMDEV_LED_HISTORY - 1) * sizeof(g_state.LedHistory[0]));
        --g_state.LedHistoryCount;
    }
    g_state.LedHistory[g_state.LedHistoryCount++] = value;
}

static NTSTATUS ReadValue(SIMDEV_REQUEST* request) {
    REQUIRE_OUTPUT(request, sizeof(ULONG));
    *(ULONG*)request->Buffer = g_state.LedValue;
    request->Information = sizeof(ULONG);
    return STATUS_SUCCESS;
}

static NTSTATUS SetValue(SIMDEV_REQUEST* request) {
    ULONG word;
    ULONG value;
    REQUIRE_INPUT(request, sizeof(ULONG));
    REQUIRE_OUTPUT(request, sizeof(ULONG));
    word = *(const ULONG*)request->Buffer;
    if (!CommandToValue(word, &value)) {
        return STATUS_INVALID_PARAMETER;
    }
    g_state.LedValue = value;
    g_state.LedLastCommand = word;
    ++g_state.LedCommandCount;
    RememberValue(value);
    /* The result is the value the LED now reads back. */
    *(ULONG*)request->Buffer = value;
    request->Information = sizeof(ULONG);
    return STATUS_SUCCESS;
}

static NTSTATUS Notify(SIMDEV_REQUEST* request) {
    REQUIRE_OUTPUT(request, sizeof(ULONG));
    ++g_state.LedNotifyCount;
    *(ULONG*)request->Buffer = 0;
    request->Information = sizeof(ULONG);
    return STATUS_SUCCESS;
}

NTSTATUS LedRequest(SIMDEV_REQUEST* request) {
    switch (request->Code) {
    case IOCTL_LED_READ_PERIODIC:
        REQUIRE_INPUT(request, sizeof(ULONG));
        return ReadValue(request);
    case IOCTL_LED_READ:
        return ReadValue(request);
    case IOCTL_LED_SET:
        return SetValue(request);
    case IOCTL_LED_NOTIFY:
        return Notify(request);
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}
