// Drives a running Kelvarin.exe from the test process as a user would: real
// mouse clicks and key presses through SendInput, buttons and menus through
// their messages, message boxes found by title and answered.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testbed {

// Polls condition until it holds or timeoutMs passes.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

struct MessageBoxSeen {
    HWND window = nullptr;
    std::string title;
    std::string text;
    explicit operator bool() const { return window != nullptr; }
};

class KelvarinApp {
  public:
    KelvarinApp() = default;
    ~KelvarinApp();  // ends the process if a test left it running
    KelvarinApp(const KelvarinApp&) = delete;
    KelvarinApp& operator=(const KelvarinApp&) = delete;

    // Starts Kelvarin.exe in workingDir (the program's folder by default).
    bool start(const std::string& workingDir = {});
    // Waits for the main window ("Kelvarin") of this process.
    HWND waitForMainWindow(int timeoutMs = 10000);
    HWND mainWindow() const { return main_; }
    DWORD processId() const { return process_.dwProcessId; }

    bool waitForExit(int timeoutMs, DWORD* exitCode = nullptr);
    bool running() const;

    HWND control(int id) const { return GetDlgItem(main_, id); }
    std::string text(HWND window) const;
    std::string controlText(int id) const { return text(control(id)); }

    // The drive list.
    int listCount() const;
    std::string listItemText(int item) const;
    int listItemImage(int item) const;
    int listSelection() const;
    RECT listItemRect(int item, int part = LVIR_BOUNDS) const;  // screen coordinates
    void clickListItem(int item);
    // Leaves no drive selected, as a click on empty list space does on
    // Windows. Wine's list view gives each drive a cell that fills the whole
    // list, so no click there selects nothing; the state is set directly.
    void clearListSelection();

    // Any list view of Kelvarin's (the icon picker's too).
    int itemCount(HWND list) const;
    int selectedItem(HWND list) const;
    RECT itemRect(HWND list, int item, int part = LVIR_BOUNDS) const;  // screen coordinates
    void clickItem(HWND list, int item);  // scrolled into view first

    // Combo boxes.
    std::vector<std::string> comboItems(int id) const;
    int comboSelection(int id) const;
    // Puts text into the combo box's edit field, as typing would leave it.
    void setComboText(int id, const std::string& text);
    // Chooses item from the drop-down list as the user would (the combo box
    // reports the selection).
    void chooseComboItem(int id, int item);

    // Input.
    void bringToFront();
    void focus(int id);          // returns once the control has the focus
    void focusWindow(HWND window);
    void clickCentre(HWND window);  // a real click, e.g. on a button
    HWND focused() const;        // the window with the keyboard focus in Kelvarin
    void clickAt(POINT screen);
    void moveMouseTo(POINT screen);
    void pressKey(WORD key);
    void pressKeys(std::initializer_list<WORD> keys);
    void typeText(const std::string& ascii);
    void clickButton(int id);        // posted BM_CLICK: buttons that open modal boxes
    void postCommand(int id);        // a menu item

    // Message boxes (and other dialogs) owned by this process's windows.
    MessageBoxSeen waitForMessageBox(int timeoutMs = 5000, const std::string& title = {});
    // A dialog by title (empty: any) and, where given, a control it holds.
    HWND waitForDialog(const std::string& title, int timeoutMs = 5000, int withControl = 0) const;
    void answer(const MessageBoxSeen& box, int button);
    bool noMessageBoxFor(int ms);

    // Pixels of a screen rectangle, and a PNG of a window in the artifacts.
    std::vector<std::uint32_t> screenPixels(const RECT& rect) const;
    std::string screenshot(HWND window, const std::string& name) const;

    // Returns once Kelvarin has finished the message it was handling.
    void settle() const;

    // The main window's GUI thread; for AttachThreadInput.
    DWORD guiThread() const;

  private:
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

} // namespace testbed
