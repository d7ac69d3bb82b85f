// The maker's processor power-saving driver ("\\.\ORVELPSRD").
#pragma once

#include <windows.h>

namespace drivers {

constexpr const wchar_t* kProcessorDevicePath = L"\\\\.\\ORVELPSRD";
constexpr DWORD IOCTL_PSRD_QUERY_CAPABILITIES = 0x9C40E108;  // out: 4-byte capability bits
constexpr DWORD IOCTL_PSRD_SET_STATE = 0x9C40E10C;           // in: 4-byte state, out: 4 bytes
constexpr DWORD PSRD_CAP_SET_STATE = 0x1;                    // a power-saving state can be set

constexpr UINT kErrQueryCapabilities = 539;  // "サポートしている省電力機能の取得に失敗しました。"
constexpr UINT kErrSetPowerSavingState = 541;  // "CPU省電力状態の設定に失敗しました。"

// Capability bits; 0 when the device cannot be opened or the request fails.
DWORD QueryPowerSavingCapabilities() noexcept;
// Hands a plan's "NpdCPU" value to the driver; FALSE when the device cannot be opened.
BOOL SetPowerSavingState(DWORD state) noexcept;

}  // namespace drivers
