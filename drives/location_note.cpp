#include "drives/location_note.h"

#include "common/platform.h"
#include "common/text.h"
#include "drives/icon_loader.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace kelvarin {

LocationNote locationNote(const char* location) {
    char path[MAX_PATH];
    if (location[0] == '\0' || !expandIconPath(location, path)) {
        return location[0] == '\0' ? LocationNote::None : LocationNote::Missing;
    }
    PathParseIconLocationA(path);
    // A name without a folder is found where programs find system files.
    if (PathIsFileSpecA(path)) {
        char found[MAX_PATH] = {};
        if (SearchPathA(nullptr, path, nullptr, MAX_PATH, found, nullptr) == 0) {
            return LocationNote::Missing;
        }
        copyText(path, found);
    }
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        return LocationNote::Missing;
    }
    if (PathIsUNCA(path)) {
        return LocationNote::Network;
    }
    char root[4] = {path[0], ':', '\\', '\0'};
    switch (GetDriveTypeA(root)) {
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM:
        return LocationNote::Removable;
    case DRIVE_REMOTE:
        return LocationNote::Network;
    default:
        break;
    }
    char folder[MAX_PATH] = {};
    if (knownFolder(CSIDL_PROFILE, folder) && isInFolder(path, folder)) {
        return LocationNote::ThisUserOnly;
    }
    const DWORD temp = GetTempPathA(MAX_PATH, folder);
    return temp > 0 && temp < MAX_PATH && isInFolder(path, folder) ? LocationNote::ThisUserOnly
                                                                   : LocationNote::None;
}

const char* noteText(LocationNote note) {
    switch (note) {
    case LocationNote::Missing:
        return "アイコンファイルが見つかりません";
    case LocationNote::Removable:
        return "取り外せるドライブ上のファイルです";
    case LocationNote::Network:
        return "ネットワーク上のファイルです";
    case LocationNote::ThisUserOnly:
        return "このユーザーだけのフォルダーにあります";
    default:
        return "";
    }
}

} // namespace kelvarin
