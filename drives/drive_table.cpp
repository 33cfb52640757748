#include "drives/drive_table.h"

namespace kelvarin {

namespace {

const DriveRecord kNoRecord = {};
DriveTable g_driveTable;

} // namespace

int letterIndex(char letter) {
    return letter >= 'A' && letter < 'A' + kLetterCount ? letter - 'A' : -1;
}

char upperLetter(char letter) {
    return letter >= 'a' && letter < 'a' + kLetterCount ? static_cast<char>(letter - 'a' + 'A')
                                                        : letter;
}

DriveTable::Entry* DriveTable::entryOf(char letter) {
    const int index = letterIndex(letter);
    return index >= 0 ? &entries_[index] : nullptr;
}

const DriveTable::Entry* DriveTable::entryOf(char letter) const {
    const int index = letterIndex(letter);
    return index >= 0 ? &entries_[index] : nullptr;
}

bool DriveTable::list(const DriveRecord& record) {
    Entry* entry = entryOf(record.rootPath[0]);
    if (entry == nullptr) {
        return false;
    }
    *entry = Entry{};
    entry->listed = true;
    entry->record = record;
    return true;
}

void DriveTable::unlist(char letter) {
    if (Entry* entry = entryOf(letter)) {
        *entry = Entry{};
    }
}

bool DriveTable::isListed(char letter) const {
    const Entry* entry = entryOf(letter);
    return entry != nullptr && entry->listed;
}

DWORD DriveTable::listedLetters() const {
    DWORD letters = 0;
    for (int i = 0; i < kLetterCount; ++i) {
        letters |= entries_[i].listed ? 1u << i : 0;
    }
    return letters;
}

int DriveTable::count() const {
    return orderOf('A' + kLetterCount);
}

char DriveTable::letterAt(int order) const {
    for (int i = 0; i < kLetterCount; ++i) {
        if (entries_[i].listed && order-- == 0) {
            return static_cast<char>('A' + i);
        }
    }
    return 0;
}

int DriveTable::orderOf(char letter) const {
    int before = 0;
    for (int i = 0; i < kLetterCount && 'A' + i < letter; ++i) {
        before += entries_[i].listed ? 1 : 0;
    }
    return before;
}

const DriveRecord& DriveTable::record(char letter) const {
    const Entry* entry = entryOf(letter);
    return entry != nullptr && entry->listed ? entry->record : kNoRecord;
}

void DriveTable::store(const DriveRecord& record) {
    Entry* entry = entryOf(record.rootPath[0]);
    if (entry != nullptr && entry->listed) {
        entry->record = record;
    }
}

bool DriveTable::isMarked(char letter) const {
    const Entry* entry = entryOf(letter);
    return entry != nullptr && entry->listed && entry->marked;
}

void DriveTable::setMarked(char letter, bool marked) {
    Entry* entry = entryOf(letter);
    if (entry != nullptr && entry->listed) {
        entry->marked = marked;
    }
}

DriveTable& driveTable() {
    return g_driveTable;
}

} // namespace kelvarin
