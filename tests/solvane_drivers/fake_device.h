// Stand-ins for the LED and processor power-saving devices, installed in place of CreateFileW and
// DeviceIoControl; they count every request so that tests see exactly what was sent.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fakedev {

struct State {
    bool ledPresent = true;
    bool processorPresent = false;
    std::wstring ledPath = L"\\\\.\\VUREZORERIDAD";
    DWORD ledValue = 0;              // what the LED reads back
    DWORD capabilities = 0;
    std::vector<std::wstring> opened;  // every path CreateFileW was asked for
    std::vector<DWORD> ledCommands;    // command words received
    std::vector<DWORD> processorStates;
    int ledReads = 0;                  // 0x9C40E084 and 0x9C40E088 requests
    int notifications = 0;
    int capabilityQueries = 0;
    int ioctls = 0;                    // every DeviceIoControl call
    DWORD failCode = 0;                // this control code fails with ERROR_GEN_FAILURE
    std::vector<HANDLE> handles;       // handles given out (events, so that CloseHandle works)
};

// Snapshot of the state (taken under the fake's lock).
State Get();
// Changes the state under the fake's lock.
template <typename F>
void Update(F change);
void Install();
void Uninstall();

namespace detail {
void Lock();
void Unlock();
State& Raw();
}  // namespace detail

template <typename F>
void Update(F change) {
    detail::Lock();
    change(detail::Raw());
    detail::Unlock();
}

}  // namespace fakedev
