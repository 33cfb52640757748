// The controller behind the main window: the drive list view, the edit
// fields, the icon preview, change tracking and writing the settings.
#pragma once

#include "common/unique_handle.h"
#include "drives/drive_answers.h"
#include "drives/drive_record.h"
#include "drives/drive_settings.h"

#include <windows.h>
#include <commctrl.h>

namespace kelvarin {

// Posted to the main window: once it is on the screen, to start asking the
// drives; and with each answer (lParam, a DriveAnswer the window frees).
constexpr UINT kAskDrivesMessage = WM_APP + 1;
constexpr UINT kDriveAnswerMessage = WM_APP + 2;

class DriveEditor {
  public:
    // Takes the main window and fills it (initialize) with the drives read
    // into `drives`: the process-wide list, or a list of a caller's own.
    explicit DriveEditor(HWND dialog, DriveList& drives = driveList());
    ~DriveEditor();
    DriveEditor(const DriveEditor&) = delete;
    DriveEditor& operator=(const DriveEditor&) = delete;

    // 1 when the list view was filled, 0 with no image list. Every drive
    // starts with the placeholder image; what the drives answer is asked for
    // once the window is up (askDrives). Letters with stored settings and no
    // drive are listed too, ghosted.
    int initialize();
    // Stops taking answers and releases the per-drive arrays, the preview
    // icon the editor owns and the window's icons.
    void destroy();

    // Asks every drive in the background; each answer comes to onAnswer.
    void askDrives();

    // Letters without a drive, and drives that come and go.
    DWORD listedLetters() const; // bit 0 for A
    // Lists a letter without a drive, selected, with nothing stored yet.
    void addLetter(char letter);
    // The volumes of letters (bit 0 for A) arrived or left; for media (a
    // disc put in or taken out) the drives stay and are asked again.
    void onDrivesChanged(DWORD letters, bool arrived, bool media);
    // Shows what a drive answered, unless it is stale; frees the answer.
    void onAnswer(DriveAnswer* answer);
    // A drive that has not told its type kSilenceMs after it was asked is
    // shown as not answering (WM_TIMER).
    void onTimer(UINT_PTR timer);

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

    // Applying, and going back to what Windows itself shows.
    int showApplyMenu(int menuId);
    void applyChanges(int position, int command);
    void restoreDefaults(int position);

    // The Browse button.
    void browseForIcon();

  private:
    enum class ApplyResult { Declined, Written, Failed };

    ApplyResult applyOne(int position);
    void storeFields(int position);
    void storeRecord(int position, const DriveRecord& record);
    bool isDrive(int position) const;
    void readControlText(int controlId, char* buffer, int capacity) const;
    void reportWriteFailure(char letter) const;
    void setPreview(HICON icon, bool owned);
    void repaintPreview() const;
    void askPreview(const char* location);
    void askIcon(int position);
    bool fieldShows(int controlId, const char* text) const;
    void replaceShownLabel(int position, const char* shown, const char* label);
    int insertDrive(const DriveRecord& record);
    void insertItem(int position, const DriveRecord& record);
    void removeDrive(int position);
    void driveArrived(char letter);
    void askAboutDrive(int position);
    void driveLeft(char letter);
    int slotAt(int position) const;
    int& markOf(int position) { return arrays_.dirtyFlags[std::size_t(slotAt(position))]; }
    DriveRecord& snapshotOf(int position) {
        return arrays_.snapshots[std::size_t(slotAt(position))];
    }
    // The image list holds one image per letter, then the placeholder (blank,
    // for a drive that has not answered) and the neutral drive image of a
    // letter with no drive and no icon location.
    static constexpr int kPlaceholderImage = kLetterCount;
    static constexpr int kNeutralImage = kLetterCount + 1;
    // One timer per letter, counting from when its drive was asked.
    static constexpr UINT_PTR kSilenceTimer = 0x5100;
    static constexpr UINT kSilenceMs = 3000;

    HWND dialog_;
    HICON previewIcon_ = nullptr;
    bool previewOwned_ = false;
    int currentIndex_ = -1;
    HWND listView_;
    PerDriveArrays arrays_;
    DriveList& drives_;
    unique_hicon bigIcon_;
    unique_hicon smallIcon_;
    AnswerSink* answers_ = nullptr;
    unsigned previewTicket_ = 0; // only the newest preview asked for is shown
};

} // namespace kelvarin
