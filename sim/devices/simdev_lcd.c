/* \\.\LCD: the panel's brightness through the display driver's brightness requests. */
#include "simdev.h"

#define DISPLAY_BRIGHTNESS_BYTES 3

static NTSTATUS QuerySupported(SIMDEV_REQUEST* request) {
    REQUIRE_OUTPUT(request, g_state.LevelCount);
    memcpy(request->Buffer, g_state.Levels, g_state.LevelCount);
    request->Information = g_state.LevelCount;
    return STATUS_SUCCESS;
}

static NTSTATUS QueryCurrent(SIMDEV_REQUEST* request) {
    DISPLAY_BRIGHTNESS* brightness = (DISPLAY_BRIGHTNESS*)request->Buffer;
    REQUIRE_OUTPUT(request, DISPLAY_BRIGHTNESS_BYTES);
    /* The policy names the power source in force. */
    brightness->ucDisplayPolicy =
        (UCHAR)(g_state.Battery.AcOnLine ? DISPLAYPOLICY_AC : DISPLAYPOLICY_DC);
    brightness->ucACBrightness = (UCHAR)g_state.BrightnessAC;
    brightness->ucDCBrightness = (UCHAR)g_state.BrightnessDC;
    request->Information = DISPLAY_BRIGHTNESS_BYTES;
    return STATUS_SUCCESS;
}

static NTSTATUS SetCurrent(SIMDEV_REQUEST* request) {
    DISPLAY_BRIGHTNESS brightness;
    REQUIRE_INPUT(request, DISPLAY_BRIGHTNESS_BYTES);
    memcpy(&brightness, request->Buffer, DISPLAY_BRIGHTNESS_BYTES);
    if ((brightness.ucDisplayPolicy & ~DISPLAYPOLICY_BOTH) != 0 || brightness.ucDisplayPolicy == 0) {
        return STATUS_INVALID_PARAMETER;
    }
    if (((brightness.ucDisplayPolicy & DISPLAYPOLICY_AC) &&
         brightness.ucACBrightness > SIMDEV_MAX_BRIGHTNESS) ||
        ((brightness.ucDisplayPolicy & DISPLAYPOLICY_DC) &&
         brightness.ucDCBrightness > SIMDEV_MAX_BRIGHTNESS)) {
        return STATUS_INVALID_PARAMETER;
    }
    if (brightness.ucDisplayPolicy & DISPLAYPOLICY_AC) {
        g_state.BrightnessAC = brightness.ucACBrightness;
    }
    if (brightness.ucDisplayPolicy & DISPLAYPOLICY_DC) {
        g_state.BrightnessDC = brightness.ucDCBrightness;
    }
    ++g_state.BrightnessSetCount;
    return STATUS_SUCCESS;
}

NTSTATUS LcdRequest(SIMDEV_REQUEST* request) {
    switch (request->Code) {
    case IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS:
        return QuerySupported(request);
    case IOCTL_VIDEO_QUERY_DISPLAY_BRIGHTNESS:
        return QueryCurrent(request);
    case IOCTL_VIDEO_SET_DISPLAY_BRIGHTNESS:
        return SetCurrent(request);
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}
