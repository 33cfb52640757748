#include "tests/support/app_fixture.h"

#include <shellapi.h>

using namespace testbed;

namespace {

const char* const kRoots[] = {"C:\\", "D:\\", "E:\\", "F:\\", "G:\\", "H:\\", "Z:\\"};
constexpr int kDrives = 7;

std::vector<std::uint32_t> expectedDriveIcon(int item) {
    HICON icon = nullptr;
    if (item == 2) {  // the removable drive has a stored icon (prepare below)
        ExtractIconExA("shell32.dll", 8, &icon, nullptr, 1);
    } else {
        SHFILEINFOA info{};
        SHGetFileInfoA(kRoots[item], 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON);
        icon = info.hIcon;
    }
    auto pixels = iconPixels(icon);
    DestroyIcon(icon);
    return pixels;
}

// The 32 x 32 icon image of a list item, as drawn on the screen.
std::vector<std::uint32_t> drawnItemIcon(KelvarinApp& app, int item) {
    const RECT part = app.listItemRect(item, LVIR_ICON);
    const int left = (part.left + part.right) / 2 - 16;
    const int top = part.top + (part.bottom - part.top - 32) / 2;
    return app.screenPixels(RECT{left, top, left + 32, top + 32});
}

} // namespace

class MainWindowTest : public KelvarinTest {
  protected:
    void prepare() override { writeStoredText(kRemovable, "DefaultIcon", "shell32.dll,8"); }
};

TEST_F(MainWindowTest, StartsWithEveryDriveAsALargeIconAndNothingShown) {
    EXPECT_EQ("Kelvarin", app.text(app.mainWindow()));
    ASSERT_EQ(kDrives, app.listCount());
    std::vector<std::vector<std::uint32_t>> expected;
    for (int i = 0; i < kDrives; ++i) {
        expected.push_back(expectedDriveIcon(i));
    }
    for (int i = 0; i < kDrives; ++i) {
        EXPECT_EQ(kRoots[i], app.listItemText(i));
        EXPECT_EQ(i, app.listItemImage(i));
        // Item i shows drive i's icon: it is nearer to it than to any other
        // drive's (different) icon.
        const auto drawn = drawnItemIcon(app, i);
        for (int j = 0; j < kDrives; ++j) {
            if (expected[j] != expected[i]) {
                EXPECT_LT(pixelDistance(expected[i], drawn, true), pixelDistance(expected[j], drawn, true)) << kRoots[i] << " vs " << kRoots[j];
            }
        }
    }
    EXPECT_EQ(-1, app.listSelection());
    EXPECT_EQ("", app.controlText(IDC_TYPE_NAME));
    EXPECT_TRUE(app.comboItems(IDC_ICON_PATH).empty());
    EXPECT_TRUE(app.comboItems(IDC_LABEL).empty());
    app.screenshot(app.mainWindow(), "main-window-start");
}

TEST_F(MainWindowTest, ClicksAndArrowKeysShowDrivesAndEditsStayWithTheirDrive) {
    showDrive(4);
    EXPECT_EQ("ハードディスク", app.controlText(IDC_TYPE_NAME));
    EXPECT_EQ("データ", app.controlText(IDC_LABEL));
    EXPECT_EQ("", app.controlText(IDC_ICON_PATH));

    showDrive(2);
    EXPECT_EQ("リムーバブルディスク", app.controlText(IDC_TYPE_NAME));
    EXPECT_EQ("shell32.dll,8", app.controlText(IDC_ICON_PATH));
    app.setComboText(IDC_LABEL, "持ち運び用");

    // With no drive selected (a click on empty space on Windows), what is
    // shown stays.
    app.clearListSelection();
    EXPECT_EQ(-1, app.listSelection());
    EXPECT_EQ("持ち運び用", app.controlText(IDC_LABEL));
    EXPECT_EQ("リムーバブルディスク", app.controlText(IDC_TYPE_NAME));

    showDrive(3);
    EXPECT_EQ("ネットワーク", app.controlText(IDC_TYPE_NAME));
    EXPECT_EQ("", app.controlText(IDC_LABEL));
    showDrive(2);
    EXPECT_EQ("持ち運び用", app.controlText(IDC_LABEL)) << "the edit was not stored into its drive";
    app.screenshot(app.mainWindow(), "main-window-drive-shown");

    // The keyboard shows the drive it moves to, as a click does.
    app.pressKey(VK_RIGHT);
    ASSERT_TRUE(waitFor([&] { return app.controlText(IDC_TYPE_NAME) == "ネットワーク"; }));
    app.setComboText(IDC_LABEL, "共有");
    app.pressKey(VK_HOME);
    ASSERT_TRUE(waitFor([&] { return app.listSelection() == 0; }));
    EXPECT_EQ("ハードディスク", app.controlText(IDC_TYPE_NAME));
    EXPECT_EQ("", app.controlText(IDC_LABEL));
    app.pressKey(VK_END);
    ASSERT_TRUE(waitFor([&] { return app.listSelection() == kDrives - 1; }));
    showDrive(3);
    EXPECT_EQ("共有", app.controlText(IDC_LABEL));
    showDrive(2);
    EXPECT_EQ("持ち運び用", app.controlText(IDC_LABEL));
}

TEST_F(MainWindowTest, ExitQuestionCloseBoxAndEscape) {
    app.clickButton(IDC_CANCEL);
    expectBox("終了しますか？", IDCANCEL);
    EXPECT_TRUE(app.running());

    app.pressKey(VK_ESCAPE);
    EXPECT_TRUE(app.noMessageBoxFor(500));
    EXPECT_TRUE(app.running());

    app.postCommand(ID_FILE_EXIT);
    expectBox("終了しますか？", IDOK);
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(5000, &code));
    EXPECT_EQ(0u, code);

    KelvarinApp second;
    ASSERT_TRUE(second.start());
    ASSERT_NE(nullptr, second.waitForMainWindow());
    PostMessageA(second.mainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(second.waitForExit(5000, &code)) << "the close box asked something";
    EXPECT_EQ(0u, code);
}

TEST_F(MainWindowTest, OnlyOneInstanceRunsAtATime) {
    KelvarinApp second;
    ASSERT_TRUE(second.start());
    DWORD code = 1;
    ASSERT_TRUE(second.waitForExit(5000, &code)) << "a second instance kept running";
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(app.running());

    PostMessageA(app.mainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(app.waitForExit(5000));
    KelvarinApp third;
    ASSERT_TRUE(third.start());
    EXPECT_NE(nullptr, third.waitForMainWindow()) << "no new start after the first closed";
    PostMessageA(third.mainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(third.waitForExit(5000));
}

TEST_F(MainWindowTest, HelpOpensTheReadMeFile) {
    app.postCommand(ID_HELP_README);
    HWND notepad = nullptr;
    ASSERT_TRUE(waitFor([&] { return (notepad = FindWindowA(nullptr, "ReadMe.txt - メモ帳")) != nullptr; }, 10000))
        << "no program was started for ReadMe.txt";
    PostMessageA(notepad, WM_CLOSE, 0, 0);
}
