#include "common/dpi.h"

#include "common/platform.h"

namespace kelvarin {

namespace {

using DpiForWindow = UINT(WINAPI*)(HWND);
using MetricsForDpi = int(WINAPI*)(int, UINT);

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
    const auto forWindow = systemFunction<DpiForWindow>("user32.dll", "GetDpiForWindow");
    const UINT dpi = forWindow != nullptr && window != nullptr ? forWindow(window) : 0;
    return dpi != 0 ? dpi : screenDpi();
}

int systemMetric(int index, UINT dpi) {
    const auto forDpi = systemFunction<MetricsForDpi>("user32.dll", "GetSystemMetricsForDpi");
    const int size = forDpi != nullptr ? forDpi(index, dpi) : 0;
    return size > 0 ? size
                    : MulDiv(GetSystemMetrics(index), static_cast<int>(dpi),
                             static_cast<int>(screenDpi()));
}

int scaleForDpi(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

// Windows 98 and 2000 on have monitors; before them the screen's work area
// is the only one.
RECT workAreaOf(HWND window) {
    using MonitorOfWindow = HMONITOR(WINAPI*)(HWND, DWORD);
    using MonitorInfo = BOOL(WINAPI*)(HMONITOR, MONITORINFO*);
    const auto monitorOf = systemFunction<MonitorOfWindow>("user32.dll", "MonitorFromWindow");
    const auto infoOf = systemFunction<MonitorInfo>("user32.dll", "GetMonitorInfoA");
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitorOf != nullptr && infoOf != nullptr &&
        infoOf(monitorOf(window, MONITOR_DEFAULTTONEAREST), &info)) {
        return info.rcWork;
    }
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

bool systemRelaysDialogs() {
    using Context = DPI_AWARENESS_CONTEXT(WINAPI*)();
    using Equal = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);
    const auto context = systemFunction<Context>("user32.dll", "GetThreadDpiAwarenessContext");
    const auto equal = systemFunction<Equal>("user32.dll", "AreDpiAwarenessContextsEqual");
    return context != nullptr && equal != nullptr &&
           equal(context(), DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

HFONT relayForDpi(HWND window, UINT from, UINT to, const RECT& suggested) {
    const auto scale = [&](LONG value) {
        return MulDiv(value, static_cast<int>(to), static_cast<int>(from));
    };
    LOGFONTA face{};
    const auto old = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    HFONT font = nullptr;
    if (old != nullptr && GetObjectA(old, sizeof face, &face) != 0) {
        face.lfHeight = scale(face.lfHeight);
        font = CreateFontIndirectA(&face);
    }
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        RECT at{};
        GetWindowRect(child, &at);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&at), 2);
        // A combo box is sized with its list dropped; it sets its own
        // height for the font.
        RECT dropped{};
        char kind[16] = {};
        GetClassNameA(child, kind, sizeof kind);
        if (lstrcmpiA(kind, "ComboBox") == 0 &&
            SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped))) {
            at.bottom = at.top + (dropped.bottom - dropped.top);
        }
        if (font != nullptr) {
            SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        SetWindowPos(child, nullptr, scale(at.left), scale(at.top), scale(at.right - at.left),
                     scale(at.bottom - at.top), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (font != nullptr) {
        SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
    return font;
}

// The frame's metrics of the window's own DPI (Windows 10 1607 on); a
// per-monitor-aware window must not be measured with the system's.
RECT windowRectFor(HWND window, RECT client) {
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    const auto adjust = systemFunction<AdjustForDpi>("user32.dll", "AdjustWindowRectExForDpi");
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
    const auto extended = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE));
    const BOOL menu = GetMenu(window) != nullptr;
    if (adjust == nullptr || !adjust(&client, style, menu, extended, windowDpi(window))) {
        AdjustWindowRectEx(&client, style, menu, extended);
    }
    return client;
}

} // namespace kelvarin
