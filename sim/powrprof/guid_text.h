// GUID text as the power configuration writes it: key names without braces, lower case.
#pragma once

#include <windows.h>

namespace simpower {

// "381b4222-f694-41f0-9685-ff5bb260df2e" plus the terminator.
inline constexpr size_t GUID_TEXT_CCH = 37;

void GuidToText(const GUID& guid, wchar_t (&text)[GUID_TEXT_CCH]) noexcept;
// Accepts the 36-character form with or without braces, in any case; nothing else.
bool ParseGuid(const wchar_t* text, GUID& guid) noexcept;

}  // namespace simpower
