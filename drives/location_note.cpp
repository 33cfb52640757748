#include "drives/location_note.h"

#include "common/platform.h"
#include "common/text.h"
#include "drives/drive_table.h"
#include "drives/icon_loader.h"
#include "drives/icon_maker.h"
#include "drives/remembered_shares.h"

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
    // A share is away as often as not: a file on one, or on a letter the
    // user's Explorer connects at logon, is noted for that, not as missing.
    char remote[MAX_PATH];
    const char root[4] = {path[0], ':', '\\', '\0'};
    if (PathIsUNCA(path) || (path[0] != '\0' && path[1] == ':' &&
                             (GetDriveTypeA(root) == DRIVE_REMOTE ||
                              (GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR &&
                               rememberedShare(upperLetter(path[0]), remote))))) {
        return LocationNote::Network;
    }
    // A name without a folder is found where programs find system files:
    // each reader's own, which a 32-bit and a 64-bit program do not share.
    char named[MAX_PATH];
    expandIconPath(location, named, false);
    PathParseIconLocationA(named);
    if (PathIsRelativeA(named)) {
        char found[MAX_PATH] = {};
        return SearchPathA(nullptr, path, nullptr, MAX_PATH, found, nullptr) == 0
                   ? LocationNote::Missing
                   : LocationNote::NotQualified;
    }
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        return LocationNote::Missing;
    }
    switch (GetDriveTypeA(root)) {
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM:
        return LocationNote::Removable;
    default:
        break;
    }
    char folder[MAX_PATH] = {};
    if (madeIconsFolder(folder) && isInFolder(path, folder)) {
        return LocationNote::ToInstall;
    }
    // Any user's profile, not only this one's: each user's Explorer reads
    // the setting, and only its owner can read a profile.
    if (knownFolder(CSIDL_PROFILE, folder) && PathRemoveFileSpecA(folder) &&
        isInFolder(path, folder)) {
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
    case LocationNote::NotQualified:
        return "フォルダーを含まない名前です";
    case LocationNote::Removable:
        return "取り外せるドライブ上のファイルです";
    case LocationNote::Network:
        return "ネットワーク上のファイルです";
    case LocationNote::ThisUserOnly:
        return "このユーザーだけのフォルダーにあります";
    case LocationNote::ToInstall:
        return "適用すると、すべてのユーザーが読めるフォルダーに置かれます";
    default:
        return "";
    }
}

} // namespace kelvarin
