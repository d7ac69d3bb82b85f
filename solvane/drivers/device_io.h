// The calls through which the program reaches the maker's filter drivers, gathered in one table
// (kernel32 by default; tests may install another table).
#pragma once

#include <windows.h>

namespace drivers {

struct DeviceIoApi {
    HANDLE(WINAPI* createFile)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI* deviceIoControl)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
};

const DeviceIoApi& DeviceIo() noexcept;
// Installs another table (for tests); null restores kernel32.
void SetDeviceIoApi(const DeviceIoApi* api) noexcept;

// Opens a driver's device for reading and writing, shared, as every request does.
HANDLE OpenDriverDevice(const wchar_t* path, DWORD attributes) noexcept;

}  // namespace drivers
