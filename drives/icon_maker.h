// Making an icon file of a picture (a logo, a photo): Windows shows a
// drive's icon only from an icon file, a program or a library.
#pragma once

#include <windows.h>

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
// others as 32-bit images with their masks. It is kept where every user and
// Explorer can read it: "<common application data>\Kelvarin\Icons\<name>.ico",
// " (2)", " (3)" ... added where another icon has that name; the same icon
// made again is the file already there. Needs COM on the calling thread.
MadeIcon makeIconFromPicture(const char* picture, char (&icon)[MAX_PATH]);

// What a box says of an outcome that made no icon; empty for Made.
const char* madeIconProblem(MadeIcon made);

// The folder the icons made of pictures are kept in; false where the system
// has no common application data folder.
bool madeIconsFolder(char (&folder)[MAX_PATH]);

} // namespace kelvarin
