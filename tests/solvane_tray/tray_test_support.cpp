#include "tray_test_support.h"

#include <strsafe.h>

#include <cstdio>
#include <fstream>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/main_state.h"
#include "app/main_window.h"
#include "app/mode_ui.h"
#include "app/tray_dispatch.h"
#include "common/log.h"
#include "fake_power.h"
#include "plans/settings.h"
#include "test_registry.h"

namespace traytest {

namespace {
constexpr wchar_t kOwnerClass[] = L"SolvaneTrayTestOwner";
constexpr DWORD kScreenshotWaitMs = 20000;

// The main window's own procedure, except for its creation and destruction (which set up and end
// the whole program) and its commands (recorded here; only the minimise command acts).
LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        g_MainState.uTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
        tray::OnMainCreate(hwnd);
        return 0;
    case WM_DESTROY:
        tray::OnMainDestroy(hwnd);
        return 0;
    case WM_COMMAND:
        TestOwner::Commands().push_back(LOWORD(wParam));
        if (LOWORD(wParam) == IDM_MINIMIZE_TO_TRAY) {
            return MainWndProc(hwnd, message, wParam, lParam);
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_CLOSE:
    case WM_SYSCOMMAND:
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
        return MainWndProc(hwnd, message, wParam, lParam);
    }
}
}  // namespace

void InitProgramGlobals() {
    g_hInstance = GetModuleHandleW(nullptr);
    SetErrorLogModule(g_hInstance);
    LoadStringW(g_hInstance, 141, g_szProgramTitle, static_cast<int>(kTitleChars));
    SetErrorLogCaption(g_szProgramTitle);
    app::RegisterModeUi();
}

std::vector<WORD>& TestOwner::Commands() {
    static std::vector<WORD> commands;
    return commands;
}

TestOwner::TestOwner() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kOwnerClass;
    RegisterClassExW(&wc);  // a second registration fails harmlessly
    m_hwnd = CreateWindowExW(0, kOwnerClass, L"tray test", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    g_hMainWnd = m_hwnd;
    Commands().clear();
}

TestOwner::~TestOwner() {
    if (m_hwnd != nullptr) {
        DestroyWindow(m_hwnd);
    }
    g_hMainWnd = nullptr;
    Pump(0);
}

MenuWatcher::MenuWatcher(HWND owner, Inspect inspect, void* context)
    : m_owner(owner), m_inspect(inspect), m_context(context) {
    m_thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

MenuWatcher::~MenuWatcher() {
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
}

DWORD WINAPI MenuWatcher::Run(void* param) {
    auto* self = static_cast<MenuWatcher*>(param);
    HWND menuWindow = nullptr;
    for (int i = 0; i < 1000 && menuWindow == nullptr; ++i) {
        HWND candidate = FindWindowW(L"#32768", nullptr);
        if (candidate != nullptr && IsWindowVisible(candidate)) {
            menuWindow = candidate;
        } else {
            Sleep(10);
        }
    }
    if (menuWindow != nullptr) {
        Sleep(300);  // let it draw
        self->m_seen = true;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
        if (self->m_inspect != nullptr) {
            self->m_inspect(menuWindow, menu, self->m_context);
        }
    }
    PostMessageW(self->m_owner, WM_CANCELMODE, 0, 0);
    return 0;
}

void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (ms > 0) {
            Sleep(10);
        }
    } while (GetTickCount() - start < ms);
}

void AddPlan(const GUID& guid, const std::wstring& name, int iconNo, int ledNo) {
    fakes::Store().AddPlan(guid, name);
    const std::wstring key = testreg::PlanKey(guid);
    testreg::SetDword(HKEY_LOCAL_MACHINE, key, L"IconNo", static_cast<DWORD>(iconNo));
    testreg::SetDword(HKEY_LOCAL_MACHINE, key, L"LedNo", static_cast<DWORD>(ledNo));
}

void SetActive(const GUID& guid) { fakes::Store().active = guid; }

void SetFlags(DWORD flagWord) { plans::g_Settings.blob.dwFlagWord = flagWord; }

void MarkErrors() { testreg::MarkErrorLog(); }
std::vector<std::wstring> NewErrors() { return testreg::NewErrorLogLines(); }
bool HasError(const std::vector<std::wstring>& lines, const wchar_t* text) {
    for (const std::wstring& line : lines) {
        if (line.find(text) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

std::wstring LongestStaticText(HWND dialog) {
    std::wstring longest;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM param) -> BOOL {
            wchar_t cls[32] = L"";
            GetClassNameW(child, cls, 32);
            if (lstrcmpiW(cls, L"Static") == 0) {
                wchar_t text[1024] = L"";
                GetWindowTextW(child, text, 1024);
                auto* best = reinterpret_cast<std::wstring*>(param);
                if (wcslen(text) > best->size()) {
                    *best = text;
                }
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&longest));
    return longest;
}

std::wstring Str(UINT id) {
    wchar_t buffer[1024] = L"";
    LoadStringW(GetModuleHandleW(nullptr), id, buffer, 1024);
    return buffer;
}

namespace {

// Runs a program of the host (Wine starts Unix executables given by their Z: path) and waits.
bool RunHostProgram(const std::wstring& command) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0');
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fwprintf(stderr, L"CreateProcess(%ls) failed %lu\n", command.c_str(), GetLastError());
        return false;
    }
    WaitForSingleObject(pi.hProcess, kScreenshotWaitMs);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

std::wstring ToWindowsPath(const std::wstring& unixPath) {
    std::wstring path = L"Z:" + unixPath;
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

bool WaitForFile(const std::wstring& path) {
    for (int i = 0; i < 100; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow > 0) {
            Sleep(200);  // the host program may still be writing
            return true;
        }
        Sleep(100);
    }
    return false;
}

}  // namespace

std::wstring Screenshot(const wchar_t* name) {
    wchar_t dir[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"TRAY_SCREENSHOT_DIR", dir, MAX_PATH) == 0) {
        return L"";
    }
    const std::wstring unixDir = dir;
    CreateDirectoryW(ToWindowsPath(unixDir).c_str(), nullptr);
    wchar_t display[64] = L"";
    GetEnvironmentVariableW(L"DISPLAY", display, 64);
    wchar_t suffix[32] = L"";
    GetEnvironmentVariableW(L"TRAY_SCREENSHOT_SUFFIX", suffix, 32);
    const std::wstring unixFile = unixDir + L"/" + name + suffix + L".png";
    const std::wstring winFile = ToWindowsPath(unixFile);
    DeleteFileW(winFile.c_str());
    if (!RunHostProgram(L"Z:\\usr\\bin\\import -display " + std::wstring(display) + L" -window root " + unixFile)) {
        return L"";
    }
    return WaitForFile(winFile) ? winFile : L"";
}

bool ReadPicture(const std::wstring& path, Picture* picture) {
    // Decoded by the host's converter into a plain PPM, whose pixels are easy to read.
    if (path.size() < 6 || path.compare(0, 2, L"Z:") != 0) {
        return false;
    }
    std::wstring unixPng = path.substr(2);
    for (wchar_t& c : unixPng) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    const std::wstring unixPpm = unixPng.substr(0, unixPng.size() - 4) + L".ppm";
    const std::wstring winPpm = ToWindowsPath(unixPpm);
    DeleteFileW(winPpm.c_str());
    if (!RunHostProgram(L"Z:\\usr\\bin\\convert " + unixPng + L" " + unixPpm) || !WaitForFile(winPpm)) {
        return false;
    }
    std::ifstream file(winPpm.c_str(), std::ios::binary);
    std::string magic;
    int maxValue = 0;
    file >> magic >> picture->width >> picture->height >> maxValue;
    file.get();
    if (magic != "P6" || picture->width <= 0 || picture->height <= 0 || maxValue != 255) {
        std::fprintf(stderr, "screenshot %s %dx%d\n", magic.c_str(), picture->width, picture->height);
        return false;
    }
    picture->rgb.resize(static_cast<size_t>(picture->width) * picture->height * 3);
    file.read(reinterpret_cast<char*>(picture->rgb.data()), static_cast<std::streamsize>(picture->rgb.size()));
    const bool complete = file.gcount() == static_cast<std::streamsize>(picture->rgb.size());
    file.close();
    DeleteFileW(winPpm.c_str());
    return complete;
}

COLORREF Picture::At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * width + x) * 3;
    return RGB(rgb[i], rgb[i + 1], rgb[i + 2]);
}

namespace {

RECT ClipToPicture(const Picture& picture, const RECT& rect) {
    RECT clipped = rect;
    clipped.left = std::max<LONG>(clipped.left, 0);
    clipped.top = std::max<LONG>(clipped.top, 0);
    clipped.right = std::min<LONG>(clipped.right, picture.width);
    clipped.bottom = std::min<LONG>(clipped.bottom, picture.height);
    return clipped;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

}  // namespace

int CountNear(const Picture& picture, const RECT& rect, COLORREF colour, int tolerance) {
    const RECT r = ClipToPicture(picture, rect);
    int count = 0;
    for (LONG y = r.top; y < r.bottom; ++y) {
        for (LONG x = r.left; x < r.right; ++x) {
            count += Near(picture.At(x, y), colour, tolerance) ? 1 : 0;
        }
    }
    return count;
}

int CountDrawn(const Picture& picture, const RECT& rect) {
    const RECT r = ClipToPicture(picture, rect);
    std::map<COLORREF, int> histogram;
    for (LONG y = r.top; y < r.bottom; ++y) {
        for (LONG x = r.left; x < r.right; ++x) {
            ++histogram[picture.At(x, y)];
        }
    }
    int total = 0;
    int dominant = 0;
    for (const auto& entry : histogram) {
        total += entry.second;
        dominant = std::max(dominant, entry.second);
    }
    return total - dominant;
}

bool PngLooksTaken(const std::wstring& path, int expectWidth, int expectHeight) {
    Picture picture;
    if (!ReadPicture(path, &picture)) {
        return false;
    }
    if (picture.width != expectWidth || picture.height != expectHeight) {
        std::fprintf(stderr, "screenshot %dx%d, the screen is %dx%d\n", picture.width, picture.height, expectWidth,
                     expectHeight);
        return false;
    }
    const RECT all = {0, 0, picture.width, picture.height};
    return CountDrawn(picture, all) > 2000;
}

}  // namespace traytest
