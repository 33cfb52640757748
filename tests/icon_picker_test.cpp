#include "shell/icon_picker.h"
#include "tests/support/app_fixture.h"

#include <shellapi.h>

#include <cwchar>
#include <string>

using namespace testbed;
using kelvarin::pickIconFileWith;
using kelvarin::windowsFamilyOf;

namespace {

std::string systemShell32() {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\shell32.dll";
}

// Stand-ins for the shell's picker and Kelvarin's own, recording their calls.
struct PickerCalls {
    int shellResult = 0;
    UINT capacitySeen = 0;
    std::wstring startSeen;
    int fallbackCalls = 0;
    std::string fallbackStart;
} calls;

int WINAPI shellPicker(HWND, void* path, UINT capacity, int* index) {
    auto* wide = static_cast<wchar_t*>(path);
    calls.capacitySeen = capacity;
    calls.startSeen = wide;
    if (calls.shellResult == 1) {
        std::wcscpy(wide, L"C:\\アイコン\\pack.dll");
        *index = 5;
    }
    return calls.shellResult;
}

int fallbackPicker(HWND, char* path, int capacity, int* index) {
    ++calls.fallbackCalls;
    calls.fallbackStart = path;
    lstrcpynA(path, "C:\\own\\pick.ico", capacity);
    *index = 2;
    return 1;
}

OSVERSIONINFOA version(DWORD platform, DWORD major, DWORD minor) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwPlatformId = platform;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    return info;
}

} // namespace

TEST(WindowsFamilyTest, EveryNtFromWindows2000OnHasTheShellsPicker) {
    const struct {
        const char* name;
        OSVERSIONINFOA info;
        int family;
    } cases[] = {
        {"95", version(VER_PLATFORM_WIN32_WINDOWS, 4, 0), 8},  {"98", version(VER_PLATFORM_WIN32_WINDOWS, 4, 10), 8},
        {"ME", version(VER_PLATFORM_WIN32_WINDOWS, 4, 90), 8}, {"NT 4", version(VER_PLATFORM_WIN32_NT, 4, 0), 0},
        {"2000", version(VER_PLATFORM_WIN32_NT, 5, 0), 6},     {"XP", version(VER_PLATFORM_WIN32_NT, 5, 1), 6},
        {"Vista", version(VER_PLATFORM_WIN32_NT, 6, 0), 6},    {"7", version(VER_PLATFORM_WIN32_NT, 6, 1), 6},
        {"10", version(VER_PLATFORM_WIN32_NT, 10, 0), 6},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.family, windowsFamilyOf(true, c.info)) << c.name;
    }
    EXPECT_EQ(0, windowsFamilyOf(false, version(VER_PLATFORM_WIN32_NT, 10, 0))) << "failed query";
    EXPECT_EQ(6, kelvarin::windowsFamily());  // Wine reports Windows 7
}

TEST(PickIconFileTest, TheShellsPickerCountsOnlyWhenItAnswersOneOrZero) {
    char path[MAX_PATH] = "";
    int index = 0;
    calls = {};
    calls.shellResult = 1;
    EXPECT_EQ(1, pickIconFileWith(nullptr, path, MAX_PATH, &index, 6, shellPicker, fallbackPicker));
    EXPECT_STREQ("C:\\アイコン\\pack.dll", path);
    EXPECT_EQ(5, index);
    EXPECT_EQ(static_cast<UINT>(MAX_PATH), calls.capacitySeen);
    EXPECT_EQ(0, calls.fallbackCalls);

    calls = {};
    calls.shellResult = 0;
    index = 0;
    lstrcpyA(path, "");
    EXPECT_EQ(0, pickIconFileWith(nullptr, path, MAX_PATH, &index, 6, shellPicker, fallbackPicker));
    EXPECT_STREQ("", path);
    EXPECT_EQ(0, index);
    EXPECT_EQ(0, calls.fallbackCalls);

    // -1, as Wine's stub answers: the picker showed nothing, so Kelvarin's
    // own runs, from the system's shell32.dll.
    calls = {};
    calls.shellResult = -1;
    lstrcpyA(path, "");
    EXPECT_EQ(1, pickIconFileWith(nullptr, path, MAX_PATH, &index, 6, shellPicker, fallbackPicker));
    EXPECT_EQ(1, calls.fallbackCalls);
    EXPECT_EQ(systemShell32(), calls.fallbackStart);
    EXPECT_STREQ("C:\\own\\pick.ico", path);
    EXPECT_EQ(2, index);

    // No shell picker for the family (NT 4), or none exported at all.
    calls = {};
    calls.shellResult = 1;
    EXPECT_EQ(1, pickIconFileWith(nullptr, path, MAX_PATH, &index, 0, shellPicker, fallbackPicker));
    EXPECT_EQ(1, pickIconFileWith(nullptr, path, MAX_PATH, &index, 8, nullptr, fallbackPicker));
    EXPECT_EQ(2, calls.fallbackCalls);
    EXPECT_TRUE(calls.startSeen.empty());
}

// Browse, on Wine: Kelvarin's own picker, with Wine reporting its default
// Windows 7 or, for Kelvarin only, Windows XP.
class IconPickerTest : public KelvarinTest, public ::testing::WithParamInterface<bool> {
  protected:
    static constexpr char kVersionKey[] = "Software\\Wine\\AppDefaults\\Kelvarin.exe";
    void prepare() override {
        writeStoredText(kRemovable, "DefaultIcon", "shell32.dll,3");
        if (GetParam()) {
            HKEY key = nullptr;
            RegCreateKeyExA(HKEY_CURRENT_USER, kVersionKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
            RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("winxp"), 6);
            RegCloseKey(key);
        }
    }
    void TearDown() override {
        KelvarinTest::TearDown();
        RegDeleteKeyA(HKEY_CURRENT_USER, kVersionKey);
    }

    HWND openPicker() {
        app.clickCentre(app.control(IDC_BROWSE));
        return app.waitForDialog("アイコンの変更");
    }
};

TEST_P(IconPickerTest, ChoosingAnIconPutsItsLocationIntoTheIconBoxAndPreview) {
    showDrive(2);
    const HWND picker = openPicker();
    ASSERT_NE(nullptr, picker) << "no icon picker";
    EXPECT_EQ("このファイル内のアイコンを検索:", app.text(GetDlgItem(picker, IDC_PICKER_FILE_CAPTION)));
    EXPECT_EQ("一覧からアイコンを選択:", app.text(GetDlgItem(picker, IDC_PICKER_LIST_CAPTION)));
    EXPECT_EQ(systemShell32(), app.text(GetDlgItem(picker, IDC_PICKER_FILE)));
    const HWND list = GetDlgItem(picker, IDC_PICKER_LIST);
    EXPECT_EQ(static_cast<int>(ExtractIconExA(systemShell32().c_str(), -1, nullptr, nullptr, 0)),
              app.itemCount(list));
    EXPECT_EQ(0, app.selectedItem(list));

    app.clickItem(list, 8);
    ASSERT_TRUE(waitFor([&] { return app.selectedItem(list) == 8; }));
    app.screenshot(GetDesktopWindow(), GetParam() ? "icon-picker-winxp" : "icon-picker");
    PostMessageA(GetDlgItem(picker, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(picker); }));
    app.settle();

    const std::string location = systemShell32() + ",8";
    EXPECT_EQ(location, app.controlText(IDC_ICON_PATH));
    const auto items = app.comboItems(IDC_ICON_PATH);
    ASSERT_GE(app.comboSelection(IDC_ICON_PATH), 0);
    EXPECT_EQ(location, items[static_cast<std::size_t>(app.comboSelection(IDC_ICON_PATH))]);
    HICON eighth = nullptr, third = nullptr;
    ExtractIconExA("shell32.dll", 8, &eighth, nullptr, 1);
    ExtractIconExA("shell32.dll", 3, &third, nullptr, 1);
    EXPECT_TRUE(previewShows(eighth, third));
    DestroyIcon(eighth);
    DestroyIcon(third);

    // The focus leaving the icon box marks the drive.
    app.focus(IDC_APPLY);
    app.clickButton(IDC_OK);
    expectBox("E ドライブの情報の変更を適用しますか？", IDOK);
    expectBox("終了しますか？", IDCANCEL);
    EXPECT_EQ(location + std::string(1, '\0'), readStored(kRemovable, "DefaultIcon")->data);
}

TEST_P(IconPickerTest, CancellingRestoresTheStoredLocationAndTheDriveStaysMarked) {
    showDrive(2);
    app.focus(IDC_ICON_PATH);
    app.setComboText(IDC_ICON_PATH, "C:\\typed.ico");
    const HWND picker = openPicker();
    ASSERT_NE(nullptr, picker);
    PostMessageA(GetDlgItem(picker, IDCANCEL), BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(picker); }));
    EXPECT_TRUE(waitFor([&] { return app.controlText(IDC_ICON_PATH) == "shell32.dll,3"; }));

    app.focus(IDC_APPLY);
    app.clickButton(IDC_OK);
    expectBox("E ドライブの情報の変更を適用しますか？", IDOK);
    expectBox("終了しますか？", IDCANCEL);
    EXPECT_EQ(std::string("shell32.dll,3", 14), readStored(kRemovable, "DefaultIcon")->data);

    // With no drive selected Browse does nothing.
    app.clearListSelection();
    app.clickCentre(app.control(IDC_BROWSE));
    EXPECT_EQ(nullptr, app.waitForDialog("アイコンの変更", 700));
}

TEST_P(IconPickerTest, ThePickersBrowseButtonAndAFileWithoutIcons) {
    showDrive(1);
    const HWND picker = openPicker();
    ASSERT_NE(nullptr, picker);
    const HWND list = GetDlgItem(picker, IDC_PICKER_LIST);

    // 参照 opens the open-file dialog; the file chosen there is listed.
    PostMessageA(GetDlgItem(picker, IDC_PICKER_BROWSE), BM_CLICK, 0, 0);
    const HWND open = app.waitForDialog({}, 5000, 0x47C);  // its file name box
    ASSERT_NE(nullptr, open) << "no open-file dialog";
    app.screenshot(open, "icon-picker-open-file");
    SendMessageA(GetDlgItem(open, 0x47C), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kelvarinPath().c_str()));
    PostMessageA(GetDlgItem(open, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(open); }));
    EXPECT_TRUE(waitFor([&] { return app.itemCount(list) == 1; })) << app.itemCount(list);
    EXPECT_EQ(kelvarinPath(), app.text(GetDlgItem(picker, IDC_PICKER_FILE)));

    // A file without icons: a message, an empty list, and OK stays off.
    const HWND file = GetDlgItem(picker, IDC_PICKER_FILE);
    app.focusWindow(file);
    SendMessageA(file, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("C:\\windows\\win.ini"));
    app.pressKey(VK_RETURN);
    const MessageBoxSeen none = app.waitForMessageBox(5000, "アイコンの変更");
    ASSERT_TRUE(none);
    EXPECT_NE(std::string::npos, none.text.find("アイコンがありません")) << utf8(none.text);
    app.answer(none, IDOK);
    EXPECT_EQ(0, app.itemCount(list));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(picker, IDOK)));
    PostMessageA(GetDlgItem(picker, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(picker); }));
}

INSTANTIATE_TEST_SUITE_P(WineVersions, IconPickerTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? std::string("WindowsXP") : std::string("Default");
                         });
