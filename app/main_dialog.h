// The main window's dialog procedure.
#pragma once

#include <windows.h>

namespace kelvarin {

// The creation parameter is 0 (the drives go into the process-wide list) or
// a DriveList* of the caller's, for a process that opens the window more
// than once.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace kelvarin
