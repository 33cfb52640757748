#include "drives/photo_orientation.h"

#include "common/unique_handle.h"

#include <cstring>

namespace kelvarin {

namespace {

// An APP1 segment holds at most 64 KiB, and comes before the picture.
constexpr DWORD kHeadBytes = 128 * 1024;

unsigned read16(const BYTE* at, bool bigEndian) {
    return bigEndian ? (at[0] << 8 | at[1]) : (at[1] << 8 | at[0]);
}

unsigned long read32(const BYTE* at, bool bigEndian) {
    return bigEndian
               ? (static_cast<unsigned long>(read16(at, true)) << 16 | read16(at + 2, true))
               : (static_cast<unsigned long>(read16(at + 2, false)) << 16 | read16(at, false));
}

// The TIFF structure inside the EXIF block: its first directory's
// Orientation entry, a SHORT.
int tiffOrientation(const BYTE* tiff, std::size_t size) {
    if (size < 8 || (std::memcmp(tiff, "MM", 2) != 0 && std::memcmp(tiff, "II", 2) != 0)) {
        return 1;
    }
    const bool bigEndian = tiff[0] == 'M';
    const unsigned long directory = read32(tiff + 4, bigEndian);
    if (read16(tiff + 2, bigEndian) != 42 || directory > size - 2) {
        return 1;
    }
    const unsigned entries = read16(tiff + directory, bigEndian);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + static_cast<std::size_t>(i) * 12;
        if (entry + 12 > size) {
            return 1;
        }
        if (read16(tiff + entry, bigEndian) == 0x0112) {
            const unsigned value = read16(tiff + entry + 8, bigEndian);
            return read16(tiff + entry + 2, bigEndian) == 3 && value >= 1 && value <= 8
                       ? static_cast<int>(value)
                       : 1;
        }
    }
    return 1;
}

} // namespace

int exifOrientation(const BYTE* bytes, std::size_t size) {
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        return 1;
    }
    // Segments one after the other, each a marker and its length; the
    // picture's data (SOS) ends the look.
    std::size_t at = 2;
    while (at + 4 <= size && bytes[at] == 0xFF && bytes[at + 1] != 0xDA && bytes[at + 1] != 0xD9) {
        const std::size_t length = read16(bytes + at + 2, true);
        if (length < 2 || length > size - at - 2) {
            return 1;
        }
        const BYTE* segment = bytes + at + 4;
        if (bytes[at + 1] == 0xE1 && length - 2 >= 6 && std::memcmp(segment, "Exif\0\0", 6) == 0) {
            return tiffOrientation(segment + 6, length - 2 - 6);
        }
        at += 2 + length;
    }
    return 1;
}

int photoOrientation(const char* path) {
    const HANDLE opened = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const unique_kernel_handle file(opened != INVALID_HANDLE_VALUE ? opened : nullptr);
    const unique_heap<BYTE> head(static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, kHeadBytes)));
    DWORD read = 0;
    if (!file || !head || !ReadFile(file.get(), head.get(), kHeadBytes, &read, nullptr)) {
        return 1;
    }
    return exifOrientation(head.get(), read);
}

void orientPixels(const DWORD* in, UINT width, UINT height, int orientation, DWORD* out) {
    const bool across = orientation >= 5 && orientation <= 8;
    const UINT outWidth = across ? height : width;
    const UINT outHeight = across ? width : height;
    for (UINT y = 0; y < outHeight; ++y) {
        for (UINT x = 0; x < outWidth; ++x) {
            UINT fromX = x, fromY = y; // 1: as stored
            switch (orientation) {
            case 2: // mirrored
                fromX = width - 1 - x;
                break;
            case 3: // upside down
                fromX = width - 1 - x;
                fromY = height - 1 - y;
                break;
            case 4: // mirrored upside down
                fromY = height - 1 - y;
                break;
            case 5: // mirrored, on its side
                fromX = y;
                fromY = x;
                break;
            case 6: // turned a quarter to the left: shown a quarter to the right
                fromX = y;
                fromY = height - 1 - x;
                break;
            case 7:
                fromX = width - 1 - y;
                fromY = height - 1 - x;
                break;
            case 8: // turned a quarter to the right
                fromX = width - 1 - y;
                fromY = x;
                break;
            default:
                break;
            }
            out[static_cast<std::size_t>(y) * outWidth + x] =
                in[static_cast<std::size_t>(fromY) * width + fromX];
        }
    }
}

} // namespace kelvarin
