#include "drives/drive_settings.h"

#include "common/platform.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "drives/icon_loader.h"

#include <shellapi.h>

namespace kelvarin {

const char kFixedDiskTypeName[] = "ハードディスク";
const char kAbsentTypeName[] = "接続されていません";
const char kSilentTypeName[] = "応答がありません";

namespace {

// An empty floppy or optical drive would otherwise stop the listing with the
// system's "no disk in the drive" box; the queries must simply fail instead.
class CriticalErrorsSilenced {
  public:
    CriticalErrorsSilenced()
        : previous_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {
        SetErrorMode(previous_ | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    }
    ~CriticalErrorsSilenced() { SetErrorMode(previous_); }
    CriticalErrorsSilenced(const CriticalErrorsSilenced&) = delete;
    CriticalErrorsSilenced& operator=(const CriticalErrorsSilenced&) = delete;

  private:
    UINT previous_;
};

} // namespace

void driveTypeName(const char* rootPath, char (&typeName)[25]) {
    driveTypeName(GetDriveTypeA(rootPath), typeName);
}

void driveTypeName(UINT driveType, char (&typeName)[25]) {
    const char* name = "不明";
    switch (driveType) {
    case DRIVE_REMOVABLE:
        name = "リムーバブルディスク";
        break;
    case DRIVE_FIXED:
        name = kFixedDiskTypeName;
        break;
    case DRIVE_REMOTE:
        name = "ネットワーク";
        break;
    case DRIVE_CDROM:
        name = "CD/DVD-ROM/R/RW";
        break;
    case DRIVE_RAMDISK:
        name = "RAMディスク";
        break;
    default:
        break;
    }
    copyText(typeName, name);
}

bool isFixedDisk(const DriveRecord& record) {
    return lstrcmpA(record.typeName, kFixedDiskTypeName) == 0;
}

void labelFromDisplayName(const char* displayName, char letter, char (&label)[256]) {
    label[0] = '\0';
    char suffix[8];
    formatText(suffix, " (%c:)", letter);
    const std::size_t length = static_cast<std::size_t>(lstrlenA(displayName));
    if (length < 5 || displayName[length - 5] != ' ' ||
        lstrcmpA(displayName + length - 5, suffix) != 0) {
        return;
    }
    // The name part can be longer than the label field; copyText cuts it on
    // a character boundary.
    char name[sizeof label + 1];
    const std::size_t nameLength = length - 5 < sizeof name - 1 ? length - 5 : sizeof name - 1;
    CopyMemory(name, displayName, nameLength);
    name[nameLength] = '\0';
    copyText(label, name);
}

void readStoredSettings(DriveRecord& record) {
    DriveRecord working{};
    copyText(working.rootPath, record.rootPath);
    const char letter = working.rootPath[0];
    readSettingsText(letter, kDefaultIconKey, working.iconLocation, sizeof working.iconLocation);
    const StoredText name =
        readSettingsText(letter, kDefaultLabelKey, working.label, sizeof working.label);
    // An empty one names nothing: Explorer shows the drive's own name.
    working.storedName =
        name == StoredText::TooLong || (name == StoredText::Read && working.label[0] != '\0');
    record = working;
}

DriveRecord storedRecord(char letter) {
    DriveRecord record{};
    formatText(record.rootPath, "%c:\\", letter);
    readStoredSettings(record);
    return record;
}

void askDrive(DriveRecord& record) {
    const UINT type = GetDriveTypeA(record.rootPath);
    driveTypeName(type, record.typeName);
    if (type == DRIVE_REMOTE) {
        shareLabel(record.rootPath, record.shellName);
    } else if (type == DRIVE_FIXED) {
        volumeLabel(record.rootPath, record.shellName);
    } else {
        shellLabel(record.rootPath, record.shellName);
    }
    record.icon = loadDriveIcon(record.iconLocation, record.rootPath, record.iconSize);
    record.answered = 1;
}

void markAbsent(DriveRecord& record) {
    copyText(record.typeName, kAbsentTypeName);
    record.shellName[0] = '\0';
    record.answered = 1;
    record.present = 0;
    record.remembered = 0;
}

bool markSilent(DriveRecord& record) {
    if (record.answered || !record.present) {
        return false;
    }
    copyText(record.typeName, kSilentTypeName);
    return true;
}

bool isSilent(const DriveRecord& record) {
    return !record.answered && record.present && lstrcmpA(record.typeName, kSilentTypeName) == 0;
}

void settleLabel(DriveRecord& record) {
    if (record.label[0] == '\0') {
        copyText(record.label, record.shellName);
    }
}

bool namesItsVolume(const DriveRecord& record) {
    return isFixedDisk(record) && !record.storedName;
}

void readDriveSettings(DriveRecord& record) {
    CriticalErrorsSilenced silenced;
    readStoredSettings(record);
    askDrive(record);
    settleLabel(record);
}

namespace {

using ConnectionQuery = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);

// Looked up once and kept for the process's life: loading and freeing
// mpr.dll for every share would take the loader's lock twice on each drive's
// worker. Two workers racing here both load it; it stays loaded either way.
ConnectionQuery connectionQuery() {
    static void* query = nullptr;
    void* found = InterlockedCompareExchangePointer(&query, nullptr, nullptr);
    if (found == nullptr) {
        // From the system folder only: a planted mpr.dll beside the
        // program would run with the administrator's rights it runs with.
        found = reinterpret_cast<void*>(systemFunction("mpr.dll", "WNetGetConnectionA"));
        InterlockedExchangePointer(&query, found);
    }
    return reinterpret_cast<ConnectionQuery>(found);
}

} // namespace

// Explorer names a mapped share "share (\\server)": the last part of the
// path it is mapped to, then the rest. Only the redirector's own mapping is
// asked, never the share: the volume's label would need its server, and on
// Wine reading it lists the drive's root under a lock every thread of the
// process waits behind.
void shareLabel(const char* rootPath, char (&label)[256]) {
    label[0] = '\0';
    const ConnectionQuery connection = connectionQuery();
    const char device[3] = {rootPath[0], ':', '\0'};
    char remote[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (connection != nullptr && connection(device, remote, &size) == NO_ERROR) {
        remote[MAX_PATH] = '\0';
        remoteLabel(remote, label);
    }
}

void remoteLabel(const char* remotePath, char (&label)[256]) {
    label[0] = '\0';
    char remote[MAX_PATH];
    copyText(remote, remotePath);
    char* last = nullptr;
    for (char* at = remote; *at != '\0'; at = CharNextA(at)) {
        last = *at == '\\' ? at : last;
    }
    if (last == nullptr || last - remote < 3 || last[1] == '\0') {
        copyText(label, remote);
        return;
    }
    *last = '\0';
    formatText(label, "%s (%s)", last + 1, remote);
}

// Read from the volume itself: the shell's display name of a fixed disk is
// its DefaultLabel where one is stored, its type name where it has no label,
// and begins with the letter when Explorer shows letters first.
void volumeLabel(const char* rootPath, char (&label)[256]) {
    char name[MAX_PATH + 1] = {};
    if (!GetVolumeInformationA(rootPath, name, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr,
                               0)) {
        name[0] = '\0';
    }
    terminateText(name);
    copyText(label, name);
}

void shellLabel(const char* rootPath, char (&label)[256]) {
    label[0] = '\0';
    SHFILEINFOA info{};
    if (SHGetFileInfoA(rootPath, 0, &info, sizeof info, SHGFI_DISPLAYNAME) != 0) {
        terminateText(info.szDisplayName);
        labelFromDisplayName(info.szDisplayName, rootPath[0], label);
    }
}

int enumerateDrives(DriveTable& table, DriveStringsQuery query, DWORD stored) {
    // Two spare bytes beyond what the query may fill keep the sequence ended
    // by an empty string whatever the query writes.
    char roots[258] = {};
    query(256, roots);
    // Only the letters with a key of their own are read: most have none.

    for (char* root = roots; root < roots + 256 && *root != '\0'; root += lstrlenA(root) + 1) {
        *root = upperLetter(*root);
        DriveRecord record{};
        copyText(record.rootPath, root);
        const int slot = letterIndex(record.rootPath[0]);
        if (slot >= 0 && (stored >> slot & 1) != 0) {
            readStoredSettings(record);
        }
        record.present = 1;
        table.list(record);
    }
    return 1;
}

} // namespace kelvarin
