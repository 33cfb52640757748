// Kelvarin's entry: the window, one instance at a time, OLE around it; or
// the writer, which an apply starts.
#include "app/main_dialog.h"
#include "common/platform.h"
#include "common/product.h"
#include "common/unique_handle.h"
#include "res/resource.h"
#include "writer/settings_writer.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int /*show*/) {
    using namespace kelvarin;
    // Before anything loads a DLL: the writer runs elevated from wherever
    // Kelvarin was unpacked, and a DLL planted there must never be loaded.
    restrictDllSearch();

    // The writer the window starts for an apply: no window, no box, and
    // none of the window's single-instance marker.
    char changeSet[MAX_PATH];
    if (writerCommand(commandLine, changeSet)) {
        return static_cast<int>(runWriter(changeSet));
    }

    {
        unique_kernel_handle running(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kProductName));
        if (running) {
            return 0;
        }
    }
    // Two starts racing past the check above both reach here; the one that
    // did not create the marker leaves. A marker we may not open (another
    // user's, or an elevated instance's) counts as running too.
    const HANDLE marker = CreateMutexA(nullptr, FALSE, kProductName);
    const DWORD created = GetLastError();
    if (marker == nullptr || created == ERROR_ALREADY_EXISTS) {
        return 0;
    }
    // The marker is held until the process ends and is never closed.

    if (OleInitialize(nullptr) != S_OK) {
        MessageBoxA(nullptr, "OLEの初期化に失敗しました。", "Error", MB_ICONERROR);
        return 0;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);

    OleUninitialize();
    return 0;
}
