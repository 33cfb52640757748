// The main window's dialog procedure.
#pragma once

#include <windows.h>

namespace kelvarin {

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace kelvarin
