#include "writer/change_set.h"

#include "common/text.h"
#include "common/unique_handle.h"

#include <shlwapi.h>

#include <cstring>

namespace kelvarin {

namespace {

struct Header {
    char magic[8];
    DWORD count;
    DWORD recordSize; // a program of another layout is not understood
};
constexpr char kMagic[8] = {'K', 'e', 'l', 'v', 'C', 'h', 'g', '1'};
constexpr std::size_t kLargestFile = sizeof(Header) + kMostChanges * sizeof(DriveChange);

// Ended within its field, only zeros after its end, and no lead byte
// without its second half.
template <std::size_t N> bool wellEnded(const char (&text)[N]) {
    const void* end = std::memchr(text, '\0', N);
    if (end == nullptr) {
        return false;
    }
    const std::size_t length = static_cast<const char*>(end) - text;
    for (std::size_t i = length; i < N; ++i) {
        if (text[i] != '\0') {
            return false;
        }
    }
    return boundedTextLength(text, N) == length;
}

bool validChange(const DriveChange& change) {
    const bool flags = change.restore <= 1 && change.writeIcon <= 1 &&
                       change.name <= NameChange::Volume && wellEnded(change.iconLocation) &&
                       wellEnded(change.label) && wellEnded(change.iconFile) &&
                       change.letter >= 'A' && change.letter <= 'Z';
    // A deletion carries nothing to write.
    const bool restore =
        change.restore == 0 ||
        (change.writeIcon == 0 && change.name == NameChange::Keep &&
         change.iconLocation[0] == '\0' && change.label[0] == '\0' && change.iconFile[0] == '\0');
    const bool iconFile =
        change.iconFile[0] == '\0' || (change.writeIcon == 1 && isPlainFileName(change.iconFile) &&
                                       lstrcmpiA(PathFindExtensionA(change.iconFile), ".ico") == 0);
    return flags && restore && iconFile;
}

} // namespace

bool isPlainFileName(const char* name) {
    const std::size_t length = static_cast<std::size_t>(lstrlenA(name));
    if (length == 0 || length >= MAX_PATH || name[length - 1] == '.' || name[length - 1] == ' ') {
        return false;
    }
    for (const char* at = name; *at != '\0'; at = CharNextA(at)) {
        const unsigned char c = static_cast<unsigned char>(*at);
        if (c < 32 || std::strchr("\\/:*?\"<>|", c) != nullptr) {
            return false;
        }
    }
    // A device's name stays the device with any extension after it.
    char stem[8] = {};
    std::size_t stemLength = 0;
    while (stemLength < length && name[stemLength] != '.' && stemLength < sizeof stem - 1) {
        stem[stemLength] = name[stemLength];
        ++stemLength;
    }
    if (stemLength < length && name[stemLength] != '.') {
        return true; // longer than any device's name
    }
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (lstrcmpiA(stem, device) == 0) {
            return false;
        }
    }
    const bool numbered = stemLength == 4 && stem[3] >= '0' && stem[3] <= '9';
    stem[3] = '\0';
    return !(numbered && (lstrcmpiA(stem, "COM") == 0 || lstrcmpiA(stem, "LPT") == 0));
}

bool isIconFile(const BYTE* bytes, std::size_t size) {
    constexpr std::size_t kHeader = 6, kEntry = 16;
    if (size < kHeader || size > kLargestIconFile) {
        return false;
    }
    const WORD reserved = static_cast<WORD>(bytes[0] | bytes[1] << 8);
    const WORD type = static_cast<WORD>(bytes[2] | bytes[3] << 8);
    const WORD count = static_cast<WORD>(bytes[4] | bytes[5] << 8);
    if (reserved != 0 || type != 1 || count == 0 || count > 64 || size < kHeader + count * kEntry) {
        return false;
    }
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = bytes + kHeader + i * kEntry;
        DWORD frameBytes = 0, offset = 0;
        std::memcpy(&frameBytes, entry + 8, sizeof frameBytes);
        std::memcpy(&offset, entry + 12, sizeof offset);
        if (frameBytes == 0 || offset < kHeader + count * kEntry || offset > size ||
            frameBytes > size - offset) {
            return false;
        }
    }
    return true;
}

bool saveChangeSet(const ChangeSet& set, const char* path) {
    if (set.count < 1 || set.count > kMostChanges) {
        return false;
    }
    Header header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.count = static_cast<DWORD>(set.count);
    header.recordSize = sizeof(DriveChange);
    const HANDLE created =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const unique_kernel_handle file(created != INVALID_HANDLE_VALUE ? created : nullptr);
    DWORD written = 0, records = 0;
    const DWORD recordBytes = static_cast<DWORD>(set.count * sizeof(DriveChange));
    return file && WriteFile(file.get(), &header, sizeof header, &written, nullptr) &&
           written == sizeof header &&
           WriteFile(file.get(), set.changes, recordBytes, &records, nullptr) &&
           records == recordBytes;
}

ChangeSetCheck checkChangeSet(const BYTE* bytes, std::size_t size, ChangeSet& set) {
    set = ChangeSet{};
    Header header{};
    if (size < sizeof header) {
        return ChangeSetCheck::Malformed;
    }
    std::memcpy(&header, bytes, sizeof header);
    if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0 || header.count < 1 ||
        header.count > kMostChanges || header.recordSize != sizeof(DriveChange) ||
        size != sizeof header + header.count * sizeof(DriveChange)) {
        return ChangeSetCheck::Malformed;
    }
    std::memcpy(set.changes, bytes + sizeof header, header.count * sizeof(DriveChange));
    set.count = static_cast<int>(header.count);
    DWORD letters = 0;
    for (int i = 0; i < set.count; ++i) {
        const DriveChange& change = set.changes[i];
        const DWORD bit =
            change.letter >= 'A' && change.letter <= 'Z' ? 1u << (change.letter - 'A') : 0;
        if (!validChange(change) || (letters & bit) != 0) {
            set = ChangeSet{};
            return ChangeSetCheck::Malformed;
        }
        letters |= bit;
    }
    return ChangeSetCheck::Valid;
}

// Read once, whole, into memory: what is checked is what is used.
ChangeSetCheck loadChangeSet(const char* path, ChangeSet& set) {
    set = ChangeSet{};
    const HANDLE opened = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const unique_kernel_handle file(opened != INVALID_HANDLE_VALUE ? opened : nullptr);
    static BYTE bytes[kLargestFile + 1];
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), bytes, sizeof bytes, &read, nullptr)) {
        return ChangeSetCheck::Malformed;
    }
    return checkChangeSet(bytes, read, set);
}

} // namespace kelvarin
