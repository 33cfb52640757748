// Everything the program knows about each of the 26 drive letters, kept by
// letter: whether it is listed, its record and its change mark. Drives come and go while the
// program runs, so nothing here is kept by a position in a list; the list view finds its items by
// letter. No window is touched here.
#pragma once

#include "drives/drive_record.h"

#include <windows.h>

namespace kelvarin {

constexpr int kLetterCount = 26;
constexpr DWORD kAllLetters = (1u << kLetterCount) - 1;

// A letter's index, 0 for A; -1 for anything that is no drive letter.
int letterIndex(char letter);
// A drive letter as the system lists it (upper case): key names, paths and
// drive strings may give it in either case. Anything else is kept.
char upperLetter(char letter);

class DriveTable {
  public:
    DriveTable() = default;
    DriveTable(const DriveTable&) = delete;
    DriveTable& operator=(const DriveTable&) = delete;

    // Lists the record's letter (rootPath[0]) with the record, unmarked.
    // False for a record without a drive letter.
    bool list(const DriveRecord& record);
    // Forgets a letter: record and mark. Its icon is the caller's.
    void unlist(char letter);

    bool isListed(char letter) const;
    DWORD listedLetters() const; // bit 0 for A
    int count() const;
    // The listed letters in letter order: the order-th (0 when there are not
    // that many), and how many come before a letter.
    char letterAt(int order) const;
    int orderOf(char letter) const;

    // A listed letter's record; an empty record (all zero) for any other.
    const DriveRecord& record(char letter) const;
    // Overwrites a listed letter's record; nothing for any other.
    void store(const DriveRecord& record);

    bool isMarked(char letter) const;
    void setMarked(char letter, bool marked);

  private:
    struct Entry {
        bool listed;
        bool marked;
        DriveRecord record;
    };
    Entry* entryOf(char letter);
    const Entry* entryOf(char letter) const;

    Entry entries_[kLetterCount] = {};
};

// The process-wide table the main window fills once and reads from afterwards.
DriveTable& driveTable();

} // namespace kelvarin
