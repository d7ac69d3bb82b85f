#include "gauge_stars.h"

#include <cstdlib>
#include <vector>

namespace {

struct Rgb {
    int r, g, b;
};

Rgb Split(DWORD pixel) {
    return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
            static_cast<int>(pixel & 0xFF)};
}

bool Gold(const Rgb& c) { return c.r > 200 && c.g > 140 && c.g < 215 && c.b < 90; }
bool White(const Rgb& c) { return c.r >= 250 && c.g >= 250 && c.b >= 250; }
bool Grey(const Rgb& c) { return std::abs(c.r - c.g) < 8 && std::abs(c.g - c.b) < 8; }

// The control's drawing, top row first (0x00RRGGBB).
std::vector<DWORD> Render(HWND control, int* width, int* height) {
    RECT client{};
    GetClientRect(control, &client);
    *width = client.right;
    *height = client.bottom;
    std::vector<DWORD> pixels;
    if (*width <= 0 || *height <= 0) {
        return pixels;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = *width;
    info.bmiHeader.biHeight = -*height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
    const DWORD* p = static_cast<const DWORD*>(bits);
    pixels.assign(p, p + static_cast<size_t>(*width) * *height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

char Classify(HWND control) {
    if (control == nullptr || !IsWindowVisible(control) ||
        SendMessageW(control, STM_GETICON, 0, 0) == 0) {
        return ' ';
    }
    int width = 0;
    int height = 0;
    const std::vector<DWORD> pixels = Render(control, &width, &height);
    if (pixels.empty()) {
        return ' ';
    }
    const DWORD background = pixels[0] & 0xFFFFFF;  // a corner the star leaves free
    int gold = 0, white = 0, pale = 0, ink = 0;
    for (DWORD pixel : pixels) {
        if ((pixel & 0xFFFFFF) == background) {
            continue;
        }
        const Rgb c = Split(pixel);
        ++ink;
        gold += Gold(c) ? 1 : 0;
        white += White(c) ? 1 : 0;
        pale += Grey(c) && c.r >= 170 && c.r <= 230 ? 1 : 0;
    }
    const int area = width * height;
    if (ink < area / 10) {
        return ' ';
    }
    if (gold >= ink / 4) {
        return '*';
    }
    if (gold == 0 && white >= ink / 5) {
        return 'o';
    }
    if (gold == 0 && white == 0 && pale >= ink / 2) {
        return '-';
    }
    return '?';
}

}  // namespace

std::string GaugeStars(HWND dialog, int firstId) {
    std::string stars;
    for (int i = 0; i < 5; ++i) {
        stars += Classify(GetDlgItem(dialog, firstId + i));
    }
    return stars;
}
