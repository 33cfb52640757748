// The DPI a window is shown at, and the sizes that follow from it. The
// manifest declares per-monitor awareness, so on Windows 10 and later each
// window is told its own monitor's DPI; earlier systems have one DPI for
// the whole screen, and the calls of the newer systems are looked up, not
// imported, so the program still starts there.
#pragma once

#include <windows.h>

namespace kelvarin {

UINT windowDpi(HWND window);

// A system metric (SM_CXICON, ...) at dpi.
int systemMetric(int index, UINT dpi);

// The system's large-icon size at dpi: 32 at 96, 48 at 144, 64 at 192.
inline int largeIconSize(UINT dpi) {
    return systemMetric(SM_CXICON, dpi);
}

// A size given for 96 DPI, at dpi.
int scaleForDpi(int pixels, UINT dpi);

// The distance between the items of an icon view of icons size pixels
// square: with their labels under them, or without (room for the frame of
// the selection).
inline int iconSpacing(int size, bool labels) {
    return labels ? size * 75 / 32 : size * 44 / 32;
}

// The work area (the screen less the taskbar) of the monitor a window is on.
RECT workAreaOf(HWND window);

// The window's outer rectangle for a client area of client, with its style
// and menu, at its DPI.
RECT windowRectFor(HWND window, RECT client);

} // namespace kelvarin
