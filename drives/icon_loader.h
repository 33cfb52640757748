// Turning an icon location ("path" or "path,index") into one icon of a
// given size, from the file's own frame of that size where it has one.
#pragma once

#include <windows.h>

namespace kelvarin {

// The caller owns the returned icon, size pixels square (0: the system's
// large-icon size). %VARIABLE% parts are expanded first, as Explorer does.
// An icon file, or a program or library with icons, gives the icon at the
// index inside it (a negative index naming a resource identifier; none is 0),
// as Explorer does; any other path at index 0 gives the icon the shell shows
// for it (a drive root gives the drive's icon). When nothing can be
// had, the first icon of shell32.dll is used; if even that fails the result
// is null.
HICON loadIconFromLocation(const char* location, int size = 0);

// The icon of a drive: its location's, or the drive's own shell icon when the
// location is empty.
HICON loadDriveIcon(const char* location, const char* rootPath, int size = 0);

// The icon at index of file (a negative index names a resource identifier),
// size pixels square (0: the system's large-icon size); null when there is
// none. The caller owns it.
HICON extractLargeIcon(const char* file, int index, int size = 0);

// Whether the icon of a location has a frame of its own size pixels square
// (Explorer scales another frame where it has none). The icons the shell
// picks for a drive, a folder or a file that holds no icons count as having
// one (the shell draws them from its own images of every size), and so does
// a location that cannot be read, which shows the fallback.
bool hasOwnFrame(const char* location, int size);

// Expands %VARIABLE% parts of a path or location into expanded, the path
// this program reads the file by (nativeFilePath) unless only the text as
// Explorer reads it is asked for. False (and expanded empty) when the
// result would not fit a path.
bool expandIconPath(const char* location, char (&expanded)[MAX_PATH], bool native = true);

// Tells Explorer that the picture of a location (empty: the drive's own icon,
// rootPath's) may have changed. May wait on the drive the file is on.
void refreshExplorerImage(const char* location, const char* rootPath);

} // namespace kelvarin
