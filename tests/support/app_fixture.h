// A fixture for tests that drive Kelvarin.exe: clean settings, the program
// started and its window found; a helper to end it through the exit question.
#pragma once

#include "res/resource.h"
#include "tests/support/testbed.h"
#include "tests/support/ui_driver.h"

#include <gtest/gtest.h>

#include <string>

namespace testbed {

class KelvarinTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetDriveSettings();
        prepare();
        ASSERT_TRUE(app.start(workingDir()));
        ASSERT_NE(nullptr, app.waitForMainWindow()) << "Kelvarin's window did not appear";
        app.bringToFront();
    }
    void TearDown() override {
        if (app.running()) {
            PostMessageA(app.mainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
            app.waitForExit(5000);
        }
        resetDriveSettings();
    }

    // Runs before the program starts: stored settings the test needs.
    virtual void prepare() {}
    virtual std::string workingDir() { return {}; }

    // Shows drive `item` by clicking it, and waits until its type is shown.
    void showDrive(int item) {
        app.clickListItem(item);
        ASSERT_TRUE(waitFor([&] { return app.listSelection() == item && !app.controlText(IDC_TYPE_NAME).empty(); }))
            << "drive " << item << " was not shown; selected " << app.listSelection() << ", type shown "
            << utf8(app.controlText(IDC_TYPE_NAME));
    }

    // The next message box, which must have this text; answered with button.
    void expectBox(const std::string& text, int button) {
        const MessageBoxSeen box = app.waitForMessageBox();
        ASSERT_TRUE(box) << "no message box; expected: " << utf8(text);
        EXPECT_EQ("Kelvarin", box.title);
        EXPECT_EQ(text, box.text) << utf8(box.text);
        app.answer(box, button);
    }

    // Types text into a combo box the way a user does: focus in, change the
    // text, Tab out (the focus-loss notification is what notices a change).
    void typeInto(int comboId, const std::string& text) {
        app.focus(comboId);
        app.setComboText(comboId, text);
        app.focus(IDC_APPLY);
    }

    // Whether the preview square shows `expected` rather than `other`: its
    // pixels are nearer to the one than to the other.
    bool previewShows(HICON expected, HICON other) {
        RECT square{};
        GetWindowRect(app.control(IDC_PREVIEW), &square);
        const auto want = iconPixels(expected);
        const auto unwanted = iconPixels(other);
        return waitFor([&] {
            const auto drawn = app.screenPixels(RECT{square.left, square.top, square.left + 32, square.top + 32});
            return pixelDistance(want, drawn, false) < pixelDistance(unwanted, drawn, false);
        });
    }

    KelvarinApp app;
};

} // namespace testbed
