#include "shell/icon_picker.h"

#include "common/text.h"
#include "common/unique_handle.h"
#include "shell/icon_picker_dialog.h"

#include <vector>

namespace kelvarin {

namespace {

constexpr int kNtFamily = 6;
constexpr int kWin9xFamily = 8;
constexpr UINT kPickerCapacity = MAX_PATH;

// Runs the shell's picker on a copy of the starting file and index. Returns
// its raw result; on 1, chosenPath (narrow) and chosenIndex hold the choice.
int runShellPicker(HWND owner, ShellIconPicker picker, int family, const char* start, int startIndex,
                   std::vector<char>& chosenPath, int& chosenIndex) {
    chosenIndex = startIndex;
    if (family == kNtFamily) {
        WCHAR wide[kPickerCapacity] = {};
        MultiByteToWideChar(CP_ACP, 0, start, -1, wide, kPickerCapacity);
        wide[kPickerCapacity - 1] = L'\0';
        const int result = picker(owner, wide, kPickerCapacity, &chosenIndex);
        wide[kPickerCapacity - 1] = L'\0';
        // A path of 259 wide characters can need twice as many bytes.
        chosenPath.assign(2 * kPickerCapacity + 2, '\0');
        WideCharToMultiByte(CP_ACP, 0, wide, -1, chosenPath.data(),
                            static_cast<int>(chosenPath.size()) - 2, nullptr, nullptr);
        return result;
    }
    // The narrow buffer is twice the capacity the picker is told, so even a
    // picker that writes wide characters into it stays inside.
    chosenPath.assign(2 * kPickerCapacity + 2, '\0');
    copyText(chosenPath.data(), kPickerCapacity, start);
    return picker(owner, chosenPath.data(), kPickerCapacity, &chosenIndex);
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
        std::vector<char> chosen;
        int chosenIndex = *index;
        const int result = runShellPicker(owner, shellPicker, family, start, *index, chosen, chosenIndex);
        if (result == 1) {
            // A chosen path longer than the caller's buffer would name
            // another file once cut; it counts as no choice.
            if (boundedTextLength(chosen.data(), chosen.size()) >= static_cast<std::size_t>(capacity)) {
                path[0] = '\0';
                return 0;
            }
            copyText(path, static_cast<std::size_t>(capacity), chosen.data());
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
    unique_hmodule shell32(LoadLibraryA("SHELL32.DLL"));
    ShellIconPicker shellPicker = nullptr;
    if (shell32) {
        shellPicker = reinterpret_cast<ShellIconPicker>(
            reinterpret_cast<void*>(GetProcAddress(shell32.get(), MAKEINTRESOURCEA(62))));
    }
    return pickIconFileWith(owner, path, capacity, index, windowsFamily(), shellPicker, runIconPicker);
}

} // namespace kelvarin
