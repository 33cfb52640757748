// Writing the settings of marked drives, and going back to what Windows
// itself shows.
#include "editor/drive_editor.h"

#include "common/product.h"
#include "common/text.h"
#include "common/window.h"
#include "drives/drive_settings.h"
#include "res/resource.h"

#include <shlobj.h>

namespace kelvarin {

namespace {

// A stored value too long for its field was shown as if none were stored:
// the icon field empty, the name field with the shell's name. Unless the
// user gave the field another text, the value stays exactly as stored.
bool writeOrKeep(const DriveRecord& values, const char* subkey) {
    const bool icon = lstrcmpA(subkey, kDefaultIconKey) == 0;
    const char* text = icon ? values.iconLocation : values.label;
    char stored[MAX_PATH];
    const std::size_t capacity = icon ? sizeof values.iconLocation : sizeof values.label;
    if (readSettingsText(values.rootPath[0], subkey, stored, capacity) == StoredText::TooLong &&
        lstrcmpA(text, icon ? "" : values.shellName) == 0) {
        return true;
    }
    return writeSettingsText(values.rootPath[0], subkey, text);
}

// Explorer shows a drive's icon and name from its caches until it is told
// that they changed.
void notifyDriveChanged(const char* rootPath) {
    SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHA, rootPath, nullptr);
}

void notifyIconsChanged() {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

} // namespace

int DriveEditor::showApplyMenu(int menuId) {
    takeFields();
    POINT cursor{};
    GetCursorPos(&cursor);
    unique_hmenu menu(LoadMenuA(moduleOf(dialog_), MAKEINTRESOURCEA(menuId)));
    const HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    if (popup != nullptr) {
        SetForegroundWindow(dialog_);
        TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, dialog_, nullptr);
        // Lets the menu close properly when the user clicks elsewhere.
        PostMessageA(dialog_, WM_NULL, 0, 0);
    }
    return 1;
}

void DriveEditor::applyChanges(char letter, int command) {
    takeFields();

    bool written = false;
    if (command == ID_APPLY_ALL) {
        for (char k = 'A'; k <= 'Z'; ++k) {
            if (!drives_.isMarked(k)) {
                continue;
            }
            // A drive whose writes failed stays marked so the next apply
            // offers it again; declined and written drives are done.
            const ApplyResult result = applyOne(k);
            written = written || result == ApplyResult::Written;
            if (result != ApplyResult::Failed) {
                drives_.setMarked(k, false);
            }
        }
    } else if (command == ID_APPLY_THIS) {
        written = applyOne(letter) == ApplyResult::Written;
    }
    if (written) {
        notifyIconsChanged();
    }
}

DriveEditor::ApplyResult DriveEditor::applyOne(char letter) {
    if (!drives_.isListed(letter)) {
        return ApplyResult::Declined;
    }
    const DriveRecord values = drives_.record(letter);

    char question[128];
    formatText(question, "%c ドライブの情報の変更を適用しますか？", letter);
    if (!confirm(dialog_, question)) {
        return ApplyResult::Declined;
    }
    // Whether the name is a volume label or a stored name depends on the
    // drive's type: a drive that has not answered yet is not written.
    if (!values.answered) {
        reportWriteFailure(letter);
        return ApplyResult::Failed;
    }

    // Both writes are attempted even when the first fails; nothing is rolled
    // back.
    char before[sizeof values.iconLocation];
    const StoredText stored = readSettingsText(letter, kDefaultIconKey, before, sizeof before);
    bool written;
    if (namesItsVolume(values)) {
        written = writeVolumeLabel(letter, values);
    } else {
        written = writeOrKeep(values, kDefaultLabelKey);
    }
    written = writeOrKeep(values, kDefaultIconKey) && written;
    // A name written or emptied decides what the next one is written as.
    DriveRecord record = drives_.record(letter);
    record.storedName = storedRecord(letter).storedName;
    drives_.store(record);
    if (letter == shown_) {
        fields_.showType(record);
    }

    if (!written) {
        reportWriteFailure(letter);
        return ApplyResult::Failed;
    }
    notifyDriveChanged(values.rootPath);
    refreshImages(letter, stored == StoredText::TooLong ? nullptr : before, values.iconLocation);
    return ApplyResult::Written;
}

// Explorer's pictures of the location shown before and of the one shown
// now, each asked in the lane of the drive its file is on.
void DriveEditor::refreshImages(char letter, const char* before, const char* now) {
    DriveRecord asked = drives_.record(letter);
    const bool same = before != nullptr && lstrcmpA(before, now) == 0;
    for (const char* location : {same ? nullptr : before, now}) {
        if (location != nullptr) {
            copyText(asked.iconLocation, location);
            ask(answers_, Question::Refresh, 0, asked);
        }
    }
}

// A volume label is the user's data: it is written only when the name
// differs from the label read from the volume (or last written), so a
// change of the icon alone never touches it. An empty name over a label
// clears it, as typed.
bool DriveEditor::writeVolumeLabel(char letter, const DriveRecord& values) {
    if (lstrcmpA(values.label, values.shellName) == 0) {
        return true;
    }
    if (!SetVolumeLabelA(values.rootPath, values.label)) {
        return false;
    }
    DriveRecord record = drives_.record(letter);
    copyText(record.shellName, values.label);
    drives_.store(record);
    return true;
}

void DriveEditor::reportWriteFailure(char letter) const {
    char message[128];
    formatText(message, "%c ドライブの情報を書き込めませんでした。", letter);
    MessageBoxA(dialog_, message, kProductName, MB_ICONERROR | MB_OK);
}

void DriveEditor::restoreDefaults(char letter) {
    takeFields();
    if (!drives_.isListed(letter)) {
        return;
    }
    DriveRecord record = drives_.record(letter);
    char question[128];
    formatText(question, "%c ドライブのアイコンと名前を既定に戻しますか？", record.rootPath[0]);
    if (!confirm(dialog_, question)) {
        return;
    }
    char before[sizeof record.iconLocation];
    const StoredText storedIcon = readSettingsText(letter, kDefaultIconKey, before, sizeof before);
    const Removal removal = removeDriveSettings(record.rootPath[0]);
    if (removal == Removal::Failed) {
        reportWriteFailure(record.rootPath[0]);
        return;
    }
    // Read again as at start-up: the drive now shows what Windows shows,
    // and any edits of it are gone with its mark. Its own icon is asked for;
    // the type and the shell's name are what it answered before.
    DriveRecord stored = record;
    readStoredSettings(stored);
    copyText(record.iconLocation, stored.iconLocation);
    copyText(record.label, stored.label);
    record.storedName = stored.storedName;
    if (record.answered) {
        settleLabel(record);
    }
    storeRecord(record);
    askIcon(letter);
    drives_.setMarked(letter, false);
    if (letter == shown_) {
        showRecord(drives_.record(letter));
    }
    if (removal == Removal::Removed) {
        notifyDriveChanged(record.rootPath);
        notifyIconsChanged();
        refreshImages(letter, storedIcon == StoredText::TooLong ? nullptr : before, "");
    }
}

} // namespace kelvarin
