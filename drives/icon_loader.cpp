#include "drives/icon_loader.h"

#include "common/text.h"

#include <shellapi.h>
#include <shlwapi.h>

namespace kelvarin {

namespace {

HICON shellIcon(const char* path) {
    // Only the icon is asked for: the system image list index would cost a
    // second lookup per drive at start-up and is never used.
    SHFILEINFOA info{};
    if (SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON) == 0) {
        return nullptr;
    }
    return info.hIcon;
}

} // namespace

HICON extractLargeIcon(const char* file, int index) {
    HICON icon = nullptr;
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

HICON loadIconFromLocation(const char* location) {
    char path[MAX_PATH];
    HICON icon = nullptr;
    if (expandIconPath(location, path)) {
        const int index = PathParseIconLocationA(path);
        icon = index != 0 ? extractLargeIcon(path, index) : shellIcon(path);
    }
    if (icon == nullptr) {
        icon = extractLargeIcon("shell32.dll", 0);
    }
    return icon;
}

HICON loadDriveIcon(const char* location, const char* rootPath) {
    return loadIconFromLocation(location[0] != '\0' ? location : rootPath);
}

} // namespace kelvarin
