// A photo as it was taken: cameras and phones store the pixels as the
// sensor read them and say in the JPEG's EXIF block (tag 0x0112,
// Orientation) how to turn them for showing. Read here from the file's own
// bytes, and turned here: not every imaging component reads the tag, nor
// can turn pixels (Wine's cannot).
#pragma once

#include <windows.h>

#include <cstddef>

namespace kelvarin {

// The EXIF orientation (1 to 8) of a JPEG's bytes; 1 (as stored) for
// anything else, a malformed or cut block included.
int exifOrientation(const BYTE* bytes, std::size_t size);
// Of a file: only its head is read, where a JPEG keeps its EXIF block.
int photoOrientation(const char* path);

// 32-bit pixels (rows top down) of width x height, turned into out (room
// for as many pixels) as the orientation says; for 5 to 8 out's rows are
// height pixels wide.
void orientPixels(const DWORD* in, UINT width, UINT height, int orientation, DWORD* out);

} // namespace kelvarin
