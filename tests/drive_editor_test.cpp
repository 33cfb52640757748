#include "tests/support/app_fixture.h"

#include <shellapi.h>

using namespace testbed;

namespace {

constexpr int kSystemItem = 0, kCdromItem = 1, kRemovableItem = 2, kNetworkItem = 3, kSecondDiskItem = 4,
              kRootItem = 6;

std::string text(const std::optional<StoredValue>& value) {
    return value ? std::string(value->data.c_str()) : std::string("<missing>");
}

std::string applyQuestion(char letter) { return std::string(1, letter) + " ドライブの情報の変更を適用しますか？"; }
std::string writeFailure(char letter) { return std::string(1, letter) + " ドライブの情報を書き込めませんでした。"; }

std::string repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

} // namespace

class DriveEditorTest : public KelvarinTest {
  protected:
    // 決定: applies every marked drive (each answered in turn), then the exit
    // question, answered Cancel so the window stays.
    void applyAllWithOk(std::initializer_list<std::pair<char, int>> answers) {
        app.clickButton(IDC_OK);
        for (const auto& [letter, button] : answers) {
            expectBox(applyQuestion(letter), button);
        }
        expectBox("終了しますか？", IDCANCEL);
    }

    // The popup's "this drive only" for the selected drive.
    void applyThis(char letter, int button = IDOK) {
        app.postCommand(ID_APPLY_THIS);
        expectBox(applyQuestion(letter), button);
    }
};

TEST_F(DriveEditorTest, TypingANameAndPressingOkWritesItForTheDrive) {
    showDrive(kRemovableItem);
    app.focus(IDC_LABEL);
    app.typeText("Backup");
    ASSERT_TRUE(waitFor([&] { return app.controlText(IDC_LABEL) == "Backup"; }));
    app.pressKey(VK_TAB);
    ASSERT_TRUE(waitFor([&] { return app.focused() == app.control(IDC_OK); }));
    applyAllWithOk({{kRemovable, IDOK}});
    EXPECT_TRUE(app.running());

    const auto label = readStored(kRemovable, "DefaultLabel");
    ASSERT_TRUE(label);
    EXPECT_EQ(std::string("Backup", 7), label->data);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), label->type);
    EXPECT_EQ("DefaultLabel", label->keyClass);
    const auto icon = readStored(kRemovable, "DefaultIcon");
    ASSERT_TRUE(icon);
    EXPECT_EQ(std::string(1, '\0'), icon->data);
    EXPECT_EQ("DefaultIcon", icon->keyClass);
    EXPECT_FALSE(readStored(kCdrom, "DefaultLabel"));

    // Written once: nothing is marked any more.
    app.clickButton(IDC_OK);
    expectBox("終了しますか？", IDCANCEL);
}

TEST_F(DriveEditorTest, ApplyAllAsksInListOrderAndClearsEachMark) {
    showDrive(kNetworkItem);
    typeInto(IDC_LABEL, "共有ドライブ");
    showDrive(kCdromItem);
    typeInto(IDC_LABEL, "ディスク");

    applyAllWithOk({{kCdrom, IDCANCEL}, {kNetwork, IDOK}});
    EXPECT_FALSE(readStored(kCdrom, "DefaultLabel"));
    EXPECT_EQ("共有ドライブ", text(readStored(kNetwork, "DefaultLabel")));

    // Declined or written, both marks are gone; the declined edit stays in
    // its drive, unwritten.
    applyAllWithOk({});
    showDrive(kNetworkItem);
    showDrive(kCdromItem);
    EXPECT_EQ("ディスク", app.controlText(IDC_LABEL));
}

TEST_F(DriveEditorTest, WhatMarksADriveAndWhatDoesNot) {
    showDrive(kCdromItem);
    app.focus(IDC_LABEL);  // a name typed, then the stored one typed back
    app.setComboText(IDC_LABEL, "途中");
    app.setComboText(IDC_LABEL, "");
    app.focus(IDC_APPLY);
    applyAllWithOk({});

    // A drop-down choice marks even when it equals the stored text.
    app.chooseComboItem(IDC_LABEL, app.comboSelection(IDC_LABEL));
    applyAllWithOk({{kCdrom, IDOK}});

    // The icon box previews a choice at once; its empty item previews the
    // drive's own icon.
    HICON chosen = nullptr;
    ExtractIconExA("shell32.dll", 8, &chosen, nullptr, 1);
    SHFILEINFOA own{};
    SHGetFileInfoA("D:\\", 0, &own, sizeof own, SHGFI_ICON | SHGFI_LARGEICON);
    typeInto(IDC_ICON_PATH, "shell32.dll,8");
    showDrive(kNetworkItem);
    showDrive(kCdromItem);  // the typed location is now an item of the list
    const auto items = app.comboItems(IDC_ICON_PATH);
    ASSERT_EQ(2u, items.size());
    app.chooseComboItem(IDC_ICON_PATH, 1);
    EXPECT_TRUE(previewShows(chosen, own.hIcon));
    app.chooseComboItem(IDC_ICON_PATH, 0);
    EXPECT_TRUE(previewShows(own.hIcon, chosen));
    app.screenshot(app.mainWindow(), "drive-editor-preview");
    DestroyIcon(chosen);
    DestroyIcon(own.hIcon);
}

TEST_F(DriveEditorTest, ApplyingOneDriveAlwaysAsksAndLeavesItsMarkAsItWas) {
    showDrive(kNetworkItem);
    applyThis(kNetwork);  // unmarked: the stored values are written again
    EXPECT_EQ("", text(readStored(kNetwork, "DefaultLabel")));
    applyAllWithOk({});

    typeInto(IDC_LABEL, "二回");
    applyThis(kNetwork);
    EXPECT_EQ("二回", text(readStored(kNetwork, "DefaultLabel")));
    applyAllWithOk({{kNetwork, IDOK}});  // the mark survived
}

TEST_F(DriveEditorTest, AFixedDisksNameBecomesItsVolumeLabel) {
    showDrive(kSecondDiskItem);
    typeInto(IDC_LABEL, "バックアップ");
    typeInto(IDC_ICON_PATH, "shell32.dll,8");
    showDrive(kRemovableItem);
    typeInto(IDC_LABEL, "");
    app.chooseComboItem(IDC_LABEL, 0);
    applyAllWithOk({{kRemovable, IDOK}, {kSecondDisk, IDOK}});

    EXPECT_EQ("バックアップ", volumeLabelFile(kSecondDisk));
    EXPECT_FALSE(subkeyExists(kSecondDisk, "DefaultLabel"));
    EXPECT_EQ("shell32.dll,8", text(readStored(kSecondDisk, "DefaultIcon")));
    const auto empty = readStored(kRemovable, "DefaultLabel");
    ASSERT_TRUE(empty);
    EXPECT_EQ(1u, empty->data.size());
}

TEST_F(DriveEditorTest, TheApplyMenuOpensAtTheMouseAndNeedsASelectedDrive) {
    RECT button{}, typeName{};
    GetWindowRect(app.control(IDC_APPLY), &button);
    GetWindowRect(app.control(IDC_TYPE_NAME), &typeName);
    const POINT nearCorner{button.left + 6, button.top + 4};
    const POINT farCorner{button.right - 6, button.bottom - 4};
    const POINT elsewhere{typeName.left + 30, typeName.top + 5};  // a caption: clicking it does nothing
    for (const POINT& mouse : {nearCorner, farCorner, elsewhere}) {
        app.clickAt(mouse);
        const bool keyboard = mouse.x == elsewhere.x;
        if (keyboard) {
            app.focus(IDC_APPLY);
            app.pressKey(VK_SPACE);
        }
        HWND menu = nullptr;
        ASSERT_TRUE(waitFor([&] { return (menu = FindWindowA("#32768", nullptr)) && IsWindowVisible(menu); }));
        RECT at{};
        GetWindowRect(menu, &at);
        EXPECT_EQ(mouse.x, at.left) << (keyboard ? "keyboard" : "mouse");
        EXPECT_EQ(mouse.y, at.top) << (keyboard ? "keyboard" : "mouse");
        if (keyboard) {
            app.screenshot(GetDesktopWindow(), "apply-menu");
        }
        app.pressKey(VK_ESCAPE);
        ASSERT_TRUE(waitFor([&] { return !IsWindowVisible(menu); }));
    }

    showDrive(kCdromItem);
    typeInto(IDC_LABEL, "印");
    app.clearListSelection();
    ASSERT_EQ(-1, app.listSelection());
    app.postCommand(ID_APPLY_ALL);
    app.postCommand(ID_APPLY_THIS);
    EXPECT_TRUE(app.noMessageBoxFor(700));
    applyAllWithOk({{kCdrom, IDOK}});  // 決定 applies whatever the selection
    EXPECT_EQ("印", text(readStored(kCdrom, "DefaultLabel")));
}

class DriveEditorFailureTest : public DriveEditorTest {
  protected:
    void prepare() override {
        makeLetterKeyVolatile(kRemovable);
        writeStoredText(kNetwork, "DefaultLabel", longName);
    }
    // 200 bytes: more than the 127 an early design kept.
    const std::string longName = repeated("ネットワーク", 16) + repeated("x", 8);
};

TEST_F(DriveEditorFailureTest, AFailedWriteIsReportedAndTheDriveStaysMarked) {
    showDrive(kRemovableItem);
    typeInto(IDC_LABEL, "書けない");
    app.clickButton(IDC_OK);
    expectBox(applyQuestion(kRemovable), IDOK);
    const MessageBoxSeen error = app.waitForMessageBox();
    ASSERT_TRUE(error);
    EXPECT_EQ(writeFailure(kRemovable), error.text);
    app.screenshot(error.window, "write-failed");
    app.answer(error, IDOK);
    expectBox("終了しますか？", IDCANCEL);
    EXPECT_FALSE(subkeyExists(kRemovable, "DefaultLabel"));

    // Still marked: the next apply offers it again. A fixed disk that
    // refuses its label fails the same way.
    showDrive(kRootItem);
    typeInto(IDC_LABEL, "ルート");
    app.clickButton(IDC_OK);
    expectBox(applyQuestion(kRemovable), IDCANCEL);
    expectBox(applyQuestion(kRootDisk), IDOK);
    expectBox(writeFailure(kRootDisk), IDOK);
    expectBox("終了しますか？", IDCANCEL);
    applyAllWithOk({{kRootDisk, IDCANCEL}});
}

TEST_F(DriveEditorFailureTest, LongNamesSurviveSwitchingDrivesAndCutsKeepWholeCharacters) {
    ASSERT_EQ(200u, longName.size());
    showDrive(kNetworkItem);
    EXPECT_EQ(longName, app.controlText(IDC_LABEL));
    showDrive(kCdromItem);
    showDrive(kNetworkItem);
    EXPECT_EQ(longName, app.controlText(IDC_LABEL));
    applyThis(kNetwork);
    EXPECT_EQ(longName, text(readStored(kNetwork, "DefaultLabel")));

    // 300 bytes of double-byte text: the name holds 255, which would split
    // the 128th character, so 254 are kept.
    app.setComboText(IDC_LABEL, repeated("あ", 150));
    showDrive(kCdromItem);
    showDrive(kNetworkItem);
    applyThis(kNetwork);
    EXPECT_EQ(repeated("あ", 127), text(readStored(kNetwork, "DefaultLabel")));
}

TEST_F(DriveEditorTest, ClosingWithTheFocusInAComboBoxWritesNothing) {
    showDrive(kCdromItem);
    app.focus(IDC_LABEL);
    app.setComboText(IDC_LABEL, "閉じる前");
    PostMessageA(app.mainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(5000, &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(subkeyExists(kCdrom, nullptr));
}
