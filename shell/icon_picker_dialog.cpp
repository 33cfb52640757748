#include "shell/icon_picker_dialog.h"

#include "common/dpi.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "common/window.h"
#include "common/product.h"
#include "drives/icon_loader.h"
#include "drives/icon_maker.h"
#include "res/resource.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

namespace kelvarin {

namespace {

struct PickerState {
    char* path;
    int capacity;
    int* index;
    char loaded[MAX_PATH];
};

PickerState* stateOf(HWND dialog) {
    return reinterpret_cast<PickerState*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// The system's large icons for the picker's screen.
int iconSize(HWND dialog) {
    return largeIconSize(windowDpi(dialog));
}

HWND iconList(HWND dialog) {
    return GetDlgItem(dialog, IDC_PICKER_LIST);
}

int selectedIcon(HWND dialog) {
    return selectedListItem(iconList(dialog));
}

void updateOkButton(HWND dialog) {
    EnableWindow(GetDlgItem(dialog, IDOK), selectedIcon(dialog) >= 0);
}

void selectIcon(HWND dialog, int item) {
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(iconList(dialog), LVM_SETITEMSTATE, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&state));
    SendMessageA(iconList(dialog), LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
}

// A picture is made an icon of first, and its icon file shown in its
// place; one that cannot be says so and leaves the box as it was.
bool madeIcon(HWND dialog, const char* picture, char (&icon)[MAX_PATH]) {
    const MadeIcon made = makeIconFromPicture(picture, icon);
    if (made == MadeIcon::Made) {
        SetDlgItemTextA(dialog, IDC_PICKER_FILE, icon);
        return true;
    }
    MessageBoxA(dialog, madeIconProblem(made), kProductName, MB_ICONERROR | MB_OK);
    SetDlgItemTextA(dialog, IDC_PICKER_FILE, stateOf(dialog)->loaded);
    return false;
}

// Fills the list with the icons of file, item i showing icon i, and selects
// preferred when the file has that many icons. Returns the icon count.
int loadIcons(HWND dialog, const char* picked, int preferred) {
    char file[MAX_PATH];
    if (!isPicture(picked)) {
        copyText(file, picked);
    } else if (!madeIcon(dialog, picked, file)) {
        return 0;
    }
    PickerState* state = stateOf(dialog);
    copyText(state->loaded, file);
    const HWND list = iconList(dialog);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    const auto images =
        reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    ImageList_RemoveAll(images);

    // The file as typed stays in the field; its icons come from the file it
    // names once %VARIABLE% parts are expanded, as Explorer reads it.
    char expanded[MAX_PATH];
    const UINT reported =
        expandIconPath(file, expanded) ? ExtractIconExA(expanded, -1, nullptr, nullptr, 0) : 0;
    const int count = reported == UINT_MAX ? 0 : static_cast<int>(reported);
    if (count > 0) {
        // Every icon keeps its own slot, blank where it could not be had.
        ImageList_SetImageCount(images, static_cast<UINT>(count));
        for (int i = 0; i < count; ++i) {
            // One icon a call: asked for many at once, Wine's 64-bit shell
            // reports them all but hands back only the first.
            unique_hicon icon(extractLargeIcon(expanded, i, iconSize(dialog)));
            if (icon) {
                ImageList_ReplaceIcon(images, i, icon.get());
            }
            LVITEMA item{};
            item.mask = LVIF_IMAGE;
            item.iItem = i;
            item.iImage = i;
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
    if (count == 0) {
        char message[512];
        formatText(message,
                   "%s にはアイコンがありません。\r\n"
                   "一覧からアイコンを選択するか、別のファイルを指定してください。",
                   file);
        MessageBoxA(dialog, message, "アイコンの変更", MB_ICONWARNING | MB_OK);
    } else if (preferred >= 0 && preferred < count) {
        selectIcon(dialog, preferred);
    }
    updateOkButton(dialog);
    return count;
}

void browseForFile(HWND dialog) {
    char file[MAX_PATH] = {};
    GetDlgItemTextA(dialog, IDC_PICKER_FILE, file, sizeof file);
    terminateText(file);
    OPENFILENAMEA query{};
    query.lStructSize = sizeof query;
    query.hwndOwner = dialog;
    query.lpstrFilter = "アイコンを含むファイル (*.ico;*.exe;*.dll)\0*.ico;*.exe;*.dll\0"
                        "画像 (*.png;*.bmp;*.jpg;*.gif;*.tif)\0"
                        "*.png;*.bmp;*.jpg;*.jpeg;*.gif;*.tif;*.tiff\0"
                        "プログラム (*.exe)\0*.exe\0"
                        "ライブラリ (*.dll)\0*.dll\0"
                        "アイコン (*.ico)\0*.ico\0"
                        "すべてのファイル (*.*)\0*.*\0";
    query.lpstrFile = file;
    query.nMaxFile = sizeof file;
    query.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameA(&query)) {
        SetDlgItemTextA(dialog, IDC_PICKER_FILE, file);
        loadIcons(dialog, file, 0);
    }
}

// Over the middle of the window that asked for it, as the shell's picker
// opens, kept inside the work area of the owner's monitor.
void centreOverOwner(HWND dialog) {
    const HWND owner = GetWindow(dialog, GW_OWNER);
    RECT ownerRect{}, box{};
    if (owner == nullptr || !GetWindowRect(owner, &ownerRect) || !GetWindowRect(dialog, &box)) {
        return;
    }
    const RECT area = workAreaOf(owner);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    int left = (ownerRect.left + ownerRect.right - width) / 2;
    int top = (ownerRect.top + ownerRect.bottom - height) / 2;
    left = left + width > area.right ? area.right - width : left;
    top = top + height > area.bottom ? area.bottom - height : top;
    left = left < area.left ? area.left : left;
    top = top < area.top ? area.top : top;
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void onInitDialog(HWND dialog, PickerState* state) {
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    centreOverOwner(dialog);
    SendDlgItemMessageA(dialog, IDC_PICKER_FILE, EM_LIMITTEXT, MAX_PATH - 1, 0);
    SetDlgItemTextA(dialog, IDC_PICKER_FILE, state->path);
    const HWND list = iconList(dialog);
    // The list view destroys the image list with itself.
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_NORMAL,
                 reinterpret_cast<LPARAM>(ImageList_Create(iconSize(dialog), iconSize(dialog),
                                                           ILC_COLOR32 | ILC_MASK, 64, 32)));
    const int spacing = iconSpacing(iconSize(dialog), false);
    SendMessageA(list, LVM_SETICONSPACING, 0, MAKELPARAM(spacing, spacing));
    loadIcons(dialog, state->path, *state->index);
}

void onOk(HWND dialog) {
    PickerState* state = stateOf(dialog);
    char typed[MAX_PATH] = {};
    GetDlgItemTextA(dialog, IDC_PICKER_FILE, typed, sizeof typed);
    terminateText(typed);
    // Enter in the file field means "show this file", as in the shell's box.
    if (lstrcmpA(typed, state->loaded) != 0) {
        loadIcons(dialog, typed, 0);
        return;
    }
    const int selected = selectedIcon(dialog);
    if (selected < 0) {
        return;
    }
    if (boundedTextLength(state->loaded, sizeof state->loaded) >=
        static_cast<std::size_t>(state->capacity)) {
        return;
    }
    copyText(state->path, static_cast<std::size_t>(state->capacity), state->loaded);
    *state->index = selected;
    EndDialog(dialog, 1);
}

INT_PTR onCommand(HWND dialog, int id, int /*code*/) {
    switch (id) {
    case IDOK:
        onOk(dialog);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_PICKER_BROWSE:
        browseForFile(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR onNotify(HWND dialog, const NMHDR& header) {
    if (header.idFrom != IDC_PICKER_LIST) {
        return FALSE;
    }
    if (header.code == LVN_ITEMCHANGED) {
        updateOkButton(dialog);
    } else if (header.code == NM_DBLCLK && selectedIcon(dialog) >= 0) {
        onOk(dialog);
    }
    return TRUE;
}

INT_PTR CALLBACK IconPickerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(dialog, reinterpret_cast<PickerState*>(lParam));
        return TRUE;
    case WM_COMMAND:
        return onCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
        return onNotify(dialog, *reinterpret_cast<const NMHDR*>(lParam));
    default:
        return FALSE;
    }
}

} // namespace

int runIconPicker(HWND owner, char* path, int capacity, int* index) {
    if (path == nullptr || capacity <= 0 || index == nullptr) {
        return 0;
    }
    PickerState state{path, capacity, index, {}};
    const HINSTANCE module = moduleOf(owner);
    const INT_PTR result = DialogBoxParamA(module != nullptr ? module : GetModuleHandleA(nullptr),
                                           MAKEINTRESOURCEA(IDD_ICON_PICKER), owner,
                                           IconPickerDialogProc, reinterpret_cast<LPARAM>(&state));
    return result == 1 ? 1 : 0;
}

} // namespace kelvarin
