// The controller behind the main window: it answers the window's events,
// keeps the drive table up to date with what the drives answer and with
// drives that come and go, tracks changes, and writes or restores the
// settings. The list view and the edit fields draw what it tells them.
#pragma once

#include "common/unique_handle.h"
#include "drives/drive_answers.h"
#include "drives/drive_table.h"
#include "drives/remembered_shares.h"
#include "editor/drive_list_view.h"
#include "editor/edit_fields.h"
#include "writer/change_set.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

namespace kelvarin {

// Posted to the main window: once it is first shown, to start asking the
// drives; and with each answer (lParam, a DriveAnswer the window frees).
constexpr UINT kAskDrivesMessage = WM_APP + 1;
constexpr UINT kDriveAnswerMessage = WM_APP + 2;
constexpr UINT kSharesChangedMessage = WM_APP + 3;
constexpr UINT kKeepSelectionMessage = WM_APP + 4;
// Posted when the writer an apply started has ended (lParam: a WriteOutcome
// the window frees with freeWriteOutcome).
constexpr UINT kWriteDoneMessage = WM_APP + 5;

struct WriteOutcome {
    bool started; // false: it never ran (error says why), and wrote nothing
    DWORD error;  // ERROR_CANCELLED: the user refused the elevation prompt
    DWORD status; // its exit status (settings_writer.h)
};
void freeWriteOutcome(WriteOutcome* outcome);

// The writer program: this one, unless a test names Kelvarin.exe.
void setWriterProgram(const char* program);

// One apply handed to the writer: the changes, and what the window needs
// to show them once written.
struct WriteJob {
    ChangeSet set;
    bool all;       // every marked drive: each one written is unmarked
    bool exitAfter; // the exit question follows (決定)
    char changes[MAX_PATH];
    char before[kLetterCount][260]; // the icon location stored before, by letter
    bool beforeKnown[kLetterCount]; // false: too long to read
};

struct stop_watching {
    void operator()(ShareWatch* watch) const { stopWatching(watch); }
};

class DriveEditor {
  public:
    // Takes the main window and fills it (initialize) with the drives read
    // into `drives`: the process-wide table, or a table of a caller's own.
    explicit DriveEditor(HWND dialog, DriveTable& drives = driveTable());
    ~DriveEditor();
    DriveEditor(const DriveEditor&) = delete;
    DriveEditor& operator=(const DriveEditor&) = delete;

    // 1 when the list view was filled, 0 with no image list. Every drive
    // starts with the placeholder image; what the drives answer is asked for
    // once the window is up (askDrives). Letters with stored settings and no
    // drive are listed too, ghosted.
    int initialize();
    // Stops taking answers and releases the preview icon the editor owns and
    // the window's icons.
    void destroy();

    // WM_SHOWWINDOW: the first time the window is shown, the drives are asked
    // (kAskDrivesMessage), so the window is on the screen before they are.
    void onShown();
    // Asks every drive in the background; each answer comes to onAnswer.
    void askDrives();
    // Shows what a drive answered, unless it is stale; frees the answer.
    void onAnswer(DriveAnswer* answer);
    // A drive that has not told its type kSilenceMs after it was asked is
    // shown as not answering (WM_TIMER).
    void onTimer(UINT_PTR timer);
    // WM_DPICHANGED: the window's new DPI and the rectangle Windows
    // suggests for it. TRUE where the editor laid the window out itself
    // (per-monitor v1), FALSE where the dialog manager does.
    INT_PTR onDpiChanged(UINT dpi, const RECT& suggested);

    // Letters without a drive, and drives that come and go.
    DWORD listedLetters() const { return drives_.listedLetters(); } // bit 0 for A
    // Lists a letter without a drive, selected, with nothing stored yet.
    void addLetter(char letter);
    // The volumes of letters (bit 0 for A) arrived or left; for media (a
    // disc put in or taken out) the drives stay and are asked again.
    void onDrivesChanged(DWORD letters, bool arrived, bool media);
    // The shares the user's Explorer remembers changed (kSharesChangedMessage).
    void onRememberedSharesChanged();

    // Showing drives.
    void onListClick(HWND listView);
    // A selection moved by the keyboard shows the drive as a click would.
    void onListItemChanged(const NMLISTVIEW& change);
    // The drive the fields show, which is the list's selected item: the
    // Apply menu, Browse, the drop-downs and change tracking act on it.
    char shownLetter() const { return shown_; }
    // kKeepSelectionMessage: the list left without a selection selects the
    // shown drive again.
    void keepShownSelected();
    // What the fields hold goes to the shown drive, marking it where it
    // differs from its record: on every way of leaving a field, and before
    // any command reads or asks about the drive.
    void takeFields();
    void showRecord(const DriveRecord& record);
    int selectOrAddComboText(const char* text, int comboId) {
        return fields_.selectOrAddComboText(text, comboId);
    }
    void paintPreview(HDC deviceContext) const { fields_.paintPreview(deviceContext); }
    void drawSizes(const DRAWITEMSTRUCT& item) const { fields_.drawSizes(item); }
    void onPreviewClicked();

    // Change tracking.
    void onComboKillFocus() { takeFields(); }
    void onComboSelChange(int comboId);

    // Applying, and going back to what Windows itself shows, for a drive
    // letter (applyChanges with ID_APPLY_ALL: every marked drive). True
    // when a writer was started; with exitAfter, the exit question follows
    // once it has ended. While one runs, no other apply starts.
    int showApplyMenu(int menuId);
    bool applyChanges(char letter, int command, bool exitAfter = false);
    void restoreDefaults(char letter);
    // kWriteDoneMessage: frees the outcome.
    void onWriteDone(WriteOutcome* outcome);

    // The Browse button, and a file dropped on the window (WM_DROPFILES):
    // the shown drive's icon location becomes an icon file, an icon of a
    // program or library picked from it, or an icon made of a picture.
    void browseForIcon();
    void onDropFiles(HDROP drop);

  private:
    enum class ApplyResult { Declined, Confirmed, Failed };

    ApplyResult confirmOne(char letter);
    bool newJob(bool all, bool exitAfter);
    void addChange(char letter, bool restore);
    void startWrite();
    void showWritten(const WriteJob& job, const DriveChange& change);
    void restored(char letter, const char* before, bool removed);
    void refreshImages(char letter, const char* before, const char* now);
    void setWindowIcons(UINT dpi);
    void useIconFile(const char* path);
    void usePicture(const char* icon, MadeIcon made);
    void setShownLocation(const char* location);
    void reportWriteFailure(char letter) const;
    void storeRecord(const DriveRecord& record);
    void askPreview(const char* location);
    void askIcon(char letter);
    void askAboutDrive(char letter);
    void replaceShownLabel(char letter, const char* shown, const char* label);
    void listDrive(const DriveRecord& record);
    void putRecord(const DriveRecord& record);
    void removeDrive(char letter);
    void driveArrived(char letter);
    void driveLeft(char letter);
    bool listRemembered(DriveRecord record);
    void forgetOwnName(DriveRecord& record);
    void settleAnswer(DriveRecord& record, const DriveRecord& answered);

    // One timer per letter, counting from when its drive was asked.
    static constexpr UINT_PTR kSilenceTimer = 0x5100;
    static constexpr UINT kSilenceMs = 3000;

    HWND dialog_;
    DriveTable& drives_;
    DriveListView list_;
    EditFields fields_;
    char shown_ = 0; // the letter whose drive the fields show, 0 for none
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    int iconSize_ = 0;  // of the list's images and the preview, for the window's DPI
    unique_hfont font_; // the dialog's font at a DPI it was laid out for by the editor
    unique_hicon bigIcon_;
    unique_hicon smallIcon_;
    AnswerSink* answers_ = nullptr;
    unique_handle<ShareWatch*, stop_watching> shareWatch_;
    bool askPosted_ = false;
    unique_heap<WriteJob> job_;  // the apply the writer is busy with
    unsigned pictureTicket_ = 0; // the picture asked last; any later location outdates it
};

} // namespace kelvarin
