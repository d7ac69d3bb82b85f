// Settings import and export, started by "/export <file>" and "/import <file>".
#pragma once

#include <windows.h>

// Writes the settings file. Shows its own messages; returns 0 when the file was written.
DWORD ExportSettings(const wchar_t* file) noexcept;

// Applies a settings file. Shows its own messages; returns 0 when everything was imported.
DWORD ImportSettings(const wchar_t* file) noexcept;

// Message 3007: import refused because the program is running (caption: program title).
void ShowImportRefusal(HINSTANCE instance) noexcept;
