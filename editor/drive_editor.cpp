#include "editor/drive_editor.h"

#include "app/product.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "drives/icon_loader.h"
#include "res/resource.h"
#include "shell/icon_picker.h"

namespace kelvarin {

namespace {

constexpr int kIconLocationCapacity = sizeof(DriveRecord::iconLocation);
constexpr int kLabelCapacity = sizeof(DriveRecord::label);
constexpr int kTypeNameCapacity = sizeof(DriveRecord::typeName);

HINSTANCE moduleOf(HWND window) {
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

// The dialog class may store a system colour index (COLOR_x + 1) instead of
// a brush; such a value cannot be selected into a device context.
HBRUSH classBackgroundBrush(HWND window) {
    const auto value = static_cast<ULONG_PTR>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
    if (value != 0 && value <= COLOR_MENUBAR + 1) {
        return GetSysColorBrush(static_cast<int>(value - 1));
    }
    return value != 0 ? reinterpret_cast<HBRUSH>(value) : GetSysColorBrush(COLOR_BTNFACE);
}

} // namespace

DriveEditor::DriveEditor(HWND dialog, DriveList& drives)
    : dialog_(dialog), listView_(GetDlgItem(dialog, IDC_DRIVE_LIST)), drives_(drives) {
    initialize();
}

DriveEditor::~DriveEditor() { releasePreview(); }

int DriveEditor::initialize() {
    SetWindowTextA(dialog_, kProductName);
    enumerateDrives(drives_, arrays_);

    // The caption and the task switcher take the small image of the icon.
    HICON appIcon = static_cast<HICON>(LoadImageA(moduleOf(dialog_), MAKEINTRESOURCEA(IDI_APP),
                                                  IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    SendMessageA(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon));

    const int count = drives_.count();
    if (count == 0) {
        return 0;
    }
    unique_himagelist images(ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, count, 0));
    if (!images) {
        return 0;
    }
    // Every drive gets its slot up front, so a drive whose icon could not be
    // loaded keeps a blank image instead of shifting the following ones.
    ImageList_SetImageCount(images.get(), static_cast<UINT>(count));
    for (int i = 0; i < count; ++i) {
        const DriveRecord record = drives_.at(i);
        if (record.icon != nullptr) {
            ImageList_ReplaceIcon(images.get(), i, record.icon);
        }
    }
    // The list view owns the image list from here on.
    SendMessageA(listView_, LVM_SETIMAGELIST, LVSIL_NORMAL,
                 reinterpret_cast<LPARAM>(images.release()));

    for (int i = 0; i < count; ++i) {
        DriveRecord record = drives_.at(i);
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = record.rootPath;
        item.iImage = i;
        SendMessageA(listView_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    return 1;
}

void DriveEditor::destroy() {
    arrays_.dirtyFlags.reset();
    arrays_.snapshots.reset();
    releasePreview();
}

bool DriveEditor::isDrive(int position) const {
    return position >= 0 && static_cast<std::size_t>(position) < arrays_.dirtyFlags.size() &&
           static_cast<std::size_t>(position) < arrays_.snapshots.size();
}

int DriveEditor::selectedDrive() const {
    return static_cast<int>(SendMessageA(listView_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                         MAKELPARAM(LVNI_SELECTED, 0)));
}

void DriveEditor::readControlText(int controlId, char* buffer, int capacity) const {
    buffer[0] = '\0';
    GetDlgItemTextA(dialog_, controlId, buffer, capacity);
    // A text cut to the buffer must not end in half a character.
    terminateText(buffer, static_cast<std::size_t>(capacity));
}

void DriveEditor::releasePreview() {
    if (previewOwned_ && previewIcon_ != nullptr) {
        DestroyIcon(previewIcon_);
    }
    previewIcon_ = nullptr;
    previewOwned_ = false;
}

void DriveEditor::setOwnedPreview(HICON icon) {
    releasePreview();
    previewIcon_ = icon;
    previewOwned_ = true;
}

void DriveEditor::setBorrowedPreview(HICON icon) {
    releasePreview();
    previewIcon_ = icon;
    previewOwned_ = false;
}

void DriveEditor::repaintPreview() const { InvalidateRect(dialog_, nullptr, FALSE); }

void DriveEditor::onListClick(HWND /*listView*/) {
    if (currentIndex_ != -1) {
        commitCurrentEdits();
    }
    const int selected = selectedDrive();
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
    if (currentIndex_ < 0 || currentIndex_ >= drives_.count()) {
        return;
    }
    DriveRecord record = drives_.at(currentIndex_);
    const HICON oldIcon = record.icon;
    char oldLocation[kIconLocationCapacity];
    copyText(oldLocation, record.iconLocation);

    readControlText(IDC_ICON_PATH, record.iconLocation, kIconLocationCapacity);
    readControlText(IDC_LABEL, record.label, kLabelCapacity);
    readControlText(IDC_TYPE_NAME, record.typeName, kTypeNameCapacity);
    // Every switch between drives commits the one shown; its icon is loaded
    // again only when its location changed, so browsing the drives does not
    // reload (and churn) an icon per click.
    const bool sameIcon = oldIcon != nullptr && lstrcmpA(oldLocation, record.iconLocation) == 0;
    if (!sameIcon) {
        record.icon = loadIconFromLocation(record.iconLocation[0] != '\0' ? record.iconLocation
                                                                          : record.rootPath);
    }
    drives_.storeBack(currentIndex_, record);
    if (sameIcon) {
        return;
    }

    // The preview may be borrowing the icon released here; it moves on to
    // the record's new icon and never touches the old one again.
    if (!previewOwned_ && previewIcon_ == oldIcon) {
        previewIcon_ = record.icon;
        repaintPreview();
    }
    if (oldIcon != nullptr) {
        DestroyIcon(oldIcon);
    }
}

void DriveEditor::showRecord(const DriveRecord& record) {
    selectOrAddComboText(record.iconLocation, IDC_ICON_PATH);
    selectOrAddComboText(record.label, IDC_LABEL);
    SetDlgItemTextA(dialog_, IDC_TYPE_NAME, record.typeName);
    setBorrowedPreview(record.icon);
    repaintPreview();
}

int DriveEditor::selectOrAddComboText(const char* text, int comboId) {
    const HWND combo = GetDlgItem(dialog_, comboId);
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char item[kIconLocationCapacity];
        // Items are only ever texts the program added, but an item longer
        // than the buffer must still never be read into it.
        if (SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) >= kIconLocationCapacity) {
            continue;
        }
        item[0] = '\0';
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
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
    const int selected = selectedDrive();
    if (!isDrive(selected)) {
        return;
    }
    const DriveRecord record = drives_.at(selected);
    DriveRecord& snapshot = arrays_.snapshots[static_cast<std::size_t>(selected)];
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
    const auto index = static_cast<std::size_t>(currentIndex_);
    const DriveRecord& snapshot = arrays_.snapshots[index];
    const bool changed = comboId == IDC_ICON_PATH ? lstrcmpA(iconLocation, snapshot.iconLocation) != 0
                                                  : lstrcmpA(label, snapshot.label) != 0;
    if (changed) {
        arrays_.dirtyFlags[index] = 1;
    }
}

void DriveEditor::onComboSelChange(int comboId) {
    const int selected = selectedDrive();
    if (!isDrive(selected)) {
        return;
    }
    const auto index = static_cast<std::size_t>(selected);
    if (comboId == IDC_ICON_PATH) {
        const HWND combo = GetDlgItem(dialog_, IDC_ICON_PATH);
        const LRESULT item = SendMessageA(combo, CB_GETCURSEL, 0, 0);
        char text[kIconLocationCapacity] = {};
        if (item >= 0 &&
            SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(item), 0) < kIconLocationCapacity) {
            SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(text));
        }
        const DriveRecord record = drives_.at(selected);
        setOwnedPreview(loadIconFromLocation(text[0] != '\0' ? text : record.rootPath));
        arrays_.dirtyFlags[index] = 1;
        repaintPreview();
    } else {
        arrays_.dirtyFlags[index] = 1;
    }
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
    const int selected = selectedDrive();
    const int shown = selected >= 0 ? selected : currentIndex_;
    if (isDrive(shown) && arrays_.dirtyFlags[static_cast<std::size_t>(shown)] == 1) {
        DriveRecord record = drives_.at(shown);
        readControlText(IDC_LABEL, record.label, kLabelCapacity);
        readControlText(IDC_ICON_PATH, record.iconLocation, kIconLocationCapacity);
        drives_.storeBack(shown, record);
    }

    if (command == ID_APPLY_ALL) {
        const int count = drives_.count();
        for (int k = 0; k < count && isDrive(k); ++k) {
            const auto index = static_cast<std::size_t>(k);
            if (arrays_.dirtyFlags[index] != 1) {
                continue;
            }
            // A drive whose writes failed stays marked so the next apply
            // offers it again; declined and written drives are done.
            if (applyOne(k) != ApplyResult::Failed) {
                arrays_.dirtyFlags[index] = 0;
            }
        }
        return;
    }
    if (command == ID_APPLY_THIS) {
        applyOne(position);
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
    if (MessageBoxA(dialog_, question, kProductName, MB_ICONQUESTION | MB_OKCANCEL) != IDOK) {
        return ApplyResult::Declined;
    }
    commitCurrentEdits();

    // Both writes are attempted even when the first fails; nothing is rolled
    // back.
    bool written;
    if (isFixedDisk(values)) {
        written = SetVolumeLabelA(values.rootPath, values.label) != FALSE;
    } else {
        written = writeSettingsText(letter, kDefaultLabelKey, values.label);
    }
    written = writeSettingsText(letter, kDefaultIconKey, values.iconLocation) && written;

    if (!written) {
        char message[128];
        formatText(message, "%c ドライブの情報を書き込めませんでした。", letter);
        MessageBoxA(dialog_, message, kProductName, MB_ICONERROR | MB_OK);
        return ApplyResult::Failed;
    }
    return ApplyResult::Written;
}

void DriveEditor::browseForIcon() {
    const int selected = selectedDrive();
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
        setOwnedPreview(loadIconFromLocation(record.iconLocation));
        repaintPreview();
    }
    selectOrAddComboText(record.iconLocation, IDC_ICON_PATH);
}

} // namespace kelvarin
