// Shared set-up of the tray tests: the program's module and title, a window that routes its
// messages through the tray dispatcher, fake plans with their extension values, message pumping.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace traytest {

// Resources come from the test executable itself (Solvane.rc is linked in).
void InitProgramGlobals();

// A hidden top-level window whose procedure is the tray dispatcher (then DefWindowProc). Records
// every WM_COMMAND it receives.
class TestOwner {
public:
    TestOwner();
    ~TestOwner();
    TestOwner(const TestOwner&) = delete;
    TestOwner& operator=(const TestOwner&) = delete;
    HWND Get() const { return m_hwnd; }
    static std::vector<WORD>& Commands();

private:
    HWND m_hwnd = nullptr;
};

// Watches for the pop-up menu that the main thread is about to track: when it is visible, runs
// the inspection (menu window, menu handle) and then ends the menu through the owner.
class MenuWatcher {
public:
    using Inspect = void (*)(HWND menuWindow, HMENU menu, void* context);
    MenuWatcher(HWND owner, Inspect inspect, void* context);
    ~MenuWatcher();
    MenuWatcher(const MenuWatcher&) = delete;
    MenuWatcher& operator=(const MenuWatcher&) = delete;
    bool Seen() const { return m_seen; }

private:
    static DWORD WINAPI Run(void* self);
    HWND m_owner;
    Inspect m_inspect;
    void* m_context;
    HANDLE m_thread = nullptr;
    volatile bool m_seen = false;
};

// Runs the message loop of this thread for the given time.
void Pump(DWORD ms);
// Pumps until pred() holds or the time is up; returns pred().
template <typename Pred>
bool PumpUntil(Pred pred, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Pump(20);
    }
    return true;
}

// A plan in the fake power store with its "IconNo" and "LedNo" under the program's key.
void AddPlan(const GUID& guid, const std::wstring& name, int iconNo, int ledNo);
void SetActive(const GUID& guid);

// The settings flags the UI code reads.
void SetFlags(DWORD flagWord);

// Error-log lines written since the last mark.
void MarkErrors();
std::vector<std::wstring> NewErrors();
bool HasError(const std::vector<std::wstring>& lines, const wchar_t* text);

// The longest text of the static controls of a dialog (the message of a message box).
std::wstring LongestStaticText(HWND dialog);

// Loads a string of the program's string table.
std::wstring Str(UINT id);

// Takes a screenshot of the whole X screen into $TRAY_SCREENSHOT_DIR\name.png through
// /usr/bin/import; returns the Windows path of the file, or empty when it could not be taken.
std::wstring Screenshot(const wchar_t* name);
// A screenshot's pixels (screen coordinates: the X screen's origin is the virtual screen's).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // rows of R, G, B bytes
    COLORREF At(int x, int y) const;
};
// Reads a screenshot taken by Screenshot(); false when it cannot be decoded.
bool ReadPicture(const std::wstring& path, Picture* picture);
// Pixels of the rectangle whose colour is within `tolerance` of `colour` in each channel.
int CountNear(const Picture& picture, const RECT& rect, COLORREF colour, int tolerance = 40);
// Pixels of the rectangle that differ from its most common colour: what was drawn on its ground.
int CountDrawn(const Picture& picture, const RECT& rect);
// Whether the screenshot has the screen's size and is not one plain colour.
bool PngLooksTaken(const std::wstring& path, int expectWidth, int expectHeight);

}  // namespace traytest
