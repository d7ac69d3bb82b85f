#include "common/ini.h"

#include <strsafe.h>

#include <cwchar>
#include <new>

#include "common/log.h"

namespace {
// Enough for any decimal count with sign and surrounding blanks.
constexpr size_t kCountTextChars = 64;
constexpr size_t kNumberTextChars = 16;  // "%u" of a DWORD
constexpr wchar_t kEmpty[] = L"";

bool IsBlank(wchar_t c) noexcept { return c == L' ' || c == L'\t'; }

bool IsEmpty(const wchar_t* text) noexcept { return text == nullptr || text[0] == L'\0'; }
}  // namespace

CIniCtl::CIniCtl() noexcept : m_fileName(nullptr), m_initialised(FALSE) {}

CIniCtl::CIniCtl(const wchar_t* lpszFileName) noexcept : CIniCtl() { Initialize(lpszFileName); }

CIniCtl::~CIniCtl() { Finalize(); }

DWORD CIniCtl::Initialize(const wchar_t* lpszFileName) noexcept {
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CIniCtl::Initialize", L"Enter");
    if (IsEmpty(lpszFileName)) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CIniCtl::Initialize", L"%s is NULL.", L"lpszFileName");
        return ERROR_INVALID_PARAMETER;
    }
    Finalize();
    const size_t cch = wcslen(lpszFileName) + 1;
    m_fileName = new (std::nothrow) wchar_t[cch];
    if (m_fileName == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CIniCtl::Initialize", L"Exit - Error! retval:%08x",
                  ERROR_NOT_ENOUGH_MEMORY);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    StringCchCopyW(m_fileName, cch, lpszFileName);
    m_initialised = TRUE;
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CIniCtl::Initialize", L"Exit");
    return ERROR_SUCCESS;
}

void CIniCtl::Finalize() noexcept {
    delete[] m_fileName;
    m_fileName = nullptr;
    m_initialised = FALSE;
}

DWORD CIniCtl::GetKeyInt(const wchar_t* lpszSection, const wchar_t* lpszKey, DWORD* lpdwValue,
                         INT nDefault) const noexcept {
    if (!IsInitialised()) {
        return ERROR_NOT_READY;
    }
    if (lpszSection == nullptr || lpszKey == nullptr || lpdwValue == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CIniCtl::GetKeyInt", L"%s is NULL.",
                  lpszSection == nullptr ? L"lpszSection"
                                         : (lpszKey == nullptr ? L"lpszKey" : L"lpdwValue"));
        return ERROR_INVALID_PARAMETER;
    }
    *lpdwValue = GetPrivateProfileIntW(lpszSection, lpszKey, nDefault, m_fileName);
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CIniCtl::GetKeyInt", L"[%s] %s=%u", lpszSection, lpszKey,
              *lpdwValue);
    return ERROR_SUCCESS;
}

DWORD CIniCtl::GetKeyString(const wchar_t* lpszSection, const wchar_t* lpszKey,
                            wchar_t* lpszString, DWORD size,
                            const wchar_t* lpszDefault) const noexcept {
    if (!IsInitialised()) {
        return ERROR_NOT_READY;
    }
    if (lpszSection == nullptr || lpszKey == nullptr || lpszString == nullptr || size == 0) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CIniCtl::GetKeyString", L"%s is NULL.",
                  lpszSection == nullptr ? L"lpszSection"
                                         : (lpszKey == nullptr ? L"lpszKey" : L"lpszString"));
        return ERROR_INVALID_PARAMETER;
    }
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetPrivateProfileStringW(
        lpszSection, lpszKey, lpszDefault != nullptr ? lpszDefault : kEmpty, lpszString, size,
        m_fileName);
    const DWORD error = GetLastError();
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CIniCtl::GetKeyString", L"[%s] %s=%s", lpszSection, lpszKey,
              lpszString);
    if (length != 0 && length + 2 != size) {
        return ERROR_SUCCESS;
    }
    return error;
}

DWORD CIniCtl::SetKeyData(const wchar_t* lpszSection, const wchar_t* lpszKey, DWORD dwValue,
                          const wchar_t* lpszValue, int kind) noexcept {
    if (!IsInitialised()) {
        return ERROR_NOT_READY;
    }
    if (lpszSection == nullptr || lpszKey == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CIniCtl::SetKeyData", L"%s is NULL.",
                  lpszSection == nullptr ? L"lpszSection" : L"lpszKey");
        return ERROR_INVALID_PARAMETER;
    }
    if (lpszSection[0] == L'\0' || lpszKey[0] == L'\0' || wcschr(lpszKey, L'=') != nullptr) {
        return ERROR_INVALID_DATA;
    }
    wchar_t number[kNumberTextChars] = {};
    const wchar_t* text = nullptr;
    if (kind == kKindNumber) {
        StringCchPrintfW(number, ARRAYSIZE(number), L"%u", dwValue);
        text = number;
    } else if (kind == kKindString) {
        if (lpszValue == nullptr) {
            LOG_TRACE(TRACE_LEVEL_UTILITY, L"CIniCtl::SetKeyData", L"%s is NULL.", L"lpszValue");
            return ERROR_INVALID_PARAMETER;
        }
        text = lpszValue;
    } else {
        return ERROR_INVALID_PARAMETER;
    }
    if (!WritePrivateProfileStringW(lpszSection, lpszKey, text, m_fileName)) {
        const DWORD error = GetLastError();
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CIniCtl::SetKeyData", L"Exit - Error! retval:%08x", error);
        return error;
    }
    return ERROR_SUCCESS;
}

DWORD CIniCtl::SetKeyInt(const wchar_t* lpszSection, const wchar_t* lpszKey, DWORD dwValue) noexcept {
    return SetKeyData(lpszSection, lpszKey, dwValue, nullptr, kKindNumber);
}

DWORD CIniCtl::SetKeyString(const wchar_t* lpszSection, const wchar_t* lpszKey,
                            const wchar_t* lpszValue) noexcept {
    return SetKeyData(lpszSection, lpszKey, 0, lpszValue, kKindString);
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
    if (!IsInitialised()) {
        StringCchCopyW(buffer, cchBuffer, fallback);
        return static_cast<DWORD>(wcslen(buffer));
    }
    const DWORD cch = cchBuffer > MAXDWORD ? MAXDWORD : static_cast<DWORD>(cchBuffer);
    return GetPrivateProfileStringW(section, key, fallback, buffer, cch, m_fileName);
}

UINT CIniCtl::ReadInt(const wchar_t* section, const wchar_t* key, INT defaultValue) const noexcept {
    if (!IsInitialised() || section == nullptr || key == nullptr) {
        return static_cast<UINT>(defaultValue);
    }
    return GetPrivateProfileIntW(section, key, defaultValue, m_fileName);
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
