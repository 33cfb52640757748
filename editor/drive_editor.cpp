#include "editor/drive_editor.h"

#include "common/product.h"
#include "common/text.h"
#include "common/window.h"
#include "drives/icon_loader.h"
#include "res/resource.h"
#include "shell/icon_picker.h"

#include <shlobj.h>

#include <utility>

namespace kelvarin {

namespace {

constexpr int kIconLocationCapacity = sizeof(DriveRecord::iconLocation);
constexpr int kLabelCapacity = sizeof(DriveRecord::label);
constexpr int kTypeNameCapacity = sizeof(DriveRecord::typeName);

// The dialog class may store a system colour index (COLOR_x + 1) instead of
// a brush; such a value cannot be selected into a device context.
HBRUSH classBackgroundBrush(HWND window) {
    const auto value = static_cast<ULONG_PTR>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
    if (value != 0 && value <= COLOR_MENUBAR + 1) {
        return GetSysColorBrush(static_cast<int>(value - 1));
    }
    return value != 0 ? reinterpret_cast<HBRUSH>(value) : GetSysColorBrush(COLOR_BTNFACE);
}

// Transparent all over: an empty slot of a colour image list draws black.
HICON blankIcon() {
    BYTE transparent[32 * 32 / 8];
    BYTE nothing[32 * 32 / 8] = {};
    FillMemory(transparent, sizeof transparent, 0xFF);
    return CreateIcon(nullptr, 32, 32, 1, 1, transparent, nothing);
}

// A letter's slot in the per-letter arrays and images; -1 for none.
int letterSlot(char letter) {
    return letter >= 'A' && letter < 'A' + kLetterCount ? letter - 'A' : -1;
}

// A letter as the settings key has it, before anything is asked of a drive.
DriveRecord storedRecord(char letter) {
    DriveRecord record{};
    formatText(record.rootPath, "%c:\\", letter);
    readStoredSettings(record);
    return record;
}

HICON loadAppIcon(HWND window, int sizeMetric) {
    const int size = GetSystemMetrics(sizeMetric);
    return static_cast<HICON>(LoadImageA(moduleOf(window), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                         size, size, LR_DEFAULTCOLOR));
}

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

DriveEditor::DriveEditor(HWND dialog, DriveList& drives)
    : dialog_(dialog), listView_(GetDlgItem(dialog, IDC_DRIVE_LIST)), drives_(drives) {
    initialize();
}

DriveEditor::~DriveEditor() {
    destroy();
}

int DriveEditor::initialize() {
    SetWindowTextA(dialog_, kProductName);
    enumerateDrives(drives_, arrays_);

    // The title bar and the task switcher each take the image of their own
    // size; one image scaled for both looks blurred in one of them.
    bigIcon_.reset(loadAppIcon(dialog_, SM_CXICON));
    smallIcon_.reset(loadAppIcon(dialog_, SM_CXSMICON));
    SendMessageA(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageA(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

    unique_himagelist images(
        ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, kNeutralImage + 1, 0));
    if (!images) {
        return 0;
    }
    // A slot per letter, filled when its icon comes, the placeholder and the
    // system's plain drive icon (shell32.dll's ninth).
    ImageList_SetImageCount(images.get(), kNeutralImage + 1);
    const unique_hicon blank(blankIcon());
    const unique_hicon neutral(extractLargeIcon("shell32.dll", 8));
    ImageList_ReplaceIcon(images.get(), kPlaceholderImage, blank.get());
    ImageList_ReplaceIcon(images.get(), kNeutralImage, neutral ? neutral.get() : blank.get());
    // The list view owns the image list from here on.
    SendMessageA(listView_, LVM_SETIMAGELIST, LVSIL_NORMAL,
                 reinterpret_cast<LPARAM>(images.release()));

    const int count = drives_.count();
    for (int i = 0; i < count; ++i) {
        insertItem(i, drives_.at(i));
    }
    // Explorer applies a letter's settings whenever a drive takes it, so the
    // letters that have some and no drive now are listed too.
    const DWORD stored = lettersWithSettings();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if ((stored >> (letter - 'A') & 1) != 0 && drives_.positionOf(letter) < 0) {
            DriveRecord record = storedRecord(letter);
            markAbsent(record);
            insertDrive(record);
        }
    }
    // Posted, not done here: the window shows first. (On Wine a slow drive
    // stalls every process of the prefix while it is asked.)
    answers_ = openAnswers(dialog_, kDriveAnswerMessage);
    PostMessageA(dialog_, kAskDrivesMessage, 0, 0);
    return 1;
}

void DriveEditor::askDrives() {
    // The window is drawn on the screen before any drive is asked.
    RedrawWindow(dialog_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const int count = drives_.count();
    for (int i = 0; i < count; ++i) {
        const DriveRecord record = drives_.at(i);
        if (record.present) {
            askAboutDrive(i);
        } else if (record.iconLocation[0] != '\0') {
            ask(answers_, Question::Icon, 0, record);
        }
    }
}

// Answers are matched by drive letter and by what was asked: an icon for a
// location the drive no longer has, or a preview older than the newest, is
// dropped. What the user typed meanwhile is never overwritten.
void DriveEditor::onAnswer(DriveAnswer* answer) {
    const DriveRecord& answered = answer->record;
    const int position = drives_.positionOf(answered.rootPath[0]);
    if (!isDrive(position) ||
        (answer->question == Question::Drive && !drives_.at(position).present)) {
        return freeAnswer(answer); // gone, or left before it answered
    }
    if (answer->question == Question::Preview) {
        if (answer->ticket == previewTicket_ && position == currentIndex_) {
            setPreview(std::exchange(answer->record.icon, nullptr), true);
            repaintPreview();
        }
        return freeAnswer(answer);
    }
    DriveRecord record = drives_.at(position);
    const bool current = position == currentIndex_;
    if (answer->question == Question::Drive) {
        copyText(record.typeName, answered.typeName);
        copyText(record.shellName, answered.shellName);
        record.answered = 1;
        char asStored[kLabelCapacity];
        readSettingsText(record.rootPath[0], kDefaultLabelKey, asStored, sizeof asStored);
        const bool typed = lstrcmpA(record.label, asStored) != 0 ||
                           (current && !fieldShows(IDC_LABEL, record.label));
        if (!typed) {
            char shown[kLabelCapacity];
            copyText(shown, record.label);
            settleLabel(record);
            replaceShownLabel(position, shown, record.label);
        }
        if (current) {
            SetDlgItemTextA(dialog_, IDC_TYPE_NAME, record.typeName);
        }
    }
    if (lstrcmpA(answered.iconLocation, record.iconLocation) == 0) {
        record.icon = std::exchange(answer->record.icon, nullptr);
    }
    storeRecord(position, record);
    freeAnswer(answer);
}

void DriveEditor::destroy() {
    for (UINT_PTR slot = 0; slot < kLetterCount; ++slot) {
        KillTimer(dialog_, kSilenceTimer + slot);
    }
    closeAnswers(answers_);
    answers_ = nullptr;
    arrays_.dirtyFlags.reset();
    arrays_.snapshots.reset();
    setPreview(nullptr, false);
    if (bigIcon_ || smallIcon_) {
        SendMessageA(dialog_, WM_SETICON, ICON_BIG, 0);
        SendMessageA(dialog_, WM_SETICON, ICON_SMALL, 0);
        bigIcon_.reset();
        smallIcon_.reset();
    }
}

bool DriveEditor::isDrive(int position) const {
    return slotAt(position) >= 0;
}

// The drive's entry in the per-letter arrays; -1 when there is none.
int DriveEditor::slotAt(int position) const {
    if (position < 0 || position >= drives_.count()) {
        return -1;
    }
    const int slot = letterSlot(drives_.at(position).rootPath[0]);
    const bool inArrays = slot >= 0 && static_cast<std::size_t>(slot) < arrays_.dirtyFlags.size() &&
                          static_cast<std::size_t>(slot) < arrays_.snapshots.size();
    return inArrays ? slot : -1;
}

void DriveEditor::readControlText(int controlId, char* buffer, int capacity) const {
    buffer[0] = '\0';
    GetDlgItemTextA(dialog_, controlId, buffer, capacity);
    // A text cut to the buffer must not end in half a character.
    terminateText(buffer, static_cast<std::size_t>(capacity));
}

void DriveEditor::setPreview(HICON icon, bool owned) {
    if (previewOwned_ && previewIcon_ != nullptr) {
        DestroyIcon(previewIcon_);
    }
    previewIcon_ = icon;
    previewOwned_ = owned;
}

void DriveEditor::repaintPreview() const {
    InvalidateRect(dialog_, nullptr, FALSE);
}

// The icon of a location chosen for the shown drive, loaded off the
// window's thread; until it comes the preview keeps what it shows.
void DriveEditor::askPreview(const char* location) {
    DriveRecord asked = drives_.at(currentIndex_);
    copyText(asked.iconLocation, location);
    ask(answers_, Question::Preview, ++previewTicket_, asked);
}

bool DriveEditor::fieldShows(int controlId, const char* text) const {
    char shown[kIconLocationCapacity];
    readControlText(controlId, shown, sizeof shown);
    return lstrcmpA(shown, text) == 0;
}

// The icon of the drive's location, asked for; a letter without a drive and
// without a location has none, and shows the neutral image.
void DriveEditor::askIcon(int position) {
    DriveRecord record = drives_.at(position);
    if (record.present || record.iconLocation[0] != '\0') {
        ask(answers_, Question::Icon, 0, record);
        return;
    }
    record.icon = nullptr;
    storeRecord(position, record);
}

// A name the program (not the user) puts in place of the shown one: the box
// and the snapshot the focus took move along, so it marks nothing.
void DriveEditor::replaceShownLabel(int position, const char* shown, const char* label) {
    if (position != currentIndex_ || !fieldShows(IDC_LABEL, shown)) {
        return;
    }
    selectOrAddComboText(label, IDC_LABEL);
    DriveRecord& snapshot = snapshotOf(position);
    if (lstrcmpA(snapshot.label, shown) == 0) {
        copyText(snapshot.label, label);
    }
}

// Lists a record (copied to the heap) at its letter's place; its position,
// -1 when it could not be had. The shown drive keeps its place in the list.
int DriveEditor::insertDrive(const DriveRecord& record) {
    auto* stored = static_cast<DriveRecord*>(HeapAlloc(GetProcessHeap(), 0, sizeof(DriveRecord)));
    if (stored == nullptr) {
        return -1;
    }
    *stored = record;
    const int position = drives_.insert(stored);
    insertItem(position, record);
    if (currentIndex_ >= position) {
        ++currentIndex_;
    }
    if (isDrive(position)) {
        markOf(position) = 0;
    }
    return position;
}

// A drive's list item, waiting for its icon: the placeholder, or the neutral
// image and ghosted for a letter with no drive.
void DriveEditor::insertItem(int position, const DriveRecord& record) {
    char text[sizeof record.rootPath];
    copyText(text, record.rootPath);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
    item.iItem = position;
    item.pszText = text;
    item.iImage = record.present ? kPlaceholderImage : kNeutralImage;
    item.stateMask = LVIS_CUT;
    item.state = record.present ? 0 : LVIS_CUT;
    SendMessageA(listView_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void DriveEditor::removeDrive(int position) {
    const DriveRecord record = drives_.at(position);
    if (!previewOwned_ && previewIcon_ == record.icon) {
        setPreview(nullptr, false);
    }
    if (record.icon != nullptr) {
        DestroyIcon(record.icon);
    }
    drives_.remove(position);
    SendMessageA(listView_, LVM_DELETEITEM, static_cast<WPARAM>(position), 0);
    if (currentIndex_ > position) {
        --currentIndex_;
    }
}

DWORD DriveEditor::listedLetters() const {
    DWORD letters = 0;
    const int count = drives_.count();
    for (int i = 0; i < count; ++i) {
        const int slot = letterSlot(drives_.at(i).rootPath[0]);
        letters |= slot >= 0 ? 1u << slot : 0;
    }
    return letters;
}

void DriveEditor::addLetter(char letter) {
    if (letter < 'A' || letter > 'Z' || drives_.positionOf(letter) >= 0) {
        return;
    }
    DriveRecord record{};
    formatText(record.rootPath, "%c:\\", letter);
    markAbsent(record);
    const int position = insertDrive(record);
    if (position < 0) {
        return;
    }
    // Selecting it shows it, as a click would.
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(listView_, LVM_SETITEMSTATE, static_cast<WPARAM>(position),
                 reinterpret_cast<LPARAM>(&state));
    SendMessageA(listView_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(position), FALSE);
}

void DriveEditor::onDrivesChanged(DWORD letters, bool arrived, bool media) {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if ((letters >> (letter - 'A') & 1) == 0) {
            continue;
        }
        const int position = drives_.positionOf(letter);
        if (!media) {
            arrived ? driveArrived(letter) : driveLeft(letter);
        } else if (position >= 0 && drives_.at(position).present) {
            ask(answers_, Question::Drive, 0, drives_.at(position));
        }
    }
}

// Read as at start-up, in the background. A ghosted item's unapplied edits
// and mark stay with the drive.
void DriveEditor::driveArrived(char letter) {
    int position = drives_.positionOf(letter);
    DriveRecord record{};
    if (position >= 0) {
        record = drives_.at(position);
        if (record.present) {
            return;
        }
    } else {
        record = storedRecord(letter);
    }
    record.present = 1;
    record.answered = 0;
    record.typeName[0] = '\0';
    record.shellName[0] = '\0';
    if (position >= 0) {
        storeRecord(position, record);
    } else {
        position = insertDrive(record);
    }
    if (position >= 0) {
        if (position == currentIndex_) {
            SetDlgItemTextA(dialog_, IDC_TYPE_NAME, record.typeName);
        }
        askAboutDrive(position);
    }
}

// A drive still silent when its time is up is told as such, so the user
// sees that it is the drive (a share whose server is away), not Kelvarin.
void DriveEditor::askAboutDrive(int position) {
    const DriveRecord record = drives_.at(position);
    ask(answers_, Question::Drive, 0, record);
    const int slot = letterSlot(record.rootPath[0]);
    if (slot >= 0) {
        SetTimer(dialog_, kSilenceTimer + static_cast<UINT_PTR>(slot), kSilenceMs, nullptr);
    }
}

void DriveEditor::onTimer(UINT_PTR timer) {
    if (timer < kSilenceTimer || timer >= kSilenceTimer + kLetterCount) {
        return;
    }
    KillTimer(dialog_, timer);
    const int position = drives_.positionOf(static_cast<char>('A' + (timer - kSilenceTimer)));
    if (position < 0) {
        return;
    }
    DriveRecord record = drives_.at(position);
    if (!markSilent(record)) {
        return;
    }
    storeRecord(position, record);
    if (position == currentIndex_) {
        SetDlgItemTextA(dialog_, IDC_TYPE_NAME, record.typeName);
    }
}

// A leaving drive stays listed, ghosted, when it has stored settings or
// unapplied edits, or is the one shown; otherwise its item goes.
void DriveEditor::driveLeft(char letter) {
    const int position = drives_.positionOf(letter);
    if (!isDrive(position) || !drives_.at(position).present) {
        return;
    }
    const bool marked = markOf(position) != 0;
    if (!marked && position != currentIndex_ && !hasStoredSettings(letter)) {
        removeDrive(position);
        return;
    }
    DriveRecord record = drives_.at(position);
    markAbsent(record);
    if (!marked) { // what the drive itself showed goes with it
        char stored[kLabelCapacity];
        readSettingsText(letter, kDefaultLabelKey, stored, sizeof stored);
        replaceShownLabel(position, record.label, stored);
        copyText(record.label, stored);
    }
    storeRecord(position, record);
    if (position == currentIndex_) {
        SetDlgItemTextA(dialog_, IDC_TYPE_NAME, record.typeName);
    }
    if (record.iconLocation[0] == '\0') {
        askIcon(position);
    }
}

void DriveEditor::onListClick(HWND /*listView*/) {
    if (currentIndex_ != -1) {
        commitCurrentEdits();
    }
    const int selected = selectedListItem(listView_);
    if (selected < 0) {
        return;
    }
    currentIndex_ = selected;
    showRecord(drives_.at(selected));
}

void DriveEditor::onListItemChanged(const NMLISTVIEW& change) {
    const bool becameSelected = (change.uChanged & LVIF_STATE) != 0 &&
                                (change.uNewState & LVIS_SELECTED) != 0 &&
                                (change.uOldState & LVIS_SELECTED) == 0;
    if (becameSelected && change.iItem != currentIndex_) {
        onListClick(listView_);
    }
}

void DriveEditor::commitCurrentEdits() {
    storeFields(currentIndex_);
}

// Stores the edit fields into the drive at position. Its icon is asked for
// again only when its location changed, so browsing the drives does not
// reload (and churn) an icon per click; until it comes the old one stays.
void DriveEditor::storeFields(int position) {
    if (position < 0 || position >= drives_.count()) {
        return;
    }
    DriveRecord record = drives_.at(position);
    char oldLocation[kIconLocationCapacity];
    copyText(oldLocation, record.iconLocation);
    readControlText(IDC_ICON_PATH, record.iconLocation, kIconLocationCapacity);
    readControlText(IDC_LABEL, record.label, kLabelCapacity);
    readControlText(IDC_TYPE_NAME, record.typeName, kTypeNameCapacity);
    storeRecord(position, record);
    if (lstrcmpA(oldLocation, record.iconLocation) != 0) {
        askIcon(position);
    }
}

// Stores a record back and shows it in its item: its own image once it has
// an icon, ghosted while no drive has its letter. When it brings a new icon,
// the preview moves on to it where it shows this drive or was borrowing the
// old icon; the old one is released and never drawn again.
void DriveEditor::storeRecord(int position, const DriveRecord& record) {
    const DriveRecord old = drives_.at(position);
    const HICON oldIcon = old.icon;
    drives_.storeBack(position, record);
    // A commit of the fields (every drive switch) changes none of them.
    if (record.icon == oldIcon && record.present == old.present &&
        isSilent(record) == isSilent(old)) {
        return;
    }
    const auto images =
        reinterpret_cast<HIMAGELIST>(SendMessageA(listView_, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    const int slot = letterSlot(record.rootPath[0]);
    const bool ownImage = record.icon != nullptr && slot >= 0;
    if (ownImage && record.icon != oldIcon) {
        ImageList_ReplaceIcon(images, slot, record.icon);
    }
    LVITEMA item{};
    item.mask = LVIF_IMAGE | LVIF_STATE;
    item.iItem = position;
    // A drive that does not answer shows the plain drive image rather than
    // a blank that looks like Kelvarin is still busy.
    const bool waiting = record.present && !isSilent(record);
    item.iImage = ownImage ? slot : waiting ? kPlaceholderImage : kNeutralImage;
    item.stateMask = LVIS_CUT;
    item.state = record.present ? 0 : LVIS_CUT;
    SendMessageA(listView_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    SendMessageA(listView_, LVM_REDRAWITEMS, static_cast<WPARAM>(position), position);
    if (record.icon == oldIcon) {
        return;
    }
    // The preview shows the icon of the location in the icon box.
    const bool shown = position == currentIndex_ && fieldShows(IDC_ICON_PATH, record.iconLocation);
    if (shown || (oldIcon != nullptr && !previewOwned_ && previewIcon_ == oldIcon)) {
        ++previewTicket_;
        setPreview(record.icon, false);
        repaintPreview();
    }
    if (oldIcon != nullptr) {
        DestroyIcon(oldIcon);
    }
}

void DriveEditor::showRecord(const DriveRecord& record) {
    ++previewTicket_;
    selectOrAddComboText(record.iconLocation, IDC_ICON_PATH);
    selectOrAddComboText(record.label, IDC_LABEL);
    SetDlgItemTextA(dialog_, IDC_TYPE_NAME, record.typeName);
    setPreview(record.icon, false);
    repaintPreview();
}

int DriveEditor::selectOrAddComboText(const char* text, int comboId) {
    const HWND combo = GetDlgItem(dialog_, comboId);
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char item[kIconLocationCapacity];
        comboItemText(combo, i, item, sizeof item);
        if (lstrcmpA(item, text) == 0) {
            SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            return -1;
        }
    }
    const LRESULT added = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (added < 0) {
        return 0;
    }
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(added), 0);
    return static_cast<int>(added);
}

void DriveEditor::paintPreview(HDC deviceContext) {
    const HGDIOBJ oldBrush = SelectObject(deviceContext, classBackgroundBrush(dialog_));
    Rectangle(deviceContext, 0, 0, 32, 32);
    SelectObject(deviceContext, oldBrush);
    if (previewIcon_ != nullptr) {
        DrawIcon(deviceContext, 0, 0, previewIcon_);
    }
}

void DriveEditor::onComboSetFocus() {
    const int selected = selectedListItem(listView_);
    if (!isDrive(selected)) {
        return;
    }
    const DriveRecord record = drives_.at(selected);
    DriveRecord& snapshot = snapshotOf(selected);
    copyText(snapshot.label, record.label);
    copyText(snapshot.iconLocation, record.iconLocation);
    currentIndex_ = selected;
}

void DriveEditor::onComboKillFocus(int comboId) {
    char iconLocation[kIconLocationCapacity];
    char label[kLabelCapacity];
    readControlText(IDC_ICON_PATH, iconLocation, kIconLocationCapacity);
    readControlText(IDC_LABEL, label, kLabelCapacity);
    if (!isDrive(currentIndex_)) {
        return;
    }
    const DriveRecord& snapshot = snapshotOf(currentIndex_);
    const bool changed = comboId == IDC_ICON_PATH
                             ? lstrcmpA(iconLocation, snapshot.iconLocation) != 0
                             : lstrcmpA(label, snapshot.label) != 0;
    if (changed) {
        markOf(currentIndex_) = 1;
    }
}

void DriveEditor::onComboSelChange(int comboId) {
    const int selected = selectedListItem(listView_);
    if (!isDrive(selected)) {
        return;
    }
    if (comboId == IDC_ICON_PATH) {
        const HWND combo = GetDlgItem(dialog_, IDC_ICON_PATH);
        char text[kIconLocationCapacity];
        comboItemText(combo, static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0)), text,
                      sizeof text);
        currentIndex_ = selected;
        askPreview(text);
    }
    markOf(selected) = 1;
}

int DriveEditor::showApplyMenu(int menuId) {
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

void DriveEditor::applyChanges(int position, int command) {
    // The fields belong to the selected drive, or, with none selected (a
    // click on empty space), still to the drive they show; a marked drive's
    // fields are what gets written.
    const int selected = selectedListItem(listView_);
    const int shown = selected >= 0 ? selected : currentIndex_;
    if (isDrive(shown) && markOf(shown) == 1) {
        storeFields(shown);
    }

    bool written = false;
    if (command == ID_APPLY_ALL) {
        const int count = drives_.count();
        for (int k = 0; k < count && isDrive(k); ++k) {
            if (markOf(k) != 1) {
                continue;
            }
            // A drive whose writes failed stays marked so the next apply
            // offers it again; declined and written drives are done.
            const ApplyResult result = applyOne(k);
            written = written || result == ApplyResult::Written;
            if (result != ApplyResult::Failed) {
                markOf(k) = 0;
            }
        }
    } else if (command == ID_APPLY_THIS) {
        written = applyOne(position) == ApplyResult::Written;
    }
    if (written) {
        notifyIconsChanged();
    }
}

DriveEditor::ApplyResult DriveEditor::applyOne(int position) {
    if (!isDrive(position)) {
        return ApplyResult::Declined;
    }
    const DriveRecord values = drives_.at(position);
    const char letter = values.rootPath[0];

    char question[128];
    formatText(question, "%c ドライブの情報の変更を適用しますか？", letter);
    if (!confirm(dialog_, question)) {
        return ApplyResult::Declined;
    }
    commitCurrentEdits();
    // Whether the name is a volume label or a stored name depends on the
    // drive's type: a drive that has not answered yet is not written.
    if (!values.answered) {
        reportWriteFailure(letter);
        return ApplyResult::Failed;
    }

    // Both writes are attempted even when the first fails; nothing is rolled
    // back.
    bool written;
    if (isFixedDisk(values)) {
        written = SetVolumeLabelA(values.rootPath, values.label) != FALSE;
    } else {
        written = writeOrKeep(values, kDefaultLabelKey);
    }
    written = writeOrKeep(values, kDefaultIconKey) && written;

    if (!written) {
        reportWriteFailure(letter);
        return ApplyResult::Failed;
    }
    notifyDriveChanged(values.rootPath);
    return ApplyResult::Written;
}

void DriveEditor::reportWriteFailure(char letter) const {
    char message[128];
    formatText(message, "%c ドライブの情報を書き込めませんでした。", letter);
    MessageBoxA(dialog_, message, kProductName, MB_ICONERROR | MB_OK);
}

void DriveEditor::restoreDefaults(int position) {
    if (!isDrive(position)) {
        return;
    }
    DriveRecord record = drives_.at(position);
    char question[128];
    formatText(question, "%c ドライブのアイコンと名前を既定に戻しますか？", record.rootPath[0]);
    if (!confirm(dialog_, question)) {
        return;
    }
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
    if (record.answered) {
        settleLabel(record);
    }
    storeRecord(position, record);
    askIcon(position);
    markOf(position) = 0;
    if (position == currentIndex_) {
        showRecord(record);
    }
    if (removal == Removal::Removed) {
        notifyDriveChanged(record.rootPath);
        notifyIconsChanged();
    }
}

void DriveEditor::browseForIcon() {
    const int selected = selectedListItem(listView_);
    if (!isDrive(selected)) {
        return;
    }
    DriveRecord record = drives_.at(selected);
    char path[MAX_PATH] = {};
    int index = 0;
    pickIconFile(dialog_, path, sizeof path, &index);

    // Raises the combo box's focus notification, so its snapshot is taken
    // before its text changes below.
    SetFocus(GetDlgItem(dialog_, IDC_ICON_PATH));
    if (path[0] != '\0') {
        formatText(record.iconLocation, "%s,%d", path, index);
        currentIndex_ = selected;
        askPreview(record.iconLocation);
    }
    selectOrAddComboText(record.iconLocation, IDC_ICON_PATH);
}

} // namespace kelvarin
