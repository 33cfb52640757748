// Bounded narrow-text helpers. Every fixed-size text in the program is filled
// through these, so a text always ends in its terminator and never in the
// first half of a code page 932 double-byte character.
#pragma once

#include <cstddef>

namespace kelvarin {

// Length of the longest prefix of text that fits in capacity - 1 bytes
// without splitting a double-byte character. A lead byte directly before the
// terminator is a broken character and is left out as well.
std::size_t boundedTextLength(const char* text, std::size_t capacity);

// Copies source into dest (capacity bytes), cut as boundedTextLength says.
// A capacity of 0 writes nothing. Returns the number of bytes copied.
std::size_t copyText(char* dest, std::size_t capacity, const char* source);

template <std::size_t N> std::size_t copyText(char (&dest)[N], const char* source) {
    return copyText(dest, N, source);
}

// printf-style formatting into dest, cut like copyText.
std::size_t formatText(char* dest, std::size_t capacity, const char* format, ...);

template <std::size_t N, typename... Args>
std::size_t formatText(char (&dest)[N], const char* format, Args... args) {
    return formatText(dest, N, format, args...);
}

// Cuts a text that fills its buffer back to the last whole character, for
// texts another component (a control, a registry value) wrote into it.
void terminateText(char* buffer, std::size_t capacity);

template <std::size_t N> void terminateText(char (&buffer)[N]) {
    terminateText(buffer, N);
}

// Whether a path names folder or something below it, without case (a
// folder given with its final backslash too).
bool isInFolder(const char* path, const char* folder);

} // namespace kelvarin
