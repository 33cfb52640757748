#include "app/add_letter_dialog.h"

#include "common/text.h"
#include "common/window.h"
#include "drives/drive_settings.h"
#include "res/resource.h"

namespace kelvarin {

namespace {

void onInitDialog(HWND dialog, DWORD listed) {
    const HWND letters = GetDlgItem(dialog, IDC_ADD_LETTER_LIST);
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if ((listed >> (letter - 'A') & 1) == 0) {
            char item[4];
            formatText(item, "%c:", letter);
            SendMessageA(letters, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
    }
    SendMessageA(letters, CB_SETCURSEL, 0, 0);
}

void onOk(HWND dialog) {
    char item[4];
    const HWND letters = GetDlgItem(dialog, IDC_ADD_LETTER_LIST);
    comboItemText(letters, static_cast<int>(SendMessageA(letters, CB_GETCURSEL, 0, 0)), item,
                  sizeof item);
    EndDialog(dialog, item[0] >= 'A' && item[0] <= 'Z' ? item[0] : 0);
}

INT_PTR CALLBACK AddLetterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(dialog, static_cast<DWORD>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            onOk(dialog);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

char askLetterToAdd(HWND owner, DWORD listed) {
    if ((listed & kAllLetters) == kAllLetters) {
        return 0;
    }
    const INT_PTR letter = DialogBoxParamA(moduleOf(owner), MAKEINTRESOURCEA(IDD_ADD_LETTER), owner,
                                           AddLetterDialogProc, static_cast<LPARAM>(listed));
    return letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter) : 0;
}

} // namespace kelvarin
