// One drive letter as the program knows it.
#pragma once

#include <windows.h>

namespace kelvarin {

// A plain value: copied whole into locals and stored back whole. The record
// owns its icon; only the editor replaces (and destroys) it. What the drive
// itself answers (its type, the shell's name for it, its icon) may come long
// after the record is listed: until then `answered` is 0, the type is empty
// and the icon null. A letter with no drive now (`present` 0) is listed for
// the settings stored for it; one the user's Explorer remembers a share for
// (`remembered` 1, see remembered_shares.h) is listed as that share.
// `shellName` is the name the drive itself gives (a fixed disk's volume
// label, a share's name); `label` the one shown and written.
struct DriveRecord {
    char rootPath[10];
    char iconLocation[260];
    char label[256];
    HICON icon;
    char typeName[25];
    char shellName[256];
    int answered;
    int present;
    int remembered;
    int storedName; // a DefaultLabel is stored: Explorer shows it, whatever the drive's type
    int iconSize;   // pixels of the icon asked for; 0 for the system's large-icon size
};

} // namespace kelvarin
