// FitPlanName (a template over the measuring function).
#pragma once

#include <strsafe.h>

namespace meter {

template <typename Measure>
void FitPlanName(const wchar_t* name, int width, Measure measure, wchar_t* text, size_t cchText) noexcept {
    constexpr wchar_t kEllipsis[] = L"...";
    if (cchText == 0) {
        return;
    }
    text[0] = L'\0';
    if (FAILED(StringCchCopyW(text, cchText, name)) || measure(text) > width) {
        size_t kept = 0;
        StringCchLengthW(name, STRSAFE_MAX_CCH, &kept);
        // Shorter and shorter heads of the name, each with the ellipsis, until one fits.
        while (kept > 0) {
            --kept;
            if (kept + ARRAYSIZE(kEllipsis) > cchText) {
                continue;
            }
            StringCchCopyNW(text, cchText, name, kept);
            StringCchCatW(text, cchText, kEllipsis);
            if (measure(text) <= width) {
                return;
            }
        }
        StringCchCopyW(text, cchText, kEllipsis);
    }
}

}  // namespace meter
