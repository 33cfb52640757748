#include "drives/icon_loader.h"

#include "common/platform.h"
#include "common/text.h"
#include "common/unique_handle.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

namespace kelvarin {

namespace {

using SizedIconExtractor = UINT(WINAPI*)(LPCSTR, int, int, int, HICON*, UINT*, UINT, UINT);
using ImageListOfShell = HRESULT(WINAPI*)(int, REFIID, void**);

// The shell's image list of 48 pixels.
constexpr int kExtraLargeList = 2;
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
    // Another size comes from the file the shell takes the icon from: its
    // own frame of that size, or one scaled from its nearest.
    if (SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_ICONLOCATION) != 0) {
        terminateText(info.szDisplayName);
        if (HICON icon = info.szDisplayName[0] != '\0'
                             ? extractLargeIcon(info.szDisplayName, info.iIcon, size)
                             : nullptr) {
            return icon;
        }
    }
    // Where it names no file, its 48-pixel image scaled: the 256-pixel list
    // holds an icon without a frame that large as a small one in a corner of
    // a transparent square.
    const HMODULE shell32 = GetModuleHandleA("shell32.dll");
    const auto imageList = reinterpret_cast<ImageListOfShell>(reinterpret_cast<void*>(
        shell32 != nullptr ? GetProcAddress(shell32, MAKEINTRESOURCEA(727)) : nullptr));
    HIMAGELIST images = nullptr;
    if (imageList == nullptr ||
        SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_SYSICONINDEX) == 0 ||
        FAILED(imageList(kExtraLargeList, kImageListId, reinterpret_cast<void**>(&images)))) {
        return nullptr;
    }
    return resized(ImageList_GetIcon(images, info.iIcon, ILD_NORMAL), size);
}

// The frames of one icon, as an icon group (in a program or library) and
// an icon file list them: a byte of width (0 for 256) heads each entry.
#pragma pack(push, 2)
struct IconDirectory {
    WORD reserved;
    WORD type;
    WORD count;
};
#pragma pack(pop)
constexpr std::size_t kGroupEntrySize = 14;
constexpr std::size_t kFileEntrySize = 16;

bool listsSize(const BYTE* directory, std::size_t bytes, std::size_t entrySize, int size) {
    if (directory == nullptr || bytes < sizeof(IconDirectory)) {
        return false;
    }
    IconDirectory head{};
    CopyMemory(&head, directory, sizeof head);
    for (std::size_t i = 0; i < head.count; ++i) {
        const std::size_t at = sizeof head + i * entrySize;
        if (at + entrySize > bytes) {
            break;
        }
        const int width = directory[at] != 0 ? directory[at] : 256;
        if (width == size) {
            return true;
        }
    }
    return false;
}

struct GroupSearch {
    int wanted; // the position among the groups
    int seen;
    HRSRC found;
};

BOOL CALLBACK countGroup(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR parameter) {
    auto& search = *reinterpret_cast<GroupSearch*>(parameter);
    if (search.seen++ != search.wanted) {
        return TRUE;
    }
    search.found = FindResourceA(module, name, type);
    return FALSE;
}

// Whether the index-th icon group of a program or library (a negative
// index names its identifier), or an icon file, has a frame of size. A file
// that cannot be read, has no such icon or holds no icons at all shows the
// fallback or the shell's icon for its kind, drawn from the shell's own
// images of every size: nothing of its own is missing there.
bool fileHasFrame(const char* path, int index, int size) {
    const unique_hmodule module(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (module) {
        GroupSearch search{index, 0, nullptr};
        if (index < 0) {
            search.found = FindResourceA(module.get(), MAKEINTRESOURCEA(-index), RT_GROUP_ICON);
        } else {
            EnumResourceNamesA(module.get(), RT_GROUP_ICON, countGroup,
                               reinterpret_cast<LONG_PTR>(&search));
        }
        const HGLOBAL group =
            search.found != nullptr ? LoadResource(module.get(), search.found) : nullptr;
        return group == nullptr ||
               listsSize(static_cast<const BYTE*>(LockResource(group)),
                         SizeofResource(module.get(), search.found), kGroupEntrySize, size);
    }
    const HANDLE opened =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const unique_kernel_handle file(opened != INVALID_HANDLE_VALUE ? opened : nullptr);
    BYTE directory[sizeof(IconDirectory) + 64 * kFileEntrySize] = {};
    DWORD read = 0;
    IconDirectory head{};
    if (!file || !ReadFile(file.get(), directory, sizeof directory, &read, nullptr) ||
        read < sizeof head) {
        return true;
    }
    CopyMemory(&head, directory, sizeof head);
    return head.reserved != 0 || head.type != 1 || index != 0 ||
           listsSize(directory, read, kFileEntrySize, size);
}

// Icon files, programs and libraries with icons of their own show the one
// inside them, as Explorer does for a drive's icon location; the shell's
// icon for such a path is the one of its kind (the library icon for a DLL).
bool holdsIcons(const char* path) {
    const UINT count = ExtractIconExA(path, -1, nullptr, nullptr, 0);
    return count != 0 && count != UINT_MAX;
}

} // namespace

bool hasOwnFrame(const char* location, int size) {
    char path[MAX_PATH];
    if (!expandIconPath(location, path)) {
        return true;
    }
    const int index = PathParseIconLocationA(path);
    // A drive shows the shell's own images of every size.
    return (index == 0 && PathIsRootA(path)) || fileHasFrame(path, index, size);
}

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

bool expandIconPath(const char* location, char (&expanded)[MAX_PATH], bool native) {
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
    if (native) {
        nativeFilePath(expanded);
    }
    return true;
}

HICON loadIconFromLocation(const char* location, int size) {
    char path[MAX_PATH];
    HICON icon = nullptr;
    if (expandIconPath(location, path)) {
        const int index = PathParseIconLocationA(path);
        // A drive's root is never opened as a file: a share that does not
        // answer would hold the question twice.
        const bool ownIcons = index != 0 || (!PathIsRootA(path) && holdsIcons(path));
        icon = ownIcons ? extractLargeIcon(path, index, size) : shellIcon(path, size);
    }
    if (icon == nullptr) {
        icon = extractLargeIcon("shell32.dll", 0, size);
    }
    return icon;
}

HICON loadDriveIcon(const char* location, const char* rootPath, int size) {
    return loadIconFromLocation(location[0] != '\0' ? location : rootPath, size);
}

// Explorer keeps each icon location's picture in the system image list
// until told it changed; a location whose text is unchanged but whose file
// was replaced would otherwise keep the old picture. The location is named
// as Explorer reads it (expanded, not redirected); a drive's own icon by the
// location the shell gives for its root.
void refreshExplorerImage(const char* location, const char* rootPath) {
    using UpdateImage = void(WINAPI*)(LPCSTR, int, UINT, int);
    using CachedIndex = int(WINAPI*)(LPCWSTR, int, UINT);
    char file[MAX_PATH] = {};
    int index = 0;
    if (location[0] != '\0') {
        char raw[MAX_PATH] = {};
        copyText(raw, location);
        const DWORD needed = ExpandEnvironmentStringsA(raw, file, MAX_PATH);
        if (needed == 0 || needed > MAX_PATH) {
            file[0] = '\0';
        }
        terminateText(file);
        index = PathParseIconLocationA(file);
    } else {
        SHFILEINFOA info{};
        if (SHGetFileInfoA(rootPath, 0, &info, sizeof info, SHGFI_ICONLOCATION) != 0) {
            terminateText(info.szDisplayName);
            copyText(file, info.szDisplayName);
            index = info.iIcon;
        }
    }
    const auto update = systemFunction<UpdateImage>("shell32.dll", "SHUpdateImageA");
    if (file[0] == '\0' || update == nullptr) {
        return;
    }
    // The image's place in the system image list, where the system can tell
    // (Windows Vista on); -1 otherwise.
    const auto cached = systemFunction<CachedIndex>("shell32.dll", "Shell_GetCachedImageIndexW");
    WCHAR wide[MAX_PATH] = {};
    int image = -1;
    if (cached != nullptr && MultiByteToWideChar(CP_ACP, 0, file, -1, wide, MAX_PATH) != 0) {
        image = cached(wide, index, 0);
    }
    update(file, index, 0, image);
}

} // namespace kelvarin
