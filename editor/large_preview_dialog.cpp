#include "editor/large_preview_dialog.h"

#include "common/dpi.h"
#include "common/window.h"
#include "res/resource.h"

namespace kelvarin {

namespace {

struct LargePreview {
    HICON icon;
    int size;
};

LargePreview* previewOf(HWND dialog) {
    return reinterpret_cast<LargePreview*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// The window is made to fit the icon with a margin, over the middle of the
// main window.
void fitToIcon(HWND dialog, const LargePreview& preview) {
    const int margin = scaleForDpi(8, windowDpi(dialog));
    const RECT frame =
        windowRectFor(dialog, RECT{0, 0, preview.size + 2 * margin, preview.size + 2 * margin});
    RECT owner{};
    GetWindowRect(GetWindow(dialog, GW_OWNER), &owner);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(dialog, nullptr, (owner.left + owner.right - width) / 2,
                 (owner.top + owner.bottom - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void paint(HWND dialog) {
    PAINTSTRUCT paint;
    const HDC context = BeginPaint(dialog, &paint);
    const LargePreview* preview = previewOf(dialog);
    if (context != nullptr && preview != nullptr) {
        const int margin = scaleForDpi(8, windowDpi(dialog));
        DrawIconEx(context, margin, margin, preview->icon, preview->size, preview->size, 0, nullptr,
                   DI_NORMAL);
    }
    EndPaint(dialog, &paint);
}

INT_PTR CALLBACK largePreviewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        fitToIcon(dialog, *reinterpret_cast<const LargePreview*>(lParam));
        return TRUE;
    case WM_PAINT:
        paint(dialog);
        return TRUE;
    case WM_LBUTTONUP:
        EndDialog(dialog, IDOK);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
        }
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void showLargePreview(HWND owner, HICON icon, int size) {
    LargePreview preview{icon, size};
    DialogBoxParamA(moduleOf(owner), MAKEINTRESOURCEA(IDD_LARGE_PREVIEW), owner, largePreviewProc,
                    reinterpret_cast<LPARAM>(&preview));
}

} // namespace kelvarin
