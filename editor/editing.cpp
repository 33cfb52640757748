// Showing a drive in the edit fields, tracking what the user changes, and
// the Browse button.
#include "editor/drive_editor.h"

#include "common/product.h"
#include "common/text.h"
#include "res/resource.h"
#include "shell/icon_picker.h"

#include <shlwapi.h>

namespace kelvarin {

void DriveEditor::onListClick(HWND /*listView*/) {
    takeFields();
    const char selected = list_.selectedLetter();
    if (selected == 0) {
        return;
    }
    if (selected != shown_) {
        ++pictureTicket_; // a picture still being made was for the drive left
    }
    shown_ = selected;
    showRecord(drives_.record(selected));
}

void DriveEditor::onListItemChanged(const NMLISTVIEW& change) {
    const bool stateChanged = (change.uChanged & LVIF_STATE) != 0;
    const bool was = (change.uOldState & LVIS_SELECTED) != 0;
    const bool is = (change.uNewState & LVIS_SELECTED) != 0;
    if (stateChanged && is && !was && list_.letterAt(change.iItem) != shown_) {
        onListClick(nullptr);
    }
    // A click on empty space leaves the list without a selection while the
    // fields still show a drive; once the list has settled (another item may
    // be selected next), the shown drive is selected again.
    if (stateChanged && was && !is && list_.letterAt(change.iItem) == shown_) {
        PostMessageA(dialog_, kKeepSelectionMessage, 0, 0);
    }
}

void DriveEditor::keepShownSelected() {
    if (list_.selectedLetter() == 0 && drives_.isListed(shown_)) {
        list_.select(shown_);
    }
}

// The fields always show the shown drive, so whatever they hold that its
// record does not is the user's edit of it, however the field is left: the
// focus moving on, another drive clicked (the list may report its new
// selection before or after the field's focus loss: the platform chooses),
// Enter, or a command that reads the drive while the focus is still in the
// field. The drive is marked and takes the texts; a new location's icon
// and preview are asked for. Browsing the drives changes nothing, so it
// reloads no icon.
void DriveEditor::takeFields() {
    if (!drives_.isListed(shown_)) {
        return;
    }
    DriveRecord record = drives_.record(shown_);
    char location[sizeof record.iconLocation];
    char label[sizeof record.label];
    fields_.read(IDC_ICON_PATH, location, sizeof location);
    fields_.read(IDC_LABEL, label, sizeof label);
    const bool newLocation = lstrcmpA(location, record.iconLocation) != 0;
    if (!newLocation && lstrcmpA(label, record.label) == 0) {
        return;
    }
    copyText(record.iconLocation, location);
    copyText(record.label, label);
    drives_.setMarked(shown_, true);
    storeRecord(record);
    if (newLocation) {
        ++pictureTicket_;
        askIcon(shown_);
        askPreview(location);
    }
}

void DriveEditor::showRecord(const DriveRecord& record) {
    fields_.show(record);
    HICON none[kExplorerSizeCount] = {};
    fields_.setSizes(none, 0);
    askPreview(record.iconLocation);
}

// A click on the preview: the icon in the icon box at Explorer's
// extra-large size, once it is loaded.
void DriveEditor::onPreviewClicked() {
    if (!drives_.isListed(shown_)) {
        return;
    }
    DriveRecord asked = drives_.record(shown_);
    fields_.read(IDC_ICON_PATH, asked.iconLocation, sizeof asked.iconLocation);
    ask(answers_, Question::Large, fields_.ticket(), asked, iconSize_);
}

// A choice from a drop-down list marks the drive even when it is the text
// it had; the edit box takes the chosen text only after this notification.
void DriveEditor::onComboSelChange(int comboId) {
    if (!drives_.isListed(shown_)) {
        return;
    }
    if (comboId == IDC_ICON_PATH) {
        char text[sizeof DriveRecord::iconLocation];
        fields_.selection(IDC_ICON_PATH, text);
        ++pictureTicket_;
        askPreview(text);
    }
    drives_.setMarked(shown_, true);
}

// The first of the files dropped counts; a drop with no drive shown has
// nowhere to go.
void DriveEditor::onDropFiles(HDROP drop) {
    char path[MAX_PATH] = {};
    const UINT length = DragQueryFileA(drop, 0, path, MAX_PATH);
    DragFinish(drop);
    if (drives_.isListed(shown_) && length > 0 && length < MAX_PATH) {
        useIconFile(path);
    }
}

// An icon file is its first icon; a program or library with one icon gives
// that one, with more the picker opens on it; a picture is made an icon of
// in the lane of the drive it is on, and used when that comes back.
void DriveEditor::useIconFile(const char* path) {
    char location[sizeof DriveRecord::iconLocation];
    if (isPicture(path)) {
        DriveRecord asked = drives_.record(shown_);
        copyText(asked.iconLocation, path);
        ask(answers_, Question::Picture, ++pictureTicket_, asked);
        return;
    }
    const UINT icons = ExtractIconExA(path, -1, nullptr, nullptr, 0);
    if (lstrcmpiA(PathFindExtensionA(path), ".ico") == 0 || icons == 1) {
        formatText(location, "%s,0", path);
    } else {
        char chosen[MAX_PATH];
        int index = 0;
        copyText(chosen, path);
        if (pickIconFile(dialog_, chosen, sizeof chosen, &index) != 1) {
            return;
        }
        formatText(location, "%s,%d", chosen, index);
    }
    setShownLocation(location);
}

void DriveEditor::usePicture(const char* icon, MadeIcon made) {
    if (made != MadeIcon::Made) {
        MessageBoxA(dialog_, madeIconProblem(made), kProductName, MB_ICONERROR | MB_OK);
        return;
    }
    char location[sizeof DriveRecord::iconLocation];
    formatText(location, "%s,0", icon);
    setShownLocation(location);
}

// As if the location had been typed and the field left: shown, previewed
// and, where it differs from the drive's own, the drive marked.
void DriveEditor::setShownLocation(const char* location) {
    fields_.selectOrAddComboText(location, IDC_ICON_PATH);
    takeFields();
}

void DriveEditor::browseForIcon() {
    takeFields();
    if (!drives_.isListed(shown_)) {
        return;
    }
    char path[MAX_PATH] = {};
    int index = 0;
    pickIconFile(dialog_, path, sizeof path, &index);
    SetFocus(GetDlgItem(dialog_, IDC_ICON_PATH));
    if (path[0] != '\0') {
        char location[sizeof DriveRecord::iconLocation];
        formatText(location, "%s,%d", path, index);
        setShownLocation(location);
    }
}

} // namespace kelvarin
