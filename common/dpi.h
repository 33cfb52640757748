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

// Whether the system lays a dialog out again itself when its DPI changes:
// per-monitor awareness v2 (Windows 10 1703 on). Under v1 (Windows 8.1, 10
// before 1703) the program must.
bool systemRelaysDialogs();

// Lays a dialog out for another DPI as v1 asks: every control moved and
// sized by to / from with the dialog's font made again at that scale, and
// the window moved to the rectangle Windows suggests. The new font, which
// the caller keeps for the window's life.
HFONT relayForDpi(HWND window, UINT from, UINT to, const RECT& suggested);

// The window's outer rectangle for a client area of client, with its style
// and menu, at its DPI.
RECT windowRectFor(HWND window, RECT client);

} // namespace kelvarin
