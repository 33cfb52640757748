// Saving the per-drive settings as a registration file with the system's
// registry editor.
#pragma once

#include <windows.h>

namespace kelvarin {

// Asks, then starts the registry editor to export the settings key to
// "DriveInfo.reg" in the current directory. Returns 0 when the user declined
// to overwrite an existing file, 1 otherwise.
int exportSettings(HWND owner);

} // namespace kelvarin
