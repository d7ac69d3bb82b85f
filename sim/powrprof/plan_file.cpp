#include "sim/powrprof/plan_file.h"

#include <cwchar>

#include "common/handles.h"
#include "sim/powrprof/guid_text.h"

namespace simpower {
namespace {

constexpr BYTE UTF16LE_BOM[] = {0xFF, 0xFE};
constexpr BYTE UTF8_BOM[] = {0xEF, 0xBB, 0xBF};
constexpr int FORMAT_VERSION = 1;
constexpr wchar_t SECTION_PLAN[] = L"[PowerPlan]";
constexpr wchar_t SECTION_SETTINGS[] = L"[Settings]";
constexpr wchar_t KEY_VERSION[] = L"Version";
constexpr wchar_t KEY_NAME[] = L"Name";
constexpr wchar_t KEY_DESCRIPTION[] = L"Description";
constexpr wchar_t COMMENT = L';';
constexpr wchar_t GUID_SEPARATOR = L'\\';
constexpr wchar_t VALUE_SEPARATOR = L',';

enum class Section { None, Plan, Settings };

bool Decode(const BYTE* data, size_t size, std::wstring& text) {
    if (size >= sizeof(UTF16LE_BOM) && data[0] == UTF16LE_BOM[0] && data[1] == UTF16LE_BOM[1]) {
        size -= sizeof(UTF16LE_BOM);
        if (size % sizeof(wchar_t) != 0) return false;
        text.resize(size / sizeof(wchar_t));
        for (size_t i = 0; i < text.size(); ++i) {
            const BYTE* p = data + sizeof(UTF16LE_BOM) + i * sizeof(wchar_t);
            text[i] = static_cast<wchar_t>(p[0] | (p[1] << 8));
        }
        return true;
    }
    if (size >= sizeof(UTF8_BOM) && memcmp(data, UTF8_BOM, sizeof(UTF8_BOM)) == 0) {
        data += sizeof(UTF8_BOM);
        size -= sizeof(UTF8_BOM);
    }
    if (size == 0) {
        text.clear();
        return true;
    }
    int cch = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(data),
                                  static_cast<int>(size), nullptr, 0);
    if (cch <= 0) return false;
    text.resize(static_cast<size_t>(cch));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(data),
                        static_cast<int>(size), text.data(), cch);
    return true;
}

std::wstring Trim(const std::wstring& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && iswspace(s[b])) ++b;
    while (e > b && iswspace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Whole decimal or 0x-prefixed hexadecimal number that fits 32 bits.
bool ParseIndex(const std::wstring& text, DWORD& value) {
    std::wstring t = Trim(text);
    if (t.empty()) return false;
    int base = 10;
    size_t pos = 0;
    if (t.size() > 2 && t[0] == L'0' && (t[1] == L'x' || t[1] == L'X')) {
        base = 16;
        pos = 2;
    }
    unsigned long long v = 0;
    for (; pos < t.size(); ++pos) {
        wchar_t c = t[pos];
        int d;
        if (c >= L'0' && c <= L'9') d = c - L'0';
        else if (base == 16 && c >= L'a' && c <= L'f') d = c - L'a' + 10;
        else if (base == 16 && c >= L'A' && c <= L'F') d = c - L'A' + 10;
        else return false;
        v = v * base + static_cast<unsigned>(d);
        if (v > MAXDWORD) return false;
    }
    value = static_cast<DWORD>(v);
    return true;
}

bool ParseSettingLine(const std::wstring& key, const std::wstring& value, PlanFileSetting& s) {
    size_t sep = key.find(GUID_SEPARATOR);
    if (sep == std::wstring::npos) return false;
    if (!ParseGuid(Trim(key.substr(0, sep)).c_str(), s.subgroup)) return false;
    if (!ParseGuid(Trim(key.substr(sep + 1)).c_str(), s.setting)) return false;
    size_t comma = value.find(VALUE_SEPARATOR);
    if (comma == std::wstring::npos) return false;
    return ParseIndex(value.substr(0, comma), s.ac) && ParseIndex(value.substr(comma + 1), s.dc);
}

bool ParsePlanLine(const std::wstring& key, const std::wstring& value, PlanFile& plan, bool& version,
                   bool& named) {
    if (key == KEY_VERSION) {
        DWORD v = 0;
        if (version || !ParseIndex(value, v) || v != FORMAT_VERSION) return false;
        version = true;
    } else if (key == KEY_NAME) {
        if (named || value.empty() || value.size() > PLAN_NAME_MAX_CCH) return false;
        plan.name = value;
        named = true;
    } else if (key == KEY_DESCRIPTION) {
        if (value.size() > PLAN_DESCRIPTION_MAX_CCH) return false;
        plan.description = value;
    } else {
        return false;
    }
    return true;
}

bool SameSetting(const PlanFileSetting& a, const PlanFileSetting& b) {
    return IsEqualGUID(a.subgroup, b.subgroup) && IsEqualGUID(a.setting, b.setting);
}

}  // namespace

DWORD ParsePlanFile(const BYTE* data, size_t size, PlanFile& plan) {
    std::wstring text;
    if (data == nullptr || size > PLAN_FILE_MAX_BYTES || !Decode(data, size, text)) return ERROR_INVALID_DATA;
    if (text.find(L'\0') != std::wstring::npos) return ERROR_INVALID_DATA;
    PlanFile parsed;
    Section section = Section::None;
    bool version = false;
    bool named = false;
    bool sawSettings = false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == COMMENT) continue;
        if (line == SECTION_PLAN) {
            if (section != Section::None) return ERROR_INVALID_DATA;
            section = Section::Plan;
            continue;
        }
        if (line == SECTION_SETTINGS) {
            if (section != Section::Plan || sawSettings) return ERROR_INVALID_DATA;
            section = Section::Settings;
            sawSettings = true;
            continue;
        }
        size_t eq = line.find(L'=');
        if (section == Section::None || eq == std::wstring::npos) return ERROR_INVALID_DATA;
        std::wstring key = Trim(line.substr(0, eq));
        std::wstring value = Trim(line.substr(eq + 1));
        if (section == Section::Plan) {
            if (!ParsePlanLine(key, value, parsed, version, named)) return ERROR_INVALID_DATA;
            continue;
        }
        PlanFileSetting s{};
        if (!ParseSettingLine(key, value, s)) return ERROR_INVALID_DATA;
        for (const PlanFileSetting& other : parsed.settings) {
            if (SameSetting(other, s)) return ERROR_INVALID_DATA;
        }
        parsed.settings.push_back(s);
    }
    if (!version || !named) return ERROR_INVALID_DATA;
    plan = std::move(parsed);
    return ERROR_SUCCESS;
}

DWORD LoadPlanFile(const wchar_t* path, PlanFile& plan) {
    common::UniqueFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return GetLastError();
    if (size.QuadPart > PLAN_FILE_MAX_BYTES) return ERROR_INVALID_DATA;
    std::vector<BYTE> data(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!data.empty() && !ReadFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr)) {
        return GetLastError();
    }
    if (read != data.size()) return ERROR_INVALID_DATA;
    return ParsePlanFile(data.data(), data.size(), plan);
}

}  // namespace simpower
