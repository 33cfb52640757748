// Making an icon file of a picture (a logo, a photo): Windows shows a
// drive's icon only from an icon file, a program or a library.
#pragma once

#include <windows.h>

#include <cstddef>

namespace kelvarin {

// Whether a file is a picture Kelvarin makes an icon of, by its extension:
// .png, .bmp, .jpg, .jpeg, .gif, .tif, .tiff.
bool isPicture(const char* path);

enum class MadeIcon {
    Made,       // icon holds the icon file's path
    Unreadable, // the picture could not be read
    NoImaging,  // the system has no Windows Imaging Component
    NotSaved,   // the icon file could not be written
};

// Makes the picture into an icon of frames of 16, 20, 24, 32, 40, 48, 64 and
// 256 pixels, the picture scaled to fit with its aspect kept and centred on
// transparency, its own transparency kept; the 256-pixel frame as PNG, the
// others as 32-bit images with their masks. It waits in the user's own
// folder (madeIconsFolder) until an apply installs it where every user and
// Explorer can read it. Needs COM on the calling thread.
MadeIcon makeIconFromPicture(const char* picture, char (&icon)[MAX_PATH]);

// Keeps an icon file's bytes in a folder as "<name>.ico" (named's name
// without its extension), " (2)", " (3)" ... added where another icon has
// that name; where the same bytes are there already, that file. Its path
// into icon; false when none could be written.
bool keepIconFile(const char* folder, const char* named, const BYTE* bytes, std::size_t size,
                  char (&icon)[MAX_PATH]);

// What a box says of an outcome that made no icon; empty for Made.
const char* madeIconProblem(MadeIcon made);

// The folder icons made of pictures wait in until an apply installs them,
// and the changes an apply hands to the writer: "<the user's temporary
// folder>\Kelvarin", the user's own. False where it cannot be made.
bool madeIconsFolder(char (&folder)[MAX_PATH]);

} // namespace kelvarin
