#include "drives/settings_key.h"

#include "common/platform.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "drives/drive_table.h"

namespace kelvarin {

const char kSettingsKeyPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons";
const char kDefaultIconKey[] = "DefaultIcon";
const char kDefaultLabelKey[] = "DefaultLabel";

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
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | explorerRegistryView(), key.put()) !=
        ERROR_SUCCESS) {
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
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, keyClass, 0,
                        KEY_ALL_ACCESS | explorerRegistryView(), nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
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
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | explorerRegistryView(),
                         key.put()) == ERROR_SUCCESS &&
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
        const LONG status = deleteExplorerKey(HKEY_LOCAL_MACHINE, path);
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
        values == 0 && deleteExplorerKey(HKEY_LOCAL_MACHINE, letterKey) == ERROR_SUCCESS) {
        result = Removal::Removed;
    }
    return result;
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

DWORD letterKeys(HKEY parent, bool (*counts)(char letter)) {
    DWORD letters = 0;
    for (DWORD index = 0;; ++index) {
        char name[4] = {};
        DWORD size = sizeof name;
        const LONG status =
            RegEnumKeyExA(parent, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) {
            continue;
        }
        if (status != ERROR_SUCCESS) {
            return letters;
        }
        const char letter = upperLetter(name[0]);
        if (size == 1 && letterIndex(letter) >= 0 && counts(letter)) {
            letters |= 1u << letterIndex(letter);
        }
    }
}

// Only the keys there are asked about, so a start with few settings stored
// costs few registry reads.
DWORD lettersWithSettings() {
    unique_hkey icons;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ | explorerRegistryView(),
                      icons.put()) != ERROR_SUCCESS) {
        return 0;
    }
    return letterKeys(icons.get(), hasStoredSettings);
}

} // namespace kelvarin
