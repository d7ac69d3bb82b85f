// String-table texts of the program: one module serves every load (the error log's texts too).
#pragma once

#include <windows.h>

#include <cstddef>

namespace common {

// The module whose string table LoadText reads; null: the program's own module.
void SetTextModule(HINSTANCE module) noexcept;
HINSTANCE TextModule() noexcept;
// Loads text `id` into text (cchText characters with the terminator); empty when the id has no
// text. A longer text is cut.
void LoadText(UINT id, wchar_t* text, size_t cchText) noexcept;

}  // namespace common
