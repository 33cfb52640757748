#include "drives/drive_record.h"

namespace kelvarin {

void DriveList::append(DriveRecord* record) {
    record->next = nullptr;
    record->prev = tail_;
    if (tail_ != nullptr) {
        tail_->next = record;
    } else {
        head_ = record;
    }
    tail_ = record;
}

int DriveList::insert(DriveRecord* record) {
    int position = 0;
    DriveRecord* after = nullptr;
    for (DriveRecord* at = head_; at != nullptr && at->rootPath[0] < record->rootPath[0];
         at = at->next) {
        after = at;
        ++position;
    }
    record->prev = after;
    record->next = after != nullptr ? after->next : head_;
    (record->next != nullptr ? record->next->prev : tail_) = record;
    (after != nullptr ? after->next : head_) = record;
    return position;
}

void DriveList::remove(int position) {
    DriveRecord* record = find(position);
    if (record == nullptr) {
        return;
    }
    (record->prev != nullptr ? record->prev->next : head_) = record->next;
    (record->next != nullptr ? record->next->prev : tail_) = record->prev;
    HeapFree(GetProcessHeap(), 0, record);
}

int DriveList::positionOf(char letter) const {
    int position = 0;
    for (const DriveRecord* at = head_; at != nullptr; at = at->next, ++position) {
        if (at->rootPath[0] == letter) {
            return position;
        }
    }
    return -1;
}

DriveRecord* DriveList::find(int position) const {
    if (position < 0) {
        return nullptr;
    }
    DriveRecord* record = head_;
    for (int i = 0; record != nullptr && i < position; ++i) {
        record = record->next;
    }
    return record;
}

DriveRecord DriveList::at(int position) const {
    const DriveRecord* record = find(position);
    return record != nullptr ? *record : DriveRecord{};
}

int DriveList::count() const {
    int n = 0;
    for (const DriveRecord* record = head_; record != nullptr; record = record->next) {
        ++n;
    }
    return n;
}

void DriveList::storeBack(int position, const DriveRecord& value) {
    DriveRecord* record = find(position);
    if (record == nullptr) {
        return;
    }
    DriveRecord* const next = record->next;
    DriveRecord* const prev = record->prev;
    *record = value;
    record->next = next;
    record->prev = prev;
}

namespace {

// Records and their icons live until the process ends; the list needs no
// destructor and is ready before any code runs.
DriveList g_driveList;

} // namespace

DriveList& driveList() {
    return g_driveList;
}

} // namespace kelvarin
