#include "common/window.h"

#include "common/product.h"

#include <commctrl.h>

namespace kelvarin {

HINSTANCE moduleOf(HWND window) {
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

int selectedListItem(HWND listView) {
    return static_cast<int>(SendMessageA(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                         MAKELPARAM(LVNI_SELECTED, 0)));
}

bool confirm(HWND owner, const char* question) {
    return MessageBoxA(owner, question, kProductName, MB_ICONQUESTION | MB_OKCANCEL) == IDOK;
}

void comboItemText(HWND combo, int item, char* buffer, std::size_t capacity) {
    buffer[0] = '\0';
    // CB_GETLBTEXT knows no buffer size: an item longer than the buffer must
    // not be read at all.
    const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(item), 0);
    if (item < 0 || length < 0 || static_cast<std::size_t>(length) >= capacity) {
        return;
    }
    SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(buffer));
}

} // namespace kelvarin
