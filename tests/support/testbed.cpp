#include "tests/support/testbed.h"

#include "app/main_dialog.h"
#include "common/unique_handle.h"

#include <shlobj.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <tlhelp32.h>
#include <dbt.h>
#include <winioctl.h>

#include <cmath>
#include <fstream>
#include <iterator>

namespace testbed {

static ModalScript* g_script = nullptr;
static const std::string kKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons";

static std::string keyPath(char letter, const char* subkey) {
    return kKey + "\\" + letter + (subkey != nullptr ? std::string("\\") + subkey : "");
}

// The pixels (0xRRGGBB, rows top down) draw paints on a bitmap of the size.
static Pixels render(int width, int height, const std::function<void(HDC)>& draw) {
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    const HDC memory = CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    draw(memory);
    GdiFlush();
    Pixels pixels(static_cast<std::uint32_t*>(bits),
                  static_cast<std::uint32_t*>(bits) + width * height);
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    std::transform(pixels.begin(), pixels.end(), pixels.begin(),
                   [](auto p) { return p & 0xFFFFFF; });
    return pixels;
}

// A modal window the code under test opened: a visible popup menu, or a
// visible dialog or message box of this thread that another window owns.
// Found by what it is, not by activation: a box need not become the active
// window while another process holds the activation.
static BOOL CALLBACK findModal(HWND window, LPARAM found) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    const bool modal = !lstrcmpA(name, "#32768") ||
                       (!lstrcmpA(name, "#32770") && GetWindow(window, GW_OWNER) != nullptr);
    if (!modal || !IsWindowVisible(window) ||
        std::count(g_script->seen.begin(), g_script->seen.end(), window) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Each tick takes the newest modal window. Once the script has waited past
// its bound the test fails, and what comes then is cancelled as unexpected.
static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = nullptr;
    if (g_script != nullptr)
        EnumThreadWindows(GetCurrentThreadId(), findModal, LPARAM(&window));
    if (window == nullptr) {
        if (g_script == nullptr || g_script->steps.empty() ||
            GetTickCount() - g_script->since < ModalScript::kBoundMs)
            return;
        ADD_FAILURE() << "waited " << ModalScript::kBoundMs << " ms for modal window "
                      << g_script->seen.size() + 1;
        return g_script->steps.clear();
    }
    g_script->seen.push_back(window); // before its step, which may open modal windows in turn
    g_script->since = GetTickCount();
    const ModalScript::Step step = g_script->steps.empty() ? nullptr : g_script->steps.front();
    if (step == nullptr) {
        g_script->log.push_back("unexpected");
        EndMenu();
        return (void)PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    }
    g_script->steps.pop_front();
    step(window);
}

std::string binDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    PathRemoveFileSpecA(path);
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

static void createKey(const std::string& path, DWORD options) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, 0, options, KEY_ALL_ACCESS, 0, &key, 0);
    RegCloseKey(key);
}

void resetSettings() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Network");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey.c_str());
    createKey(kKey, 0);
    std::ofstream("G:\\.windows-label", std::ios::binary) << u8"データ\n";
    DeleteFileA("E:\\.windows-label");
    DeleteFileA("C:\\.windows-label");
}

Stored stored(char letter, const char* subkey) {
    Stored value;
    HKEY key = nullptr;
    value.key =
        !RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath(letter, subkey).c_str(), 0, KEY_READ, &key);
    char keyClass[64] = {};
    DWORD classSize = sizeof keyClass, size = 65536;
    RegQueryInfoKeyA(key, keyClass, &classSize, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    value.keyClass = keyClass;
    value.data.resize(size);
    const LONG status = RegQueryValueExA(key, nullptr, nullptr, &value.type,
                                         reinterpret_cast<BYTE*>(value.data.data()), &size);
    value.data.resize(status == ERROR_SUCCESS ? size : 0);
    RegCloseKey(key);
    return value;
}

void store(char letter, const char* subkey, const std::string& bytes, DWORD type) {
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, keyPath(letter, subkey).c_str(), nullptr, type,
                    bytes.data(), static_cast<DWORD>(bytes.size()));
}

void remember(char letter, const std::string& remote) {
    RegSetKeyValueA(HKEY_CURRENT_USER, (std::string("Network\\") + letter).c_str(), "RemotePath",
                    REG_SZ, remote.c_str(), DWORD(remote.size() + 1));
}

// Wine's mount manager's own requests (include/ddk/mountmgr.h of Wine).
struct UnixDrive {
    ULONG size, type, fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPoint, device, label; // offsets in the request, 0 for none
};
constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
constexpr DWORD kQueryUnixDrive = CTL_CODE('m', 33, METHOD_BUFFERED, FILE_READ_ACCESS);

// Asks the mount manager; its answer's mount point, for a query.
static std::string mountManager(DWORD request, char letter, UINT type, const std::string& folder) {
    std::string buffer(sizeof(UnixDrive) + MAX_PATH + folder.size(), '\0');
    auto* drive = reinterpret_cast<UnixDrive*>(buffer.data());
    drive->size = DWORD(sizeof(UnixDrive) + folder.size() + 1);
    drive->type = type;
    drive->letter = WCHAR(tolower(letter));
    if (!folder.empty()) { // none: the drive goes
        drive->mountPoint = sizeof(UnixDrive);
        folder.copy(&buffer[sizeof(UnixDrive)], folder.size());
    }
    const HANDLE manager =
        CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(manager, request, buffer.data(), drive->size, buffer.data(),
                                DWORD(buffer.size()), &returned, nullptr))
        << "the mount manager, for " << letter;
    CloseHandle(manager);
    return request == kQueryUnixDrive && drive->mountPoint != 0 ? &buffer[drive->mountPoint] : "";
}

ArrivingDrive::ArrivingDrive(char letter_, UINT type, const std::string& label) : letter(letter_) {
    const std::string folder = std::string("C:\\kelvarin-drive-") + letter;
    CreateDirectoryA(folder.c_str(), nullptr);
    std::ofstream(folder + "\\.windows-label", std::ios::binary) << label << "\n";
    mountManager(kDefineUnixDrive, letter, type,
                 mountManager(kQueryUnixDrive, 'C', 0, "") + "/kelvarin-drive-" + letter);
}

ArrivingDrive::~ArrivingDrive() {
    mountManager(kDefineUnixDrive, letter, DRIVE_NO_ROOT_DIR, "");
}

void makeLetterKeyVolatile(char letter) {
    createKey(keyPath(letter, nullptr), REG_OPTION_VOLATILE);
}

Pixels iconPixels(HICON icon, int size) {
    return render(size, size, [&](HDC target) {
        PatBlt(target, 0, 0, size, size, WHITENESS);
        DrawIconEx(target, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    });
}

Pixels iconOf(const char* location) {
    char path[MAX_PATH];
    kelvarin::unique_hicon icon;
    SHFILEINFOA info{};
    // Explorer's rule: a file with icons of its own shows the one at the index.
    const int index = PathParseIconLocationA(lstrcpynA(path, location, MAX_PATH));
    const UINT own = PathIsRootA(path) ? 0 : ExtractIconExA(path, -1, nullptr, nullptr, 0);
    if (index == 0 && (own == 0 || own == UINT_MAX) &&
        SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON))
        icon.reset(info.hIcon);
    else
        ExtractIconExA(path, index, icon.put(), nullptr, 1);
    return iconPixels(icon.get());
}

Pixels screenPixels(const RECT& rect) {
    return render(rect.right - rect.left, rect.bottom - rect.top, [&](HDC target) {
        const HDC screen = GetDC(nullptr);
        BitBlt(target, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left,
               rect.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

void screenshot(HWND window, const std::string& name, RECT rect) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (rect.right == 0)
        GetWindowRect(window, &rect);
    // Drawn (more than one colour) and the same a moment later: the drawing
    // has reached the screen.
    Pixels pixels;
    waitFor(
        "a still picture of " + name,
        [&] {
            Sleep(50);
            return std::exchange(pixels, screenPixels(rect));
        },
        [&](const Pixels& before) {
            return before == pixels && std::count(pixels.begin(), pixels.end(), pixels[0]) <
                                           std::ptrdiff_t(pixels.size());
        });
    // Raw pixels, their size in the name: scripts/test.sh makes PNGs of them.
    const std::string size =
        std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top);
    CreateDirectoryA((binDir() + "\\..\\test-artifacts").c_str(), nullptr);
    std::ofstream(binDir() + "\\..\\test-artifacts\\" + name + "." + size + ".bgra",
                  std::ios::binary)
        .write(reinterpret_cast<const char*>(pixels.data()), std::streamsize(pixels.size() * 4));
}

// Every running process: its id, its parent's and its program.
static std::vector<PROCESSENTRY32> processes() {
    const kelvarin::unique_kernel_handle all(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    std::vector<PROCESSENTRY32> found(1);
    found.back().dwSize = sizeof(PROCESSENTRY32);
    for (BOOL more = Process32First(all.get(), &found.back()); more;
         more = Process32Next(all.get(), &found.back()))
        found.push_back(found.back());
    found.pop_back();
    return found;
}

int processesNamed(const char* exe) {
    int count = 0;
    for (const auto& entry : processes())
        count += !lstrcmpiA(entry.szExeFile, exe) && entry.th32ProcessID != GetCurrentProcessId();
    return count;
}

std::string parentName() {
    const auto all = processes();
    DWORD parent = 0;
    for (const auto& entry : all)
        parent = entry.th32ProcessID == GetCurrentProcessId() ? entry.th32ParentProcessID : parent;
    for (const auto& entry : all)
        if (entry.th32ProcessID == parent)
            return entry.szExeFile;
    return "";
}

std::string wineMessages() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return readFile(binDir() + "\\..\\test-temp\\" + PathFindFileNameA(self) + ".stderr");
}

DWORD runWithShellMessages(const std::string& test) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command =
        std::string("\"") + self + "\" --gtest_also_run_disabled_tests " + "--gtest_filter=" + test;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    SetEnvironmentVariableA("WINEDEBUG", "fixme+shell"); // Wine reads it when a process starts
    const bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableA("WINEDEBUG", "-all");
    DWORD code = DWORD(-1);
    if (started && WaitForSingleObject(child.hProcess, 60000) != WAIT_OBJECT_0)
        TerminateProcess(child.hProcess, code); // a bound like every other wait's
    if (started)
        GetExitCodeProcess(child.hProcess, &code), CloseHandle(child.hProcess),
            CloseHandle(child.hThread);
    return code;
}

::testing::AssertionResult laidOut(HWND window) {
    std::vector<HWND> controls;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child))
            controls.push_back(child);
    auto result = ::testing::AssertionSuccess();
    const auto name = [](HWND control) {
        char text[64] = {};
        GetWindowTextA(control, text, sizeof text);
        return "control " + std::to_string(GetDlgCtrlID(control)) + " \"" + text + "\"";
    };
    for (std::size_t i = 0; i < controls.size(); ++i) {
        RECT a{}, b{}, both{}, client{};
        GetWindowRect(controls[i], &a);
        for (std::size_t j = i + 1; j < controls.size(); ++j)
            if (GetWindowRect(controls[j], &b), IntersectRect(&both, &a, &b))
                result = ::testing::AssertionFailure()
                         << name(controls[i]) << " over " << name(controls[j]);
        char kind[16] = {}, text[256] = {};
        GetClassNameA(controls[i], kind, sizeof kind);
        const LONG style = GetWindowLongA(controls[i], GWL_STYLE), type = style & SS_TYPEMASK;
        const bool button = !lstrcmpiA(kind, "Button");
        const bool label =
            !lstrcmpiA(kind, "Static") && (type <= SS_RIGHT || type == SS_LEFTNOWORDWRAP);
        if (!(label || button) || !GetWindowTextA(controls[i], text, sizeof text))
            continue;
        // Buttons keep a margin for their frame; some labels are one line.
        const bool oneLine = button || (style & SS_CENTERIMAGE) || type == SS_LEFTNOWORDWRAP;
        GetClientRect(controls[i], &client);
        const int margin = button ? 2 * GetSystemMetrics(SM_CXEDGE) : 0;
        RECT needed{0, 0, client.right - margin, 0};
        const HDC context = GetDC(controls[i]);
        const HGDIOBJ old =
            SelectObject(context, HGDIOBJ(SendMessageA(controls[i], WM_GETFONT, 0, 0)));
        DrawTextA(context, text, -1, &needed,
                  DT_CALCRECT | (oneLine ? DT_SINGLELINE : DT_WORDBREAK));
        SelectObject(context, old);
        ReleaseDC(controls[i], context);
        if (needed.right > client.right - margin || needed.bottom > client.bottom)
            result = ::testing::AssertionFailure()
                     << name(controls[i]) << " cut: needs " << needed.right << " x "
                     << needed.bottom << ", has " << client.right - margin << " x "
                     << client.bottom;
    }
    return result;
}

void pumpMessages() {
    MSG message;
    Sleep(5);
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        const HWND top = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (top == nullptr || !IsDialogMessageA(top, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

ModalScript::ModalScript(std::deque<Step> steps_)
    : steps(std::move(steps_)), outer(g_script), timer(SetTimer(nullptr, 0, 30, onTimer)),
      since(GetTickCount()) {
    g_script = this;
}

ModalScript::~ModalScript() {
    KillTimer(nullptr, timer);
    EXPECT_TRUE(steps.empty()) << steps.size() << " modal windows did not come";
    g_script = outer;
}

Process::Process(const std::string& folder, const std::string& arguments) : PROCESS_INFORMATION{} {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string command = "\"" + folder + "\\Kelvarin.exe\" " + arguments;
    CreateProcessA(nullptr, command.data(), nullptr, nullptr, 0, 0, 0, 0, &startup, this);
}

DWORD Process::exitCode() const {
    DWORD code = WaitForSingleObject(hProcess, 20000);
    std::string debugger = "winedbg --command \"bt all\" " + std::to_string(dwProcessId);
    STARTUPINFOA startup{};
    PROCESS_INFORMATION stacks{};
    startup.cb = sizeof startup;
    if (code == WAIT_TIMEOUT &&
        CreateProcessA(0, debugger.data(), 0, 0, 0, 0, 0, 0, &startup, &stacks))
        WaitForSingleObject(stacks.hProcess, 60000); // its threads' stacks, into the log
    return GetExitCodeProcess(hProcess, &code), code;
}

HWND Process::window(LRESULT drives, int timeoutMs) const {
    const auto listed = [] {
        const HWND main = FindWindowA("#32770", "Kelvarin");
        return IsWindowVisible(main)
                   ? SendDlgItemMessageA(main, IDC_DRIVE_LIST, LVM_GETITEMCOUNT, 0, 0)
                   : -1;
    };
    EXPECT_TRUE(waitFor(
        "Kelvarin's window listing every drive", listed,
        [&](LRESULT count) { return count == drives; }, timeoutMs));
    return FindWindowA("#32770", "Kelvarin");
}

MainWindow::MainWindow(bool waitForAnswers)
    : window(CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                kelvarin::MainDialogProc, reinterpret_cast<LPARAM>(&drives))) {
    ShowWindow(window, SW_SHOW);
    const int all = drives.count();
    EXPECT_TRUE(!waitForAnswers || waitFor(
                                       "every drive's answer", [this] { return answered(); },
                                       [all](int n) { return n == all; }));
}

MainWindow::~MainWindow() {
    SendMessageA(window, WM_CLOSE, 0, 0);
    DestroyWindow(window);
}

std::string MainWindow::text(int id) const {
    char text[512] = {};
    GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

::testing::AssertionResult MainWindow::shows(int id, const std::string& shown,
                                             int timeoutMs) const {
    return waitFor(
        "\"" + shown + "\" in control " + std::to_string(id), [&] { return text(id); },
        [&](const std::string& now) { return now == shown; }, timeoutMs);
}

void MainWindow::select(int item) {
    SetFocus(control(IDC_DRIVE_LIST)); // as a click does, before the selection moves
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = item < 0 ? 0 : state.stateMask;
    SendDlgItemMessageA(window, IDC_DRIVE_LIST, LVM_SETITEMSTATE, item, LPARAM(&state));
    NMHDR click{control(IDC_DRIVE_LIST), IDC_DRIVE_LIST, static_cast<UINT>(NM_CLICK)};
    SendMessageA(window, WM_NOTIFY, IDC_DRIVE_LIST, LPARAM(&click));
}

void MainWindow::drop(const std::string& path) {
    const HGLOBAL files = GlobalAlloc(GHND, sizeof(DROPFILES) + path.size() + 2);
    auto* head = static_cast<DROPFILES*>(GlobalLock(files));
    head->pFiles = sizeof(DROPFILES); // then the names, each ended, and an empty one
    std::memcpy(head + 1, path.c_str(), path.size());
    GlobalUnlock(files);
    SendMessageA(window, WM_DROPFILES, WPARAM(files), 0);
}

void MainWindow::volume(char letter, UINT event, WORD flags) {
    DEV_BROADCAST_VOLUME change{sizeof change, DBT_DEVTYP_VOLUME, 0, 1u << (letter - 'A'), flags};
    SendMessageA(window, WM_DEVICECHANGE, event, LPARAM(&change));
}

void MainWindow::type(int comboId, const std::string& text) {
    SetFocus(control(comboId));
    SetDlgItemTextA(window, comboId, text.c_str());
    SetFocus(control(IDC_APPLY));
}

void MainWindow::edit(int comboId, const std::string& text) {
    SetFocus(control(comboId));
    SetDlgItemTextA(window, comboId, text.c_str());
}

// The button pressed and let go over the item, as the mouse sends them: the
// list view itself moves the focus and the selection, in its own order.
void MainWindow::click(int item) {
    RECT at{LVIR_ICON, 0, 0, 0};
    SendDlgItemMessageA(window, IDC_DRIVE_LIST, LVM_GETITEMRECT, item, LPARAM(&at));
    const LPARAM middle = MAKELPARAM((at.left + at.right) / 2, (at.top + at.bottom) / 2);
    PostMessageA(control(IDC_DRIVE_LIST), WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageA(control(IDC_DRIVE_LIST), WM_LBUTTONUP, 0, middle);
    EXPECT_TRUE(waitFor(
        "the clicked drive selected", [this] { return selected(); },
        [item](int now) { return now == item; }));
    pumpMessages();
}

void MainWindow::key(WORD key) const {
    const HWND focus = GetFocus();
    PostMessageA(focus, WM_KEYDOWN, key, 1);
    PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
}

void MainWindow::choose(int comboId, const std::string& item) {
    const LRESULT at =
        SendDlgItemMessageA(window, comboId, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(item.c_str()));
    SendDlgItemMessageA(window, comboId, CB_SETCURSEL, at, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), 0);
}

// Answers the message boxes a command shows with buttons in turn.
Texts MainWindow::boxes(int id, std::initializer_list<int> buttons) {
    ModalScript script({});
    for (int button : buttons)
        script.steps.push_back([button](HWND box) {
            char title[64] = {}, text[512] = {};
            GetWindowTextA(box, title, sizeof title);
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            EXPECT_STREQ("Kelvarin", title) << text;
            g_script->log.push_back(text);
            PostMessageA(box, WM_COMMAND, button, 0);
        });
    command(id);
    EXPECT_TRUE(written());
    return script.log;
}

// The writer an apply starts ends later; its outcome comes with any boxes
// it brings, and 適用 is back once they are answered.
::testing::AssertionResult MainWindow::written() const {
    return waitFor(
        "the writer done", [this] { return IsWindowEnabled(control(IDC_APPLY)); },
        [](BOOL enabled) { return enabled != FALSE; }, 20000);
}

::testing::AssertionResult MainWindow::previewShows(const Pixels& icon, const Pixels& other) const {
    RECT at{};
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    GetWindowRect(control(IDC_PREVIEW), &at);
    const int size = int(std::sqrt(icon.size()));
    const auto distance = [&] { // to icon, less the distance to other
        const Pixels drawn = screenPixels({at.left, at.top, at.left + size, at.top + size});
        long sum = 0;
        for (std::size_t i = 0; i < drawn.size() * 3; ++i)
            for (const Pixels* to : {&icon, &other})
                sum += (to == &icon ? 1 : -1) * std::abs(int((drawn[i / 3] >> i % 3 * 8 & 255) -
                                                             ((*to)[i / 3] >> i % 3 * 8 & 255)));
        return sum;
    };
    return waitFor("the preview nearer to its icon than to the other", distance,
                   [](long d) { return d < 0; });
}

int MainWindow::image(int item) const {
    LVITEMA state{};
    state.mask = LVIF_IMAGE;
    state.iItem = item;
    SendDlgItemMessageA(window, IDC_DRIVE_LIST, LVM_GETITEMA, 0, LPARAM(&state));
    return state.iImage;
}

int MainWindow::selected() const {
    return ListView_GetNextItem(control(IDC_DRIVE_LIST), -1, LVNI_SELECTED);
}

::testing::AssertionResult MainWindow::inLetterOrder() const {
    std::vector<std::pair<POINT, std::string>> items;
    for (int i = 0; i < ListView_GetItemCount(control(IDC_DRIVE_LIST)); ++i) {
        items.push_back({{}, item(i)});
        ListView_GetItemPosition(control(IDC_DRIVE_LIST), i, &items.back().first);
    }
    std::string drawn, letters;
    std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
        return a.first.x != b.first.x ? a.first.x < b.first.x : a.first.y < b.first.y;
    });
    for (const auto& [at, name] : items)
        drawn += name.substr(0, 1) + "@" + std::to_string(at.x) + "," + std::to_string(at.y) + " ";
    for (const auto& at : items)
        letters += at.second.substr(0, 1);
    std::string sorted = letters;
    std::sort(sorted.begin(), sorted.end());
    if (letters == sorted)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "items drawn out of letter order: " << drawn;
}

int MainWindow::answered() const {
    int count = 0;
    for (int i = 0; i < drives.count(); ++i)
        count += drives.record(item(i)[0]).answered && image(i) != kPlaceholder;
    return count;
}

std::string MainWindow::item(int item) const {
    char text[8] = {};
    ListView_GetItemText(control(IDC_DRIVE_LIST), item, 0, text, sizeof text);
    return text;
}

::testing::AssertionResult MainWindow::listShows(int item, const Pixels& icon) const {
    const auto images = reinterpret_cast<HIMAGELIST>(
        SendDlgItemMessageA(window, IDC_DRIVE_LIST, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    return waitFor(
        "item " + std::to_string(item) + " with its icon",
        [&] {
            const int at = image(item);
            int size = 0;
            ImageList_GetIconSize(images, &size, &size);
            const kelvarin::unique_hicon shown(at < kPlaceholder ? ImageList_GetIcon(images, at, 0)
                                                                 : nullptr);
            return shown ? iconPixels(shown.get(), size) : Pixels{};
        },
        [&](const Pixels& seen) { return seen == icon; });
}

} // namespace testbed
