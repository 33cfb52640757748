#include "shell/icon_picker.h"

#include "common/platform.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "shell/icon_picker_dialog.h"

namespace kelvarin {

namespace {

constexpr int kNtFamily = 6;
constexpr int kWin9xFamily = 8;
constexpr UINT kPickerCapacity = MAX_PATH;

// A narrow path as the shell's picker may return it: a path of 259 wide
// characters can need twice as many bytes, and a 9x picker that wrongly
// writes wide characters into the narrow buffer needs as much room.
using ChosenPath = char[2 * kPickerCapacity + 2];

// Runs the shell's picker on a copy of the starting file and index. Returns
// its raw result; on 1, chosenPath (narrow) and chosenIndex hold the choice.
int runShellPicker(HWND owner, ShellIconPicker picker, int family, const char* start,
                   int startIndex, ChosenPath& chosenPath, int& chosenIndex) {
    chosenIndex = startIndex;
    if (family == kNtFamily) {
        WCHAR wide[kPickerCapacity] = {};
        MultiByteToWideChar(CP_ACP, 0, start, -1, wide, kPickerCapacity);
        wide[kPickerCapacity - 1] = L'\0';
        const int result = picker(owner, wide, kPickerCapacity, &chosenIndex);
        wide[kPickerCapacity - 1] = L'\0';
        ZeroMemory(chosenPath, sizeof chosenPath);
        WideCharToMultiByte(CP_ACP, 0, wide, -1, chosenPath, sizeof chosenPath - 2, nullptr,
                            nullptr);
        return result;
    }
    // The picker is told the capacity of a path, not of the buffer.
    ZeroMemory(chosenPath, sizeof chosenPath);
    copyText(chosenPath, kPickerCapacity, start);
    const int result = picker(owner, chosenPath, kPickerCapacity, &chosenIndex);
    chosenPath[sizeof chosenPath - 2] = '\0';
    chosenPath[sizeof chosenPath - 1] = '\0';
    return result;
}

} // namespace

int windowsFamilyOf(bool queried, const OSVERSIONINFOA& version) {
    if (!queried) {
        return 0;
    }
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        return kWin9xFamily;
    }
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5) {
        return kNtFamily;
    }
    return 0;
}

int windowsFamily() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool queried = GetVersionExA(&version) != FALSE;
#pragma GCC diagnostic pop
    return windowsFamilyOf(queried, version);
}

int pickIconFileWith(HWND owner, char* path, int capacity, int* index, int family,
                     ShellIconPicker shellPicker, FallbackIconPicker fallback) {
    if (path == nullptr || capacity <= 0 || index == nullptr) {
        return 0;
    }
    char start[MAX_PATH];
    if (path[0] != '\0') {
        copyText(start, path);
    } else {
        char system[MAX_PATH] = {};
        const UINT length = GetSystemDirectoryA(system, sizeof system);
        if (length == 0 || length >= sizeof system) {
            system[0] = '\0';
        }
        formatText(start, "%s\\shell32.dll", system);
    }

    if (shellPicker != nullptr && (family == kNtFamily || family == kWin9xFamily)) {
        ChosenPath chosen = {};
        int chosenIndex = *index;
        const int result =
            runShellPicker(owner, shellPicker, family, start, *index, chosen, chosenIndex);
        if (result == 1) {
            // A chosen path longer than the caller's buffer would name
            // another file once cut; it counts as no choice.
            if (boundedTextLength(chosen, sizeof chosen) >= static_cast<std::size_t>(capacity)) {
                path[0] = '\0';
                return 0;
            }
            copyText(path, static_cast<std::size_t>(capacity), chosen);
            *index = chosenIndex;
            return 1;
        }
        if (result == 0) {
            path[0] = '\0';
            return 0;
        }
        // Anything else: the picker showed nothing (Wine's is a stub that
        // answers -1), so the user still needs one.
    }

    copyText(path, static_cast<std::size_t>(capacity), start);
    const int result = fallback(owner, path, capacity, index);
    if (result != 1) {
        path[0] = '\0';
        return 0;
    }
    return 1;
}

int pickIconFile(HWND owner, char* path, int capacity, int* index) {
    unique_hmodule shell32(loadSystemLibrary("shell32.dll"));
    ShellIconPicker shellPicker = nullptr;
    if (shell32) {
        shellPicker = reinterpret_cast<ShellIconPicker>(
            reinterpret_cast<void*>(GetProcAddress(shell32.get(), MAKEINTRESOURCEA(62))));
    }
    return pickIconFileWith(owner, path, capacity, index, windowsFamily(), shellPicker,
                            runIconPicker);
}

} // namespace kelvarin
