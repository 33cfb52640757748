#include "editor/edit_fields.h"

#include "common/text.h"
#include "common/window.h"
#include "drives/drive_settings.h"
#include "res/resource.h"

#include <utility>

namespace kelvarin {

namespace {

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

EditFields::~EditFields() {
    setPreview(nullptr, false);
    HICON none[kExplorerSizeCount] = {};
    setSizes(none, 0);
}

void EditFields::show(const DriveRecord& record) {
    nextTicket();
    selectOrAddComboText(record.iconLocation, IDC_ICON_PATH);
    selectOrAddComboText(record.label, IDC_LABEL);
    showType(record);
    showNote(""); // until its preview tells
    setPreview(record.icon, false);
}

void EditFields::showType(const DriveRecord& record) {
    SetDlgItemTextA(dialog_, IDC_TYPE_NAME, record.typeName);
    const bool named = isFixedDisk(record) && record.storedName;
    SetDlgItemTextA(dialog_, IDC_NAME_NOTE,
                    named ? "ボリュームラベルの代わりに表示される名前です" : "");
}

void EditFields::showNote(const char* note) {
    SetDlgItemTextA(dialog_, IDC_LOCATION_NOTE, note);
}

void EditFields::read(int controlId, char* buffer, int capacity) const {
    buffer[0] = '\0';
    GetDlgItemTextA(dialog_, controlId, buffer, capacity);
    // A text cut to the buffer must not end in half a character.
    terminateText(buffer, static_cast<std::size_t>(capacity));
}

bool EditFields::shows(int controlId, const char* text) const {
    char shown[sizeof DriveRecord::iconLocation];
    read(controlId, shown, sizeof shown);
    return lstrcmpA(shown, text) == 0;
}

void EditFields::selection(int comboId, char (&text)[260]) const {
    const HWND combo = GetDlgItem(dialog_, comboId);
    comboItemText(combo, static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0)), text,
                  sizeof text);
}

int EditFields::selectOrAddComboText(const char* text, int comboId) {
    const HWND combo = GetDlgItem(dialog_, comboId);
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char item[sizeof DriveRecord::iconLocation];
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

void EditFields::setPreview(HICON icon, bool owned) {
    if (previewOwned_ && previewIcon_ != nullptr) {
        DestroyIcon(previewIcon_);
    }
    previewIcon_ = icon;
    previewOwned_ = owned;
    InvalidateRect(dialog_, nullptr, FALSE);
}

void EditFields::setSizes(HICON (&icons)[kExplorerSizeCount], unsigned ownFrames) {
    // Also the strip's text, which screen readers read for the picture:
    // a size marked * is one Explorer scales from another frame.
    char text[32] = "";
    for (int i = 0; i < kExplorerSizeCount; ++i) {
        if (sizes_[i] != nullptr) {
            DestroyIcon(sizes_[i]);
        }
        sizes_[i] = std::exchange(icons[i], nullptr);
        if (sizes_[i] != nullptr) {
            char size[8];
            formatText(size, "%s%d%s", i == 0 ? "" : " ", kExplorerSizes[i],
                       (ownFrames >> i & 1) != 0 ? "" : "*");
            copyText(text + lstrlenA(text), sizeof text - lstrlenA(text), size);
        }
    }
    ownFrames_ = ownFrames;
    const HWND strip = GetDlgItem(dialog_, IDC_PREVIEW_SIZES);
    SetWindowTextA(strip, text);
    InvalidateRect(strip, nullptr, TRUE);
}

// Each size in a cell of its own, the icons on one line, each size's number
// under it; a size without a frame of its own is marked * in the gray text
// colour.
void EditFields::drawSizes(const DRAWITEMSTRUCT& item) const {
    const HDC context = item.hDC;
    const RECT& area = item.rcItem;
    FillRect(context, &area, classBackgroundBrush(dialog_));
    const int cell = (area.right - area.left) / kExplorerSizeCount;
    const int largest = explorerSize(kExplorerSizes[kExplorerSizeCount - 1], iconSize_);
    SetBkMode(context, TRANSPARENT);
    const HGDIOBJ oldFont =
        SelectObject(context, reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0)));
    for (int i = 0; i < kExplorerSizeCount; ++i) {
        if (sizes_[i] == nullptr) {
            continue;
        }
        const int size = explorerSize(kExplorerSizes[i], iconSize_);
        const int left = area.left + i * cell;
        DrawIconEx(context, left + (cell - size) / 2, area.top + largest - size, sizes_[i], size,
                   size, 0, nullptr, DI_NORMAL);
        const bool own = (ownFrames_ >> i & 1) != 0;
        char caption[8];
        formatText(caption, own ? "%d" : "%d*", kExplorerSizes[i]);
        RECT text{left, area.top + largest, left + cell, area.bottom};
        SetTextColor(context, GetSysColor(own ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
        DrawTextA(context, caption, -1, &text, DT_CENTER | DT_TOP | DT_SINGLELINE);
    }
    SelectObject(context, oldFont);
}

void EditFields::paintPreview(HDC deviceContext) const {
    const HGDIOBJ oldBrush = SelectObject(deviceContext, classBackgroundBrush(dialog_));
    Rectangle(deviceContext, 0, 0, iconSize_, iconSize_);
    SelectObject(deviceContext, oldBrush);
    if (previewIcon_ != nullptr) {
        DrawIconEx(deviceContext, 0, 0, previewIcon_, iconSize_, iconSize_, 0, nullptr, DI_NORMAL);
    }
}

} // namespace kelvarin
