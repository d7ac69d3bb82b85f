#include "app/hotkey.h"

#include "app/app_globals.h"
#include "common/log.h"
#include "common/registry.h"
#include "resources/resource.h"

namespace hotkey {

const HotkeyEntry kHotkeyTable[kHotkeyEntryCount] = {
    {0, 0, IDS_HOTKEY_NAME_FIRST},
    {MOD_ALT, VK_F1, IDS_HOTKEY_NAME_FIRST + 1},      {MOD_ALT, VK_F2, IDS_HOTKEY_NAME_FIRST + 2},      {MOD_ALT, VK_F3, IDS_HOTKEY_NAME_FIRST + 3},
    {MOD_ALT, VK_F5, IDS_HOTKEY_NAME_FIRST + 4},      {MOD_ALT, VK_F6, IDS_HOTKEY_NAME_FIRST + 5},      {MOD_ALT, VK_F7, IDS_HOTKEY_NAME_FIRST + 6},
    {MOD_ALT, VK_F8, IDS_HOTKEY_NAME_FIRST + 7},      {MOD_ALT, VK_F9, IDS_HOTKEY_NAME_FIRST + 8},      {MOD_ALT, VK_F10, IDS_HOTKEY_NAME_FIRST + 9},
    {MOD_ALT, VK_F11, IDS_HOTKEY_NAME_FIRST + 10},     {MOD_ALT, VK_F12, IDS_HOTKEY_NAME_FIRST + 11},
    {MOD_CONTROL, VK_F1, IDS_HOTKEY_NAME_FIRST + 12},  {MOD_CONTROL, VK_F2, IDS_HOTKEY_NAME_FIRST + 13},  {MOD_CONTROL, VK_F3, IDS_HOTKEY_NAME_FIRST + 14},
    {MOD_CONTROL, VK_F4, IDS_HOTKEY_NAME_FIRST + 15},  {MOD_CONTROL, VK_F5, IDS_HOTKEY_NAME_FIRST + 16},  {MOD_CONTROL, VK_F6, IDS_HOTKEY_NAME_FIRST + 17},
    {MOD_CONTROL, VK_F7, IDS_HOTKEY_NAME_FIRST + 18},  {MOD_CONTROL, VK_F8, IDS_HOTKEY_NAME_FIRST + 19},  {MOD_CONTROL, VK_F9, IDS_HOTKEY_NAME_FIRST + 20},
    {MOD_CONTROL, VK_F10, IDS_HOTKEY_NAME_FIRST + 21}, {MOD_CONTROL, VK_F11, IDS_HOTKEY_NAME_FIRST + 22}, {MOD_CONTROL, VK_F12, IDS_HOTKEY_NAME_FIRST + 23},
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
        WriteErrorLog(IDS_ERR_WRITE_HOTKEY, status, ERRLOG_FILE);
    }
    return status;
}

BOOL RegisterHotkeyPair(HWND mainWindow, const HotkeyPair& pair) noexcept {
    if (RegisterHotKey(mainWindow, kHotkeyId, pair.uModifiers, pair.uKey)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"RegisterHotKey", L"modifiers %u key %#x", pair.uModifiers, pair.uKey);
        return TRUE;
    }
    WriteErrorLog(IDS_ERR_REGISTER_HOTKEY, GetLastError(), ERRLOG_FILE);
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
