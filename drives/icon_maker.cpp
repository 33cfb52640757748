#include "drives/icon_maker.h"

#include "common/platform.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "drives/photo_orientation.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <cstring>
#include <utility>

namespace kelvarin {

namespace {

constexpr int kFrameSizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
constexpr int kFrameCount = sizeof kFrameSizes / sizeof kFrameSizes[0];
constexpr int kLargest = 256;

#pragma pack(push, 2)
struct IconFileHeader {
    WORD reserved;
    WORD type; // 1: icon
    WORD count;
};
struct IconFileEntry {
    BYTE width; // 0 for 256
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    DWORD offset;
};
#pragma pack(pop)

std::size_t maskRowBytes(int size) {
    return static_cast<std::size_t>((size + 31) / 32 * 4);
}

// A frame below 256 pixels: a 32-bit image (rows bottom up) and its mask.
std::size_t imageFrameBytes(int size) {
    return sizeof(BITMAPINFOHEADER) + static_cast<std::size_t>(size) * size * 4 +
           maskRowBytes(size) * size;
}

// The picture scaled to fit size x size, its aspect kept, centred on
// transparency: canvas rows top down, blue, green, red, alpha, straight.
// Scaled with premultiplied colours, so no dark fringe grows where the
// picture meets its own transparency.
bool drawFrame(IWICImagingFactory* factory, IWICBitmapSource* picture, int size, BYTE* canvas) {
    UINT width = 0, height = 0;
    unique_com<IWICBitmapScaler> scaler;
    if (FAILED(picture->GetSize(&width, &height)) || width == 0 || height == 0 ||
        FAILED(factory->CreateBitmapScaler(scaler.put()))) {
        return false;
    }
    UINT fitWidth = static_cast<UINT>(size), fitHeight = static_cast<UINT>(size);
    if (width >= height) {
        fitHeight =
            static_cast<UINT>(MulDiv(size, static_cast<int>(height), static_cast<int>(width)));
    } else {
        fitWidth =
            static_cast<UINT>(MulDiv(size, static_cast<int>(width), static_cast<int>(height)));
    }
    fitWidth = fitWidth > 0 ? fitWidth : 1;
    fitHeight = fitHeight > 0 ? fitHeight : 1;
    const std::size_t bytes = static_cast<std::size_t>(size) * size * 4;
    ZeroMemory(canvas, bytes);
    const std::size_t at =
        ((static_cast<std::size_t>(size) - fitHeight) / 2 * size + (size - fitWidth) / 2) * 4;
    const WICRect all{0, 0, static_cast<INT>(fitWidth), static_cast<INT>(fitHeight)};
    if (FAILED(scaler.get()->Initialize(picture, fitWidth, fitHeight,
                                        WICBitmapInterpolationModeFant)) ||
        FAILED(scaler.get()->CopyPixels(&all, static_cast<UINT>(size) * 4,
                                        static_cast<UINT>(bytes - at), canvas + at))) {
        return false;
    }
    for (std::size_t i = 0; i < bytes; i += 4) {
        const BYTE alpha = canvas[i + 3];
        for (std::size_t c = 0; alpha != 0 && alpha != 255 && c < 3; ++c) {
            // A colour above its alpha (a scaler's rounding) would wrap round.
            const int straight = canvas[i + c] * 255 / alpha;
            canvas[i + c] = static_cast<BYTE>(straight < 255 ? straight : 255);
        }
    }
    return true;
}

// A frame as an icon file keeps it: the image bottom up, twice as high as
// it is wide (image and mask), the mask set where the image is transparent.
void writeImageFrame(const BYTE* canvas, int size, BYTE* out) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = size;
    header.biHeight = 2 * size;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(imageFrameBytes(size) - sizeof header);
    CopyMemory(out, &header, sizeof header);
    BYTE* pixels = out + sizeof header;
    BYTE* mask = pixels + static_cast<std::size_t>(size) * size * 4;
    const std::size_t row = static_cast<std::size_t>(size) * 4;
    ZeroMemory(mask, maskRowBytes(size) * size);
    for (int y = 0; y < size; ++y) {
        const BYTE* from = canvas + static_cast<std::size_t>(size - 1 - y) * row;
        CopyMemory(pixels + y * row, from, row);
        for (int x = 0; x < size; ++x) {
            if (from[x * 4 + 3] == 0) {
                mask[y * maskRowBytes(size) + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            }
        }
    }
}

// The 256-pixel frame as PNG, as Windows keeps it: in a stream of memory.
unique_com<IStream> encodePng(IWICImagingFactory* factory, const BYTE* canvas) {
    unique_com<IStream> stream;
    unique_com<IWICBitmapEncoder> encoder;
    unique_com<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
        FAILED(encoder.get()->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder.get()->CreateNewFrame(frame.put(), nullptr)) ||
        FAILED(frame.get()->Initialize(nullptr)) ||
        FAILED(frame.get()->SetSize(kLargest, kLargest)) ||
        FAILED(frame.get()->SetPixelFormat(&format)) ||
        !IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) ||
        FAILED(frame.get()->WritePixels(kLargest, kLargest * 4, kLargest * kLargest * 4,
                                        const_cast<BYTE*>(canvas))) ||
        FAILED(frame.get()->Commit()) || FAILED(encoder.get()->Commit())) {
        return {};
    }
    return stream;
}

// The whole icon file in memory; its size into bytes.
unique_heap<BYTE> iconFile(IWICImagingFactory* factory, IWICBitmapSource* picture,
                           std::size_t& bytes) {
    const unique_heap<BYTE> canvas(static_cast<BYTE*>(
        HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(kLargest) * kLargest * 4)));
    std::size_t imageBytes = 0;
    for (int size : kFrameSizes) {
        imageBytes += size < kLargest ? imageFrameBytes(size) : 0;
    }
    unique_com<IStream> png;
    ULARGE_INTEGER pngBytes{};
    HGLOBAL pngMemory = nullptr;
    if (!canvas || !drawFrame(factory, picture, kLargest, canvas.get()) ||
        !(png = encodePng(factory, canvas.get())) ||
        FAILED(png.get()->Seek(LARGE_INTEGER{}, STREAM_SEEK_END, &pngBytes)) ||
        FAILED(GetHGlobalFromStream(png.get(), &pngMemory)) || pngBytes.HighPart != 0) {
        return {};
    }
    const std::size_t head = sizeof(IconFileHeader) + kFrameCount * sizeof(IconFileEntry);
    bytes = head + imageBytes + pngBytes.LowPart;
    unique_heap<BYTE> file(
        static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes)));
    if (!file) {
        return {};
    }
    const IconFileHeader header{0, 1, kFrameCount};
    CopyMemory(file.get(), &header, sizeof header);
    std::size_t offset = head;
    for (int i = 0; i < kFrameCount; ++i) {
        const int size = kFrameSizes[i];
        const std::size_t frameBytes = size < kLargest ? imageFrameBytes(size) : pngBytes.LowPart;
        const IconFileEntry entry{static_cast<BYTE>(size < kLargest ? size : 0),
                                  static_cast<BYTE>(size < kLargest ? size : 0),
                                  0,
                                  0,
                                  1,
                                  32,
                                  static_cast<DWORD>(frameBytes),
                                  static_cast<DWORD>(offset)};
        CopyMemory(file.get() + sizeof header + i * sizeof entry, &entry, sizeof entry);
        if (size < kLargest) {
            if (!drawFrame(factory, picture, size, canvas.get())) {
                return {};
            }
            writeImageFrame(canvas.get(), size, file.get() + offset);
        } else {
            const void* encoded = GlobalLock(pngMemory);
            if (encoded == nullptr) {
                return {};
            }
            CopyMemory(file.get() + offset, encoded, frameBytes);
            GlobalUnlock(pngMemory);
        }
        offset += frameBytes;
    }
    return file;
}

// The picture turned as its photo's orientation says. Where it needs no
// turning, is too large to turn in memory, or memory runs out, it is kept
// as it is.
unique_com<IWICBitmapSource> upright(IWICImagingFactory* factory, unique_com<IWICBitmap> pixels,
                                     int orientation) {
    constexpr UINT kLargestTurned = 64 * 1024 * 1024; // pixels: 256 MiB twice over
    UINT width = 0, height = 0;
    if (orientation == 1 || FAILED(pixels.get()->GetSize(&width, &height)) || width == 0 ||
        height == 0 || width > kLargestTurned / height) {
        return unique_com<IWICBitmapSource>(pixels.release());
    }
    const UINT bytes = width * height * 4;
    const unique_heap<DWORD> in(static_cast<DWORD*>(HeapAlloc(GetProcessHeap(), 0, bytes)));
    const unique_heap<DWORD> out(static_cast<DWORD*>(HeapAlloc(GetProcessHeap(), 0, bytes)));
    const WICRect all{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    if (!in || !out ||
        FAILED(
            pixels.get()->CopyPixels(&all, width * 4, bytes, reinterpret_cast<BYTE*>(in.get())))) {
        return unique_com<IWICBitmapSource>(pixels.release());
    }
    orientPixels(in.get(), width, height, orientation, out.get());
    const UINT turnedWidth = orientation >= 5 ? height : width;
    unique_com<IWICBitmap> turned;
    if (FAILED(factory->CreateBitmapFromMemory(
            turnedWidth, bytes / 4 / turnedWidth, GUID_WICPixelFormat32bppPBGRA, turnedWidth * 4,
            bytes, reinterpret_cast<BYTE*>(out.get()), turned.put()))) {
        return unique_com<IWICBitmapSource>(pixels.release());
    }
    return unique_com<IWICBitmapSource>(turned.release());
}

// The picture as premultiplied 32-bit pixels, upright, decoded once and kept
// in memory: each of the eight frames is scaled from it.
unique_com<IWICBitmapSource> readPicture(IWICImagingFactory* factory, const char* path) {
    WCHAR wide[MAX_PATH] = {};
    unique_com<IWICBitmapDecoder> decoder;
    unique_com<IWICBitmapFrameDecode> frame;
    unique_com<IWICFormatConverter> converter;
    unique_com<IWICBitmap> pixels;
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0 ||
        FAILED(factory->CreateDecoderFromFilename(wide, nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, decoder.put())) ||
        FAILED(decoder.get()->GetFrame(0, frame.put())) ||
        FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter.get()->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA,
                                           WICBitmapDitherTypeNone, nullptr, 0,
                                           WICBitmapPaletteTypeCustom)) ||
        FAILED(
            factory->CreateBitmapFromSource(converter.get(), WICBitmapCacheOnLoad, pixels.put()))) {
        return {};
    }
    return upright(factory, std::move(pixels), photoOrientation(path));
}

bool sameContent(const char* path, const BYTE* bytes, std::size_t size) {
    const HANDLE opened =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const unique_kernel_handle file(opened != INVALID_HANDLE_VALUE ? opened : nullptr);
    LARGE_INTEGER length{};
    if (!file || !GetFileSizeEx(file.get(), &length) ||
        length.QuadPart != static_cast<LONGLONG>(size)) {
        return false;
    }
    const unique_heap<BYTE> read(static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, size)));
    DWORD got = 0;
    return read && ReadFile(file.get(), read.get(), static_cast<DWORD>(size), &got, nullptr) &&
           got == size && std::memcmp(read.get(), bytes, size) == 0;
}

// A new file of that name, written whole, or none at all.
bool writeNew(const char* path, const BYTE* bytes, std::size_t size) {
    const HANDLE created =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool whole =
        WriteFile(created, bytes, static_cast<DWORD>(size), &written, nullptr) && written == size;
    CloseHandle(created);
    if (!whole) {
        DeleteFileA(path);
    }
    return whole;
}

} // namespace

bool keepIconFile(const char* folder, const char* named, const BYTE* bytes, std::size_t size,
                  char (&icon)[MAX_PATH]) {
    char name[MAX_PATH];
    copyText(name, PathFindFileNameA(named));
    PathRemoveExtensionA(name);
    const std::size_t room = MAX_PATH - 1 - lstrlenA(folder) - sizeof " (999).ico";
    if (room < 1 || room >= MAX_PATH) {
        return false;
    }
    name[boundedTextLength(name, room + 1)] = '\0';
    for (int n = 1; n < 1000; ++n) {
        if (n == 1) {
            formatText(icon, "%s\\%s.ico", folder, name);
        } else {
            formatText(icon, "%s\\%s (%d).ico", folder, name, n);
        }
        if (GetFileAttributesA(icon) == INVALID_FILE_ATTRIBUTES) {
            return writeNew(icon, bytes, size);
        }
        if (sameContent(icon, bytes, size)) {
            return true;
        }
    }
    return false;
}

bool isPicture(const char* path) {
    const char* extension = PathFindExtensionA(path);
    for (const char* known : {".png", ".bmp", ".jpg", ".jpeg", ".gif", ".tif", ".tiff"}) {
        if (lstrcmpiA(extension, known) == 0) {
            return true;
        }
    }
    return false;
}

const char* madeIconProblem(MadeIcon made) {
    switch (made) {
    case MadeIcon::Unreadable:
        return "画像を読み込めませんでした。";
    case MadeIcon::NoImaging:
        return "画像を読み込む Windows Imaging Component がありません。";
    case MadeIcon::NotSaved:
        return "アイコンファイルを保存できませんでした。";
    default:
        return "";
    }
}

bool madeIconsFolder(char (&folder)[MAX_PATH]) {
    char temp[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH || length + sizeof "Kelvarin" > MAX_PATH) {
        return false;
    }
    formatText(folder, "%sKelvarin", temp);
    CreateDirectoryA(folder, nullptr);
    return PathIsDirectoryA(folder) != FALSE;
}

MadeIcon makeIconFromPicture(const char* picture, char (&icon)[MAX_PATH]) {
    icon[0] = '\0';
    unique_com<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(IWICImagingFactory),
                                reinterpret_cast<void**>(factory.put())))) {
        return MadeIcon::NoImaging;
    }
    const unique_com<IWICBitmapSource> source = readPicture(factory.get(), picture);
    std::size_t bytes = 0;
    const unique_heap<BYTE> file =
        source ? iconFile(factory.get(), source.get(), bytes) : unique_heap<BYTE>();
    if (!file) {
        return MadeIcon::Unreadable;
    }
    char folder[MAX_PATH];
    if (!madeIconsFolder(folder) || !keepIconFile(folder, picture, file.get(), bytes, icon)) {
        icon[0] = '\0';
        return MadeIcon::NotSaved;
    }
    return MadeIcon::Made;
}

} // namespace kelvarin
