#include "drives/drive_settings.h"

#include "common/text.h"
#include "common/unique_handle.h"
#include "drives/icon_loader.h"

#include <shellapi.h>

namespace kelvarin {

const char kSettingsKeyPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons";
const char kDefaultIconKey[] = "DefaultIcon";
const char kDefaultLabelKey[] = "DefaultLabel";
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

void settingsKeyPath(char letter, const char* subkey, char (&path)[MAX_PATH]) {
    if (subkey == nullptr) {
        formatText(path, "%s\\%c", kSettingsKeyPath, letter);
    } else {
        formatText(path, "%s\\%c\\%s", kSettingsKeyPath, letter, subkey);
    }
}

StoredText readSettingsText(char letter, const char* subkey, char* dest, std::size_t capacity) {
    if (capacity == 0) {
        return StoredText::Missing;
    }
    dest[0] = '\0';
    char path[MAX_PATH];
    settingsKeyPath(letter, subkey, path);
    unique_hkey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return StoredText::Missing;
    }
    // The value is read into a scratch buffer: on failure (too large) the
    // platform may leave any bytes in it, and dest must stay empty.
    char scratch[MAX_PATH + 1] = {};
    if (capacity > MAX_PATH) {
        capacity = MAX_PATH;
    }
    DWORD size = static_cast<DWORD>(capacity);
    const LONG status = RegQueryValueExA(key.get(), nullptr, nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(scratch), &size);
    if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && size > capacity)) {
        return StoredText::TooLong;
    }
    if (status != ERROR_SUCCESS) {
        return StoredText::Missing;
    }
    // A text stored without its terminator only counts when the terminator
    // still fits; a value that fills the buffer without one is too long.
    const bool terminated = size > 0 && scratch[size - 1] == '\0';
    if (!terminated && size >= capacity) {
        return StoredText::TooLong;
    }
    scratch[size] = '\0';
    copyText(dest, capacity, scratch);
    return StoredText::Read;
}

bool writeSettingsText(char letter, const char* subkey, const char* text) {
    char path[MAX_PATH];
    settingsKeyPath(letter, subkey, path);
    char keyClass[16];
    copyText(keyClass, subkey);
    unique_hkey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, keyClass, 0, KEY_ALL_ACCESS, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = REG_NONE;
    const bool expandable =
        RegQueryValueExA(key.get(), nullptr, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
        type == REG_EXPAND_SZ;
    const DWORD size = static_cast<DWORD>(lstrlenA(text)) + 1;
    return RegSetValueExA(key.get(), nullptr, 0, expandable ? REG_EXPAND_SZ : REG_SZ,
                          reinterpret_cast<const BYTE*>(text), size) == ERROR_SUCCESS;
}

namespace {

// Subkeys and values of a key; false when it cannot be opened.
bool keyContents(const char* path, DWORD& subkeys, DWORD& values) {
    unique_hkey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS &&
           RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                            &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

} // namespace

Removal removeDriveSettings(char letter) {
    char paths[2][MAX_PATH];
    settingsKeyPath(letter, kDefaultIconKey, paths[0]);
    settingsKeyPath(letter, kDefaultLabelKey, paths[1]);
    // Checked before anything is deleted, so a refusal leaves both keys.
    for (const auto& path : paths) {
        DWORD subkeys = 0, values = 0;
        if (keyContents(path, subkeys, values) && subkeys != 0) {
            return Removal::Failed;
        }
    }
    Removal result = Removal::Nothing;
    for (const auto& path : paths) {
        const LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
        if (status == ERROR_SUCCESS) {
            result = result == Removal::Failed ? result : Removal::Removed;
        } else if (status != ERROR_FILE_NOT_FOUND) {
            result = Removal::Failed;
        }
    }
    // The letter key goes only when nothing of anyone else's is left in it.
    char letterKey[MAX_PATH];
    settingsKeyPath(letter, nullptr, letterKey);
    DWORD subkeys = 1, values = 1;
    if (result != Removal::Failed && keyContents(letterKey, subkeys, values) && subkeys == 0 &&
        values == 0 && RegDeleteKeyA(HKEY_LOCAL_MACHINE, letterKey) == ERROR_SUCCESS) {
        result = Removal::Removed;
    }
    return result;
}

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
    readSettingsText(letter, kDefaultLabelKey, working.label, sizeof working.label);
    record = working;
}

void askDrive(DriveRecord& record) {
    const UINT type = GetDriveTypeA(record.rootPath);
    driveTypeName(type, record.typeName);
    if (type == DRIVE_REMOTE) {
        shareLabel(record.rootPath, record.shellName);
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

bool hasStoredSettings(char letter) {
    char scratch[2];
    for (const char* subkey : {kDefaultIconKey, kDefaultLabelKey}) {
        if (readSettingsText(letter, subkey, scratch, sizeof scratch) != StoredText::Missing) {
            return true;
        }
    }
    return false;
}

// Only the keys there are asked about, so a start with few settings stored
// costs few registry reads. Key names compare without case, so "d" is found
// as D as Explorer finds it; a longer name is no letter's.
DWORD lettersWithSettings() {
    unique_hkey icons;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, icons.put()) !=
        ERROR_SUCCESS) {
        return 0;
    }
    DWORD letters = 0;
    for (DWORD index = 0;; ++index) {
        char name[4] = {};
        DWORD size = sizeof name;
        const LONG status =
            RegEnumKeyExA(icons.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) {
            continue;
        }
        if (status != ERROR_SUCCESS) {
            return letters;
        }
        const char letter = upperLetter(name[0]);
        if (size == 1 && letterIndex(letter) >= 0 && hasStoredSettings(letter)) {
            letters |= 1u << letterIndex(letter);
        }
    }
}

void settleLabel(DriveRecord& record) {
    if (isFixedDisk(record) || record.label[0] == '\0') {
        copyText(record.label, record.shellName);
    }
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
        if (const HMODULE mpr = LoadLibraryA("mpr.dll")) {
            found = reinterpret_cast<void*>(GetProcAddress(mpr, "WNetGetConnectionA"));
            InterlockedExchangePointer(&query, found);
        }
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
    if (connection == nullptr || connection(device, remote, &size) != NO_ERROR) {
        return;
    }
    remote[MAX_PATH] = '\0';
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

void shellLabel(const char* rootPath, char (&label)[256]) {
    label[0] = '\0';
    SHFILEINFOA info{};
    if (SHGetFileInfoA(rootPath, 0, &info, sizeof info, SHGFI_DISPLAYNAME) != 0) {
        terminateText(info.szDisplayName);
        labelFromDisplayName(info.szDisplayName, rootPath[0], label);
    }
}

int enumerateDrives(DriveTable& table, DriveStringsQuery query) {
    // Two spare bytes beyond what the query may fill keep the sequence ended
    // by an empty string whatever the query writes.
    char roots[258] = {};
    query(256, roots);

    for (char* root = roots; root < roots + 256 && *root != '\0'; root += lstrlenA(root) + 1) {
        *root = upperLetter(*root);
        DriveRecord record{};
        copyText(record.rootPath, root);
        readStoredSettings(record);
        record.present = 1;
        table.list(record);
    }
    return 1;
}

} // namespace kelvarin
