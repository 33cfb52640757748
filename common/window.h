// Small window helpers every dialog of the program uses.
#pragma once

#include <windows.h>

#include <cstddef>

namespace kelvarin {

// The module whose resources the window was made from.
HINSTANCE moduleOf(HWND window);

// The selected item of a list view, -1 when none is.
int selectedListItem(HWND listView);

// The program's OK/Cancel question, titled with the product name; true on OK.
bool confirm(HWND owner, const char* question);

// The text of a combo box's list item, empty when there is no such item or
// it would not fit the buffer.
void comboItemText(HWND combo, int item, char* buffer, std::size_t capacity);

} // namespace kelvarin
