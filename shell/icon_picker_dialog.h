// Kelvarin's own "Change Icon" box, with the contract of the shell's picker.
#pragma once

#include <windows.h>

namespace kelvarin {

// Shows the icons of the file in path (capacity bytes), starting at *index.
// Returns 1 with the chosen file in path and icon in *index, or 0 when the
// user cancelled (path and index untouched).
int runIconPicker(HWND owner, char* path, int capacity, int* index);

} // namespace kelvarin
