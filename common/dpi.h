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

} // namespace kelvarin
