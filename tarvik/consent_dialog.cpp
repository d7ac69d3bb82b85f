// Dialog 101: the user accepts or declines the data service's terms. Its link controls need the
// common controls of version 6, which the library's own manifest (resource 2) selects.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "common/log.h"
#include "tarvik/library.h"
#include "tarvik/resource_ids.h"

namespace tarvik {
namespace {

constexpr WORD kOwnManifestId = 2;

// An activation context made from the library's manifest, active for the object's lifetime.
class ScopedActivationContext {
public:
    explicit ScopedActivationContext(HINSTANCE module) noexcept : m_context(INVALID_HANDLE_VALUE), m_cookie(0) {
        ACTCTXW description = {};
        description.cbSize = sizeof(description);
        description.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        description.hModule = module;
        description.lpResourceName = MAKEINTRESOURCEW(kOwnManifestId);
        m_context = CreateActCtxW(&description);
        if (m_context != INVALID_HANDLE_VALUE && !ActivateActCtx(m_context, &m_cookie)) {
            m_cookie = 0;
        }
    }
    ~ScopedActivationContext() {
        if (m_cookie != 0) {
            DeactivateActCtx(0, m_cookie);
        }
        if (m_context != INVALID_HANDLE_VALUE) {
            ReleaseActCtx(m_context);
        }
    }
    ScopedActivationContext(const ScopedActivationContext&) = delete;
    ScopedActivationContext& operator=(const ScopedActivationContext&) = delete;

private:
    HANDLE m_context;
    ULONG_PTR m_cookie;
};

void OnLinkNotify(HWND dialog, const NMHDR* header) noexcept {
    if (header->code != NM_CLICK && header->code != NM_RETURN) {
        return;
    }
    if (header->idFrom != IDC_CONSENT_TERMS_LINK && header->idFrom != IDC_CONSENT_SUPPORT_LINK) {
        return;
    }
    const auto* link = reinterpret_cast<const NMLINK*>(header);
    ShellExecuteW(dialog, L"open", link->item.szUrl, nullptr, nullptr, SW_SHOWNORMAL);
}

INT_PTR CALLBACK ConsentDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_NOTIFY:
        OnLinkNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_CONSENT_ACCEPT:
        case IDC_CONSENT_DECLINE:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case IDCANCEL:  // Esc or the close box: the terms were not accepted
            EndDialog(dialog, IDC_CONSENT_DECLINE);
            return TRUE;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

}  // namespace

INT_PTR ShowConsentDialog(HINSTANCE module) noexcept {
    ScopedActivationContext context(module);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const INT_PTR result =
        DialogBoxParamW(module, MAKEINTRESOURCEW(IDD_CONSENT), nullptr, ConsentDialogProc, 0);
    if (result == -1) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"TarvikShowDialog", L"DialogBoxParam failed (%u)", GetLastError());
    }
    return result;
}

}  // namespace tarvik
