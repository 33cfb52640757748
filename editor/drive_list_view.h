// The drive list view: one item per listed letter, in letter order, each
// with its letter's image (or the placeholder of a drive that has not
// answered, or the plain drive image), ghosted while no drive has its
// letter. Items are found by letter (kept in the item); a position in the
// list matters only here.
#pragma once

#include "drives/drive_record.h"
#include "drives/drive_table.h"

#include <windows.h>

namespace kelvarin {

class DriveListView {
  public:
    // The image list holds one image per letter, then the placeholder (blank,
    // for a drive that has not answered) and the plain drive image of a
    // letter with no drive and no icon location, or of a drive that does not
    // answer.
    static constexpr int kPlaceholderImage = kLetterCount;
    static constexpr int kNeutralImage = kLetterCount + 1;

    explicit DriveListView(HWND listView) : list_(listView) {}

    // Gives the list images of size pixels, the old ones' place taken by
    // the placeholder until they are shown again; false when there is no
    // image list.
    bool createImages(int size);
    // Puts the system's plain drive icon in its place, blank until then.
    void showNeutralImage();

    // A letter's item at its place among the listed ones (table order);
    // the items laid out again unless the caller does it once for many.
    void insert(const DriveTable& table, const DriveRecord& record, bool arranged = true);
    void arrange();
    void remove(char letter);
    // The item shows the record: its own image once it has an icon (put in
    // its letter's image when iconChanged), ghosted without a drive.
    void show(const DriveRecord& record, bool iconChanged);

    char letterAt(int item) const; // 0 for none
    char selectedLetter() const;   // 0 when no item is selected
    void select(char letter);

  private:
    int itemOf(char letter) const;
    int rowSpacing(int size) const;

    HWND list_;
};

} // namespace kelvarin
