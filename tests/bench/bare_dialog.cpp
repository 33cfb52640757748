// The start-up yardstick: a modal dialog holding one list view and doing no
// drive work, started and measured exactly as Kelvarin is.
#include <windows.h>
#include <commctrl.h>

#include "tests/bench/bare_dialog.h"

static INT_PTR CALLBACK bareProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowTextA(dialog, "Bare");
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_BARE), nullptr, bareProc, 0);
    return 0;
}
