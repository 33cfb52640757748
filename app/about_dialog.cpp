#include "app/about_dialog.h"

#include "common/product.h"
#include "common/text.h"
#include "common/window.h"
#include "res/resource.h"
#include "shell/open_as_user.h"

namespace kelvarin {

namespace {

constexpr COLORREF kLinkColour = RGB(65, 65, 255);

bool isLink(HWND dialog, HWND control) {
    return control != nullptr && (control == GetDlgItem(dialog, IDC_SITE_LINK) ||
                                  control == GetDlgItem(dialog, IDC_MAIL_LINK));
}

void onInitDialog(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_SITE_LINK, kSiteAddress);
    SetDlgItemTextA(dialog, IDC_MAIL_LINK, kMailAddress);
    char versionLine[64];
    formatText(versionLine, "%s  %s", kProductName, kVersionText);
    SetDlgItemTextA(dialog, IDC_VERSION, versionLine);
}

INT_PTR onSetCursor(HWND dialog, HWND under) {
    if (!isLink(dialog, under)) {
        return FALSE;
    }
    const HWND owner = GetParent(dialog);
    const HINSTANCE module = moduleOf(owner != nullptr ? owner : dialog);
    SetCursor(LoadCursorA(module, MAKEINTRESOURCEA(IDC_LINK_CURSOR)));
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
    return TRUE;
}

INT_PTR onCommand(HWND dialog, int id, int code) {
    // Only single clicks: a double click arrives as a second notification
    // with its own code and must not open the address again.
    if (code != 0) {
        return FALSE;
    }
    switch (id) {
    case IDC_OK:
        SendMessageA(dialog, WM_CLOSE, 0, 0);
        return TRUE;
    case IDC_SITE_LINK:
        openAsUser(dialog, kSiteAddress);
        return TRUE;
    case IDC_MAIL_LINK: {
        char command[300];
        formatText(command, "mailto:%s", kMailAddress);
        openAsUser(dialog, command);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(dialog);
        return TRUE;
    case WM_SETCURSOR:
        return onSetCursor(dialog, reinterpret_cast<HWND>(wParam));
    case WM_CTLCOLORSTATIC:
        if (!isLink(dialog, reinterpret_cast<HWND>(lParam))) {
            return FALSE;
        }
        SetTextColor(reinterpret_cast<HDC>(wParam), kLinkColour);
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    case WM_COMMAND:
        return onCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace kelvarin
