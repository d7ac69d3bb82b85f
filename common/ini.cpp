#include "common/ini.h"

#include <strsafe.h>

#include "common/log.h"

namespace {
// Enough for any decimal count with sign and surrounding blanks.
constexpr size_t kCountTextChars = 64;
constexpr wchar_t kEmpty[] = L"";

bool IsBlank(wchar_t c) noexcept { return c == L' ' || c == L'\t'; }
}  // namespace

CIniCtl::CIniCtl(const wchar_t* filePath) noexcept : m_path{} {
    if (filePath == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CIniCtl::CIniCtl", L"%s is NULL.", L"filePath");
        return;
    }
    if (FAILED(StringCchCopyW(m_path, ARRAYSIZE(m_path), filePath))) {
        m_path[0] = L'\0';
    }
}

DWORD CIniCtl::ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultText,
                          wchar_t* buffer, size_t cchBuffer) const noexcept {
    if (buffer == nullptr || cchBuffer == 0) {
        return 0;
    }
    buffer[0] = L'\0';
    if (section == nullptr || key == nullptr) {
        return 0;
    }
    const wchar_t* fallback = defaultText != nullptr ? defaultText : kEmpty;
    if (!IsValid()) {
        StringCchCopyW(buffer, cchBuffer, fallback);
        return static_cast<DWORD>(wcslen(buffer));
    }
    const DWORD cch = cchBuffer > MAXDWORD ? MAXDWORD : static_cast<DWORD>(cchBuffer);
    return GetPrivateProfileStringW(section, key, fallback, buffer, cch, m_path);
}

UINT CIniCtl::ReadInt(const wchar_t* section, const wchar_t* key, INT defaultValue) const noexcept {
    if (!IsValid() || section == nullptr || key == nullptr) {
        return static_cast<UINT>(defaultValue);
    }
    return GetPrivateProfileIntW(section, key, defaultValue, m_path);
}

bool CIniCtl::HasValue(const wchar_t* section, const wchar_t* key) const noexcept {
    wchar_t text[2] = {};
    return ReadString(section, key, kEmpty, text, ARRAYSIZE(text)) > 0;
}

int CIniCtl::ReadCount(const wchar_t* section, const wchar_t* key, int maxCount) const noexcept {
    wchar_t text[kCountTextChars] = {};
    ReadString(section, key, kEmpty, text, ARRAYSIZE(text));
    return ParseBoundedCount(text, maxCount);
}

int CIniCtl::ParseBoundedCount(const wchar_t* text, int maxCount) noexcept {
    if (text == nullptr || maxCount <= 0) {
        return 0;
    }
    const wchar_t* p = text;
    while (IsBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = (*p == L'-');
        ++p;
    }
    if (*p < L'0' || *p > L'9') {
        return 0;
    }
    long long value = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        value = value * 10 + (*p - L'0');
        if (value > maxCount) {
            value = maxCount;  // saturate: the digits that follow cannot bring it back down
        }
    }
    if (negative) {
        return 0;
    }
    return static_cast<int>(value);
}
