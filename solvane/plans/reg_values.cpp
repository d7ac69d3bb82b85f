#include "plans/reg_values.h"

namespace plans {

LSTATUS ReadDwordValue(HKEY key, const wchar_t* name, DWORD* value) noexcept {
    DWORD type = 0;
    DWORD data = 0;
    DWORD cb = sizeof(data);
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &cb);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (type != REG_DWORD || cb != sizeof(DWORD)) {
        return ERROR_INVALID_DATA;
    }
    *value = data;
    return ERROR_SUCCESS;
}

LSTATUS WriteDwordValue(HKEY key, const wchar_t* name, DWORD value) noexcept {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LSTATUS ReadStringValue(HKEY key, const wchar_t* name, wchar_t* text, size_t cchText) noexcept {
    if (text == nullptr || cchText == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    text[0] = L'\0';
    DWORD type = 0;
    DWORD cb = static_cast<DWORD>((cchText - 1) * sizeof(wchar_t));
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &cb);
    if (status != ERROR_SUCCESS) {
        text[0] = L'\0';
        return status;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        text[0] = L'\0';
        return ERROR_INVALID_DATA;
    }
    text[cb / sizeof(wchar_t)] = L'\0';
    return ERROR_SUCCESS;
}

LSTATUS WriteStringValue(HKEY key, const wchar_t* name, const wchar_t* text) noexcept {
    size_t len = 0;
    while (text[len] != L'\0') {
        ++len;
    }
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>((len + 1) * sizeof(wchar_t)));
}

LSTATUS ReadBinaryValue(HKEY key, const wchar_t* name, void* data, DWORD cbData, DWORD* cbRead) noexcept {
    DWORD type = 0;
    DWORD cb = cbData;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, static_cast<BYTE*>(data), &cb);
    if (cbRead != nullptr) {
        *cbRead = cb;
    }
    if (status == ERROR_SUCCESS && type != REG_BINARY) {
        return ERROR_INVALID_DATA;
    }
    return status;
}

}  // namespace plans

