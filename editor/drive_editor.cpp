#include "editor/drive_editor.h"

#include "common/product.h"
#include "common/dpi.h"
#include "common/platform.h"
#include "common/text.h"
#include "common/window.h"
#include "drives/drive_settings.h"
#include "editor/large_preview_dialog.h"
#include "res/resource.h"

#include <utility>

namespace kelvarin {

namespace {

HICON loadAppIcon(HWND window, int size) {
    return static_cast<HICON>(LoadImageA(moduleOf(window), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                         size, size, LR_DEFAULTCOLOR));
}

} // namespace

DriveEditor::DriveEditor(HWND dialog, DriveTable& drives)
    : dialog_(dialog), drives_(drives), list_(GetDlgItem(dialog, IDC_DRIVE_LIST)), fields_(dialog) {
    initialize();
}

DriveEditor::~DriveEditor() {
    destroy();
}

int DriveEditor::initialize() {
    SetWindowTextA(dialog_, kProductName);
    const DWORD stored = lettersWithSettings();
    enumerateDrives(drives_, GetLogicalDriveStringsA, stored);

    const UINT dpi = windowDpi(dialog_);
    dpi_ = dpi;
    iconSize_ = largeIconSize(dpi);
    fields_.setIconSize(iconSize_);
    if (!list_.createImages(iconSize_)) {
        return 0;
    }
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (drives_.isListed(letter)) {
            list_.insert(drives_, drives_.record(letter), false);
        }
    }
    list_.arrange();
    // A share the user's Explorer remembers, where this session has no drive
    // (an elevated program's session has none of the user's), is listed as
    // that share.
    const DWORD remembered = rememberedShares();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if ((remembered >> letterIndex(letter) & 1) == 0 || drives_.isListed(letter)) {
            continue;
        }
        DriveRecord record = storedRecord(letter);
        if (markRemembered(record)) {
            settleLabel(record);
            listDrive(record);
        }
    }
    // Explorer applies a letter's settings whenever a drive takes it, so the
    // letters that have some and no drive now are listed too.
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if ((stored >> letterIndex(letter) & 1) != 0 && !drives_.isListed(letter)) {
            DriveRecord record = storedRecord(letter);
            markAbsent(record);
            listDrive(record);
        }
    }
    answers_ = openAnswers(dialog_, kDriveAnswerMessage);
    acceptDroppedFiles(dialog_);
    // The buttons that write say so where writing asks for rights.
    if (writesNeedElevation()) {
        for (int id : {IDC_APPLY, IDC_OK}) {
            SendDlgItemMessageA(dialog_, id, BCM_SETSHIELD, 0, TRUE);
        }
    }
    return 1;
}

// Not asked from initialize: a dialog box is shown only once its queue is
// empty, so a message posted there would start every drive's worker before
// the window is on the screen.
void DriveEditor::onShown() {
    if (!askPosted_) {
        askPosted_ = true;
        PostMessageA(dialog_, kAskDrivesMessage, 0, 0);
    }
}

// The title bar's icons and the plain drive image are loaded once the window
// is up: nothing shows them sooner.
void DriveEditor::askDrives() {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const DriveRecord& record = drives_.record(letter);
        if (record.present && !record.remembered) {
            askAboutDrive(letter);
        } else if (record.remembered || record.iconLocation[0] != '\0') {
            ask(answers_, Question::Icon, 0, record, iconSize_);
        }
    }
    shareWatch_.reset(watchRememberedShares(dialog_, kSharesChangedMessage));
    setWindowIcons(dpi_);
    list_.showNeutralImage();
}

void DriveEditor::destroy() {
    for (UINT_PTR slot = 0; slot < kLetterCount; ++slot) {
        KillTimer(dialog_, kSilenceTimer + slot);
    }
    shareWatch_.reset();
    closeAnswers(answers_);
    answers_ = nullptr;
    fields_.setPreview(nullptr, false);
    if (bigIcon_ || smallIcon_) {
        SendMessageA(dialog_, WM_SETICON, ICON_BIG, 0);
        SendMessageA(dialog_, WM_SETICON, ICON_SMALL, 0);
        bigIcon_.reset();
        smallIcon_.reset();
    }
}

// A drive still silent when its time is up is told as such, so the user
// sees that it is the drive (a share whose server is away), not Kelvarin.
void DriveEditor::askAboutDrive(char letter) {
    ask(answers_, Question::Drive, 0, drives_.record(letter), iconSize_);
    SetTimer(dialog_, kSilenceTimer + static_cast<UINT_PTR>(letterIndex(letter)), kSilenceMs,
             nullptr);
}

void DriveEditor::onTimer(UINT_PTR timer) {
    if (timer < kSilenceTimer || timer >= kSilenceTimer + kLetterCount) {
        return;
    }
    KillTimer(dialog_, timer);
    const char letter = static_cast<char>('A' + (timer - kSilenceTimer));
    DriveRecord record = drives_.record(letter);
    if (!drives_.isListed(letter) || !markSilent(record)) {
        return;
    }
    storeRecord(record);
    if (letter == shown_) {
        fields_.showType(record);
    }
}

// Answers are matched by drive letter and by what was asked: an icon for a
// location the drive no longer has, or a preview older than the newest, is
// dropped. What the user typed meanwhile is never overwritten.
void DriveEditor::onAnswer(DriveAnswer* answer) {
    const DriveRecord& answered = answer->record;
    const char letter = answered.rootPath[0];
    const DriveRecord& now = drives_.record(letter);
    if (!drives_.isListed(letter) ||
        (answer->question == Question::Drive && (!now.present || now.remembered))) {
        return freeAnswer(answer); // gone, or left before it answered
    }
    // An icon of another size was asked before the window moved to a screen
    // of another DPI; the one of the new size is on its way.
    if (answered.iconSize != iconSize_) {
        DestroyIcon(std::exchange(answer->record.icon, nullptr));
    }
    const bool current = answer->ticket == fields_.ticket() && letter == shown_;
    if (answer->question == Question::Preview && current && answered.icon != nullptr) {
        fields_.setPreview(std::exchange(answer->record.icon, nullptr), true);
        fields_.setSizes(answer->sizes, answer->ownFrames);
        fields_.showNote(noteText(answer->note));
    }
    if (answer->question == Question::Picture && letter == shown_ &&
        answer->ticket == pictureTicket_) {
        usePicture(answer->record.iconLocation, answer->made);
    }
    if (answer->question == Question::Large && current && answered.icon != nullptr) {
        showLargePreview(dialog_, answered.icon, explorerSize(kExtraLargeSize, iconSize_));
    }
    if (answer->question != Question::Drive && answer->question != Question::Icon) {
        return freeAnswer(answer);
    }
    DriveRecord record = drives_.record(letter);
    if (answer->question == Question::Drive) {
        settleAnswer(record, answered);
    }
    if (lstrcmpA(answered.iconLocation, record.iconLocation) == 0 && answered.icon != nullptr) {
        record.icon = std::exchange(answer->record.icon, nullptr);
    }
    storeRecord(record);
    freeAnswer(answer);
}

// The title bar and the task switcher each take the image of their own
// size; one image scaled for both looks blurred in one of them.
void DriveEditor::setWindowIcons(UINT dpi) {
    unique_hicon big(loadAppIcon(dialog_, largeIconSize(dpi)));
    unique_hicon small(loadAppIcon(dialog_, systemMetric(SM_CXSMICON, dpi)));
    SendMessageA(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    SendMessageA(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    bigIcon_ = std::move(big);
    smallIcon_ = std::move(small);
}

// Moved to a screen of another DPI: the dialog manager lays the window and
// its controls out for it (the window procedure leaves the message to it);
// the title bar's icons and every image are made again at the new size,
// the images in the background; until they come, the old ones are shown
// scaled.
INT_PTR DriveEditor::onDpiChanged(UINT dpi, const RECT& suggested) {
    const bool relaid = !systemRelaysDialogs() && dpi != dpi_;
    if (relaid) {
        font_.reset(relayForDpi(dialog_, dpi_, dpi, suggested));
    }
    dpi_ = dpi;
    setWindowIcons(dpi);
    const int size = largeIconSize(dpi);
    if (size == iconSize_ || !list_.createImages(size)) {
        return relaid;
    }
    list_.showNeutralImage();
    iconSize_ = size;
    fields_.setIconSize(size);
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (drives_.isListed(letter)) {
            list_.show(drives_.record(letter), true);
            askIcon(letter);
        }
    }
    if (shown_ != 0) {
        askPreview(drives_.record(shown_).iconLocation);
    }
    return relaid;
}

// The type and the shell's name as the drive told them; its name settles
// (a fixed disk's volume label) only where the user typed nothing.
void DriveEditor::settleAnswer(DriveRecord& record, const DriveRecord& answered) {
    const char letter = record.rootPath[0];
    const bool current = letter == shown_;
    copyText(record.typeName, answered.typeName);
    copyText(record.shellName, answered.shellName);
    record.answered = 1;
    char asStored[sizeof(DriveRecord::label)];
    readSettingsText(letter, kDefaultLabelKey, asStored, sizeof asStored);
    const bool typed = lstrcmpA(record.label, asStored) != 0 ||
                       (current && !fields_.shows(IDC_LABEL, record.label));
    if (!typed) {
        char shown[sizeof(DriveRecord::label)];
        copyText(shown, record.label);
        settleLabel(record);
        replaceShownLabel(letter, shown, record.label);
    }
    if (current) {
        fields_.showType(record);
    }
}

// The icon of a location chosen for the shown drive, loaded off the
// window's thread; until it comes the preview keeps what it shows.
void DriveEditor::askPreview(const char* location) {
    if (!drives_.isListed(shown_)) {
        return;
    }
    DriveRecord asked = drives_.record(shown_);
    copyText(asked.iconLocation, location);
    ask(answers_, Question::Preview, fields_.nextTicket(), asked, iconSize_);
}

// The icon of the drive's location, asked for; a letter without a drive and
// without a location has none, and shows the neutral image.
void DriveEditor::askIcon(char letter) {
    DriveRecord record = drives_.record(letter);
    if (record.present || record.iconLocation[0] != '\0') {
        ask(answers_, Question::Icon, 0, record, iconSize_);
        return;
    }
    record.icon = nullptr;
    storeRecord(record);
}

// A name the program (not the user) puts in place of the shown one: the box
// moves along with the record, so it marks nothing; a name the user typed
// there stays.
void DriveEditor::replaceShownLabel(char letter, const char* shown, const char* label) {
    if (letter == shown_ && fields_.shows(IDC_LABEL, shown)) {
        fields_.selectOrAddComboText(label, IDC_LABEL);
    }
}

// Stores a record back and shows it in its item. When it brings a new icon,
// the preview moves on to it where it shows this drive or was borrowing the
// old icon; the old one is released and never drawn again.
void DriveEditor::storeRecord(const DriveRecord& record) {
    const DriveRecord old = drives_.record(record.rootPath[0]);
    drives_.store(record);
    // A commit of the fields (every drive switch) changes none of them.
    if (record.icon == old.icon && record.present == old.present &&
        isSilent(record) == isSilent(old)) {
        return;
    }
    list_.show(record, record.icon != old.icon);
    if (record.icon == old.icon) {
        return;
    }
    // The preview shows the icon of the location in the icon box, and at
    // Explorer's sizes once they come.
    const bool shown =
        record.rootPath[0] == shown_ && fields_.shows(IDC_ICON_PATH, record.iconLocation);
    if (shown ||
        (old.icon != nullptr && !fields_.previewOwned() && fields_.previewIcon() == old.icon)) {
        fields_.setPreview(record.icon, false);
        askPreview(record.iconLocation);
    }
    if (old.icon != nullptr) {
        DestroyIcon(old.icon);
    }
}

} // namespace kelvarin
