// Screen DPI factors: logical sizes (at 96 DPI) scaled to the screen.
#pragma once

#include <windows.h>

namespace common {

constexpr float kBaseDpi = 96.0f;

// Horizontal and vertical factors of the screen (LOGPIXELSX / 96, LOGPIXELSY / 96); 1 when the
// screen cannot be asked.
struct DpiFactors {
    float x;
    float y;
};
DpiFactors ScreenDpiFactors() noexcept;
inline int ScaleX(const DpiFactors& dpi, int logical) noexcept { return static_cast<int>(logical * dpi.x); }
inline int ScaleY(const DpiFactors& dpi, int logical) noexcept { return static_cast<int>(logical * dpi.y); }

}  // namespace common
