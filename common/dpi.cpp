#include "common/dpi.h"

namespace common {

DpiFactors ScreenDpiFactors() noexcept {
    DpiFactors dpi = {1.0f, 1.0f};
    HDC dc = ::GetDC(nullptr);
    if (dc != nullptr) {
        dpi.x = static_cast<float>(::GetDeviceCaps(dc, LOGPIXELSX)) / kBaseDpi;
        dpi.y = static_cast<float>(::GetDeviceCaps(dc, LOGPIXELSY)) / kBaseDpi;
        ::ReleaseDC(nullptr, dc);
    }
    return dpi;
}

}  // namespace common
