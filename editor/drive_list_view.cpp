#include "editor/drive_list_view.h"

#include "common/text.h"
#include "common/dpi.h"
#include "common/unique_handle.h"
#include "common/window.h"
#include "drives/drive_settings.h"
#include "drives/icon_loader.h"

#include <commctrl.h>

namespace kelvarin {

namespace {

// Transparent all over: an empty slot of a colour image list draws black.
HICON blankIcon(int size) {
    constexpr int kLargest = 256;
    static BYTE transparent[kLargest * kLargest / 8];
    static BYTE nothing[kLargest * kLargest / 8];
    FillMemory(transparent, sizeof transparent, 0xFF);
    size = size < kLargest ? size : kLargest;
    return CreateIcon(nullptr, size, size, 1, 1, transparent, nothing);
}

// A drive that does not answer shows the plain drive image rather than a
// blank that looks like Kelvarin is still busy.
int imageOf(const DriveRecord& record) {
    const int slot = letterIndex(record.rootPath[0]);
    if (record.icon != nullptr && slot >= 0) {
        return slot;
    }
    const bool waiting = record.present && !isSilent(record);
    return waiting ? DriveListView::kPlaceholderImage : DriveListView::kNeutralImage;
}

} // namespace

bool DriveListView::createImages(int size) {
    unique_himagelist images(
        ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, kNeutralImage + 1, 0));
    if (!images) {
        return false;
    }
    // A slot per letter, filled when its icon comes, the placeholder and the
    // system's plain drive icon (showNeutralImage).
    ImageList_SetImageCount(images.get(), kNeutralImage + 1);
    const unique_hicon blank(blankIcon(size));
    ImageList_ReplaceIcon(images.get(), kPlaceholderImage, blank.get());
    ImageList_ReplaceIcon(images.get(), kNeutralImage, blank.get());
    // The list view owns the image list from here on; the one it gives back
    // is ours again. The items stand apart by what the images need.
    const unique_himagelist old(reinterpret_cast<HIMAGELIST>(SendMessageA(
        list_, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images.release()))));
    SendMessageA(list_, LVM_SETICONSPACING, 0,
                 MAKELPARAM(iconSpacing(size, true), rowSpacing(size)));
    arrange();
    return true;
}

// The drives stand in one row and scroll sideways: a row's height is cut
// to what the list leaves beside its horizontal scroll bar, so no vertical
// one comes with it, but never below what an icon and its one-line label
// need.
int DriveListView::rowSpacing(int size) const {
    const UINT dpi = windowDpi(list_);
    const int bar = systemMetric(SM_CYHSCROLL, dpi);
    RECT inside{};
    GetClientRect(list_, &inside);
    const bool barShown = (GetWindowLongA(list_, GWL_STYLE) & WS_HSCROLL) != 0;
    const int room = inside.bottom - (barShown ? 0 : bar);
    TEXTMETRICA text{};
    const HDC context = GetDC(list_);
    const HGDIOBJ old =
        SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageA(list_, WM_GETFONT, 0, 0)));
    GetTextMetricsA(context, &text);
    SelectObject(context, old);
    ReleaseDC(list_, context);
    const int needed = size + 2 * text.tmHeight;
    const int spacing = iconSpacing(size, true);
    return room < needed ? needed : (room < spacing ? room : spacing);
}

// The first icon of shell32.dll Kelvarin loads itself costs the shell's
// icon machinery: once the window is on the screen.
void DriveListView::showNeutralImage() {
    const auto images =
        reinterpret_cast<HIMAGELIST>(SendMessageA(list_, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    int size = 0;
    ImageList_GetIconSize(images, &size, &size);
    const unique_hicon neutral(extractLargeIcon("shell32.dll", 8, size));
    if (neutral && ImageList_ReplaceIcon(images, kNeutralImage, neutral.get()) >= 0) {
        InvalidateRect(list_, nullptr, FALSE);
    }
}

void DriveListView::insert(const DriveTable& table, const DriveRecord& record, bool arranged) {
    char text[sizeof record.rootPath];
    copyText(text, record.rootPath);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE | LVIF_PARAM;
    item.iItem = table.orderOf(record.rootPath[0]);
    item.pszText = text;
    item.iImage = imageOf(record);
    item.stateMask = LVIS_CUT;
    item.state = record.present ? 0 : LVIS_CUT;
    item.lParam = static_cast<unsigned char>(record.rootPath[0]);
    SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    if (arranged) {
        arrange();
    }
}

// An icon view places an item inserted later at its next free place,
// whatever its index; the items are laid out again in their order, which
// is the letters', with no gap where one left. (Not LVS_AUTOARRANGE: with
// it Wine's list moves the selection by the arrow keys as if the items stood
// in rows, so a list laid out in columns stops at the first row's end.)
void DriveListView::arrange() {
    SendMessageA(list_, LVM_ARRANGE, LVA_DEFAULT, 0);
}

void DriveListView::remove(char letter) {
    const int item = itemOf(letter);
    if (item >= 0) {
        SendMessageA(list_, LVM_DELETEITEM, static_cast<WPARAM>(item), 0);
        arrange();
    }
}

void DriveListView::show(const DriveRecord& record, bool iconChanged) {
    const int at = itemOf(record.rootPath[0]);
    if (at < 0) {
        return;
    }
    const int image = imageOf(record);
    if (iconChanged && image < kLetterCount) {
        const auto images =
            reinterpret_cast<HIMAGELIST>(SendMessageA(list_, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
        ImageList_ReplaceIcon(images, image, record.icon);
    }
    LVITEMA item{};
    item.mask = LVIF_IMAGE | LVIF_STATE;
    item.iItem = at;
    item.iImage = image;
    item.stateMask = LVIS_CUT;
    item.state = record.present ? 0 : LVIS_CUT;
    SendMessageA(list_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    SendMessageA(list_, LVM_REDRAWITEMS, static_cast<WPARAM>(at), at);
}

char DriveListView::letterAt(int item) const {
    if (item < 0) {
        return 0;
    }
    LVITEMA state{};
    state.mask = LVIF_PARAM;
    state.iItem = item;
    if (!SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&state))) {
        return 0;
    }
    return letterIndex(static_cast<char>(state.lParam)) >= 0 ? static_cast<char>(state.lParam) : 0;
}

char DriveListView::selectedLetter() const {
    return letterAt(selectedListItem(list_));
}

// Selecting it shows it, as a click would.
void DriveListView::select(char letter) {
    const int item = itemOf(letter);
    if (item < 0) {
        return;
    }
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&state));
    SendMessageA(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
}

int DriveListView::itemOf(char letter) const {
    LVFINDINFOA find{};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<unsigned char>(letter);
    return static_cast<int>(SendMessageA(list_, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(&find)));
}

} // namespace kelvarin
