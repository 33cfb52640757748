// Choosing an icon: the shell's own picker where the system has a working
// one, Kelvarin's own everywhere else.
#pragma once

#include <windows.h>

namespace kelvarin {

// 8 for the Windows 95/98/ME family, 6 for the NT family from Windows 2000
// on, 0 for anything else (NT 4 and earlier, or a failed version query).
int windowsFamily();
int windowsFamilyOf(bool queried, const OSVERSIONINFOA& version);

// The shell's picker: SHELL32 export 62, with a wide path on the NT family
// and a narrow one on the 9x family. Documented results: 1 chosen, 0
// cancelled.
using ShellIconPicker = int(WINAPI*)(HWND owner, void* path, UINT capacity, int* index);
// The stand-in used where the shell's picker is missing or unusable.
using FallbackIconPicker = int (*)(HWND owner, char* path, int capacity, int* index);

// path (capacity bytes) holds the starting file, or is empty for the
// system's shell32.dll; index the starting icon. Returns 1 with the chosen
// file in path and icon in index, or 0 with path emptied.
int pickIconFile(HWND owner, char* path, int capacity, int* index);

// pickIconFile with its collaborators named, so each path can be exercised.
int pickIconFileWith(HWND owner, char* path, int capacity, int* index, int family,
                     ShellIconPicker shellPicker, FallbackIconPicker fallback);

} // namespace kelvarin
