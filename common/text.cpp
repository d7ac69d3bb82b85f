#include "common/text.h"

namespace common {

namespace {

HINSTANCE g_textModule = nullptr;

}  // namespace

void SetTextModule(HINSTANCE module) noexcept { g_textModule = module; }

HINSTANCE TextModule() noexcept { return g_textModule != nullptr ? g_textModule : ::GetModuleHandleW(nullptr); }

void LoadText(UINT id, wchar_t* text, size_t cchText) noexcept {
    if (text == nullptr || cchText == 0) {
        return;
    }
    text[0] = L'\0';
    const int cch = cchText > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(cchText);
    if (::LoadStringW(TextModule(), id, text, cch) <= 0) {
        text[0] = L'\0';
    }
}

}  // namespace common
