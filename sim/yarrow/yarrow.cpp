// Yarrow.dll stand-in: records toasts and the display-mode requests in the registry.
#include "sim/yarrow/yarrow_api.h"

#include <strsafe.h>

#include <string>

#include "sim/simlib/simlib.h"

using namespace yarrowsim;

namespace {

LONG g_initialized = 0;
bool g_haveCommonInfo = false;

std::wstring Key() { return simlib::PieceKey(PIECE); }

std::wstring Text(LPCWSTR text) { return text != nullptr ? std::wstring(text) : std::wstring(); }

std::wstring Quoted(LPCWSTR text) { return text != nullptr ? L"\"" + std::wstring(text) + L"\"" : L"null"; }

std::wstring WindowText(HWND hWnd) {
    wchar_t text[32] = {};
    StringCchPrintfW(text, ARRAYSIZE(text), L"window 0x%08lX",
                     static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(hWnd) & 0xFFFFFFFF));
    return text;
}

HRESULT Finish(const wchar_t* function, const std::wstring& args, HRESULT result, const std::wstring& detail = L"") {
    std::wstring line = std::wstring(function) + L"(" + args + L") = " + simlib::Hex(static_cast<DWORD>(result));
    if (!detail.empty()) {
        line += L" " + detail;
    }
    simlib::AppendLog(PIECE, line);
    return result;
}

// The HRESULT of a scripted failure of function, or S_OK.
HRESULT Scripted(const wchar_t* function) {
    DWORD error = 0;
    if (!simlib::TakeScriptedFailure(PIECE, function, error)) {
        return S_OK;
    }
    return error == 0 ? E_FAIL : static_cast<HRESULT>(error);
}

bool Initialized() { return InterlockedCompareExchange(&g_initialized, 0, 0) > 0; }

}  // namespace

extern "C" {

HRESULT WINAPI Yarrow_Initialize(void) {
    HRESULT hr = Scripted(L"Yarrow_Initialize");
    if (SUCCEEDED(hr)) {
        InterlockedIncrement(&g_initialized);
        simlib::WriteDword(Key(), L"Initialized", 1);
    }
    return Finish(L"Yarrow_Initialize", L"", hr);
}

HRESULT WINAPI Yarrow_InitToastCmnInf(const YARROW_TOAST_CMNINF* pInfo) {
    const wchar_t* fn = L"Yarrow_InitToastCmnInf";
    if (pInfo == nullptr) {
        return Finish(fn, L"null", E_INVALIDARG);
    }
    std::wstring args = Text(pInfo->pszAppId) + L", " + WindowText(pInfo->hWnd);
    if (!Initialized()) {
        return Finish(fn, args, E_UNEXPECTED);
    }
    if (pInfo->pszAppId == nullptr || pInfo->pszAppId[0] == L'\0') {
        return Finish(fn, args, E_INVALIDARG);
    }
    HRESULT hr = Scripted(fn);
    if (SUCCEEDED(hr)) {
        simlib::WriteString(Key(), L"AppId", pInfo->pszAppId);
        simlib::WriteDword(Key(), L"Window",
                           static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(pInfo->hWnd) & 0xFFFFFFFF));
        g_haveCommonInfo = true;
    }
    return Finish(fn, args, hr);
}

HRESULT WINAPI Yarrow_DisplayToast(const YARROW_TOAST* pToast) {
    const wchar_t* fn = L"Yarrow_DisplayToast";
    if (pToast == nullptr) {
        return Finish(fn, L"null", E_INVALIDARG);
    }
    std::wstring args = L"kind " + std::to_wstring(pToast->dwKind) + L", title " + Quoted(pToast->pszTitle) +
                        L", text " + Quoted(pToast->pszText) + L", sound " + Quoted(pToast->pszSound) +
                        L", duration " + Quoted(pToast->pszDuration);
    if (!Initialized() || !g_haveCommonInfo) {
        return Finish(fn, args, E_UNEXPECTED);
    }
    if (pToast->pszText == nullptr) {
        return Finish(fn, args, E_INVALIDARG);  // a toast without text shows nothing
    }
    HRESULT hr = Scripted(fn);
    if (SUCCEEDED(hr)) {
        std::wstring key = Key();
        simlib::WriteDword(key, L"LastToastKind", pToast->dwKind);
        simlib::WriteString(key, L"LastToastTitle", Text(pToast->pszTitle));
        simlib::WriteString(key, L"LastToastText", Text(pToast->pszText));
        simlib::WriteString(key, L"LastToastSound", Text(pToast->pszSound));
        simlib::WriteString(key, L"LastToastDuration", Text(pToast->pszDuration));
        simlib::WriteDword(key, L"ToastCount", simlib::DwordOr(key, L"ToastCount", 0) + 1);
    }
    return Finish(fn, args, hr);
}

HRESULT WINAPI Yarrow_HideToast(void) {
    HRESULT hr = Initialized() ? Scripted(L"Yarrow_HideToast") : E_UNEXPECTED;
    return Finish(L"Yarrow_HideToast", L"", hr);
}

HRESULT WINAPI Yarrow_GetDisplayMode(DWORD* pdwMode) {
    const wchar_t* fn = L"Yarrow_GetDisplayMode";
    if (pdwMode == nullptr) {
        return Finish(fn, L"null", E_INVALIDARG);
    }
    HRESULT hr = Initialized() ? Scripted(fn) : E_UNEXPECTED;
    if (FAILED(hr)) {
        return Finish(fn, L"", hr);
    }
    DWORD mode = simlib::DwordOr(Key(), L"DisplayMode", MODE_DESKTOP);
    *pdwMode = mode;
    return Finish(fn, L"", hr, L"mode " + std::to_wstring(mode));
}

HRESULT WINAPI Yarrow_SwitchToDT(HWND hWnd) {
    const wchar_t* fn = L"Yarrow_SwitchToDT";
    HRESULT hr = Initialized() ? Scripted(fn) : E_UNEXPECTED;
    if (SUCCEEDED(hr)) {
        simlib::WriteDword(Key(), L"DisplayMode", MODE_DESKTOP);
    }
    return Finish(fn, WindowText(hWnd), hr);
}

HRESULT WINAPI Yarrow_Finalize(void) {
    HRESULT hr = S_OK;
    if (!Initialized()) {
        hr = E_UNEXPECTED;
    } else if (InterlockedDecrement(&g_initialized) == 0) {
        g_haveCommonInfo = false;
        simlib::WriteDword(Key(), L"Initialized", 0);
    }
    return Finish(L"Yarrow_Finalize", L"", hr);
}

}  // extern "C"
