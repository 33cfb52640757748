// Explorer's per-drive settings key: reading, writing and deleting the
// values of a drive letter, in the registry view Explorer itself reads.
#pragma once

#include <windows.h>

#include <cstddef>

namespace kelvarin {

// Explorer's machine-wide per-drive settings, below HKEY_LOCAL_MACHINE. Each
// drive letter has a key with a DefaultIcon and a DefaultLabel subkey whose
// default values hold the icon location and the name.
extern const char kSettingsKeyPath[];
extern const char kDefaultIconKey[];
extern const char kDefaultLabelKey[];

// Whether a letter has a DefaultIcon or DefaultLabel value stored under the
// settings key, whether or not a drive has it now; and all such letters
// (bit 0 for A).
bool hasStoredSettings(char letter);
DWORD lettersWithSettings();

// The letters (bit 0 for A) that name subkeys of parent and count. Key
// names compare without case, so "d" is found as D, as Explorer finds it; a
// longer name is no letter's.
DWORD letterKeys(HKEY parent, bool (*counts)(char letter));

// "<settings key>\<letter>[\<subkey>]".
void settingsKeyPath(char letter, const char* subkey, char (&path)[MAX_PATH]);

enum class StoredText {
    Missing, // no key or no value: dest is empty
    Read,    // dest holds the value
    TooLong, // the value does not fit dest with its terminator: dest is empty
};

// Reads the default value of a drive's subkey into dest as text. The value's
// type is not looked at.
StoredText readSettingsText(char letter, const char* subkey, char* dest, std::size_t capacity);

// Creates or opens a drive's subkey (non-volatile, its class the subkey's
// name) and sets its default value to text: as REG_EXPAND_SZ when the value
// it replaces is one, so its readers keep expanding it, otherwise as REG_SZ.
// False when either step fails.
bool writeSettingsText(char letter, const char* subkey, const char* text);

enum class Removal { Nothing, Removed, Failed };

// Deletes a drive's DefaultIcon and DefaultLabel keys, and its letter key
// when that is empty afterwards. A key holding subkeys of its own is not
// Kelvarin's to delete, and fails.
Removal removeDriveSettings(char letter);

} // namespace kelvarin
