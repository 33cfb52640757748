#include "drives/icon_loader.h"
#include "tests/support/testbed.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <string>

using kelvarin::loadIconFromLocation;
using testbed::iconPixels;

namespace {

std::vector<std::uint32_t> loaded(const std::string& location) {
    HICON icon = loadIconFromLocation(location.c_str());
    auto pixels = iconPixels(icon);
    if (icon != nullptr) {
        DestroyIcon(icon);
    }
    return pixels;
}

std::vector<std::uint32_t> extracted(const char* file, int index) {
    HICON icon = nullptr;
    if (ExtractIconExA(file, index, &icon, nullptr, 1) != 1) {
        return {};
    }
    auto pixels = iconPixels(icon);
    DestroyIcon(icon);
    return pixels;
}

std::vector<std::uint32_t> shellIcon(const std::string& path) {
    SHFILEINFOA info{};
    SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON);
    auto pixels = iconPixels(info.hIcon);
    DestroyIcon(info.hIcon);
    return pixels;
}

} // namespace

TEST(IconLoaderTest, BarePathsAndIndexZeroGiveTheShellsIconForThePath) {
    const auto cdrom = loaded("D:\\");
    EXPECT_FALSE(cdrom.empty());
    EXPECT_EQ(shellIcon("D:\\"), cdrom);
    EXPECT_NE(loaded("C:\\"), cdrom);  // each drive type has its own

    const std::string iconFile = testbed::binDir() + "\\testdata\\app.ico";
    EXPECT_EQ(shellIcon(iconFile), loaded(iconFile));
    EXPECT_EQ(loaded(iconFile), loaded(iconFile + ",0"));
    EXPECT_NE(loaded("shell32.dll,0"), loaded(iconFile));
}

TEST(IconLoaderTest, IndicesPickIconsAndNegativeIndicesNameResources) {
    const auto fourth = loaded("shell32.dll,3");
    EXPECT_FALSE(fourth.empty());
    EXPECT_EQ(extracted("shell32.dll", 3), fourth);
    EXPECT_NE(extracted("shell32.dll", 0), fourth);

    // Kelvarin.exe's own icon has resource identifier 106.
    HMODULE program = LoadLibraryExA(testbed::kelvarinPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);
    HICON resource = static_cast<HICON>(LoadImageA(program, MAKEINTRESOURCEA(106), IMAGE_ICON, 32, 32, 0));
    const auto expected = iconPixels(resource);
    DestroyIcon(resource);
    FreeLibrary(program);
    EXPECT_EQ(expected, loaded(testbed::kelvarinPath() + ",-106"));
}

TEST(IconLoaderTest, WhatCannotBeLoadedFallsBackToTheFirstShellIcon) {
    const auto fallback = extracted("shell32.dll", 0);
    ASSERT_FALSE(fallback.empty());
    EXPECT_EQ(fallback, loaded("C:\\no\\such\\file.ico"));
    EXPECT_EQ(fallback, loaded("C:\\no\\such\\file.dll,5"));
    EXPECT_EQ(fallback, loaded("shell32.dll,99999"));
    EXPECT_EQ(fallback, loaded(testbed::kelvarinPath() + ",-999"));

    // Longer than any path: cut to the location's limit, and still an icon.
    EXPECT_FALSE(loaded("C:\\" + std::string(400, 'a') + ",2").empty());
}
