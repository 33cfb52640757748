// kelvarin_bench startup RUNS | slow RUNS | steady SWITCHES | profile | timeline [floor]
// Prints Kelvarin's measured figures on the test bed (see scripts/benchmark.sh).
//   startup: the time from starting a program to its window being visible
//            with every drive listed, for Kelvarin and for the bare dialog
//            (the same window with nothing in it), and to every drive's icon
//            shown, for Kelvarin and for the floor (the same window listing
//            every drive with the shell's icon and name, the least any
//            program must ask of the shell), interleaved; medians and the
//            ratios Kelvarin / bare and Kelvarin / floor.
//   slow:    with drive S: answering Kelvarin after 3 s and never: its
//            window against the bare dialog's, every other drive's icon, and
//            its end after the close.
//   profile: where reading the drives spends its time, call by call, in a
//            fresh process (run it before anything else warmed the shell).
//   timeline: a real start-up of Kelvarin's window in this process, traced:
//            when each answering thread started and had COM set up, and
//            when it began and ended each question; with floor, one thread
//            asking every drive for the shell's icon and name in turn.
//   steady:  private memory and GDI/USER object counts of a running Kelvarin
//            after 100 and after SWITCHES drive switches with icon previews.
#include "app/main_dialog.h"
#include "drives/drive_answers.h"
#include "drives/drive_settings.h"
#include "drives/icon_loader.h"
#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// What the benchmark needs of the test bed, kept here so the benchmark does
// not depend on the tests.
std::string binDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    *std::strrchr(path, '\\') = '\0';
    return path;
}

std::string kelvarinPath() {
    return binDir() + "\\Kelvarin.exe";
}

void resetDriveSettings() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kelvarin::kSettingsKeyPath);
}

void writeStoredText(char letter, const char* subkey, const std::string& text) {
    kelvarin::writeSettingsText(letter, subkey, text.c_str());
}

template <typename Condition> bool waitFor(Condition condition, int timeoutMs = 5000) {
    for (const DWORD start = GetTickCount(); !condition(); Sleep(2)) {
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs)) {
            return false;
        }
    }
    return true;
}

// A running Kelvarin.exe, driven from here.
struct KelvarinApp {
    PROCESS_INFORMATION process{};
    HWND main = nullptr;

    bool start() {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string command = "\"" + kelvarinPath() + "\"";
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            binDir().c_str(), &startup, &process)) {
            return false;
        }
        waitFor([&] { return (main = FindWindowA("#32770", "Kelvarin")) != nullptr; }, 20000);
        return main != nullptr;
    }
    HWND list() const { return GetDlgItem(main, IDC_DRIVE_LIST); }
    int listCount() const { return static_cast<int>(SendMessageA(list(), LVM_GETITEMCOUNT, 0, 0)); }
    int listSelection() const {
        return static_cast<int>(SendMessageA(list(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                             MAKELPARAM(LVNI_SELECTED, 0)));
    }
    void press(WORD key) const {
        INPUT keys[2] = {};
        keys[0].type = keys[1].type = INPUT_KEYBOARD;
        keys[0].ki.wVk = keys[1].ki.wVk = key;
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, keys, sizeof(INPUT));
    }
    // Returns once Kelvarin has handled everything sent before.
    void settle() const {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &result);
    }
};

double milliseconds() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

int logicalDriveCount() {
    int count = 0;
    for (DWORD mask = GetLogicalDrives(); mask != 0; mask >>= 1) {
        count += mask & 1;
    }
    return count;
}

// Some drives with stored icons and names, as a configured machine has.
void storeSettings() {
    resetDriveSettings();
    const char* icons[] = {"shell32.dll,8", "shell32.dll,12", "shell32.dll,-16",
                           "C:\\windows\\system32\\shell32.dll,3"};
    int n = 0;
    for (char letter = 'A'; letter <= 'Z'; letter += 3, ++n) {
        writeStoredText(letter, "DefaultIcon", icons[n % 4]);
        writeStoredText(letter, "DefaultLabel", std::string("ドライブ") + letter);
    }
}

// The items of a list view in another process that show an image of their
// own: in Kelvarin a letter's slot (0 to 25; the placeholder and the neutral
// image come after), in the floor the image it added.
int itemsWithOwnImage(HANDLE process, HWND list, int items, std::vector<double>& shownAt,
                      double now, int skip) {
    void* remote = VirtualAllocEx(process, nullptr, sizeof(LVITEMA), MEM_COMMIT, PAGE_READWRITE);
    int shown = 0;
    for (int i = 0; i < items && remote != nullptr; ++i) {
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = i;
        WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(process, remote, &item, sizeof item, nullptr);
        if (item.iImage >= 0 && item.iImage < 26) {
            shown += i != skip;
            if (shownAt[i] < 0) {
                shownAt[i] = now;
            }
        }
    }
    if (remote != nullptr) {
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    return shown;
}

// One start of a program: milliseconds until its window is visible with
// `items` list items, until every item shows its own icon (when `icons`),
// and when each item's icon came.
struct Start {
    double listed = -1;
    double icons = -1;
    double ended = -1; // from the close to the process's end
    std::vector<double> shownAt;
};

// skip: an item whose icon is not waited for.
Start timeStart(const std::string& program, const char* title, int items,
                const std::string& arguments = {}, bool icons = false, int timeoutMs = 30000,
                int skip = -1) {
    Start result;
    result.shownAt.assign(static_cast<std::size_t>(items), -1.0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string command = "\"" + program + "\" " + arguments;
    const double start = milliseconds();
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        binDir().c_str(), &startup, &process)) {
        return result;
    }
    HWND window = nullptr;
    for (;;) {
        window = FindWindowA("#32770", title);
        const HWND list = FindWindowExA(window, nullptr, "SysListView32", nullptr);
        const double now = milliseconds() - start;
        if (window != nullptr && IsWindowVisible(window) && list != nullptr &&
            SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) >= items) {
            result.listed = result.listed < 0 ? now : result.listed;
            const int awaited = items - (skip >= 0 ? 1 : 0);
            if (!icons || itemsWithOwnImage(process.hProcess, list, items, result.shownAt, now,
                                            skip) == awaited) {
                result.icons = icons ? now : -1;
                break;
            }
        }
        if (now > timeoutMs) {
            result = Start{};
            break;
        }
        Sleep(1);
    }
    const double closed = milliseconds();
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
    } else {
        result.ended = milliseconds() - closed;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void printRatio(const char* what, double ratio, double target) {
    std::printf("%-32s %.3f (target: at most %.2f) %s\n", what, ratio, target,
                ratio <= target ? "MET" : "NOT MET");
}

int startup(int runs) {
    storeSettings();
    const int drives = logicalDriveCount();
    struct Program {
        std::string path;
        const char* title;
        int items;
        std::string arguments;
        std::vector<double> listed, icons;
    } programs[] = {{kelvarinPath(), "Kelvarin", drives, "", {}, {}},
                    {binDir() + "\\bare_dialog.exe", "Bare", 0, "", {}, {}},
                    {binDir() + "\\bare_dialog.exe", "Floor", drives, "floor", {}, {}},
                    {binDir() + "\\bare_controls.exe", "Controls", 0, "", {}, {}}};
    for (auto& program : programs) { // warms the caches for all
        timeStart(program.path, program.title, program.items, program.arguments, true);
    }
    for (int run = 0; run < runs; ++run) {
        // Rotate which goes first, so none always follows another.
        for (int i = 0; i < 4; ++i) {
            Program& program = programs[(run + i) % 4];
            const Start start =
                timeStart(program.path, program.title, program.items, program.arguments, true);
            program.listed.push_back(start.listed);
            program.icons.push_back(start.icons);
        }
    }
    resetDriveSettings();
    for (const auto& program : programs) {
        if (std::count(program.icons.begin(), program.icons.end(), -1.0) > 0) {
            std::printf("start-up: %s did not come up\n", program.title);
            return 1;
        }
    }
    const double k = median(programs[0].listed), b = median(programs[1].listed),
                 ki = median(programs[0].icons), fi = median(programs[2].icons),
                 c = median(programs[3].listed);
    std::printf("drives listed:                   %d\n", drives);
    std::printf("start-up to window, Kelvarin:     %.1f ms (median of %d)\n", k, runs);
    std::printf("start-up to window, bare dialog:  %.1f ms (median of %d)\n", b, runs);
    std::printf("start-up to window, Kelvarin's window empty: %.1f ms (median of %d)\n", c, runs);
    std::printf("every icon shown, Kelvarin:       %.1f ms (median of %d)\n", ki, runs);
    std::printf("every icon shown, floor:          %.1f ms (median of %d)\n", fi, runs);
    // Kelvarin's own cost is against its own window empty: the controls of
    // its resources cost the same in any program with that window.
    printRatio("ratio Kelvarin / empty window:", k / c, 1.05);
    printRatio("ratio Kelvarin / floor (icons):", ki / fi, 1.05);
    // Where the window's time goes: its menu and controls, or the program.
    std::printf("%-32s %.3f (for reference)\n", "ratio empty window / bare:", c / b);
    std::printf("%-32s %.3f (for reference)\n", "ratio Kelvarin / bare (window):", k / b);
    return 0;
}

// With drive S: answering Kelvarin at once, after 3 s and never, and Wine
// at once (scripts/testbed-slow-drive.sh; the delay is rewritten before
// each start): Kelvarin's window against the bare dialog's with the same
// drive, every other drive's icon, and the end after the close. The three
// take turns within each round, so noise between batches cannot pass for
// a cost of the slow drive.
int slow(int runs) {
    const int drives = logicalDriveCount();
    const DWORD mask = GetLogicalDrives();
    int slowItem = 0;
    for (int letter = 0; letter < 'S' - 'A'; ++letter) {
        slowItem += (mask >> letter) & 1;
    }
    const char* control = std::getenv("KELVARIN_SLOW_DRIVE_CONTROL");
    const auto setDelay = [&](const char* delay) {
        if (FILE* file = std::fopen(control != nullptr ? control : "", "w")) {
            std::fprintf(file, "%s\n", delay);
            std::fclose(file);
        }
    };
    const char* delays[] = {"0", "3", "never"};
    const char* names[] = {"at once", "after 3 s", "never"};
    std::vector<double> kelvarin[3], bare[3], others[3], ended[3];
    for (int run = 0; run < runs; ++run) {
        for (int turn = 0; turn < 3; ++turn) {
            const int mode = (run + turn) % 3;
            setDelay(delays[mode]);
            const Start k =
                timeStart(kelvarinPath(), "Kelvarin", drives, "", true, 60000, slowItem);
            const Start b = timeStart(binDir() + "\\bare_dialog.exe", "Bare", 0, "", false, 60000);
            if (k.icons < 0 || b.listed < 0 || k.ended < 0) {
                std::printf("slow drive (%s): a program did not come up or did not end\n",
                            names[mode]);
                setDelay("0");
                return 1;
            }
            kelvarin[mode].push_back(k.listed);
            bare[mode].push_back(b.listed);
            others[mode].push_back(k.icons);
            ended[mode].push_back(k.ended);
        }
    }
    setDelay("0");
    const double quick = median(others[0]);
    for (int mode = 0; mode < 3; ++mode) {
        const double k = median(kelvarin[mode]), b = median(bare[mode]), o = median(others[mode]),
                     e = median(ended[mode]);
        std::printf("S: answering %s:\n", names[mode]);
        std::printf("  window, Kelvarin:    %.1f ms (median of %d)\n", k, runs);
        std::printf("  window, bare dialog: %.1f ms (median of %d)\n", b, runs);
        std::printf("  every other icon, Kelvarin: %.1f ms (median of %d)\n", o, runs);
        std::printf("  end after the close: %.1f ms (median of %d)\n", e, runs);
        if (mode == 0) {
            continue;
        }
        std::printf("%-32s %.3f (for reference: the bare dialog has no controls)\n",
                    "  ratio Kelvarin / bare (window):", k / b);
        printRatio("  ratio other icons / at once:", o / quick, 1.05);
        std::printf("  %-31s %.1f ms (target: at most 1000 ms) %s\n", "end after the close:", e,
                    e <= 1000 ? "MET" : "NOT MET");
    }
    return 0;
}

struct Usage {
    SIZE_T privateBytes = 0;
    SIZE_T workingSet = 0;
    double unixPrivate = 0; // from the host, where Wine reports no private bytes
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
};

// Wine reports no private bytes for a process. When the benchmark script
// watches (KELVARIN_MEMORY_PROBE names a folder), it reads the private
// memory of Kelvarin's host process on request: the request is a file
// "<name>.request", the answer "<name>.done" holding kilobytes.
double hostPrivateKilobytes(const char* name) {
    const char* folder = std::getenv("KELVARIN_MEMORY_PROBE");
    if (folder == nullptr) {
        return 0;
    }
    const std::string request = std::string(folder) + "\\" + name + ".request";
    const std::string done = std::string(folder) + "\\" + name + ".done";
    HANDLE file =
        CreateFileA(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    double kilobytes = 0;
    waitFor(
        [&] {
            HANDLE answer = CreateFileA(done.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
            if (answer == INVALID_HANDLE_VALUE) {
                return false;
            }
            char text[64] = {};
            DWORD read = 0;
            ReadFile(answer, text, sizeof text - 1, &read, nullptr);
            CloseHandle(answer);
            kilobytes = std::atof(text);
            return read > 0;
        },
        15000);
    return kilobytes;
}

Usage usageOf(HANDLE process, const char* name) {
    Usage usage;
    usage.unixPrivate = hostPrivateKilobytes(name);
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters)) {
        usage.privateBytes = counters.PrivateUsage;
        usage.workingSet = counters.WorkingSetSize;
    }
    usage.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    usage.userObjects = GetGuiResources(process, GR_USEROBJECTS);
    return usage;
}

void printComparison(const char* what, double before, double after, bool reported) {
    if (!reported) {
        std::printf("%-22s not measured: not reported by this platform (both readings 0)\n", what);
        return;
    }
    if (before <= 0 || after <= 0) {
        std::printf("%-22s not measured: a reading found no running Kelvarin (%.0f, %.0f)\n", what,
                    before, after);
        return;
    }
    const double change = before > 0 ? (after - before) * 100.0 / before : 0.0;
    std::printf("%-22s after 100: %.0f  after all: %.0f  change %+.2f%% (target: within 1%%) %s\n",
                what, before, after, change, change <= 1.0 && change >= -1.0 ? "MET" : "NOT MET");
}

int steady(int switches) {
    storeSettings();
    KelvarinApp app;
    if (!app.start()) {
        std::printf("steady state: Kelvarin did not start\n");
        return 1;
    }
    SetForegroundWindow(app.main);
    const int drives = app.listCount();
    // From 決定 over 中止 to the drive list, then its first drive.
    for (WORD key : {VK_TAB, VK_TAB, VK_HOME}) {
        app.press(key);
        Sleep(200);
    }
    waitFor([&] { return app.listSelection() == 0; });
    const HANDLE process =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, app.process.dwProcessId);
    const HWND iconBox = GetDlgItem(app.main, IDC_ICON_PATH);

    Usage first;
    int position = 0, direction = 1;
    for (int i = 1; i <= switches; ++i) {
        // Switch: the arrow key moves the selection back and forth over all
        // drives, showing each (and storing the one shown before).
        if (position + direction < 0 || position + direction >= drives) {
            direction = -direction;
        }
        position += direction;
        app.press(static_cast<WORD>(direction > 0 ? VK_RIGHT : VK_LEFT));
        waitFor([&] { return app.listSelection() == position; }, 5000);
        // Preview: a choice in the icon box's list, as the combo box reports it.
        const int items = static_cast<int>(SendMessageA(iconBox, CB_GETCOUNT, 0, 0));
        if (items > 0) {
            SendMessageA(iconBox, CB_SETCURSEL, static_cast<WPARAM>(i % items), 0);
            SendMessageA(app.main, WM_COMMAND, MAKEWPARAM(IDC_ICON_PATH, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(iconBox));
        }
        if (i == 100) {
            app.settle();
            first = usageOf(process, "after-100");
        }
    }
    app.settle();
    const Usage last = usageOf(process, "after-all");
    std::printf("steady state: %d drive switches with icon previews over %d drives\n", switches,
                drives);
    printComparison("private bytes", static_cast<double>(first.privateBytes),
                    static_cast<double>(last.privateBytes),
                    first.privateBytes != 0 || last.privateBytes != 0);
    printComparison("host private KiB", first.unixPrivate, last.unixPrivate,
                    first.unixPrivate != 0 || last.unixPrivate != 0);
    printComparison("working set bytes", static_cast<double>(first.workingSet),
                    static_cast<double>(last.workingSet),
                    first.workingSet != 0 || last.workingSet != 0);
    printComparison("GDI objects", first.gdiObjects, last.gdiObjects,
                    first.gdiObjects != 0 || last.gdiObjects != 0);
    printComparison("USER objects", first.userObjects, last.userObjects,
                    first.userObjects != 0 || last.userObjects != 0);
    CloseHandle(process);
    PostMessageA(app.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    WaitForSingleObject(app.process.hProcess, 10000);
    resetDriveSettings();
    return 0;
}

// The calls that reading one drive makes, timed one by one for every drive,
// in the order Kelvarin makes them.
int profile() {
    storeSettings();
    char roots[256] = {};
    GetLogicalDriveStringsA(sizeof roots, roots);
    double type = 0, icon = 0, name = 0, settings = 0, firstIcon = 0;
    int drives = 0;
    std::printf("%-5s %9s %9s %9s %9s\n", "drive", "type ms", "icon ms", "name ms", "keys ms");
    for (char* root = roots; *root != '\0'; root += lstrlenA(root) + 1, ++drives) {
        const double t0 = milliseconds();
        char typeName[25];
        kelvarin::driveTypeName(root, typeName);
        const double t1 = milliseconds();
        char location[MAX_PATH], label[256];
        kelvarin::readSettingsText(root[0], "DefaultIcon", location, sizeof location);
        kelvarin::readSettingsText(root[0], "DefaultLabel", label, sizeof label);
        const double t2 = milliseconds();
        DestroyIcon(kelvarin::loadIconFromLocation(location[0] != '\0' ? location : root));
        const double t3 = milliseconds();
        SHFILEINFOA info{};
        SHGetFileInfoA(root, 0, &info, sizeof info, SHGFI_DISPLAYNAME);
        const double t4 = milliseconds();
        std::printf("%-5s %9.1f %9.1f %9.1f %9.1f\n", root, t1 - t0, t3 - t2, t4 - t3, t2 - t1);
        type += t1 - t0;
        icon += t3 - t2;
        name += t4 - t3;
        settings += t2 - t1;
        if (drives == 0) {
            firstIcon = t3 - t2;
        }
    }
    resetDriveSettings();
    std::printf(
        "all %d drives: type %.1f ms, icons %.1f ms (the first alone %.1f), display names %.1f ms, "
        "settings keys %.1f ms\n",
        drives, type, icon, firstIcon, name, settings);
    return 0;
}

// The timeline's clock, from the start of the run, in milliseconds.
LARGE_INTEGER g_origin, g_frequency;
double sinceStart() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart - g_origin.QuadPart) /
           static_cast<double>(g_frequency.QuadPart);
}

struct Traced {
    double at;
    kelvarin::AnswerEvent event;
    int thread;
    char letter;
    int question;
};
Traced g_traced[8192];
LONG g_tracedCount = 0;

void traceAnswer(kelvarin::AnswerEvent event, int thread, const kelvarin::DriveAnswer* answer) {
    const LONG at = InterlockedIncrement(&g_tracedCount) - 1;
    if (at < static_cast<LONG>(sizeof g_traced / sizeof g_traced[0])) {
        g_traced[at] = {sinceStart(), event, thread,
                        answer != nullptr ? answer->record.rootPath[0] : '-',
                        answer != nullptr ? static_cast<int>(answer->question) : -1};
    }
}

int timeline(bool floor) {
    storeSettings();
    QueryPerformanceFrequency(&g_frequency);
    QueryPerformanceCounter(&g_origin);
    OleInitialize(nullptr);
    InitCommonControls();
    char roots[256] = {};
    GetLogicalDriveStringsA(sizeof roots, roots);
    if (floor) {
        std::printf("floor: one thread, the shell's icon and name of each drive in turn\n");
        for (char* root = roots; *root != '\0'; root += lstrlenA(root) + 1) {
            const double began = sinceStart();
            SHFILEINFOA info{};
            SHGetFileInfoA(root, 0, &info, sizeof info,
                           SHGFI_ICON | SHGFI_LARGEICON | SHGFI_DISPLAYNAME);
            DestroyIcon(info.hIcon);
            std::printf("  %c %8.1f %8.1f ms\n", root[0], began, sinceStart());
        }
        std::printf("every icon: %.1f ms\n", sinceStart());
        resetDriveSettings();
        return 0;
    }
    kelvarin::setAnswerTrace(traceAnswer);
    static kelvarin::DriveTable drives;
    const HWND window =
        CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                           kelvarin::MainDialogProc, reinterpret_cast<LPARAM>(&drives));
    ShowWindow(window, SW_SHOW);
    const double shown = sinceStart();
    const auto answered = [&] {
        int count = 0;
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            const kelvarin::DriveRecord& record = drives.record(letter);
            count += drives.isListed(letter) && record.answered && record.icon != nullptr;
        }
        return count == drives.count();
    };
    MSG message;
    for (const DWORD start = GetTickCount(); !answered() && GetTickCount() - start < 30000;) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    const double icons = sinceStart();
    kelvarin::setAnswerTrace(nullptr);
    const char* kinds[] = {"drive", "icon", "preview", "large", "refresh", "picture"};
    const LONG count = std::min<LONG>(g_tracedCount, sizeof g_traced / sizeof g_traced[0]);
    int threads = 0;
    for (LONG i = 0; i < count; ++i) {
        threads = std::max(threads, g_traced[i].thread + 1);
    }
    std::printf("Kelvarin: window shown %.1f ms, every icon %.1f ms, %d answering threads\n", shown,
                icons, threads);
    for (int thread = 0; thread < threads; ++thread) {
        double began = 0;
        for (LONG i = 0; i < count; ++i) {
            const Traced& t = g_traced[i];
            if (t.thread != thread) {
                continue;
            }
            switch (t.event) {
            case kelvarin::AnswerEvent::Started:
                std::printf("thread %d started %8.1f ms\n", thread, t.at);
                break;
            case kelvarin::AnswerEvent::ComReady:
                std::printf("thread %d COM     %8.1f ms\n", thread, t.at);
                break;
            case kelvarin::AnswerEvent::Began:
                began = t.at;
                break;
            case kelvarin::AnswerEvent::Ended:
                std::printf("  %c %-7s %8.1f %8.1f ms (%.1f)\n", t.letter,
                            t.question >= 0 && t.question < 6 ? kinds[t.question] : "?", began,
                            t.at, t.at - began);
                break;
            }
        }
    }
    SendMessageA(window, WM_CLOSE, 0, 0);
    DestroyWindow(window);
    resetDriveSettings();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "profile") {
        return profile();
    }
    if (argc >= 2 && std::string(argv[1]) == "timeline") {
        return timeline(argc >= 3 && std::string(argv[2]) == "floor");
    }
    if (argc < 3) {
        std::fprintf(
            stderr, "usage: kelvarin_bench startup RUNS | slow RUNS | steady SWITCHES | profile\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    const std::string mode = argv[1];
    return mode == "startup" ? startup(count) : mode == "slow" ? slow(count) : steady(count);
}
