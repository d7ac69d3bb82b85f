// sim_powrprof_listener.exe READY-EVENT RECEIVED-EVENT OUTPUT-FILE
// A process with one top-level window that loads powrprof, signals READY-EVENT, and for every
// WM_POWERBROADCAST / PBT_POWERSETTINGCHANGE writes the POWERBROADCAST_SETTING it received to
// OUTPUT-FILE and signals RECEIVED-EVENT. It ends when its thread gets WM_QUIT.
#include <windows.h>
#include <powrprof.h>
#include <shellapi.h>

#include "common/handles.h"

namespace {

constexpr wchar_t CLASS_NAME[] = L"SimPowrprofListener";
constexpr int EXPECTED_ARGS = 4;
constexpr WPARAM POWER_SETTING_CHANGE = 0x8013;  // PBT_POWERSETTINGCHANGE
constexpr DWORD HEADER_BYTES = sizeof(GUID) + sizeof(DWORD);
constexpr DWORD MAX_DATA_BYTES = 64;

const wchar_t* g_outputPath = nullptr;
HANDLE g_received = nullptr;

void Record(const BYTE* setting) {
    DWORD dataLength = 0;
    memcpy(&dataLength, setting + sizeof(GUID), sizeof(dataLength));
    if (dataLength > MAX_DATA_BYTES) dataLength = MAX_DATA_BYTES;
    common::UniqueFile file(CreateFileW(g_outputPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.Get(), setting, HEADER_BYTES + dataLength, &written, nullptr);
    file.Reset();
    SetEvent(g_received);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_POWERBROADCAST && wParam == POWER_SETTING_CHANGE && lParam != 0) {
        Record(reinterpret_cast<const BYTE*>(lParam));
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != EXPECTED_ARGS) return 2;
    common::UniqueHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]));
    common::UniqueHandle received(OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]));
    g_outputPath = argv[3];
    g_received = received.Get();
    if (!ready || !received) return 3;

    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = CLASS_NAME;
    if (!RegisterClassW(&wc)) return 4;
    common::UniqueWindow window(CreateWindowExW(0, CLASS_NAME, L"listener", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                                nullptr, nullptr, instance, nullptr));
    if (!window) return 5;
    GUID* active = nullptr;  // the first call into powrprof starts its watcher
    if (PowerGetActiveScheme(nullptr, &active) != ERROR_SUCCESS) return 6;
    LocalFree(active);
    SetEvent(ready.Get());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    LocalFree(argv);
    return 0;
}
