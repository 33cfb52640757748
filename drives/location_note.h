// Whether Explorer will find an icon location's file later: the setting is
// the machine's, read by every user's Explorer at every start.
#pragma once

namespace kelvarin {

enum class LocationNote {
    None,         // a file Explorer will always read, or the drive's own icon
    Missing,      // the file does not exist
    NotQualified, // a name without its folder: found where each reader's loader looks
    Removable,    // on a removable or optical drive: gone with the medium
    Network,      // on a network drive or share: gone while it is offline
    ThisUserOnly, // in a user's own folder (a profile, the temporary folder)
    ToInstall     // made of a picture: installed for every user when applied
};

// May wait on the drive the file is on.
LocationNote locationNote(const char* location);

// The note's text, empty for None.
const char* noteText(LocationNote note);

} // namespace kelvarin
