#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "app/add_letter_dialog.h"
#include "common/text.h"
#include "common/window.h"
#include "editor/drive_editor.h"
#include "res/resource.h"
#include "shell/open_as_user.h"
#include "shell/settings_export.h"

#include <commctrl.h>
#include <dbt.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <new>

namespace kelvarin {

namespace {

// The editor lives in the window's DWLP_USER from WM_INITDIALOG to WM_CLOSE;
// notifications outside that time (such as a combo box losing the focus
// while the window goes away) find none and are ignored.
DriveEditor* editorOf(HWND window) {
    return reinterpret_cast<DriveEditor*>(GetWindowLongPtrA(window, DWLP_USER));
}

void createEditor(HWND window, LPARAM parameter) {
    DriveTable& drives = parameter != 0 ? *reinterpret_cast<DriveTable*>(parameter) : driveTable();
    // From the process heap rather than operator new, whose failure path
    // would bring the C++ exception runtime into the program.
    void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(DriveEditor));
    if (memory != nullptr) {
        auto* editor = new (memory) DriveEditor(window, drives);
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(editor));
    }
}

void closeWindow(HWND window) {
    if (DriveEditor* editor = editorOf(window)) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        editor->~DriveEditor();
        HeapFree(GetProcessHeap(), 0, editor);
    }
    EndDialog(window, 0);
}

INT_PTR askToExit(HWND window) {
    if (!confirm(window, "終了しますか？")) {
        return FALSE;
    }
    SendMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Started from a shortcut or a console elsewhere, the current directory
// holds no read-me; the one shipped beside the program is meant then. The
// desktop's shell, which may open it, has a current directory of its own:
// it is named by its full path.
void openReadMe(HWND window) {
    char path[MAX_PATH] = "ReadMe.txt";
    if (PathFileExistsA(path)) {
        char full[MAX_PATH] = {};
        const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
        if (length > 0 && length < MAX_PATH) {
            copyText(path, full);
        }
    } else {
        char beside[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameA(nullptr, beside, MAX_PATH);
        if (length > 0 && length < MAX_PATH && PathRemoveFileSpecA(beside) &&
            PathAppendA(beside, path)) {
            copyText(path, beside);
        }
    }
    openAsUser(window, path);
}

INT_PTR onComboCommand(DriveEditor& editor, int id, int code) {
    switch (code) {
    case CBN_SELCHANGE:
        editor.onComboSelChange(id);
        return TRUE;
    case CBN_KILLFOCUS:
        editor.onComboKillFocus();
        return TRUE;
    default:
        return FALSE;
    }
}

// The Apply popup's commands act on the shown drive, if any.
INT_PTR onApplyMenuCommand(DriveEditor& editor, int id) {
    const char selected = editor.shownLetter();
    if (selected == 0) {
        return TRUE;
    }
    if (id == ID_RESTORE_DEFAULTS) {
        editor.restoreDefaults(selected);
    } else {
        editor.applyChanges(selected, id);
    }
    return TRUE;
}

INT_PTR onCommand(HWND window, int id, int code) {
    // Exiting, the read-me and the about box work without an editor; every
    // other command is the editor's.
    switch (id) {
    case IDC_CANCEL:
    case ID_FILE_EXIT:
        return askToExit(window);
    case ID_HELP_README:
        openReadMe(window);
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
    DriveEditor* editor = editorOf(window);
    if (editor == nullptr) {
        return id == IDC_OK ? askToExit(window) : FALSE;
    }
    switch (id) {
    case IDC_OK:
        return editor->applyChanges(0, ID_APPLY_ALL, true) ? TRUE : askToExit(window);
    case IDC_APPLY:
        editor->showApplyMenu(IDR_APPLY_MENU);
        return TRUE;
    case IDC_BROWSE:
        editor->browseForIcon();
        return TRUE;
    case ID_FILE_ADD_LETTER:
        if (const char letter = askLetterToAdd(window, editor->listedLetters())) {
            editor->addLetter(letter);
        }
        return TRUE;
    case IDC_ICON_PATH:
    case IDC_LABEL:
        return onComboCommand(*editor, id, code);
    case IDC_PREVIEW:
    case IDC_PREVIEW_SIZES:
        if (code == STN_CLICKED) {
            editor->onPreviewClicked();
        }
        return TRUE;
    case ID_APPLY_ALL:
    case ID_APPLY_THIS:
    case ID_RESTORE_DEFAULTS:
        return onApplyMenuCommand(*editor, id);
    default:
        return FALSE;
    }
}

INT_PTR onNotify(HWND window, const NMHDR& header) {
    DriveEditor* editor = editorOf(window);
    if (header.idFrom != IDC_DRIVE_LIST || editor == nullptr) {
        return FALSE;
    }
    switch (header.code) {
    case NM_CLICK:
        editor->onListClick(header.hwndFrom);
        return TRUE;
    case LVN_ITEMCHANGED:
        editor->onListItemChanged(reinterpret_cast<const NMLISTVIEW&>(header));
        return TRUE;
    default:
        return FALSE;
    }
}

// Volumes that arrive or leave: removable disks, and network drives mapped
// or unmapped, which Windows announces the same way to top-level windows.
void onDeviceChange(HWND window, WPARAM event, LPARAM data) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    DriveEditor* editor = editorOf(window);
    if ((event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE) && header != nullptr &&
        header->dbch_devicetype == DBT_DEVTYP_VOLUME && editor != nullptr) {
        const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(data);
        editor->onDrivesChanged(volume->dbcv_unitmask, event == DBT_DEVICEARRIVAL,
                                (volume->dbcv_flags & DBTF_MEDIA) != 0);
    }
}

// With every letter listed there is none left to add.
void onInitMenuPopup(HWND window, HMENU menu) {
    const DriveEditor* editor = editorOf(window);
    const bool full = editor == nullptr || editor->listedLetters() == kAllLetters;
    EnableMenuItem(menu, ID_FILE_ADD_LETTER, MF_BYCOMMAND | (full ? MF_GRAYED : MF_ENABLED));
}

// The editor's own messages: from itself, its workers and its timers. What
// they carry for a window whose editor is gone is only freed.
INT_PTR onEditorMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DriveEditor* editor = editorOf(window);
    if (editor == nullptr) {
        if (message == kDriveAnswerMessage) {
            freeAnswer(reinterpret_cast<DriveAnswer*>(lParam));
        } else if (message == kWriteDoneMessage) {
            freeWriteOutcome(reinterpret_cast<WriteOutcome*>(lParam));
        } else if (message == WM_DROPFILES) {
            DragFinish(reinterpret_cast<HDROP>(wParam));
        }
        return TRUE;
    }
    switch (message) {
    case kAskDrivesMessage:
        editor->askDrives();
        break;
    case kSharesChangedMessage:
        editor->onRememberedSharesChanged();
        break;
    case kKeepSelectionMessage:
        editor->keepShownSelected();
        break;
    case kDriveAnswerMessage:
        editor->onAnswer(reinterpret_cast<DriveAnswer*>(lParam));
        break;
    case kWriteDoneMessage:
        editor->onWriteDone(reinterpret_cast<WriteOutcome*>(lParam));
        break;
    case WM_DROPFILES:
        editor->onDropFiles(reinterpret_cast<HDROP>(wParam));
        break;
    case WM_TIMER:
        editor->onTimer(wParam);
        break;
    default:
        break;
    }
    return TRUE;
}

// The notes under the type and the name are remarks, not values: in the
// gray text colour.
INT_PTR noteColours(HWND window, HDC context, HWND control) {
    if (control != GetDlgItem(window, IDC_LOCATION_NOTE) &&
        control != GetDlgItem(window, IDC_NAME_NOTE)) {
        return FALSE;
    }
    SetTextColor(context, GetSysColor(COLOR_GRAYTEXT));
    SetBkMode(context, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

void paintPreview(HWND window) {
    const HWND preview = GetDlgItem(window, IDC_PREVIEW);
    PAINTSTRUCT paint;
    const HDC deviceContext = BeginPaint(preview, &paint);
    DriveEditor* editor = editorOf(window);
    if (deviceContext != nullptr && editor != nullptr) {
        editor->paintPreview(deviceContext);
    }
    EndPaint(preview, &paint);
}

} // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        // Enter opens the Apply menu: it writes nothing and closes nothing
        // before the user picks what to apply. Said here because which
        // BS_DEFPUSHBUTTON of a template wins differs between platforms.
        SendMessageA(window, DM_SETDEFID, IDC_APPLY, 0);
        createEditor(window, lParam);
        return TRUE;
    case WM_PAINT:
        paintPreview(window);
        return FALSE;
    case WM_CLOSE:
        closeWindow(window);
        return TRUE;
    case WM_NOTIFY:
        return onNotify(window, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        return onCommand(window, LOWORD(wParam), HIWORD(wParam));
    case WM_SHOWWINDOW:
        if (DriveEditor* editor = editorOf(window); editor != nullptr && wParam != FALSE) {
            editor->onShown();
        }
        return FALSE;
    case kAskDrivesMessage:
    case kSharesChangedMessage:
    case kKeepSelectionMessage:
    case kDriveAnswerMessage:
    case kWriteDoneMessage:
    case WM_DROPFILES:
    case WM_TIMER:
        return onEditorMessage(window, message, wParam, lParam);
    case WM_DEVICECHANGE:
        onDeviceChange(window, wParam, lParam);
        return TRUE;
    case WM_DRAWITEM:
        if (DriveEditor* editor = editorOf(window);
            editor != nullptr && wParam == IDC_PREVIEW_SIZES) {
            editor->drawSizes(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        }
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return noteColours(window, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DPICHANGED:
        // Per-monitor v2: FALSE, and the dialog manager moves the window to
        // the rectangle Windows suggests and lays its controls and fonts
        // out for the DPI; under v1 the editor does it.
        if (DriveEditor* editor = editorOf(window)) {
            return editor->onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        }
        return FALSE;
    case WM_INITMENUPOPUP:
        onInitMenuPopup(window, reinterpret_cast<HMENU>(wParam));
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace kelvarin
