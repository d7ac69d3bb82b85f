#include "display/brightness_ctrl.h"


#include "common/handles.h"
#include "common/log.h"
#include "plans/power_api.h"
#include "plans/power_guids.h"

namespace display {

CBrightnessCtrl gBctl;

namespace {
constexpr DWORD kMidpointsOfLevels = 0;
}  // namespace

CBrightnessCtrl::CBrightnessCtrl() noexcept : m_levels{}, m_midpoints{}, m_count(0), m_mode(0) {}

CBrightnessCtrl::~CBrightnessCtrl() = default;

BOOL CBrightnessCtrl::Request(DWORD code, const void* input, DWORD cbInput, void* output, DWORD cbOutput,
                              DWORD* cbReturned) {
    if (!m_device) {
        m_device.Reset(CreateFileW(kLcdDevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
        if (!m_device) {
            return FALSE;
        }
    }
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(m_device.Get(), code, const_cast<void*>(input), cbInput, output, cbOutput,
                                    &returned, nullptr);
    const DWORD error = GetLastError();
    m_device.Reset();
    if (cbReturned != nullptr) {
        *cbReturned = returned;
    }
    SetLastError(error);
    return ok;
}

BOOL CBrightnessCtrl::QueryDisplayBrightness(DisplayBrightness* record) {
    if (record == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CBrightnessCtrl::QueryDisplayBrightness", L"%s is NULL.", L"pDisplayBrightness");
        return FALSE;
    }
    return Request(IOCTL_QUERY_DISPLAY_BRIGHTNESS, nullptr, 0, record, sizeof(*record), nullptr);
}

BOOL CBrightnessCtrl::SetDisplayBrightness(const DisplayBrightness* record) {
    if (record == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CBrightnessCtrl::SetDisplayBrightness", L"%s is NULL.", L"pDisplayBrightness");
        return FALSE;
    }
    DisplayBrightness copy = *record;
    return Request(IOCTL_SET_DISPLAY_BRIGHTNESS, &copy, sizeof(copy), nullptr, 0, nullptr);
}

DWORD CBrightnessCtrl::ReadBrightnessSetting(HKEY root, const GUID* plan, DWORD* value) {
    return plans::Power().readACValueIndex(root, plan, &plans::kSubgroupVideo, &plans::kSettingBrightness, value);
}

DWORD CBrightnessCtrl::WriteBrightnessSetting(HKEY root, const GUID* plan, DWORD value) {
    return plans::Power().writeACValueIndex(root, plan, &plans::kSubgroupVideo, &plans::kSettingBrightness, value);
}

BOOL CBrightnessCtrl::InitFromDevice(DWORD mode) {
    m_mode = mode;
    DWORD size = kMaxLevels;
    ZeroMemory(m_levels, sizeof(m_levels));
    if (!QuerySupportedBrightness(m_levels, &size) || size == 0 || size > kMaxLevels) {
        return FALSE;
    }
    m_count = size;
    return BuildMidpoints(kMidpointsOfLevels, m_levels, m_midpoints, m_count);
}

BOOL CBrightnessCtrl::BuildMidpoints(DWORD, const BYTE* levels, BYTE* midpoints, DWORD count) {
    if (levels == nullptr || midpoints == nullptr || count == 0 || count > kMaxLevels) {
        return FALSE;
    }
    midpoints[0] = 0;
    for (DWORD i = 1; i < count; ++i) {
        const int difference = static_cast<int>(levels[i]) - static_cast<int>(levels[i - 1]);
        midpoints[i] = static_cast<BYTE>(static_cast<int>(levels[i]) - difference / 2);
    }
    return TRUE;
}

DWORD CBrightnessCtrl::PercentToLevel(DWORD percent) {
    if (m_count == 0) {
        return 0;
    }
    if (m_mode == kTableMode) {
        for (DWORD i = 0; i < m_count; ++i) {
            if (m_midpoints[i] > percent) {
                return i == 0 ? 0 : i - 1;
            }
        }
        return m_count - 1;
    }
    if (m_count < 2) {
        return 0;
    }
    return (m_count - 1) * percent / 100;
}

DWORD CBrightnessCtrl::LevelToPercent(DWORD index) {
    if (m_mode == kTableMode) {
        return index < m_count ? m_levels[index] : kNoPercent;
    }
    if (m_count < 2) {
        return kNoPercent;
    }
    const DWORD product = index * 100;
    const DWORD steps = m_count - 1;
    return product / steps + (product % steps != 0 ? 1 : 0);
}

BOOL CBrightnessCtrl::InitFromTable(DWORD mode, const WORD* table, DWORD count) {
    m_mode = mode;
    if ((table == nullptr && count != 0) || count > kMaxLevels) {
        return FALSE;
    }
    ZeroMemory(m_levels, sizeof(m_levels));
    for (DWORD i = 0; i < count; ++i) {
        m_levels[i] = LOBYTE(table[i]);
    }
    m_count = count;
    ZeroMemory(m_midpoints, sizeof(m_midpoints));
    return BuildMidpoints(kMidpointsOfLevels, m_levels, m_midpoints, m_count);
}

BOOL CBrightnessCtrl::QuerySupportedBrightness(BYTE* pbArray, DWORD* pdwArraySize) {
    constexpr wchar_t kName[] = L"CBrightnessCtrl::QuerySupportedBrightness";
    if (pbArray == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kName, L"%s is NULL.", L"pbArray");
        return FALSE;
    }
    if (pdwArraySize == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kName, L"%s is NULL.", L"pdwArraySize");
        return FALSE;
    }
    DWORD returned = 0;
    const BOOL ok = Request(IOCTL_QUERY_SUPPORTED_BRIGHTNESS, nullptr, 0, pbArray, *pdwArraySize, &returned);
    if (ok && returned != 0) {
        *pdwArraySize = returned;
    }
    return ok;
}

}  // namespace display
