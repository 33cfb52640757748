// The about box: name, version and the two links.
#pragma once

#include <windows.h>

namespace kelvarin {

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace kelvarin
