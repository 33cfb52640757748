// The preview at Explorer's extra-large size, in a small window of its own.
#pragma once

#include <windows.h>

namespace kelvarin {

// Shows icon (size pixels square) until the window is closed or clicked.
void showLargePreview(HWND owner, HICON icon, int size);

} // namespace kelvarin
