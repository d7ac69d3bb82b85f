#include "plans/guid_text.h"

#include "common/guid.h"

#include <strsafe.h>

namespace plans {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

}  // namespace

bool ParseGuidText(const wchar_t* text, GUID* guid) noexcept {
    if (guid == nullptr) {
        return false;
    }
    *guid = GUID_NULL;
    if (text == nullptr) {
        return false;
    }
    while (IsBlank(*text)) {
        ++text;
    }
    size_t len = 0;
    while (text[len] != L'\0') {
        ++len;
    }
    while (len > 0 && IsBlank(text[len - 1])) {
        --len;
    }
    if (len >= kBracedGuidBufferChars) {
        return false;  // longer than a braced GUID
    }
    wchar_t trimmed[kBracedGuidBufferChars];
    for (size_t i = 0; i < len; ++i) {
        trimmed[i] = text[i];
    }
    trimmed[len] = L'\0';
    GUID parsed;
    if (common::GuidFromString(trimmed, &parsed) != ERROR_SUCCESS) {
        return false;
    }
    *guid = parsed;
    return true;
}

std::vector<GUID> ParseGuidMultiString(const wchar_t* data, size_t cchData, size_t maxEntries) {
    std::vector<GUID> result;
    if (data == nullptr) {
        return result;
    }
    size_t pos = 0;
    while (pos < cchData && result.size() < maxEntries) {
        size_t end = pos;
        while (end < cchData && data[end] != L'\0') {
            ++end;
        }
        if (end == pos) {
            break;  // the empty string that ends a REG_MULTI_SZ
        }
        // Copy the string so that a block without terminator is still read safely.
        wchar_t entry[kBracedGuidBufferChars + 8];
        GUID guid = GUID_NULL;
        if (end - pos < ARRAYSIZE(entry)) {
            for (size_t i = pos; i < end; ++i) {
                entry[i - pos] = data[i];
            }
            entry[end - pos] = L'\0';
            ParseGuidText(entry, &guid);
        }
        result.push_back(guid);
        pos = end + 1;
    }
    return result;
}

void FormatBracedGuid(const GUID& g, wchar_t (&text)[kBracedGuidBufferChars]) noexcept {
    StringCchPrintfW(text, ARRAYSIZE(text), L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                     static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                     g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

void FormatKeyGuid(const GUID& g, wchar_t (&text)[kBracedGuidBufferChars]) noexcept {
    StringCchPrintfW(text, ARRAYSIZE(text), L"%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                     static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                     g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

}  // namespace plans
