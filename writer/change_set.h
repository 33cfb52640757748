// Everything one apply changes on the machine, as the window hands it to
// the writer: a file of fixed-size records the writer trusts only once it
// has checked every byte of it, since it runs with rights the window's user
// may not have.
#pragma once

#include <windows.h>

#include <cstddef>

namespace kelvarin {

// What happens to a drive's name.
enum class NameChange : BYTE {
    Keep,     // nothing: a stored value too long to show, not edited
    Settings, // DefaultLabel's value
    Volume,   // a fixed disk's volume label
};

struct DriveChange {
    char letter;     // 'A' to 'Z'
    BYTE restore;    // 1: DefaultIcon and DefaultLabel deleted, nothing else written
    BYTE writeIcon;  // 1: DefaultIcon's value set (0: kept)
    NameChange name; //
    char iconLocation[260];
    char label[256];
    // An icon file made of a picture, lying beside the change set, to be
    // installed where every user can read it and no user can change it; the
    // icon location written is then the installed file's. Empty for none.
    char iconFile[64];
};

constexpr int kMostChanges = 26;
// An icon file larger than this is no icon Kelvarin made.
constexpr DWORD kLargestIconFile = 4 * 1024 * 1024;

struct ChangeSet {
    int count;
    DriveChange changes[kMostChanges];
};

// The file's bytes: a header, then count records.
bool saveChangeSet(const ChangeSet& set, const char* path);

enum class ChangeSetCheck { Valid, Malformed };

// Reads and checks a change set file whole: its size, header and count,
// each letter (A to Z, once), each flag, each text (ended within its field,
// nothing after its end, no half character) and each icon file's name (a
// plain .ico name: no folder, no drive, no device name).
ChangeSetCheck loadChangeSet(const char* path, ChangeSet& set);
ChangeSetCheck checkChangeSet(const BYTE* bytes, std::size_t size, ChangeSet& set);

// Whether bytes are a well-formed icon file: its header, its entries, each
// frame inside the file.
bool isIconFile(const BYTE* bytes, std::size_t size);

// A name a file may be created under in a folder: no folder parts, no
// drive, no device name (CON, NUL, COM1...), no trailing dot or space.
bool isPlainFileName(const char* name);

} // namespace kelvarin
