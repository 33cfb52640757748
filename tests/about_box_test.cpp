#include "app/product.h"
#include "tests/support/app_fixture.h"

#include <string>

using namespace testbed;

namespace {

std::string openedLog() { return binDir() + "\\..\\test-temp\\opened-urls.txt"; }


void registerRecorder() {
    const std::string command = "\"" + binDir() + "\\url_recorder.exe\" \"%1\"";
    for (const char* scheme : {"http", "https", "mailto"}) {
        const std::string key = std::string("Software\\Classes\\") + scheme + "\\shell\\open\\command";
        HKEY handle = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
        RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>(command.size() + 1));
        RegCloseKey(handle);
    }
}

int pixelsOf(KelvarinApp& app, HWND control, std::uint32_t colour) {
    RECT rect{};
    GetWindowRect(control, &rect);
    int count = 0;
    for (std::uint32_t pixel : app.screenPixels(rect)) {
        count += pixel == colour;
    }
    return count;
}

POINT centreOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

} // namespace

class AboutBoxTest : public KelvarinTest {
  protected:
    void prepare() override {
        registerRecorder();
        makeTempDir("");
        DeleteFileA(openedLog().c_str());
    }

    HWND openAbout() {
        app.postCommand(ID_HELP_ABOUT);
        return app.waitForDialog("Kelvarinについて");
    }
};

TEST_F(AboutBoxTest, ShowsNameVersionAndLinksThatOpenTheirAddressesOnce) {
    const HWND about = openAbout();
    ASSERT_NE(nullptr, about);
    EXPECT_EQ("Kelvarin  1.01", app.text(GetDlgItem(about, IDC_VERSION)));
    const HWND site = GetDlgItem(about, IDC_SITE_LINK);
    const HWND mail = GetDlgItem(about, IDC_MAIL_LINK);
    EXPECT_EQ(kelvarin::kSiteAddress, app.text(site));
    EXPECT_EQ(kelvarin::kMailAddress, app.text(mail));
    app.screenshot(about, "about-box");

    constexpr std::uint32_t linkColour = 0x4141FF;  // red 65, green 65, blue 255
    EXPECT_GT(pixelsOf(app, site, linkColour), 20);
    EXPECT_GT(pixelsOf(app, mail, linkColour), 20);
    EXPECT_EQ(0, pixelsOf(app, GetDlgItem(about, IDC_VERSION), linkColour));

    // A click and a double click each open the address once.
    app.clickAt(centreOf(site));
    Sleep(600);
    app.clickAt(centreOf(mail));
    app.clickAt(centreOf(mail));
    const std::string expected =
        std::string(kelvarin::kSiteAddress) + "\n" + "mailto:" + kelvarin::kMailAddress + "\n";
    EXPECT_TRUE(waitFor([&] { return readFileBytes(openedLog()) == expected; }, 8000)) << readFileBytes(openedLog());
    Sleep(1000);
    EXPECT_EQ(expected, readFileBytes(openedLog()));
}

// Wine hands another process's cursor to GetCursorInfo under a new handle
// each time and cannot read its image, so the cursor shown over the links is
// not observable from here; the cursor itself is checked in the program.
TEST(LinkCursorTest, IsAThirtyTwoPixelHandPointingAtItsHotSpot) {
    HMODULE program = LoadLibraryExA(kelvarinPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);
    HCURSOR cursor = LoadCursorA(program, MAKEINTRESOURCEA(IDC_LINK_CURSOR));
    ASSERT_NE(nullptr, cursor);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(11u, info.xHotspot);
    EXPECT_EQ(1u, info.yHotspot);
    BITMAP mask{};
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(32, mask.bmWidth);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    FreeLibrary(program);
}

TEST_F(AboutBoxTest, ClosesWithItsButtonAndTheCloseBoxButNotWithEscape) {
    HWND about = openAbout();
    ASSERT_NE(nullptr, about);
    app.pressKey(VK_ESCAPE);
    Sleep(500);
    EXPECT_TRUE(IsWindowVisible(about));
    PostMessageA(GetDlgItem(about, IDC_OK), BM_CLICK, 0, 0);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(about); }));

    about = openAbout();
    ASSERT_NE(nullptr, about);
    PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(about); }));
    EXPECT_TRUE(app.running());
}
