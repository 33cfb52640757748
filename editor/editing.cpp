// Showing a drive in the edit fields, tracking what the user changes, and
// the Browse button.
#include "editor/drive_editor.h"

#include "common/text.h"
#include "res/resource.h"
#include "shell/icon_picker.h"

namespace kelvarin {

void DriveEditor::onListClick(HWND /*listView*/) {
    if (shown_ != 0) {
        commitCurrentEdits();
    }
    const char selected = list_.selectedLetter();
    if (selected == 0) {
        return;
    }
    shown_ = selected;
    showRecord(drives_.record(selected));
}

void DriveEditor::onListItemChanged(const NMLISTVIEW& change) {
    const bool becameSelected = (change.uChanged & LVIF_STATE) != 0 &&
                                (change.uNewState & LVIS_SELECTED) != 0 &&
                                (change.uOldState & LVIS_SELECTED) == 0;
    if (becameSelected && list_.letterAt(change.iItem) != shown_) {
        onListClick(nullptr);
    }
}

void DriveEditor::commitCurrentEdits() {
    storeFields(shown_);
}

// Stores the edit fields into the letter's drive. Its icon is asked for
// again only when its location changed, so browsing the drives does not
// reload (and churn) an icon per click; until it comes the old one stays.
void DriveEditor::storeFields(char letter) {
    if (!drives_.isListed(letter)) {
        return;
    }
    DriveRecord record = drives_.record(letter);
    char oldLocation[sizeof record.iconLocation];
    copyText(oldLocation, record.iconLocation);
    fields_.readInto(record);
    storeRecord(record);
    if (lstrcmpA(oldLocation, record.iconLocation) != 0) {
        askIcon(letter);
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

void DriveEditor::onComboSetFocus() {
    const char selected = list_.selectedLetter();
    if (!drives_.isListed(selected)) {
        return;
    }
    const DriveRecord& record = drives_.record(selected);
    FocusSnapshot& snapshot = drives_.snapshot(selected);
    copyText(snapshot.label, record.label);
    copyText(snapshot.iconLocation, record.iconLocation);
    shown_ = selected;
}

void DriveEditor::onComboKillFocus(int comboId) {
    DriveRecord typed{};
    fields_.readInto(typed);
    if (!drives_.isListed(shown_)) {
        return;
    }
    const FocusSnapshot& snapshot = drives_.snapshot(shown_);
    const bool changed = comboId == IDC_ICON_PATH
                             ? lstrcmpA(typed.iconLocation, snapshot.iconLocation) != 0
                             : lstrcmpA(typed.label, snapshot.label) != 0;
    if (changed) {
        drives_.setMarked(shown_, true);
    }
}

void DriveEditor::onComboSelChange(int comboId) {
    const char selected = list_.selectedLetter();
    if (!drives_.isListed(selected)) {
        return;
    }
    if (comboId == IDC_ICON_PATH) {
        char text[sizeof DriveRecord::iconLocation];
        fields_.selection(IDC_ICON_PATH, text);
        shown_ = selected;
        askPreview(text);
    }
    drives_.setMarked(selected, true);
}

void DriveEditor::browseForIcon() {
    const char selected = list_.selectedLetter();
    if (!drives_.isListed(selected)) {
        return;
    }
    DriveRecord record = drives_.record(selected);
    char path[MAX_PATH] = {};
    int index = 0;
    pickIconFile(dialog_, path, sizeof path, &index);

    // Raises the combo box's focus notification, so its snapshot is taken
    // before its text changes below.
    SetFocus(GetDlgItem(dialog_, IDC_ICON_PATH));
    if (path[0] != '\0') {
        formatText(record.iconLocation, "%s,%d", path, index);
        shown_ = selected;
        askPreview(record.iconLocation);
    }
    fields_.selectOrAddComboText(record.iconLocation, IDC_ICON_PATH);
}

} // namespace kelvarin
