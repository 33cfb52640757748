#include "drives/drive_settings.h"
#include "drives/icon_loader.h"
#include "tests/support/testbed.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <cstring>
#include <string>

using namespace kelvarin;
using testbed::utf8;

namespace {

class DriveSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override { testbed::resetDriveSettings(); }
    void TearDown() override { testbed::resetDriveSettings(); }

    static DriveRecord read(char letter) {
        DriveRecord record{};
        record.rootPath[0] = letter;
        std::strcpy(record.rootPath + 1, ":\\");
        readDriveSettings(record);
        return record;
    }
};

std::string repeated(const char* piece, std::size_t bytes) {
    std::string text;
    while (text.size() + std::strlen(piece) <= bytes) {
        text += piece;
    }
    text.resize(bytes, 'x');
    return text;
}

std::vector<std::uint32_t> shellIconPixels(const char* path) {
    SHFILEINFOA info{};
    SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON);
    auto pixels = testbed::iconPixels(info.hIcon);
    DestroyIcon(info.hIcon);
    return pixels;
}

} // namespace

TEST_F(DriveSettingsTest, ListsEveryDriveOfTheMachineInLetterOrderWithItsTypeName) {
    DriveList drives;
    PerDriveArrays arrays;
    enumerateDrives(drives, arrays);

    const struct {
        char letter;
        const char* type;
    } expected[] = {
        {'C', "ハードディスク"}, {'D', "CD/DVD-ROM/R/RW"}, {'E', "リムーバブルディスク"}, {'F', "ネットワーク"},
        {'G', "ハードディスク"}, {'H', "RAMディスク"},     {'Z', "ハードディスク"},
    };
    ASSERT_EQ(static_cast<int>(std::size(expected)), drives.count());
    ASSERT_EQ(std::size(expected), arrays.dirtyFlags.size());
    ASSERT_EQ(std::size(expected), arrays.snapshots.size());
    for (int i = 0; i < drives.count(); ++i) {
        const DriveRecord record = drives.at(i);
        EXPECT_EQ(expected[i].letter, record.rootPath[0]);
        EXPECT_STREQ(":\\", record.rootPath + 1);
        EXPECT_EQ(expected[i].type, std::string(record.typeName)) << utf8(record.typeName);
        EXPECT_NE(nullptr, record.icon) << record.rootPath;
    }

    // A letter with no drive has an unknown type, which is not a fixed disk.
    char type[25];
    driveTypeName("Q:\\", type);
    EXPECT_STREQ("不明", type);
    DriveRecord unknown{};
    std::strcpy(unknown.typeName, type);
    EXPECT_FALSE(isFixedDisk(unknown));
}

TEST_F(DriveSettingsTest, StoredNamesCountForRemovableOpticalAndNetworkDrivesButNeverForFixedDisks) {
    // Nothing stored: no icon location, the shell's icon and the shell's name.
    const DriveRecord plain = read(testbed::kCdrom);
    EXPECT_STREQ("", plain.iconLocation);
    EXPECT_STREQ("", plain.label);  // Wine names an unlabelled drive " (D:)"
    EXPECT_EQ(shellIconPixels("D:\\"), testbed::iconPixels(plain.icon));
    EXPECT_STREQ("データ", read(testbed::kSecondDisk).label);

    for (char letter : {testbed::kCdrom, testbed::kRemovable, testbed::kNetwork, testbed::kSecondDisk}) {
        testbed::writeStoredText(letter, "DefaultIcon", "shell32.dll,8");
        testbed::writeStoredText(letter, "DefaultLabel", std::string("保存名") + letter);
    }
    for (char letter : {testbed::kCdrom, testbed::kRemovable, testbed::kNetwork}) {
        const DriveRecord record = read(letter);
        EXPECT_STREQ("shell32.dll,8", record.iconLocation);
        EXPECT_EQ(std::string("保存名") + letter, record.label);
    }
    const DriveRecord fixed = read(testbed::kSecondDisk);
    EXPECT_STREQ("shell32.dll,8", fixed.iconLocation);
    EXPECT_STREQ("データ", fixed.label);

    HICON eighth = nullptr;
    ExtractIconExA("shell32.dll", 8, &eighth, nullptr, 1);
    EXPECT_EQ(testbed::iconPixels(eighth), testbed::iconPixels(fixed.icon));
    DestroyIcon(eighth);

    // Empty stored texts count as not set.
    testbed::writeStoredText(testbed::kNetwork, "DefaultIcon", "");
    testbed::writeStoredText(testbed::kNetwork, "DefaultLabel", "");
    const DriveRecord emptied = read(testbed::kNetwork);
    EXPECT_STREQ("", emptied.iconLocation);
    EXPECT_STREQ("", emptied.label);
    EXPECT_EQ(shellIconPixels("F:\\"), testbed::iconPixels(emptied.icon));
}

TEST_F(DriveSettingsTest, AValueCountsOnlyWhenItFitsWithItsTerminator) {
    const char letter = testbed::kRemovable;
    // Icon locations hold up to 259 bytes of text, names up to 255.
    for (std::size_t bytes : {258u, 259u, 260u, 261u}) {
        const std::string text = repeated("C:\\アイコン\\", bytes - 1);  // bytes with the terminator
        testbed::writeStoredText(letter, "DefaultIcon", text);
        const DriveRecord record = read(letter);
        if (bytes <= 260) {
            EXPECT_EQ(text, record.iconLocation) << bytes;
        } else {
            EXPECT_STREQ("", record.iconLocation) << bytes;
        }
    }
    for (std::size_t bytes : {255u, 256u, 257u}) {
        const std::string text = repeated("名前", bytes - 1);
        testbed::writeStoredText(letter, "DefaultLabel", text);
        const DriveRecord record = read(letter);
        EXPECT_EQ(bytes <= 256 ? text : std::string(), record.label) << bytes;
    }

    // Stored without a terminator: fine while the terminator still fits.
    const std::string unterminated(259, 'u');
    testbed::writeStored(letter, "DefaultIcon", unterminated.data(), 259);
    EXPECT_EQ(unterminated, read(letter).iconLocation);
    const std::string full(260, 'f');
    testbed::writeStored(letter, "DefaultIcon", full.data(), 260);
    EXPECT_STREQ("", read(letter).iconLocation);
    testbed::writeStored(letter, "DefaultLabel", full.data(), 256);
    EXPECT_STREQ("", read(letter).label);
}

TEST_F(DriveSettingsTest, ValuesAreTakenAsWrittenWhateverTheirType) {
    const char letter = testbed::kCdrom;
    const char expand[] = "%SystemRoot%\\system32\\shell32.dll,3";
    testbed::writeStored(letter, "DefaultIcon", expand, sizeof expand, REG_EXPAND_SZ);
    const DWORD number = 0x00004241;  // "AB" in its bytes
    testbed::writeStored(letter, "DefaultLabel", &number, sizeof number, REG_DWORD);
    DriveRecord record = read(letter);
    EXPECT_STREQ(expand, record.iconLocation);
    EXPECT_STREQ("AB", record.label);

    // Binary text without a terminator, ending in half a character.
    const char binary[] = {'x', 'y', static_cast<char>(0x83)};
    testbed::writeStored(letter, "DefaultLabel", binary, sizeof binary, REG_BINARY);
    EXPECT_STREQ("xy", read(letter).label);

    testbed::writeStored(letter, "DefaultLabel", "", 0, REG_SZ);
    EXPECT_STREQ("", read(letter).label);
}

TEST(DisplayNameTest, OnlyTheDrivesOwnSuffixIsTakenOff) {
    char label[256];
    labelFromDisplayName("データ (G:)", 'G', label);
    EXPECT_STREQ("データ", label);
    labelFromDisplayName(" (D:)", 'D', label);
    EXPECT_STREQ("", label);
    labelFromDisplayName("Backup (E:)", 'D', label);  // another drive's suffix
    EXPECT_STREQ("", label);
    labelFromDisplayName("Backup", 'D', label);  // no suffix
    EXPECT_STREQ("", label);
    labelFromDisplayName("(D:)", 'D', label);  // too short
    EXPECT_STREQ("", label);
    labelFromDisplayName("Backup-(D:)", 'D', label);  // no space before it
    EXPECT_STREQ("", label);

    // A name longer than the field is cut between characters.
    const std::string longName = repeated("あ", 301) + " (D:)";
    labelFromDisplayName(longName.c_str(), 'D', label);
    EXPECT_EQ(254u, std::strlen(label));
}
