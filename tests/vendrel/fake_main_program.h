// A stand-in for the running main program: its mutex and a window of class "Solvane" on a
// thread of the test process; it counts the WM_CLOSE requests it gets and then closes.
#pragma once

#include <windows.h>

#include <atomic>
#include <thread>

namespace vendrel_test {

class FakeMainProgram {
public:
    FakeMainProgram();
    ~FakeMainProgram();
    FakeMainProgram(const FakeMainProgram&) = delete;
    FakeMainProgram& operator=(const FakeMainProgram&) = delete;

    int Closes() const { return m_closes; }
    bool HasWindow() const { return m_window != nullptr; }
    // True once the window is gone (it was closed).
    bool WaitClosed(DWORD timeoutMs) const;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Run();

    std::thread m_thread;
    std::atomic<HWND> m_window{nullptr};
    std::atomic<bool> m_ready{false};
    std::atomic<int> m_closes{0};
};

}  // namespace vendrel_test
