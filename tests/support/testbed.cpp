#include "tests/support/testbed.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace testbed {

namespace {

const char kDriveIconsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons";

std::string subkeyPath(char letter, const char* subkey) {
    std::string path = kDriveIconsKey;
    path += '\\';
    path += letter;
    if (subkey != nullptr) {
        path += '\\';
        path += subkey;
    }
    return path;
}

std::string convert(const std::string& text, UINT from, UINT to) {
    if (text.empty()) {
        return text;
    }
    const int wideLength = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), wideLength);
    const int length = WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(to, 0, wide.data(), wideLength, out.data(), length, nullptr, nullptr);
    return out;
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace

std::string utf8(const std::string& cp932) { return convert(cp932, 932, CP_UTF8); }

std::string readFileBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    CloseHandle(file);
    return bytes;
}


std::string binDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    PathRemoveFileSpecA(path);
    return path;
}

std::string kelvarinPath() { return binDir() + "\\Kelvarin.exe"; }

std::string artifactsDir() {
    const std::string dir = binDir() + "\\..\\test-artifacts";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string makeTempDir(const std::string& name) {
    const std::string base = binDir() + "\\..\\test-temp";
    CreateDirectoryA(base.c_str(), nullptr);
    const std::string dir = base + "\\" + name;
    // Only the files the tests put there; no subfolders.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                DeleteFileA((dir + "\\" + found.cFileName).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

void resetDriveSettings() {
    HKEY root = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDriveIconsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root,
                        nullptr) == ERROR_SUCCESS) {
        for (;;) {
            char name[256];
            DWORD length = sizeof name;
            if (RegEnumKeyExA(root, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
                break;
            }
            if (RegDeleteTreeA(root, name) != ERROR_SUCCESS) {
                break;
            }
        }
        RegCloseKey(root);
    }
    // Wine keeps each label as UTF-8 in a file at the drive's root.
    writeFileBytes(std::string(1, kSecondDisk) + ":\\.windows-label", std::string(u8"データ") + "\n");
    DeleteFileA((std::string(1, kRemovable) + ":\\.windows-label").c_str());
}

std::optional<StoredValue> readStored(char letter, const char* subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkeyPath(letter, subkey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    StoredValue value;
    char keyClass[64] = {};
    DWORD classLength = sizeof keyClass;
    RegQueryInfoKeyA(key, keyClass, &classLength, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    value.keyClass = keyClass;
    DWORD size = 0;
    if (RegQueryValueExA(key, nullptr, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return std::nullopt;
    }
    value.data.assign(size, '\0');
    RegQueryValueExA(key, nullptr, nullptr, &value.type, reinterpret_cast<BYTE*>(value.data.data()), &size);
    value.data.resize(size);
    RegCloseKey(key);
    return value;
}

bool subkeyExists(char letter, const char* subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkeyPath(letter, subkey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void writeStored(char letter, const char* subkey, const void* data, DWORD size, DWORD type) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkeyPath(letter, subkey).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(key, nullptr, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void writeStoredText(char letter, const char* subkey, const std::string& text) {
    writeStored(letter, subkey, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void makeLetterKeyVolatile(char letter) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkeyPath(letter, nullptr).c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

std::string volumeLabelFile(char letter) {
    std::string label = readFileBytes(std::string(1, letter) + ":\\.windows-label");
    while (!label.empty() && (label.back() == '\n' || label.back() == '\r')) {
        label.pop_back();
    }
    return convert(label, CP_UTF8, 932);
}

std::vector<std::uint32_t> renderPixels(int width, int height, const std::function<void(HDC)>& draw) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    draw(memory);
    GdiFlush();
    std::vector<std::uint32_t> pixels(static_cast<const std::uint32_t*>(bits),
                                      static_cast<const std::uint32_t*>(bits) + width * height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    for (auto& pixel : pixels) {
        pixel &= 0x00FFFFFF;
    }
    return pixels;
}

long pixelDistance(const std::vector<std::uint32_t>& icon, const std::vector<std::uint32_t>& drawn, bool iconOnly) {
    long sum = 0;
    for (std::size_t i = 0; i < icon.size() && i < drawn.size(); ++i) {
        if (iconOnly && icon[i] == 0xFFFFFF) {
            continue;
        }
        for (int shift : {0, 8, 16}) {
            sum += std::labs(static_cast<long>((icon[i] >> shift) & 0xFF) - static_cast<long>((drawn[i] >> shift) & 0xFF));
        }
    }
    return sum;
}

std::vector<std::uint32_t> iconPixels(HICON icon) {
    if (icon == nullptr) {
        return {};
    }
    return renderPixels(32, 32, [&](HDC target) {
        RECT all{0, 0, 32, 32};
        FillRect(target, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        DrawIconEx(target, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    });
}

namespace {

std::uint32_t crc32(const unsigned char* data, std::size_t length, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void putBig32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

void putChunk(std::string& out, const char* type, const std::string& data) {
    putBig32(out, static_cast<std::uint32_t>(data.size()));
    std::string body(type, 4);
    body += data;
    out += body;
    putBig32(out, crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

} // namespace

bool writePng(const std::string& path, int width, int height, const std::vector<std::uint32_t>& pixels) {
    // RGB rows, each led by filter byte 0, in stored (uncompressed) deflate
    // blocks: no compression library needed, and screenshots stay small
    // enough.
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = pixels[static_cast<std::size_t>(y * width + x)];
            raw += static_cast<char>((pixel >> 16) & 0xFF);
            raw += static_cast<char>((pixel >> 8) & 0xFF);
            raw += static_cast<char>(pixel & 0xFF);
        }
    }
    std::string zlib("\x78\x01", 2);
    std::size_t offset = 0;
    do {
        const std::size_t block = std::min<std::size_t>(65535, raw.size() - offset);
        const bool last = offset + block == raw.size();
        zlib += static_cast<char>(last ? 1 : 0);
        zlib += static_cast<char>(block & 0xFF);
        zlib += static_cast<char>(block >> 8);
        zlib += static_cast<char>(~block & 0xFF);
        zlib += static_cast<char>((~block >> 8) & 0xFF);
        zlib.append(raw, offset, block);
        offset += block;
    } while (offset < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    putBig32(zlib, (b << 16) | a);

    std::string header;
    putBig32(header, static_cast<std::uint32_t>(width));
    putBig32(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlib);
    putChunk(png, "IEND", "");
    writeFileBytes(path, png);
    return PathFileExistsA(path.c_str()) != FALSE;
}

} // namespace testbed
