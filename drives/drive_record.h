// One drive as the program knows it, and the ordered list of all drives.
#pragma once

#include <windows.h>

namespace kelvarin {

// A plain value: copied whole into locals and written back with storeBack.
// The record owns its icon; only the editor replaces (and destroys) it.
// What the drive itself answers (its type, the shell's name for it, its
// icon) may come long after the record is listed: until then `answered` is
// 0, the type is empty and the icon null. A letter with no drive now
// (`present` 0) is listed for the settings stored for it.
struct DriveRecord {
    char rootPath[10];
    char iconLocation[260];
    char label[256];
    HICON icon;
    char typeName[25];
    char shellName[256];
    int answered;
    int present;
    DriveRecord* next;
    DriveRecord* prev;
};

// The listed drive letters, in letter order: a position is the drive's item
// in the list view. Drives come and go while the program runs, so a
// position holds only until the next insert or remove; what must follow a
// drive is kept by its letter.
class DriveList {
  public:
    DriveList() = default;
    DriveList(const DriveList&) = delete;
    DriveList& operator=(const DriveList&) = delete;

    // Takes a heap record (from HeapAlloc) and links it at the tail.
    void append(DriveRecord* record);

    // Takes a heap record and links it in letter order; its position.
    int insert(DriveRecord* record);

    // Unlinks and frees the record at position (not its icon).
    void remove(int position);

    // The position of the drive with that letter, -1 when it is not listed.
    int positionOf(char letter) const;

    // A copy of the record at position; an empty record (all zero) when the
    // position is negative or past the end.
    DriveRecord at(int position) const;

    int count() const;

    // Overwrites the data fields at position, keeping the record's links.
    // Never destroys an icon. Out-of-range positions store nothing.
    void storeBack(int position, const DriveRecord& value);

  private:
    DriveRecord* find(int position) const;

    DriveRecord* head_ = nullptr;
    DriveRecord* tail_ = nullptr;
};

// The process-wide list the editor fills once and reads from afterwards.
DriveList& driveList();

} // namespace kelvarin
