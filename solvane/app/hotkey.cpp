#include "app/hotkey.h"

#include "app/app_globals.h"
#include "common/log.h"
#include "common/registry.h"

namespace hotkey {

const HotkeyEntry kHotkeyTable[kHotkeyEntryCount] = {
    {0, 0, 220},
    {MOD_ALT, VK_F1, 221},      {MOD_ALT, VK_F2, 222},      {MOD_ALT, VK_F3, 223},
    {MOD_ALT, VK_F5, 224},      {MOD_ALT, VK_F6, 225},      {MOD_ALT, VK_F7, 226},
    {MOD_ALT, VK_F8, 227},      {MOD_ALT, VK_F9, 228},      {MOD_ALT, VK_F10, 229},
    {MOD_ALT, VK_F11, 230},     {MOD_ALT, VK_F12, 231},
    {MOD_CONTROL, VK_F1, 232},  {MOD_CONTROL, VK_F2, 233},  {MOD_CONTROL, VK_F3, 234},
    {MOD_CONTROL, VK_F4, 235},  {MOD_CONTROL, VK_F5, 236},  {MOD_CONTROL, VK_F6, 237},
    {MOD_CONTROL, VK_F7, 238},  {MOD_CONTROL, VK_F8, 239},  {MOD_CONTROL, VK_F9, 240},
    {MOD_CONTROL, VK_F10, 241}, {MOD_CONTROL, VK_F11, 242}, {MOD_CONTROL, VK_F12, 243},
};

size_t FindHotkeyEntry(const HotkeyPair& pair) noexcept {
    for (size_t i = 1; i < kHotkeyEntryCount; ++i) {
        if (kHotkeyTable[i].uModifiers == pair.uModifiers && kHotkeyTable[i].uKey == pair.uKey) {
            return i;
        }
    }
    return 0;
}

bool ReadHotkeyPair(HKEY root, HotkeyPair* pair) noexcept {
    common::UniqueRegKey key;
    if (common::OpenRegKey(root, kProgramKey, KEY_READ, key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD modifiers = 0;
    DWORD vkey = 0;
    if (common::QueryRegDword(key.Get(), kHotKeyOptionValue, &modifiers) != ERROR_SUCCESS ||
        common::QueryRegDword(key.Get(), kHotKeyValue, &vkey) != ERROR_SUCCESS) {
        return false;
    }
    pair->uModifiers = modifiers;
    pair->uKey = vkey;
    return true;
}

HotkeyPair ReadStoredHotkey() noexcept {
    HotkeyPair pair = {0, 0};
    if (!ReadHotkeyPair(HKEY_CURRENT_USER, &pair) && !ReadHotkeyPair(HKEY_LOCAL_MACHINE, &pair)) {
        pair = {0, 0};
    }
    return pair;
}

LSTATUS WriteUserHotkey(const HotkeyPair& pair) noexcept {
    common::UniqueRegKey key;
    LSTATUS status = common::CreateRegKey(HKEY_CURRENT_USER, kProgramKey, KEY_WRITE, key);
    if (status == ERROR_SUCCESS) {
        status = common::WriteRegDword(key.Get(), kHotKeyOptionValue, pair.uModifiers);
    }
    if (status == ERROR_SUCCESS) {
        status = common::WriteRegDword(key.Get(), kHotKeyValue, pair.uKey);
    }
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(kErrWriteHotKey, status, ERRLOG_FILE);
    }
    return status;
}

BOOL RegisterHotkeyPair(HWND mainWindow, const HotkeyPair& pair) noexcept {
    if (RegisterHotKey(mainWindow, kHotkeyId, pair.uModifiers, pair.uKey)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"RegisterHotKey", L"modifiers %u key %#x", pair.uModifiers, pair.uKey);
        return TRUE;
    }
    WriteErrorLog(kErrRegisterHotKey, GetLastError(), ERRLOG_FILE);
    return FALSE;
}

BOOL RegisterStoredHotkey(HWND mainWindow) noexcept {
    HotkeyPair pair = ReadStoredHotkey();
    if (!IsHotkeyPair(pair)) {
        return FALSE;
    }
    // A stored pair that the dialog does not offer is registered all the same.
    return RegisterHotkeyPair(mainWindow, pair);
}

void UnregisterMainHotkey(HWND mainWindow) noexcept { UnregisterHotKey(mainWindow, kHotkeyId); }

}  // namespace hotkey
