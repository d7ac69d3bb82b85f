// Shared by the exported functions of the stand-in.
#pragma once

#include <windows.h>

#include <string>

namespace simpower {

// The stand-in's own module (for its string table).
extern HMODULE g_module;

// Every exported entry point calls this first: seeds a missing configuration and starts the
// active-plan watcher of this process.
DWORD PrepareStore();

// Starts the thread that delivers active-plan changes to this process's windows (once).
void StartActiveSchemeWatcher();

// Resolves "@powrprof.dll,-<id>" names to the string table in the user's language.
std::wstring ResolveName(const std::wstring& stored);

// Copies text with its terminator into a caller's byte buffer the way the power API does:
// size null = ERROR_INVALID_PARAMETER; buffer null = size only; too small = ERROR_MORE_DATA.
DWORD CopyTextOut(const std::wstring& text, BYTE* buffer, DWORD* size);

}  // namespace simpower
