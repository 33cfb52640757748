// window_shot TITLE OUTPUT.png [TIMEOUT_MS]
// Waits for a top-level dialog with the given title, lets it paint, and saves
// a PNG of it. Used by the run script when there is no display to show
// Kelvarin on.
#include "tests/support/testbed.h"
#include "tests/support/ui_driver.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_shot TITLE OUTPUT.png [TIMEOUT_MS]\n");
        return 2;
    }
    const int timeout = argc > 3 ? std::atoi(argv[3]) : 20000;
    HWND window = nullptr;
    testbed::waitFor([&] { return (window = FindWindowA("#32770", argv[1])) != nullptr; }, timeout);
    if (window == nullptr) {
        std::fprintf(stderr, "window_shot: no window titled %s\n", argv[1]);
        return 1;
    }
    Sleep(700);
    RECT rect{};
    GetWindowRect(window, &rect);
    testbed::KelvarinApp screen;
    const auto pixels = screen.screenPixels(rect);
    if (!testbed::writePng(argv[2], rect.right - rect.left, rect.bottom - rect.top, pixels)) {
        std::fprintf(stderr, "window_shot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
