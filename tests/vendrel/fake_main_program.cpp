#include "fake_main_program.h"

#include "common/handles.h"
#include "vendrel/program.h"

namespace vendrel_test {

namespace {
constexpr UINT kQuitWithoutClose = WM_APP + 1;
constexpr DWORD kPollMs = 10;
}  // namespace

FakeMainProgram::FakeMainProgram() {
    m_thread = std::thread([this] { Run(); });
    while (!m_ready) {
        Sleep(kPollMs);
    }
}

FakeMainProgram::~FakeMainProgram() {
    HWND window = m_window;
    if (window != nullptr) {
        PostMessageW(window, kQuitWithoutClose, 0, 0);
    }
    m_thread.join();
    UnregisterClassW(vendrel::kProgramWindowClass, GetModuleHandleW(nullptr));
}

bool FakeMainProgram::WaitClosed(DWORD timeoutMs) const {
    for (DWORD waited = 0; m_window != nullptr && waited < timeoutMs; waited += kPollMs) {
        Sleep(kPollMs);
    }
    return m_window == nullptr;
}

LRESULT CALLBACK FakeMainProgram::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<FakeMainProgram*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_CLOSE:
        if (self != nullptr) {
            ++self->m_closes;
        }
        DestroyWindow(hwnd);
        return 0;
    case kQuitWithoutClose:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void FakeMainProgram::Run() {
    common::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, vendrel::kProgramMutexName));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = vendrel::kProgramWindowClass;
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, vendrel::kProgramWindowClass, L"", WS_OVERLAPPED, 0, 0, 10, 10,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    if (window != nullptr) {
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    m_window = window;
    m_ready = true;
    MSG msg;
    while (window != nullptr && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    m_window = nullptr;
}

}  // namespace vendrel_test
