// The start-up yardsticks, started and measured exactly as Kelvarin is: a
// modal dialog of Kelvarin's size, font and list view.
//   bare_dialog        lists nothing and does no drive work;
//   bare_dialog floor  lists every drive with the icon and name the shell
//                      gives it, one SHGetFileInfoA call per drive: the least
//                      any program must ask of the shell to show that list;
//   bare_controls      Kelvarin's own window from its resources (menu, combo
//                      boxes, buttons), empty: what the window alone costs.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "bench/bare_dialog.h"
#include "res/resource.h"

static void listDrives(HWND list) {
    char roots[256] = {};
    GetLogicalDriveStringsA(sizeof roots - 1, roots);
    const HIMAGELIST images = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 26, 0);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    int i = 0;
    for (const char* root = roots; *root != '\0'; root += lstrlenA(root) + 1, ++i) {
        SHFILEINFOA info{};
        SHGetFileInfoA(root, 0, &info, sizeof info,
                       SHGFI_ICON | SHGFI_LARGEICON | SHGFI_DISPLAYNAME);
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = info.szDisplayName;
        item.iImage = ImageList_AddIcon(images, info.hIcon);
        DestroyIcon(info.hIcon);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

static INT_PTR CALLBACK bareProc(HWND dialog, UINT message, WPARAM, LPARAM floor) {
    switch (message) {
    case WM_INITDIALOG:
#ifdef KELVARIN_BARE_CONTROLS
        SetWindowTextA(dialog, "Controls");
#else
        SetWindowTextA(dialog, floor != 0 ? "Floor" : "Bare");
#endif
        if (floor != 0) {
            listDrives(GetDlgItem(dialog, IDC_BARE_LIST));
        }
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const bool floor = lstrcmpiA(commandLine, "floor") == 0;
#ifdef KELVARIN_BARE_CONTROLS
    const WORD dialog = IDD_MAIN;
#else
    const WORD dialog = IDD_BARE;
#endif
    DialogBoxParamA(instance, MAKEINTRESOURCEA(dialog), nullptr, bareProc, floor);
    return 0;
}
