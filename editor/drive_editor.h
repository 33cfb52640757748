// The controller behind the main window: the drive list view, the edit
// fields, the icon preview, change tracking and writing the settings.
#pragma once

#include "drives/drive_record.h"
#include "drives/drive_settings.h"

#include <windows.h>
#include <commctrl.h>

namespace kelvarin {

class DriveEditor {
  public:
    // Takes the main window and fills it (initialize) with the drives read
    // into `drives`: the process-wide list, or a list of a test's own.
    explicit DriveEditor(HWND dialog, DriveList& drives = driveList());
    ~DriveEditor();
    DriveEditor(const DriveEditor&) = delete;
    DriveEditor& operator=(const DriveEditor&) = delete;

    // 1 when the list view was filled, 0 with no drives or no image list.
    int initialize();
    // Releases the per-drive arrays and the preview icon the editor owns.
    void destroy();

    // Showing drives.
    void onListClick(HWND listView);
    // A selection moved by the keyboard shows the drive as a click would.
    void onListItemChanged(const NMLISTVIEW& change);
    void commitCurrentEdits();
    void showRecord(const DriveRecord& record);
    int selectOrAddComboText(const char* text, int comboId);
    void paintPreview(HDC deviceContext);

    // Change tracking.
    void onComboSetFocus();
    void onComboKillFocus(int comboId);
    void onComboSelChange(int comboId);

    // Applying.
    int showApplyMenu(int menuId);
    void applyChanges(int position, int command);

    // The Browse button.
    void browseForIcon();

  private:
    enum class ApplyResult { Declined, Written, Failed };

    ApplyResult applyOne(int position);
    int selectedDrive() const;
    bool isDrive(int position) const;
    void readControlText(int controlId, char* buffer, int capacity) const;
    void setOwnedPreview(HICON icon);
    void setBorrowedPreview(HICON icon);
    void releasePreview();
    void repaintPreview() const;

    HWND dialog_;
    HICON previewIcon_ = nullptr;
    bool previewOwned_ = false;
    int currentIndex_ = -1;
    HWND listView_;
    PerDriveArrays arrays_;
    DriveList& drives_;
};

} // namespace kelvarin
