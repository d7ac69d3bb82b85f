#include "common/registry.h"

#include <vector>

namespace common {

LSTATUS OpenRegKey(HKEY root, const wchar_t* path, REGSAM access, UniqueRegKey& key) noexcept {
    HKEY opened = nullptr;
    LSTATUS status = ::RegOpenKeyExW(root, (path != nullptr && *path != L'\0') ? path : nullptr, 0,
                                     access, &opened);
    if (status == ERROR_SUCCESS) {
        key.Reset(opened);
    }
    return status;
}

LSTATUS CreateRegKey(HKEY root, const wchar_t* path, REGSAM access, UniqueRegKey& key) noexcept {
    if (path == nullptr || *path == L'\0') {
        return OpenRegKey(root, path, access, key);
    }
    HKEY created = nullptr;
    LSTATUS status = ::RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                       nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS) {
        key.Reset(created);
    }
    return status;
}

LSTATUS QueryRegDword(HKEY key, const wchar_t* name, DWORD* value) noexcept {
    if (value == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD cb = sizeof(data);
    LSTATUS status =
        ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &cb);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (type != REG_DWORD || cb != sizeof(data)) {
        return ERROR_INVALID_DATA;
    }
    *value = data;
    return ERROR_SUCCESS;
}

DWORD ReadRegDword(HKEY key, const wchar_t* name, DWORD defaultValue) noexcept {
    DWORD value = defaultValue;
    return QueryRegDword(key, name, &value) == ERROR_SUCCESS ? value : defaultValue;
}

namespace {
bool IsAcceptedText(DWORD type, RegText accepted) noexcept {
    return type == REG_SZ || (accepted == RegText::Expandable && type == REG_EXPAND_SZ);
}
}  // namespace

LSTATUS ReadRegString(HKEY key, const wchar_t* name, wchar_t* buffer, size_t cchBuffer,
                      RegText accepted) noexcept {
    if (buffer == nullptr || cchBuffer == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD type = REG_NONE;
    DWORD cb = 0;
    LSTATUS status = ::RegQueryValueExW(key, name, nullptr, &type, nullptr, &cb);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!IsAcceptedText(type, accepted)) {
        return ERROR_INVALID_DATA;
    }
    if (cb / sizeof(wchar_t) > cchBuffer) {
        return ERROR_MORE_DATA;
    }
    // Read into a copy so that a failure leaves the caller's buffer as it was.
    std::vector<wchar_t> text(cchBuffer + 1, L'\0');
    cb = static_cast<DWORD>(cchBuffer * sizeof(wchar_t));
    status = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &cb);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!IsAcceptedText(type, accepted)) {
        return ERROR_INVALID_DATA;
    }
    size_t cch = cb / sizeof(wchar_t);
    // The stored text may or may not carry its terminator; either way it must fit with one.
    if (cch > 0 && text[cch - 1] == L'\0') {
        --cch;
    }
    if (cch >= cchBuffer) {
        return ERROR_MORE_DATA;
    }
    for (size_t i = 0; i < cch; ++i) {
        buffer[i] = text[i];
    }
    buffer[cch] = L'\0';
    return ERROR_SUCCESS;
}

LSTATUS ReadRegBinary(HKEY key, const wchar_t* name, void* data, DWORD cbData, DWORD* cbStored) noexcept {
    if (data == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    // Read whole into a copy, so that data changes only when the size is exactly right.
    std::vector<BYTE> copy(cbData == 0 ? 1 : cbData);
    DWORD stored = 0;
    const LSTATUS status = ReadRegBinaryPrefix(key, name, copy.data(), cbData, &stored);
    if (status != ERROR_SUCCESS && status != ERROR_INVALID_DATA) {
        return status;
    }
    if (cbStored != nullptr) {
        *cbStored = stored;
    }
    if (status != ERROR_SUCCESS || stored != cbData) {
        return ERROR_INVALID_DATA;
    }
    BYTE* out = static_cast<BYTE*>(data);
    for (DWORD i = 0; i < cbData; ++i) {
        out[i] = copy[i];
    }
    return ERROR_SUCCESS;
}

LSTATUS ReadRegBinaryPrefix(HKEY key, const wchar_t* name, void* data, DWORD cbData, DWORD* cbStored) noexcept {
    if (data == nullptr || cbStored == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD type = REG_NONE;
    DWORD cb = 0;
    LSTATUS status = ::RegQueryValueExW(key, name, nullptr, &type, nullptr, &cb);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    *cbStored = cb;
    if (type != REG_BINARY) {
        return ERROR_INVALID_DATA;
    }
    std::vector<BYTE> copy(cb == 0 ? 1 : cb);
    status = ::RegQueryValueExW(key, name, nullptr, &type, copy.data(), &cb);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (type != REG_BINARY) {
        return ERROR_INVALID_DATA;
    }
    *cbStored = cb;
    BYTE* out = static_cast<BYTE*>(data);
    for (DWORD i = 0; i < cb && i < cbData; ++i) {
        out[i] = copy[i];
    }
    return ERROR_SUCCESS;
}

LSTATUS WriteRegDword(HKEY key, const wchar_t* name, DWORD value) noexcept {
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof(value));
}

LSTATUS WriteRegString(HKEY key, const wchar_t* name, const wchar_t* value) noexcept {
    if (value == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const DWORD cb = static_cast<DWORD>((::lstrlenW(value) + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), cb);
}

LSTATUS WriteRegBinary(HKEY key, const wchar_t* name, const void* data, DWORD cbData) noexcept {
    if (data == nullptr && cbData != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    return ::RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), cbData);
}

LSTATUS DeleteRegValue(HKEY key, const wchar_t* name) noexcept {
    LSTATUS status = ::RegDeleteValueW(key, name);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LSTATUS DeleteRegTree(HKEY root, const wchar_t* path) noexcept {
    if (path == nullptr || *path == L'\0') {
        return ERROR_INVALID_PARAMETER;  // never wipe a whole root
    }
    LSTATUS status = ::RegDeleteTreeW(root, path);  // removes the key itself too
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

}  // namespace common
