#include "app/yarrow_toast.h"

#include "app/app_globals.h"
#include "common/handles.h"
#include "common/log.h"

namespace toast {
namespace {

struct CommonInfo {  // 40 bytes
    LPCWSTR pszAppId;
    HWND hWnd;
    void* apvReserved[3];
};
static_assert(sizeof(CommonInfo) == 40, "the toast common information is 40 bytes");

struct ToastRequest {
    DWORD dwReserved1;
    DWORD dwKind;
    DWORD dwReserved2;
    LPCWSTR pszTitle;
    LPCWSTR pszText;
    LPCWSTR pszReserved3;
    LPCWSTR pszReserved4;
    LPCWSTR pszSound;
    LPCWSTR pszReserved5;
    LPCWSTR pszDuration;
};

using InitCmnInfFn = HRESULT(WINAPI*)(const CommonInfo*);
using DisplayToastFn = HRESULT(WINAPI*)(const ToastRequest*);
using HideToastFn = HRESULT(WINAPI*)();
using SwitchToDtFn = HRESULT(WINAPI*)(HWND);
using GetDisplayModeFn = HRESULT(WINAPI*)(DWORD*);
using InitializeFn = HRESULT(WINAPI*)();
using FinalizeFn = HRESULT(WINAPI*)();

struct Binding {
    common::UniqueModule module;
    InitCmnInfFn initCmnInf = nullptr;
    DisplayToastFn displayToast = nullptr;
    HideToastFn hideToast = nullptr;
    SwitchToDtFn switchToDt = nullptr;
    GetDisplayModeFn getDisplayMode = nullptr;
    InitializeFn initialize = nullptr;
    FinalizeFn finalize = nullptr;
    bool attempted = false;
};
Binding g_Yarrow;

template <typename Fn>
Fn Resolve(HMODULE module, const char* name) noexcept {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void ClearEntryPoints() noexcept {
    g_Yarrow.initCmnInf = nullptr;
    g_Yarrow.displayToast = nullptr;
    g_Yarrow.hideToast = nullptr;
    g_Yarrow.switchToDt = nullptr;
    g_Yarrow.getDisplayMode = nullptr;
    g_Yarrow.initialize = nullptr;
    g_Yarrow.finalize = nullptr;
}

}  // namespace

HRESULT Load() noexcept {
    g_Yarrow.attempted = true;
    g_Yarrow.module.Reset(LoadLibraryW(L"Yarrow.dll"));
    HMODULE module = g_Yarrow.module.Get();
    if (module == nullptr) {
        return E_FAIL;
    }
    g_Yarrow.initCmnInf = Resolve<InitCmnInfFn>(module, "Yarrow_InitToastCmnInf");
    g_Yarrow.displayToast = Resolve<DisplayToastFn>(module, "Yarrow_DisplayToast");
    g_Yarrow.hideToast = Resolve<HideToastFn>(module, "Yarrow_HideToast");
    g_Yarrow.switchToDt = Resolve<SwitchToDtFn>(module, "Yarrow_SwitchToDT");
    g_Yarrow.getDisplayMode = Resolve<GetDisplayModeFn>(module, "Yarrow_GetDisplayMode");
    g_Yarrow.initialize = Resolve<InitializeFn>(module, "Yarrow_Initialize");
    g_Yarrow.finalize = Resolve<FinalizeFn>(module, "Yarrow_Finalize");
    bool complete = g_Yarrow.initCmnInf && g_Yarrow.displayToast && g_Yarrow.hideToast && g_Yarrow.switchToDt &&
                    g_Yarrow.getDisplayMode && g_Yarrow.initialize && g_Yarrow.finalize;
    if (!complete) {
        // A library without every entry point is not used at all.
        ClearEntryPoints();
        g_Yarrow.module.Reset();
        return E_FAIL;
    }
    const HRESULT hr = g_Yarrow.initialize();
    if (FAILED(hr)) {
        // Not initialised: nothing to finalise, and no call may reach the library.
        ClearEntryPoints();
        g_Yarrow.module.Reset();
    }
    return hr;
}

void Unload() noexcept {
    if (g_Yarrow.finalize != nullptr) {
        g_Yarrow.finalize();
    }
    ClearEntryPoints();
    g_Yarrow.module.Reset();
    g_Yarrow.attempted = false;
}

bool Loaded() noexcept { return g_Yarrow.module.Get() != nullptr; }

void EnsureLoaded() noexcept {
    if (!g_Yarrow.attempted && g_dwOsModel == OS_MODEL_WIN8_OR_LATER) {
        if (SUCCEEDED(Load())) {
            InitCommonInfo(g_hMainWnd);
        }
    }
}

void SwitchToDesktopIfCovered(HWND mainWindow) noexcept {
    if (!g_Yarrow.attempted) {
        Load();
    }
    DWORD mode = kDisplayModeDesktop;
    const HRESULT hr = GetDisplayMode(&mode);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"SwitchToDesktopIfCovered", L"display mode %u: %08x", mode,
              static_cast<unsigned>(hr));
    if (hr == S_OK && mode != kDisplayModeDesktop) {
        SwitchToDesktop(mainWindow);
    }
}

HRESULT InitCommonInfo(HWND mainWindow) noexcept {
    if (g_Yarrow.initCmnInf == nullptr) {
        return E_FAIL;
    }
    CommonInfo info = {};
    info.pszAppId = kAppId;
    info.hWnd = mainWindow;
    return g_Yarrow.initCmnInf(&info);
}

HRESULT GetDisplayMode(DWORD* mode) noexcept {
    if (g_Yarrow.getDisplayMode == nullptr) {
        return E_FAIL;
    }
    return g_Yarrow.getDisplayMode(mode);
}

HRESULT SwitchToDesktop(HWND mainWindow) noexcept {
    if (g_Yarrow.switchToDt == nullptr) {
        return E_FAIL;
    }
    return g_Yarrow.switchToDt(mainWindow);
}

HRESULT Display(DWORD kind, const wchar_t* title, const wchar_t* text) noexcept {
    if (g_Yarrow.displayToast == nullptr) {
        return E_FAIL;
    }
    ToastRequest request = {};
    request.dwKind = kind;
    request.pszTitle = title;
    request.pszText = text;
    request.pszSound = kSoundDefault;
    request.pszDuration = kDurationShort;
    HRESULT hr = g_Yarrow.displayToast(&request);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"DisplayToast", L"kind %u: %08x", kind, static_cast<unsigned>(hr));
    return hr;
}

bool ToastModeWanted() noexcept {
    if (g_dwOsModel != OS_MODEL_WIN8_OR_LATER) {
        return false;
    }
    EnsureLoaded();
    DWORD mode = kDisplayModeDesktop;
    return GetDisplayMode(&mode) == S_OK && mode != kDisplayModeDesktop;
}

}  // namespace toast
