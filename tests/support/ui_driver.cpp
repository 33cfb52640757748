#include "tests/support/ui_driver.h"

#include "res/resource.h"
#include "tests/support/testbed.h"

#include <commctrl.h>

namespace testbed {


bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) {
            return false;
        }
        Sleep(20);
    }
}

KelvarinApp::~KelvarinApp() {
    if (process_.hProcess != nullptr) {
        if (running()) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

bool KelvarinApp::start(const std::string& workingDir) {
    std::string command = "\"" + kelvarinPath() + "\"";
    const std::string dir = workingDir.empty() ? binDir() : workingDir;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup,
                          &process_) != FALSE;
}

namespace {

struct WindowSearch {
    DWORD processId;
    std::string className;
    std::string title;  // empty: any
    HWND exclude;
    HWND found;
    int withControl;  // 0: any
};

std::string windowText(HWND window) {
    char buffer[1024] = {};
    // WM_GETTEXT crosses processes; GetWindowText would not for controls.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                        2000, nullptr);
    return buffer;
}

BOOL CALLBACK matchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || window == search->exclude || !IsWindowVisible(window)) {
        return TRUE;
    }
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (search->className != className) {
        return TRUE;
    }
    if (!search->title.empty() && windowText(window) != search->title) {
        return TRUE;
    }
    if (search->withControl != 0 && GetDlgItem(window, search->withControl) == nullptr) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND findWindow(DWORD processId, const std::string& title, HWND exclude = nullptr, int withControl = 0) {
    WindowSearch search{processId, "#32770", title, exclude, nullptr, withControl};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Memory in the other process, for list-view messages that take pointers.
class RemoteBuffer {
  public:
    RemoteBuffer(DWORD processId, std::size_t size) : size_(size) {
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    void* address() const { return address_; }
    void write(const void* data, std::size_t size, std::size_t offset = 0) {
        WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
    }
    void read(void* data, std::size_t size, std::size_t offset = 0) const {
        ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
    }

  private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    std::size_t size_;
};

void sendInputs(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

INPUT keyInput(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

} // namespace

HWND KelvarinApp::waitForMainWindow(int timeoutMs) {
    waitFor([&] { return (main_ = findWindow(process_.dwProcessId, "Kelvarin")) != nullptr; }, timeoutMs);
    if (main_ != nullptr) {
        // The list is filled during the window's initialisation; wait until
        // the window answers messages.
        DWORD_PTR result = 0;
        SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
    }
    return main_;
}

bool KelvarinApp::waitForExit(int timeoutMs, DWORD* exitCode) {
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        return false;
    }
    if (exitCode != nullptr) {
        GetExitCodeProcess(process_.hProcess, exitCode);
    }
    return true;
}

bool KelvarinApp::running() const {
    return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

std::string KelvarinApp::text(HWND window) const { return windowText(window); }

DWORD KelvarinApp::guiThread() const { return GetWindowThreadProcessId(main_, nullptr); }

int KelvarinApp::listCount() const { return itemCount(control(IDC_DRIVE_LIST)); }

int KelvarinApp::itemCount(HWND list) const { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

std::string KelvarinApp::listItemText(int item) const {
    RemoteBuffer remote(process_.dwProcessId, sizeof(LVITEMA) + 260);
    LVITEMA query{};
    query.mask = LVIF_TEXT;
    query.iItem = item;
    query.pszText = reinterpret_cast<char*>(static_cast<char*>(remote.address()) + sizeof(LVITEMA));
    query.cchTextMax = 260;
    remote.write(&query, sizeof query);
    SendMessageA(control(IDC_DRIVE_LIST), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.address()));
    char textBuffer[260] = {};
    remote.read(textBuffer, sizeof textBuffer - 1, sizeof(LVITEMA));
    return textBuffer;
}

int KelvarinApp::listItemImage(int item) const {
    RemoteBuffer remote(process_.dwProcessId, sizeof(LVITEMA));
    LVITEMA query{};
    query.mask = LVIF_IMAGE;
    query.iItem = item;
    remote.write(&query, sizeof query);
    SendMessageA(control(IDC_DRIVE_LIST), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.address()));
    remote.read(&query, sizeof query);
    return query.iImage;
}

int KelvarinApp::listSelection() const { return selectedItem(control(IDC_DRIVE_LIST)); }

int KelvarinApp::selectedItem(HWND list) const {
    return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
}

RECT KelvarinApp::listItemRect(int item, int part) const { return itemRect(control(IDC_DRIVE_LIST), item, part); }

void KelvarinApp::clickItem(HWND list, int item) {
    SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
    const RECT rect = itemRect(list, item, LVIR_ICON);
    clickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

RECT KelvarinApp::itemRect(HWND list, int item, int part) const {
    settle();
    RemoteBuffer remote(process_.dwProcessId, sizeof(RECT));
    RECT rect{};
    rect.left = part;
    remote.write(&rect, sizeof rect);
    SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote.address()));
    remote.read(&rect, sizeof rect);
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void KelvarinApp::clickListItem(int item) {
    const RECT rect = listItemRect(item, LVIR_ICON);
    clickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

void KelvarinApp::clearListSelection() {
    RemoteBuffer remote(process_.dwProcessId, sizeof(LVITEMA));
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED;
    remote.write(&state, sizeof state);
    SendMessageA(control(IDC_DRIVE_LIST), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(remote.address()));
    settle();
}

std::vector<std::string> KelvarinApp::comboItems(int id) const {
    // Wide messages: Wine hands a narrow CB_GETLBTEXT from another process
    // back as UTF-16.
    std::vector<std::string> items;
    const HWND combo = control(id);
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t item[1024] = {};
        if (SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < 1024) {
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        }
        char narrow[2048] = {};
        WideCharToMultiByte(932, 0, item, -1, narrow, sizeof narrow, nullptr, nullptr);
        items.push_back(narrow);
    }
    return items;
}

int KelvarinApp::comboSelection(int id) const {
    return static_cast<int>(SendMessageA(control(id), CB_GETCURSEL, 0, 0));
}

void KelvarinApp::setComboText(int id, const std::string& value) {
    SendMessageA(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
}

void KelvarinApp::chooseComboItem(int id, int item) {
    // Opening the list, moving to the item and closing it with Enter is how
    // a keyboard user chooses; the combo box then reports CBN_SELCHANGE.
    focus(id);
    SendMessageA(control(id), CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageA(control(id), CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    const HWND combo = control(id);
    PostMessageA(main_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
}

void KelvarinApp::bringToFront() {
    const DWORD self = GetCurrentThreadId();
    AttachThreadInput(self, guiThread(), TRUE);
    SetForegroundWindow(main_);
    SetActiveWindow(main_);
    AttachThreadInput(self, guiThread(), FALSE);
}

void KelvarinApp::focus(int id) { focusWindow(control(id)); }

void KelvarinApp::focusWindow(HWND window) {
    const DWORD self = GetCurrentThreadId();
    AttachThreadInput(self, guiThread(), TRUE);
    SetFocus(window);
    AttachThreadInput(self, guiThread(), FALSE);
    settle();
    // A combo box takes the focus in its edit field.
    waitFor([&] { return focused() == window || IsChild(window, focused()); }, 2000);
}

void KelvarinApp::clickCentre(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    clickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

HWND KelvarinApp::focused() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(guiThread(), &info);
    return info.hwndFocus;
}

namespace {

INPUT mouseInput(POINT screen, DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    input.mi.dy = MulDiv(screen.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return input;
}

} // namespace

void KelvarinApp::settle() const {
    // Answered only between two messages: whatever Kelvarin was handling
    // (a click, a key) is finished when this returns.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
}

void KelvarinApp::moveMouseTo(POINT screen) {
    // Through the input queue, as a real mouse: a bare SetCursorPos from
    // another process is not what Kelvarin's GetCursorPos reports on Wine.
    const auto arrived = [&] {
        POINT now{};
        GetCursorPos(&now);
        return now.x == screen.x && now.y == screen.y;
    };
    for (int attempt = 0; attempt < 3 && !arrived(); ++attempt) {
        sendInputs({mouseInput(screen, 0)});
        waitFor(arrived, 500);
    }
    settle();
}

void KelvarinApp::clickAt(POINT screen) {
    settle();
    sendInputs({mouseInput(screen, 0)});
    sendInputs({mouseInput(screen, MOUSEEVENTF_LEFTDOWN)});
    Sleep(40);  // a press a person makes, not an instant one
    sendInputs({mouseInput(screen, MOUSEEVENTF_LEFTUP)});
    Sleep(50);
    settle();
}


void KelvarinApp::pressKey(WORD key) {
    settle();
    sendInputs({keyInput(key, false), keyInput(key, true)});
    Sleep(50);
    settle();
}

void KelvarinApp::pressKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        inputs.push_back(keyInput(key, false));
    }
    for (auto it = keys.end(); it != keys.begin();) {
        inputs.push_back(keyInput(*--it, true));
    }
    sendInputs(inputs);
}

void KelvarinApp::typeText(const std::string& ascii) {
    std::vector<INPUT> inputs;
    for (char c : ascii) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = static_cast<WORD>(static_cast<unsigned char>(c));
        input.ki.dwFlags = KEYEVENTF_UNICODE;
        inputs.push_back(input);
        input.ki.dwFlags |= KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    sendInputs(inputs);
}

void KelvarinApp::clickButton(int id) { PostMessageA(control(id), BM_CLICK, 0, 0); }

void KelvarinApp::postCommand(int id) { PostMessageA(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

MessageBoxSeen KelvarinApp::waitForMessageBox(int timeoutMs, const std::string& title) {
    MessageBoxSeen seen;
    waitFor(
        [&] {
            const HWND box = findWindow(process_.dwProcessId, title, main_);
            if (box == nullptr || GetDlgItem(box, 0xFFFF) == nullptr) {
                return false;
            }
            seen.window = box;
            return true;
        },
        timeoutMs);
    if (seen.window != nullptr) {
        seen.title = text(seen.window);
        seen.text = text(GetDlgItem(seen.window, 0xFFFF));
    }
    return seen;
}

HWND KelvarinApp::waitForDialog(const std::string& title, int timeoutMs, int withControl) const {
    HWND found = nullptr;
    waitFor([&] { return (found = findWindow(process_.dwProcessId, title, main_, withControl)) != nullptr; },
            timeoutMs);
    return found;
}

void KelvarinApp::answer(const MessageBoxSeen& box, int button) {
    PostMessageA(GetDlgItem(box.window, button), BM_CLICK, 0, 0);
    waitFor([&] { return !IsWindow(box.window); }, 5000);
    // The main window gets the focus back when it is activated again, after
    // the box is gone; acting before that would lose the focus to it.
    waitFor([&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return !running() || (GetGUIThreadInfo(guiThread(), &info) && info.hwndActive == main_ &&
                              info.hwndFocus != nullptr);
    }, 2000);
    if (running()) {
        settle();
    }
}

bool KelvarinApp::noMessageBoxFor(int ms) { return !waitForMessageBox(ms); }

std::vector<std::uint32_t> KelvarinApp::screenPixels(const RECT& rect) const {
    return renderPixels(rect.right - rect.left, rect.bottom - rect.top, [&](HDC target) {
        HDC screen = GetDC(nullptr);
        BitBlt(target, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

std::string KelvarinApp::screenshot(HWND window, const std::string& name) const {
    // Whatever was just opened is painted before the picture is taken.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    settle();
    Sleep(300);
    RECT rect{};
    GetWindowRect(window, &rect);
    const std::string path = artifactsDir() + "\\" + name + ".png";
    writePng(path, rect.right - rect.left, rect.bottom - rect.top, screenPixels(rect));
    return path;
}

} // namespace testbed
