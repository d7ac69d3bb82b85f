// Helpers of the battery tests: the error log of the current folder.
#pragma once

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace battery_test {

// The error log is UTF-16 text in the current folder.
inline std::wstring ErrorLog() {
    std::ifstream in("error.log", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) {
        memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    }
    return text;
}

inline size_t Count(const std::wstring& text, const std::wstring& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace battery_test
