// The panel's display driver ("\\.\LCD"): brightness requests, the plan's brightness setting and
// the conversions between percentages and level indices.
#pragma once

#include <windows.h>

#include "common/handles.h"

namespace display {

#pragma pack(push, 1)
struct DisplayBrightness {  // the driver's DISPLAY_BRIGHTNESS
    BYTE ucDisplayPolicy;
    BYTE ucACBrightness;
    BYTE ucDCBrightness;
};
#pragma pack(pop)
static_assert(sizeof(DisplayBrightness) == 3, "the driver's brightness record is 3 bytes");

constexpr DWORD IOCTL_QUERY_SUPPORTED_BRIGHTNESS = 0x230494;
constexpr DWORD IOCTL_QUERY_DISPLAY_BRIGHTNESS = 0x230498;
constexpr DWORD IOCTL_SET_DISPLAY_BRIGHTNESS = 0x23049C;
constexpr BYTE kDisplayPolicyBoth = 3;
constexpr DWORD kMaxLevels = 256;
constexpr DWORD kTableMode = 1;
constexpr DWORD kNoPercent = 0xFFFFFFFF;
constexpr wchar_t kLcdDevicePath[] = L"\\\\.\\LCD";

class CBrightnessCtrl {
public:
    CBrightnessCtrl() noexcept;
    virtual ~CBrightnessCtrl();
    CBrightnessCtrl(const CBrightnessCtrl&) = delete;
    CBrightnessCtrl& operator=(const CBrightnessCtrl&) = delete;

    virtual BOOL QueryDisplayBrightness(DisplayBrightness* record);
    virtual BOOL SetDisplayBrightness(const DisplayBrightness* record);
    virtual DWORD ReadBrightnessSetting(HKEY root, const GUID* plan, DWORD* value);
    virtual DWORD WriteBrightnessSetting(HKEY root, const GUID* plan, DWORD value);
    virtual BOOL InitFromDevice(DWORD mode);
    virtual BOOL BuildMidpoints(DWORD kind, const BYTE* levels, BYTE* midpoints, DWORD count);
    virtual DWORD PercentToLevel(DWORD percent);
    virtual DWORD LevelToPercent(DWORD index);
    virtual BOOL InitFromTable(DWORD mode, const WORD* table, DWORD count);
    virtual BOOL QuerySupportedBrightness(BYTE* pbArray, DWORD* pdwArraySize);

    DWORD Count() const noexcept { return m_count; }
    DWORD Mode() const noexcept { return m_mode; }
    BYTE Midpoint(DWORD index) const noexcept { return index < kMaxLevels ? m_midpoints[index] : 0; }

private:
    // Sends one request to the driver, opening "\\.\LCD" for it and closing it afterwards.
    BOOL Request(DWORD code, const void* input, DWORD cbInput, void* output, DWORD cbOutput, DWORD* cbReturned);

    common::UniqueFile m_device;  // open only during a request
    BYTE m_levels[kMaxLevels];
    BYTE m_midpoints[kMaxLevels];
    DWORD m_count;
    DWORD m_mode;
};

extern CBrightnessCtrl gBctl;

}  // namespace display
