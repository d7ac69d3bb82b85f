#include "common/guid.h"

#include <rpc.h>
#include <strsafe.h>

namespace common {

namespace {

// Frees a string allocated by the RPC runtime.
class RpcString {
public:
    RpcString() noexcept = default;
    ~RpcString() {
        if (m_text != nullptr) {
            ::RpcStringFreeW(&m_text);
        }
    }
    RpcString(const RpcString&) = delete;
    RpcString& operator=(const RpcString&) = delete;
    RPC_WSTR* Put() noexcept { return &m_text; }
    const wchar_t* Get() const noexcept { return reinterpret_cast<const wchar_t*>(m_text); }

private:
    RPC_WSTR m_text = nullptr;
};

bool IsHyphenPosition(size_t i) noexcept { return i == 8 || i == 13 || i == 18 || i == 23; }

bool IsHexDigit(wchar_t c) noexcept {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

}  // namespace

DWORD GuidToString(const GUID& guid, bool braces, wchar_t* buffer, size_t cchBuffer) noexcept {
    if (buffer == nullptr || cchBuffer == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    buffer[0] = L'\0';
    GUID copy = guid;
    RpcString text;
    RPC_STATUS status = ::UuidToStringW(&copy, text.Put());
    if (status != RPC_S_OK) {
        return static_cast<DWORD>(status);
    }
    HRESULT hr = braces ? ::StringCchPrintfW(buffer, cchBuffer, L"{%s}", text.Get())
                        : ::StringCchCopyW(buffer, cchBuffer, text.Get());
    if (FAILED(hr)) {
        buffer[0] = L'\0';
        return ERROR_INSUFFICIENT_BUFFER;
    }
    return ERROR_SUCCESS;
}

DWORD GuidFromString(const wchar_t* text, GUID* guid) noexcept {
    if (text == nullptr || guid == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    size_t cch = 0;
    if (FAILED(::StringCchLengthW(text, GUID_BRACED_CCH + 1, &cch))) {
        return ERROR_INVALID_PARAMETER;
    }
    const wchar_t* digits = text;
    if (cch == GUID_TEXT_CCH + 2) {
        if (text[0] != L'{' || text[cch - 1] != L'}') {
            return ERROR_INVALID_PARAMETER;
        }
        ++digits;
    } else if (cch != GUID_TEXT_CCH) {
        return ERROR_INVALID_PARAMETER;
    }
    wchar_t plain[GUID_STRING_CCH] = {};
    for (size_t i = 0; i < GUID_TEXT_CCH; ++i) {
        const bool ok = IsHyphenPosition(i) ? digits[i] == L'-' : IsHexDigit(digits[i]);
        if (!ok) {
            return ERROR_INVALID_PARAMETER;
        }
        plain[i] = digits[i];
    }
    GUID parsed = {};
    if (::UuidFromStringW(reinterpret_cast<RPC_WSTR>(plain), &parsed) != RPC_S_OK) {
        return ERROR_INVALID_PARAMETER;
    }
    *guid = parsed;
    return ERROR_SUCCESS;
}

}  // namespace common
