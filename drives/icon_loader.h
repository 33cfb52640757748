// Turning an icon location ("path" or "path,index") into one large icon.
#pragma once

#include <windows.h>

namespace kelvarin {

// The caller owns the returned icon. Index 0 (or none) gives the icon the
// shell shows for the path itself (a drive root gives the drive's icon); any
// other index is extracted from the file, a negative one naming a resource
// identifier. When nothing can be had, the first icon of shell32.dll is used;
// if even that fails the result is null.
HICON loadIconFromLocation(const char* location);

} // namespace kelvarin
