#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "app/product.h"
#include "editor/drive_editor.h"
#include "res/resource.h"
#include "shell/settings_export.h"

#include <commctrl.h>
#include <shellapi.h>

#include <optional>

namespace kelvarin {

namespace {

// Exists from WM_INITDIALOG to WM_CLOSE; notifications outside that time
// (such as a combo box losing the focus while the window goes away) find
// none and are ignored.
std::optional<DriveEditor> g_editor;

HINSTANCE moduleOf(HWND window) {
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

INT_PTR askToExit(HWND window) {
    if (MessageBoxA(window, "終了しますか？", kProductName, MB_ICONQUESTION | MB_OKCANCEL) == IDCANCEL) {
        return FALSE;
    }
    SendMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

void applyFromMenu(HWND window, int command) {
    const int selected = static_cast<int>(SendDlgItemMessageA(
        window, IDC_DRIVE_LIST, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
    if (selected >= 0) {
        g_editor->applyChanges(selected, command);
    }
}

INT_PTR onComboCommand(int id, int code) {
    switch (code) {
    case CBN_SELCHANGE:
        g_editor->onComboSelChange(id);
        return TRUE;
    case CBN_SETFOCUS:
        g_editor->onComboSetFocus();
        return TRUE;
    case CBN_KILLFOCUS:
        g_editor->onComboKillFocus(id);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR onCommand(HWND window, int id, int code) {
    // Exiting, the read-me and the about box work without an editor; every
    // other command is the editor's.
    switch (id) {
    case IDC_CANCEL:
    case ID_FILE_EXIT:
        return askToExit(window);
    case ID_HELP_README:
        ShellExecuteA(window, "open", "ReadMe.txt", nullptr, nullptr, SW_SHOW);
        return TRUE;
    case ID_HELP_ABOUT:
        DialogBoxParamA(moduleOf(window), MAKEINTRESOURCEA(IDD_ABOUT), window, AboutDialogProc, 0);
        return TRUE;
    case ID_FILE_EXPORT:
        exportSettings(window);
        return TRUE;
    default:
        break;
    }
    if (!g_editor) {
        return id == IDC_OK ? askToExit(window) : FALSE;
    }
    switch (id) {
    case IDC_OK:
        g_editor->applyChanges(0, ID_APPLY_ALL);
        return askToExit(window);
    case IDC_APPLY:
        g_editor->showApplyMenu(IDR_APPLY_MENU);
        return TRUE;
    case IDC_BROWSE:
        g_editor->browseForIcon();
        return TRUE;
    case IDC_ICON_PATH:
    case IDC_LABEL:
        return onComboCommand(id, code);
    case ID_APPLY_ALL:
    case ID_APPLY_THIS:
        applyFromMenu(window, id);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR onNotify(const NMHDR& header) {
    if (header.idFrom != IDC_DRIVE_LIST || !g_editor) {
        return FALSE;
    }
    switch (header.code) {
    case NM_CLICK:
        g_editor->onListClick(header.hwndFrom);
        return TRUE;
    case LVN_ITEMCHANGED:
        g_editor->onListItemChanged(reinterpret_cast<const NMLISTVIEW&>(header));
        return TRUE;
    default:
        return FALSE;
    }
}

void paintPreview(HWND window) {
    const HWND preview = GetDlgItem(window, IDC_PREVIEW);
    PAINTSTRUCT paint;
    const HDC deviceContext = BeginPaint(preview, &paint);
    if (deviceContext != nullptr && g_editor) {
        g_editor->paintPreview(deviceContext);
    }
    EndPaint(preview, &paint);
}

void closeWindow(HWND window) {
    if (g_editor) {
        g_editor->destroy();
        g_editor.reset();
    }
    EndDialog(window, 0);
}

} // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        g_editor.emplace(window);
        return TRUE;
    case WM_PAINT:
        paintPreview(window);
        return FALSE;
    case WM_CLOSE:
        closeWindow(window);
        return TRUE;
    case WM_NOTIFY:
        return onNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        return onCommand(window, LOWORD(wParam), HIWORD(wParam));
    default:
        return FALSE;
    }
}

} // namespace kelvarin
