// Writing the settings of marked drives, and going back to what Windows
// itself shows.
#include "editor/drive_editor.h"

#include "common/product.h"
#include "common/text.h"
#include "common/window.h"
#include "drives/drive_settings.h"
#include "res/resource.h"

namespace kelvarin {

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

// Each drive is asked about in letter order; the confirmed ones are
// written together by one writer. A declined drive is done with; one whose
// type is not known yet cannot be written (its name may be a volume label)
// and stays marked.
bool DriveEditor::applyChanges(char letter, int command, bool exitAfter) {
    takeFields();
    const bool all = command == ID_APPLY_ALL;
    if (!newJob(all, exitAfter)) {
        return false;
    }
    for (char k = 'A'; k <= 'Z'; ++k) {
        if (!(all ? drives_.isMarked(k) : k == letter)) {
            continue;
        }
        const ApplyResult result = confirmOne(k);
        if (result == ApplyResult::Confirmed) {
            addChange(k, false);
        } else if (result == ApplyResult::Declined && all) {
            drives_.setMarked(k, false);
        }
    }
    if (job_.get()->set.count == 0) {
        job_.reset();
        return false;
    }
    startWrite();
    return true;
}

DriveEditor::ApplyResult DriveEditor::confirmOne(char letter) {
    if (!drives_.isListed(letter)) {
        return ApplyResult::Declined;
    }
    char question[128];
    formatText(question, "%c ドライブの情報の変更を適用しますか？", letter);
    if (!confirm(dialog_, question)) {
        return ApplyResult::Declined;
    }
    if (!drives_.record(letter).answered) {
        reportWriteFailure(letter);
        return ApplyResult::Failed;
    }
    return ApplyResult::Confirmed;
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

void DriveEditor::reportWriteFailure(char letter) const {
    char message[128];
    formatText(message, "%c ドライブの情報を書き込めませんでした。", letter);
    MessageBoxA(dialog_, message, kProductName, MB_ICONERROR | MB_OK);
}

// A letter with nothing stored needs no writer: it only shows what Windows
// shows again.
void DriveEditor::restoreDefaults(char letter) {
    takeFields();
    if (!drives_.isListed(letter) || job_) { // one writer at a time
        return;
    }
    char question[128];
    formatText(question, "%c ドライブのアイコンと名前を既定に戻しますか？", letter);
    if (!confirm(dialog_, question)) {
        return;
    }
    if (!hasStoredSettings(letter)) {
        return restored(letter, nullptr, false);
    }
    if (newJob(false, false)) {
        addChange(letter, true);
        startWrite();
    }
}

} // namespace kelvarin
