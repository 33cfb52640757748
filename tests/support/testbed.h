// Access to the Wine test bed from inside a test program: where things are,
// resetting the state tests change, and reading what Kelvarin wrote.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testbed {

std::string binDir();           // folder of the test programs and Kelvarin.exe
std::string kelvarinPath();     // Kelvarin.exe
std::string artifactsDir();     // screenshots and other files worth looking at
std::string makeTempDir(const std::string& name);  // fresh, empty

// The drives the test bed maps (see scripts/testbed.sh).
constexpr char kSystemDisk = 'C';
constexpr char kCdrom = 'D';
constexpr char kRemovable = 'E';
constexpr char kNetwork = 'F';
constexpr char kSecondDisk = 'G';
constexpr char kRamDisk = 'H';
constexpr char kRootDisk = 'Z';
constexpr char kSecondDiskLabel[] = "データ";

// Empties the per-drive settings key and puts the volume labels back as the
// test bed laid them.
void resetDriveSettings();

struct StoredValue {
    std::string data;  // raw bytes of the default value
    DWORD type = 0;
    std::string keyClass;
};
// The default value of a drive's DefaultIcon or DefaultLabel key.
std::optional<StoredValue> readStored(char letter, const char* subkey);
bool subkeyExists(char letter, const char* subkey);
void writeStored(char letter, const char* subkey, const void* data, DWORD size, DWORD type = REG_SZ);
void writeStoredText(char letter, const char* subkey, const std::string& text);
// Creates the drive's letter key as volatile, so that creating a
// non-volatile subkey below it fails.
void makeLetterKeyVolatile(char letter);

// A whole file's bytes; empty when it cannot be read.
std::string readFileBytes(const std::string& path);

// The label Wine keeps for a drive (its .windows-label file), in code page 932.
std::string volumeLabelFile(char letter);

// Pixels (0x00RRGGBB, top-down rows) of what draw paints on a blank bitmap.
std::vector<std::uint32_t> renderPixels(int width, int height, const std::function<void(HDC)>& draw);

// Pixels of an icon drawn at 32 x 32 on white; empty for no icon.
std::vector<std::uint32_t> iconPixels(HICON icon);

// How far drawn pixels are from an icon's pixels drawn on white (iconPixels):
// the sum of channel differences, over the icon's own (non-white) pixels
// only when iconOnly is set, so the background it was drawn on does not count.
long pixelDistance(const std::vector<std::uint32_t>& icon, const std::vector<std::uint32_t>& drawn, bool iconOnly);

// Writes 32-bit BGRA pixels (top-down rows) as a PNG file.
bool writePng(const std::string& path, int width, int height, const std::vector<std::uint32_t>& pixels);

// Code page 932 text as UTF-8, for readable failure messages.
std::string utf8(const std::string& cp932);

} // namespace testbed
