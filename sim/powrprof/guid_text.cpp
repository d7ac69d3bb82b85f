#include "sim/powrprof/guid_text.h"

#include <strsafe.h>

namespace simpower {
namespace {

constexpr size_t GUID_TEXT_LEN = GUID_TEXT_CCH - 1;
constexpr size_t DASH_POSITIONS[] = {8, 13, 18, 23};
constexpr int HEX_BASE = 16;
constexpr size_t DATA4_BYTES = 8;

int HexDigit(wchar_t c) noexcept {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Reads `digits` hex digits from text at pos into value.
bool ReadHex(const wchar_t* text, size_t pos, size_t digits, unsigned long long& value) noexcept {
    value = 0;
    for (size_t i = 0; i < digits; ++i) {
        int d = HexDigit(text[pos + i]);
        if (d < 0) return false;
        value = value * HEX_BASE + static_cast<unsigned>(d);
    }
    return true;
}

}  // namespace

void GuidToText(const GUID& g, wchar_t (&text)[GUID_TEXT_CCH]) noexcept {
    StringCchPrintfW(text, GUID_TEXT_CCH, L"%08lx-%04hx-%04hx-%02x%02x-%02x%02x%02x%02x%02x%02x",
                     static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                     g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

bool ParseGuid(const wchar_t* text, GUID& guid) noexcept {
    if (text == nullptr) return false;
    size_t len = 0;
    if (FAILED(StringCchLengthW(text, GUID_TEXT_CCH + 2, &len))) return false;
    if (len == GUID_TEXT_LEN + 2) {
        if (text[0] != L'{' || text[len - 1] != L'}') return false;
        ++text;
    } else if (len != GUID_TEXT_LEN) {
        return false;
    }
    for (size_t dash : DASH_POSITIONS) {
        if (text[dash] != L'-') return false;
    }
    unsigned long long v = 0;
    GUID g{};
    if (!ReadHex(text, 0, 8, v)) return false;
    g.Data1 = static_cast<unsigned long>(v);
    if (!ReadHex(text, 9, 4, v)) return false;
    g.Data2 = static_cast<unsigned short>(v);
    if (!ReadHex(text, 14, 4, v)) return false;
    g.Data3 = static_cast<unsigned short>(v);
    const size_t data4Pos[DATA4_BYTES] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (size_t i = 0; i < DATA4_BYTES; ++i) {
        if (!ReadHex(text, data4Pos[i], 2, v)) return false;
        g.Data4[i] = static_cast<unsigned char>(v);
    }
    guid = g;
    return true;
}

}  // namespace simpower
