// The "add a drive letter" box: one of the letters not listed yet.
#pragma once

#include <windows.h>

namespace kelvarin {

// Asks for one of the letters A to Z not in listed (bit 0 for A); the letter,
// or 0 when the user cancels or none is left.
char askLetterToAdd(HWND owner, DWORD listed);

} // namespace kelvarin
