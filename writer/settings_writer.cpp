#include "writer/settings_writer.h"

#include "common/text.h"
#include "drives/settings_key.h"
#include "writer/change_set.h"
#include "writer/icon_store.h"

#include <shlwapi.h>

namespace kelvarin {

namespace {

constexpr char kSwitch[] = "/write ";

// Both of a drive's writes are attempted even when the first fails; nothing
// is rolled back. An icon file that cannot be installed leaves the icon
// location as it was: the one typed names the user's own folder.
bool writeChange(const DriveChange& change, const char* folder) {
    if (change.restore) {
        return removeDriveSettings(change.letter) != Removal::Failed;
    }
    bool written = true;
    char location[sizeof change.iconLocation];
    copyText(location, change.iconLocation);
    if (change.iconFile[0] != '\0') {
        char installed[MAX_PATH];
        written = installIcon(folder, change.iconFile, installed) &&
                  formatText(location, "%s,0", installed) ==
                      static_cast<std::size_t>(lstrlenA(installed)) + 2;
    }
    if (change.name == NameChange::Settings) {
        written = writeSettingsText(change.letter, kDefaultLabelKey, change.label) && written;
    } else if (change.name == NameChange::Volume) {
        // Only a fixed disk's name is its volume's label.
        const char root[4] = {change.letter, ':', '\\', '\0'};
        written =
            GetDriveTypeA(root) == DRIVE_FIXED && SetVolumeLabelA(root, change.label) && written;
    }
    if (change.writeIcon && written) {
        written = writeSettingsText(change.letter, kDefaultIconKey, location);
    }
    return written;
}

} // namespace

bool writerCommand(const char* commandLine, char (&changeSet)[MAX_PATH]) {
    changeSet[0] = '\0';
    if (commandLine == nullptr ||
        CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, commandLine, sizeof kSwitch - 1,
                       kSwitch, sizeof kSwitch - 1) != CSTR_EQUAL) {
        return false;
    }
    char path[MAX_PATH + 2];
    copyText(path, commandLine + sizeof kSwitch - 1);
    PathUnquoteSpacesA(path);
    return copyText(changeSet, path) == static_cast<std::size_t>(lstrlenA(path)) &&
           changeSet[0] != '\0';
}

void writerParameters(const char* changeSet, char (&parameters)[MAX_PATH + 16]) {
    formatText(parameters, "%s\"%s\"", kSwitch, changeSet);
}

DWORD runWriter(const char* changeSet) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ChangeSet set;
    if (loadChangeSet(changeSet, set) != ChangeSetCheck::Valid) {
        return kChangeSetRefused;
    }
    // Icon files to install lie beside the change set.
    char folder[MAX_PATH];
    copyText(folder, changeSet);
    PathRemoveFileSpecA(folder);
    DWORD failed = 0;
    for (int i = 0; i < set.count; ++i) {
        if (!writeChange(set.changes[i], folder)) {
            failed |= 1u << (set.changes[i].letter - 'A');
        }
    }
    return failed;
}

} // namespace kelvarin
