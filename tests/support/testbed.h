// The Wine test bed from inside a test program: the settings key, pixels and
// screenshots, and the real main window run in this process with its modal
// windows answered by a script.
#pragma once

#include "drives/drive_table.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>

namespace testbed {

// Drives of scripts/testbed.sh in list order: C fixed, D CD-ROM, E removable,
// F network, G fixed labelled "データ", H RAM disk, Z the root.
constexpr char kLetters[] = "CDEFGHZ";
enum Item { kC, kD, kE, kF, kG, kH, kZ };
using Texts = std::vector<std::string>;
constexpr int kPlaceholder = 26, kNeutral = 27; // images: not answered; no drive, no icon
using Pixels = std::vector<std::uint32_t>;

// piece repeated up to bytes bytes.
inline std::string repeated(const std::string& piece, std::size_t bytes) {
    return bytes > piece.size() ? piece + repeated(piece, bytes - piece.size())
                                : piece.substr(0, bytes);
}
std::string binDir(); // beside it: test-temp and test-artifacts
// The tests' own library (support/test_library.c): icon 0 solid red, icon 1 blue.
inline std::string iconLibrary() {
    return binDir() + "\\library\\mpr.dll";
}
constexpr std::uint32_t kRed = 0xFF0000, kBlue = 0x0000FF;
std::string readFile(const std::string& path);
void resetSettings(); // the settings key, labels and remembered shares as laid

struct Stored {
    bool key = false;
    std::string keyClass;
    std::string data; // the default value's raw bytes
    DWORD type = 0;
    std::string text() const { return data.c_str(); }
};
Stored stored(char letter, const char* subkey = nullptr);
void store(char letter, const char* subkey, const std::string& bytes, DWORD type = REG_SZ);
inline void storeText(char letter, const char* subkey, const std::string& text) {
    store(letter, subkey, text + '\0');
}
// A connection the user's Explorer remembers ("\\server\share").
void remember(char letter, const std::string& remote);
// A drive that arrives while the program runs, as a stick is plugged in or a
// disk attached: a folder of C: of its own with its volume label, defined
// through Wine's mount manager (the program hears of it by WM_DEVICECHANGE,
// which MainWindow::volume sends); gone again at the end.
struct ArrivingDrive {
    ArrivingDrive(char letter, UINT type, const std::string& label);
    ~ArrivingDrive();
    const char letter;
};
// No non-volatile key can be made below a volatile one: writes that fail.
void makeLetterKeyVolatile(char letter);

Pixels iconPixels(HICON icon, int size = 32); // size x size on white
Pixels iconOf(const char* location);          // as the shell extracts it: "file,index" or a path
Pixels screenPixels(const RECT& rect);
// test-artifacts/name.WxH.bgra, once the window's pixels on the screen stop changing.
void screenshot(HWND window, const std::string& name, RECT rect = {});
int processesNamed(const char* exe); // running, other than this one
std::string parentName();            // the program that started this one
// What Wine wrote to this program's stderr and its children's
// (scripts/testbed-exec.sh keeps a copy).
std::string wineMessages();
// Runs one test of this program (a DISABLED_ one) in a process of its own
// with Wine's messages of the shell's unfinished calls on (SHUpdateImage
// only leaves one); its exit code.
DWORD runWithShellMessages(const std::string& test);

// No control's text cut (statics, buttons) and no two controls of the
// window over each other.
::testing::AssertionResult laidOut(HWND window);

// This thread's, after a short pause; keys go through the dialog manager,
// as in a dialog's own loop.
void pumpMessages();
// What the platform delivers later (pixels, windows and files of other
// processes, notifications) is polled for: until accept(read()), at most
// timeoutMs; a failure names what was awaited and the last value read.
template <typename Read, typename Accept>
::testing::AssertionResult waitFor(const std::string& what, Read read, Accept accept,
                                   int timeoutMs = 5000) {
    auto seen = read();
    for (const DWORD start = GetTickCount(); !accept(seen); seen = read()) {
        if (GetTickCount() - start > DWORD(timeoutMs))
            return ::testing::AssertionFailure() << "waited " << timeoutMs << " ms for " << what
                                                 << "; last seen: " << testing::PrintToString(seen);
        pumpMessages();
    }
    return ::testing::AssertionSuccess();
}

// Answers the modal windows (message boxes, dialogs, popup menus) the code
// under test opens: each step takes the next new one. A window no step is
// left for is cancelled and logged as "unexpected".
struct ModalScript {
    using Step = std::function<void(HWND)>;
    explicit ModalScript(std::deque<Step> steps);
    ~ModalScript();
    std::deque<Step> steps;
    std::vector<HWND> seen;
    Texts log;          // the text of every message box
    ModalScript* outer; // answers again once this one is done
    UINT_PTR timer;
    DWORD since; // the script's start or its last modal window
    static constexpr DWORD kBoundMs = 20000;
};

// Kelvarin.exe started from folder with arguments, ended (if still running)
// when it goes.
struct Process : PROCESS_INFORMATION {
    explicit Process(const std::string& folder = binDir(), const std::string& arguments = "");
    ~Process() { TerminateProcess(hProcess, 1); }
    // Once it has ended; one still running after the bound has its threads'
    // stacks written to the log.
    DWORD exitCode() const;
    // Its window, once shown with every drive listed.
    HWND window(LRESULT drives = 7, int timeoutMs = 9000) const;
};

// The real main window, from the program's resources and procedure, in this
// process and on a drive list of its own.
struct MainWindow {
    explicit MainWindow(bool waitForAnswers = true); // every drive's icon shown
    ~MainWindow();
    kelvarin::DriveTable drives;
    HWND window;

    HWND control(int id) const { return GetDlgItem(window, id); }
    std::string text(int id) const;
    // Waits until the control shows text.
    ::testing::AssertionResult shows(int id, const std::string& text, int timeoutMs = 5000) const;
    void select(int item);                           // a click on the drive; -1: on empty space
    void type(int comboId, const std::string& text); // focus in, text, focus out
    void edit(int comboId, const std::string& text); // focus in, text: the field not left
    void click(int item);     // with the mouse, as the user does; waits for its selection
    void key(WORD key) const; // to the focused control, through the dialog manager
    void choose(int comboId, const std::string& item);    // from the drop-down list
    void drop(const std::string& path);                   // from Explorer, as the shell drops
    void volume(char letter, UINT event, WORD flags = 0); // arrives or leaves (WM_DEVICECHANGE)
    void command(int id) const { SendMessageA(window, WM_COMMAND, id, 0); }
    // Sends a command; the message boxes (titled "Kelvarin") it shows are
    // answered with buttons in turn; their texts.
    Texts boxes(int id, std::initializer_list<int> buttons = {});
    // Waits for the writer an apply started to end, and its boxes answered.
    ::testing::AssertionResult written() const;
    // Waits until the preview on the screen is nearer to icon than to other.
    ::testing::AssertionResult previewShows(const Pixels& icon, const Pixels& other) const;
    int image(int item) const; // its slot in the list's images; kPlaceholder: none of its own
    int selected() const;      // the list's selected item, -1 for none
    // Whether the items stand in letter order in the list's layout (columns
    // top to bottom, then left to right), the item at each place of its letter.
    ::testing::AssertionResult inLetterOrder() const;
    int answered() const; // drives that told their type and show an image
    std::string item(int item) const;
    ::testing::AssertionResult listShows(int item, const Pixels& icon) const; // waits
};

} // namespace testbed
