#include "drives/icon_loader.h"

#include "common/text.h"
#include "common/unique_handle.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

namespace kelvarin {

namespace {

using SizedIconExtractor = UINT(WINAPI*)(LPCSTR, int, int, int, HICON*, UINT*, UINT, UINT);
using ImageListOfShell = HRESULT(WINAPI*)(int, REFIID, void**);

// The shell's image lists: 48 pixels, and 256 from Windows Vista on.
constexpr int kExtraLargeList = 2;
constexpr int kJumboList = 4;
const IID kImageListId = {
    0x46EB5926, 0x582E, 0x4017, {0x9F, 0xDF, 0xE8, 0x99, 0x8D, 0xAA, 0x09, 0x50}};

bool isSystemSize(int size) {
    return size == 0 || size == GetSystemMetrics(SM_CXICON);
}

// An icon of another size made from a larger frame of the same picture.
HICON resized(HICON icon, int size) {
    ICONINFO parts{};
    BITMAP picture{};
    if (icon == nullptr || !GetIconInfo(icon, &parts)) {
        return icon;
    }
    const unique_hbitmap colour(parts.hbmColor), mask(parts.hbmMask);
    GetObjectA(parts.hbmColor != nullptr ? parts.hbmColor : parts.hbmMask, sizeof picture,
               &picture);
    if (picture.bmWidth == size) {
        return icon;
    }
    const unique_hicon original(icon);
    return static_cast<HICON>(CopyImage(original.get(), IMAGE_ICON, size, size, 0));
}

HICON shellIcon(const char* path, int size) {
    SHFILEINFOA info{};
    if (isSystemSize(size)) {
        // Only the icon is asked for: the system image list index would cost
        // a second lookup per drive at start-up and is never used.
        return SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON) != 0
                   ? info.hIcon
                   : nullptr;
    }
    // Another size comes from the shell's larger image lists, whose images
    // are the icons' own frames of 48 and 256 pixels.
    const HMODULE shell32 = GetModuleHandleA("shell32.dll");
    const auto imageList = reinterpret_cast<ImageListOfShell>(reinterpret_cast<void*>(
        shell32 != nullptr ? GetProcAddress(shell32, MAKEINTRESOURCEA(727)) : nullptr));
    HIMAGELIST images = nullptr;
    if (imageList == nullptr ||
        SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_SYSICONINDEX) == 0 ||
        (FAILED(imageList(size > 48 ? kJumboList : kExtraLargeList, kImageListId,
                          reinterpret_cast<void**>(&images))) &&
         FAILED(imageList(kExtraLargeList, kImageListId, reinterpret_cast<void**>(&images))))) {
        return nullptr;
    }
    return resized(ImageList_GetIcon(images, info.iIcon, ILD_NORMAL), size);
}

} // namespace

HICON extractLargeIcon(const char* file, int index, int size) {
    HICON icon = nullptr;
    if (!isSystemSize(size)) {
        // The frame of that size where the file has one; the call is looked
        // up, as the oldest systems lack it.
        const auto extract = reinterpret_cast<SizedIconExtractor>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("user32.dll"), "PrivateExtractIconsA")));
        UINT id = 0;
        if (extract != nullptr) {
            const UINT extracted = extract(file, index, size, size, &icon, &id, 1, 0);
            return extracted != 0 && extracted != UINT_MAX ? icon : nullptr;
        }
    }
    // Only the large icon is asked for: with a small-icon pointer as well,
    // some platforms leave garbage in both handles on failure. The handle
    // counts only when the call reports an icon.
    const UINT extracted = ExtractIconExA(file, index, &icon, nullptr, 1);
    if (extracted == 0 || extracted == UINT_MAX) {
        return nullptr;
    }
    return icon;
}

bool expandIconPath(const char* location, char (&expanded)[MAX_PATH]) {
    expanded[0] = '\0';
    char scratch[MAX_PATH] = {};
    copyText(scratch, location != nullptr ? location : "");
    // The count includes the terminator; a result that does not fit names
    // another file once cut, so it counts as no path at all.
    const DWORD needed = ExpandEnvironmentStringsA(scratch, expanded, MAX_PATH);
    if (needed == 0 || needed > MAX_PATH) {
        expanded[0] = '\0';
        return false;
    }
    terminateText(expanded);
    return true;
}

HICON loadIconFromLocation(const char* location, int size) {
    char path[MAX_PATH];
    HICON icon = nullptr;
    if (expandIconPath(location, path)) {
        const int index = PathParseIconLocationA(path);
        icon = index != 0 ? extractLargeIcon(path, index, size) : shellIcon(path, size);
    }
    if (icon == nullptr) {
        icon = extractLargeIcon("shell32.dll", 0, size);
    }
    return icon;
}

HICON loadDriveIcon(const char* location, const char* rootPath, int size) {
    return loadIconFromLocation(location[0] != '\0' ? location : rootPath, size);
}

} // namespace kelvarin
