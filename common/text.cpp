#include "common/text.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdarg>

namespace kelvarin {

std::size_t boundedTextLength(const char* text, std::size_t capacity) {
    if (capacity == 0 || text == nullptr) {
        return 0;
    }
    const std::size_t limit = capacity - 1;
    std::size_t length = 0;
    while (length < limit && text[length] != '\0') {
        if (IsDBCSLeadByte(static_cast<BYTE>(text[length]))) {
            // The whole pair must fit, and a lead byte without its trail byte
            // (the text ends after it) is dropped rather than kept half.
            if (length + 2 > limit || text[length + 1] == '\0') {
                break;
            }
            length += 2;
        } else {
            ++length;
        }
    }
    return length;
}

std::size_t copyText(char* dest, std::size_t capacity, const char* source) {
    if (capacity == 0 || dest == nullptr) {
        return 0;
    }
    const std::size_t length = boundedTextLength(source, capacity);
    // memmove: callers may copy a text onto a prefix of itself.
    MoveMemory(dest, source, length);
    dest[length] = '\0';
    return length;
}

std::size_t formatText(char* dest, std::size_t capacity, const char* format, ...) {
    // The platform's bounded formatter: the program formats only texts and
    // integers, and the C runtime's printf would bring its floating-point
    // code into the executable. The result is cut again on a character
    // boundary, which the formatter does not know about.
    char scratch[1024] = {};
    va_list args;
    va_start(args, format);
    wvnsprintfA(scratch, sizeof scratch, format, args);
    va_end(args);
    scratch[sizeof scratch - 1] = '\0';
    return copyText(dest, capacity, scratch);
}

void terminateText(char* buffer, std::size_t capacity) {
    if (capacity == 0 || buffer == nullptr) {
        return;
    }
    buffer[capacity - 1] = '\0';
    buffer[boundedTextLength(buffer, capacity)] = '\0';
}

bool isInFolder(const char* path, const char* folder) {
    // Its final backslashes are left out; a 0x5C that is the second byte of
    // a double-byte character (ソ, 表) is no backslash.
    int length = lstrlenA(folder);
    for (bool trailing = true; trailing && length > 0;) {
        const char* last = folder;
        for (const char* at = folder; at < folder + length; at = CharNextA(at)) {
            last = at;
        }
        trailing = *last == '\\' && last == folder + length - 1;
        length -= trailing ? 1 : 0;
    }
    return length > 0 && lstrlenA(path) >= length &&
           CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path, length, folder, length) ==
               CSTR_EQUAL &&
           (path[length] == '\\' || path[length] == '\0');
}

} // namespace kelvarin
