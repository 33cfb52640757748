// Drives and letters that come and go while the window is open: volumes
// that arrive or leave, discs put in or taken out, letters the user adds,
// and the shares the user's Explorer remembers or forgets.
#include "editor/drive_editor.h"

#include "common/text.h"
#include "drives/drive_settings.h"
#include "drives/remembered_shares.h"

namespace kelvarin {

// Stores a listed letter's record, or lists it; the type shown follows.
void DriveEditor::putRecord(const DriveRecord& record) {
    const char letter = record.rootPath[0];
    if (drives_.isListed(letter)) {
        storeRecord(record);
    } else {
        listDrive(record);
    }
    if (letter == shown_) {
        fields_.showType(record);
    }
}

void DriveEditor::listDrive(const DriveRecord& record) {
    if (drives_.list(record)) {
        list_.insert(drives_, record);
    }
}

void DriveEditor::removeDrive(char letter) {
    const HICON icon = drives_.record(letter).icon;
    if (!fields_.previewOwned() && fields_.previewIcon() == icon) {
        fields_.setPreview(nullptr, false);
    }
    if (icon != nullptr) {
        DestroyIcon(icon);
    }
    drives_.unlist(letter);
    list_.remove(letter);
}

void DriveEditor::addLetter(char letter) {
    if (letterIndex(letter) < 0 || drives_.isListed(letter)) {
        return;
    }
    DriveRecord record{};
    formatText(record.rootPath, "%c:\\", letter);
    markAbsent(record);
    listDrive(record);
    list_.select(letter);
}

void DriveEditor::onDrivesChanged(DWORD letters, bool arrived, bool media) {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if ((letters >> letterIndex(letter) & 1) == 0) {
            continue;
        }
        if (!media) {
            arrived ? driveArrived(letter) : driveLeft(letter);
        } else if (drives_.record(letter).present && !drives_.record(letter).remembered) {
            ask(answers_, Question::Drive, 0, drives_.record(letter), iconSize_);
        }
    }
}

// Read as at start-up, in the background. A ghosted item's unapplied edits
// and mark stay with the drive; a drive of this session takes the place of
// the share remembered for its letter, and the name the share showed goes
// with it unless the user edited it: the drive's own comes when it answers.
void DriveEditor::driveArrived(char letter) {
    const bool listed = drives_.isListed(letter);
    DriveRecord record = listed ? drives_.record(letter) : storedRecord(letter);
    if (record.present && !record.remembered) {
        return;
    }
    forgetOwnName(record);
    record.present = 1;
    record.remembered = 0;
    record.answered = 0;
    record.typeName[0] = '\0';
    record.shellName[0] = '\0';
    putRecord(record);
    askAboutDrive(letter);
}

// A leaving drive stays listed, ghosted, when it has stored settings or
// unapplied edits, or is the one shown; otherwise its item goes. A drive
// whose share the user's Explorer still remembers becomes that share.
void DriveEditor::driveLeft(char letter) {
    DriveRecord left = drives_.record(letter);
    if (!left.present) {
        return;
    }
    if (!left.remembered && listRemembered(left)) {
        return;
    }
    const bool marked = drives_.isMarked(letter);
    if (!marked && letter != shown_ && !hasStoredSettings(letter)) {
        removeDrive(letter);
        return;
    }
    DriveRecord record = drives_.record(letter);
    forgetOwnName(record);
    markAbsent(record);
    putRecord(record);
    if (record.iconLocation[0] == '\0') {
        askIcon(letter);
    }
}

// A remembered share is listed where no drive of this session has its
// letter, and named again when it is remapped; a forgotten one leaves as a
// drive does.
void DriveEditor::onRememberedSharesChanged() {
    const DWORD remembered = rememberedShares();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const DriveRecord& record = drives_.record(letter);
        const bool now = (remembered >> letterIndex(letter) & 1) != 0;
        if (record.remembered && !now) {
            driveLeft(letter);
            continue;
        }
        DriveRecord again = record;
        const bool remapped = record.remembered && markRemembered(again) &&
                              lstrcmpA(again.shellName, record.shellName) != 0;
        if (now && (!record.present || remapped)) {
            listRemembered(drives_.isListed(letter) ? record : storedRecord(letter));
        }
    }
}

// Shows the share the user's Explorer remembers for the record's letter,
// listing the letter when it is not listed yet; false where none is.
bool DriveEditor::listRemembered(DriveRecord record) {
    const char letter = record.rootPath[0];
    char remote[MAX_PATH];
    if (!rememberedShare(letter, remote)) {
        return false;
    }
    forgetOwnName(record);
    char shown[sizeof record.label];
    copyText(shown, record.label);
    markRemembered(record);
    settleLabel(record);
    replaceShownLabel(letter, shown, record.label);
    putRecord(record);
    askIcon(letter);
    return true;
}

// The name a drive or share gave of its own goes with it, unless the user
// edited it: the stored one takes its place, to be settled again by what
// comes next.
void DriveEditor::forgetOwnName(DriveRecord& record) {
    const DriveRecord stored = storedRecord(record.rootPath[0]);
    DriveRecord was = stored;
    copyText(was.shellName, record.shellName);
    settleLabel(was);
    if (lstrcmpA(record.label, was.label) == 0) {
        replaceShownLabel(record.rootPath[0], record.label, stored.label);
        copyText(record.label, stored.label);
    }
    record.storedName = stored.storedName;
}

} // namespace kelvarin
