#include "common/dpi.h"

namespace kelvarin {

namespace {

using DpiForWindow = UINT(WINAPI*)(HWND);
using MetricsForDpi = int(WINAPI*)(int, UINT);

FARPROC user32Function(const char* name) {
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 != nullptr ? GetProcAddress(user32, name) : nullptr;
}

UINT screenDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

} // namespace

UINT windowDpi(HWND window) {
    const auto forWindow =
        reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(user32Function("GetDpiForWindow")));
    const UINT dpi = forWindow != nullptr && window != nullptr ? forWindow(window) : 0;
    return dpi != 0 ? dpi : screenDpi();
}

int systemMetric(int index, UINT dpi) {
    const auto forDpi = reinterpret_cast<MetricsForDpi>(
        reinterpret_cast<void*>(user32Function("GetSystemMetricsForDpi")));
    const int size = forDpi != nullptr ? forDpi(index, dpi) : 0;
    return size > 0 ? size
                    : MulDiv(GetSystemMetrics(index), static_cast<int>(dpi),
                             static_cast<int>(screenDpi()));
}

int scaleForDpi(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

} // namespace kelvarin
