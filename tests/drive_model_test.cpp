// The drive model: bounded texts, the test bed's drives with what is stored
// for them, icon locations turned into icons, and random bad input.
#include "common/text.h"
#include "drives/drive_settings.h"
#include "drives/icon_loader.h"
#include "tests/support/testbed.h"
#include "writer/change_set.h"
#include "writer/icon_store.h"
#include "writer/settings_writer.h"

#include <sddl.h>

#include <fstream>
#include <random>

using namespace kelvarin;
using namespace testbed;

static DWORD WINAPI noDrives(DWORD, LPSTR) {
    return 0;
}
static DWORD WINAPI lowerCaseRoots(DWORD, LPSTR roots) {
    return std::memcpy(roots, "c:\\\0g:\\\0", 9), 8;
}

TEST(DriveModel, TextsAreCutBetweenWholeCharactersAndAlwaysTerminated) {
    const struct {
        std::size_t capacity;
        const char *source, *expected;
    } cases[] = {{6, "ドライブ", "ドラ"}, {9, "ドライブ", "ドライブ"},
                 {4, "aドb", "aド"},      {16, "ab\x83", "ab"},
                 {1, "abc", ""},          {5, "abcd", "abcd"}};
    for (const auto& c : cases) {
        char buffer[16] = "xxxxxxxxxxxxxxx";
        EXPECT_EQ(std::strlen(c.expected), copyText(buffer, c.capacity, c.source));
        EXPECT_STREQ(c.expected, buffer) << c.capacity;
    }
    char filled[5] = {'a', 'b', 'c', '\x83', '\x68'}; // a control filled it, splitting the last
    terminateText(filled);
    EXPECT_STREQ("abc", filled);
    const struct {
        const char *path, *folder;
        bool inside;
    } folders[] = {{"C:\\Users\\ソフト\\a.ico", "C:\\Users\\ソ", false}, // ソ ends in 0x5C
                   {"C:\\Users\\ソ\\a.ico", "C:\\Users\\ソ", true},
                   {"c:\\users\\x\\a.ico", "C:\\Users\\", true},
                   {"C:\\Users2\\a.ico", "C:\\Users", false}};
    for (const auto& f : folders)
        EXPECT_EQ(f.inside, isInFolder(f.path, f.folder)) << f.path << " in " << f.folder;
}

// Kelvarin.exe as the writer, alone: a change set it cannot trust is
// refused whole, with nothing written; and the folders it trusts.
TEST(Writer, RefusesAMalformedChangeSetWholeAndTrustsOnlyFoldersOfAdministrators) {
    const std::string file = binDir() + "\\..\\test-temp\\changes.kvc";
    const auto write = [&](const std::string& bytes) { // its exit status
        std::ofstream(file, std::ios::binary) << bytes;
        return Process(binDir(), "/write \"" + file + "\"").exitCode();
    };
    ChangeSet good{};
    good.count = 1;
    good.changes[0] = {'E', 0, 1, NameChange::Settings, "shell32.dll,4", "書き手", ""};
    ASSERT_TRUE(saveChangeSet(good, file.c_str()));
    const std::string valid = readFile(file);
    const std::size_t at = valid.size() - sizeof(DriveChange), label = at + 4 + 260;
    const struct {
        const char* why;
        std::size_t offset;
        std::string bytes; // put there
    } spoiled[] = {{"a letter outside A-Z", at, "["},
                   {"a text without its end", label, repeated("x", 256)},
                   {"bytes after a text's end", label + 20, "x"},
                   {"half a character at its end", label, std::string("\x83\0", 2)},
                   {"an icon file from elsewhere", label + 256, std::string("..\\red.ico\0", 11)},
                   {"a device's name", label + 256, std::string("CON.ico\0", 8)},
                   {"a flag out of range", at + 3, "\x07"},
                   {"another layout", 12, "\x01"},
                   {"garbage", 0, repeated("\xFF", valid.size())}};
    for (const auto& s : spoiled) {
        std::string bytes = valid;
        bytes.replace(s.offset, s.bytes.size(), s.bytes);
        EXPECT_EQ(kChangeSetRefused, write(bytes)) << s.why;
    }
    EXPECT_EQ(kChangeSetRefused, write(valid + valid.substr(16))) << "E: twice";
    EXPECT_EQ(kChangeSetRefused, write(valid.substr(0, valid.size() - 1))) << "cut short";
    EXPECT_FALSE(stored('E').key) << "written from a refused change set";
    EXPECT_EQ(0u, write(valid));
    EXPECT_EQ("書き手", stored('E', "DefaultLabel").text());
    // Wine keeps no owners (every file is the prefix's one user's, the
    // writer's own): a link to another folder is what it can show.
    for (const auto& [folder, trusted] : {std::pair{"C:\\windows", true},
                                          {"C:\\kelvarin-junction", false},
                                          {"C:\\windows\\win.ini", false},
                                          {"C:\\no-such-folder", false}})
        EXPECT_EQ(trusted, isTrustedFolder(folder)) << folder;
    for (const auto& [sid, trusted] : {std::pair{"S-1-5-32-544", true}, // Administrators
                                       {"S-1-5-18", true},              // SYSTEM
                                       {"S-1-5-32-545", false},         // Users
                                       {"S-1-5-21-1-2-3-1001", false}}) {
        PSID owner = nullptr;
        ConvertStringSidToSidA(sid, &owner);
        EXPECT_EQ(trusted, isTrustedOwner(owner)) << sid;
        LocalFree(owner);
    }
}

TEST(DriveModel, EveryDriveIsListedInLetterOrderWithItsTypeIconAndName) {
    DriveTable drives, none, lower;
    EXPECT_EQ(1, enumerateDrives(drives));
    const char* types[] = {"ハードディスク", "CD/DVD-ROM/R/RW", "リムーバブルディスク",
                           "ネットワーク",   "ハードディスク",  "RAMディスク",
                           "ハードディスク"};
    ASSERT_EQ(7, drives.count());
    for (int i = 0; i < 7; ++i) {
        DriveRecord record = drives.record(drives.letterAt(i));
        EXPECT_EQ(std::string(1, kLetters[i]) + ":\\", record.rootPath);
        EXPECT_FALSE(record.answered || record.icon) << "listing asked the drive itself";
        readDriveSettings(record);
        EXPECT_STREQ(types[i], record.typeName) << record.rootPath;
    }
    // Machines the test bed is not: no drives, and lower-case roots.
    enumerateDrives(none, noDrives);
    EXPECT_EQ(0, none.count());
    enumerateDrives(lower, lowerCaseRoots);
    EXPECT_STREQ("C:\\", lower.record(lower.letterAt(0)).rootPath);
    EXPECT_STREQ("G:\\", lower.record(lower.letterAt(1)).rootPath);
}

TEST(DriveModel, StoredValuesCountWhenTheyFitTheirFieldWhateverTheirTypeFixedDisksToo) {
    const std::string path259 = repeated("C:\\アイコン\\", 259), path260 = path259 + "x";
    const std::string name255 = repeated("名前", 254) + "x", name256 = name255 + "x";
    const std::string expandable = "%SystemRoot%\\system32\\shell32.dll,3";
    const struct {
        char letter;
        std::string icon, label; // raw bytes stored; "-" stores nothing
        DWORD type;
        std::string location, name; // as read
        Pixels icon32;
    } cases[] = {
        {'E', std::string("shell32.dll,8", 14), "保存名", REG_SZ, "shell32.dll,8", "保存名",
         iconOf("shell32.dll,8")},
        {'G', "-", std::string("表示名", 7), REG_SZ, "", "表示名", iconOf("G:\\")}, // as Explorer
        {'G', "-", std::string("", 1), REG_SZ, "", "データ", {}}, // names nothing: the volume label
        {'F', path259 + '\0', name255 + '\0', REG_SZ, path259, name255, {}},
        {'F', path260 + '\0', name256 + '\0', REG_SZ, "", "", iconOf("F:\\")},
        {'F', path259, name255, REG_BINARY, path259, name255, {}}, // without terminators
        {'F', path260, name256, REG_BINARY, "", "", {}},
        {'H', expandable, "AB\0\0", REG_EXPAND_SZ, expandable, "AB", iconOf("shell32.dll,3")},
    };
    for (const auto& c : cases) {
        resetSettings();
        for (const auto& [subkey, bytes] :
             {std::pair{"DefaultIcon", c.icon}, {"DefaultLabel", c.label}}) {
            if (bytes != "-") {
                store(c.letter, subkey, bytes, c.type);
            }
        }
        DriveRecord record{};
        formatText(record.rootPath, "%c:\\", c.letter);
        readDriveSettings(record);
        EXPECT_EQ(c.location, record.iconLocation) << c.letter;
        EXPECT_EQ(c.name, record.label) << c.letter;
        EXPECT_TRUE(c.icon32.empty() || c.icon32 == iconPixels(record.icon)) << c.letter;
    }
}

TEST(DriveModel, IconLocationsGiveTheIconsInsideTheirFilesAndAnythingElseTheFallback) {
    const std::string program = binDir() + "\\Kelvarin.exe", library = iconLibrary();
    const std::string red = binDir() + "\\..\\tests\\red.ico"; // the library's first
    HICON first = nullptr; // the fallback: the first icon in shell32.dll
    ExtractIconExA("shell32.dll", 0, &first, nullptr, 1);
    const Pixels fallback = iconPixels(first);
    SetEnvironmentVariableA("KELVARIN_LONG",
                            ("C:\\windows\\system32" + repeated("\\.", 240)).c_str());
    const struct {
        std::string location;
        Pixels expected;
    } cases[] = {
        {library, Pixels(32 * 32, kRed)}, // the first icon inside, not the shell's for a DLL
        {library + ",0", Pixels(32 * 32, kRed)},
        {library + ",1", Pixels(32 * 32, kBlue)},
        {library + ",-2", Pixels(32 * 32, kBlue)},
        {red, Pixels(32 * 32, kRed)},                          // not the shell's for an icon file
        {program + ",0", iconOf((program + ",-106").c_str())}, // its first group
        {program + ",-106", iconOf((program + ",-106").c_str())},
        {"%SystemRoot%\\system32\\shell32.dll,12", iconOf("shell32.dll,12")},
        {"%KELVARIN_LONG%\\shell32.dll,12", fallback}, // too long once expanded
        {"C:\\no\\such\\file.dll,5", fallback},
        {"shell32.dll,99999", fallback},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, iconPixels(loadIconFromLocation(c.location.c_str())))
            << c.location.substr(0, 40);
    }
    // Explorer scales another frame where the icon has none of a size: only
    // an icon read from a file can lack one.
    const struct {
        std::string location;
        int size;
        bool own;
    } frames[] = {{library, 32, true},
                  {library + ",1", 16, false},
                  {library + ",-2", 16, false}, // by its resource's id: the blue one
                  {red, 48, false},
                  {"B:\\", 16, true}, // a drive's own icon, even with no drive now
                  {"C:\\no\\such\\file.dll,5", 16, true}}; // the fallback: nothing missing
    for (const auto& f : frames)
        EXPECT_EQ(f.own, hasOwnFrame(f.location.c_str(), f.size)) << f.location << " " << f.size;
}

// Whatever another tool leaves in the settings key: reading it never
// crashes, every text stays terminated within its field and made of whole
// characters, and whatever location is stored loads its icon or the fallback.
// The seed is printed; KELVARIN_SEED=<n> replays a run.
static bool whole(const char* text, std::size_t capacity) {
    std::size_t i = 0;
    for (; i < capacity && text[i] != '\0'; i += IsDBCSLeadByteEx(932, BYTE(text[i])) ? 2 : 1)
        if (IsDBCSLeadByteEx(932, BYTE(text[i])) && (i + 1 >= capacity || text[i + 1] == '\0'))
            return false; // half a character
    return i < capacity;
}

TEST(DriveModel, AnyStoredStateIsReadSoundly) {
    const unsigned seed = getenv("KELVARIN_SEED") ? std::stoul(getenv("KELVARIN_SEED")) : 20261206;
    std::printf("random seed %u (replay with KELVARIN_SEED=%u)\n", seed, seed);
    std::mt19937 random(seed);
    // ASCII, double-byte pairs, stray lead bytes, commas, terminators, any byte.
    const auto bytes = [&](std::size_t length) {
        std::string out;
        while (out.size() < length)
            out += std::string("AドZ,\x83\0", 7).substr(random() % 6, 1 + random() % 2) +
                   char(random());
        return out.substr(0, length);
    };
    const DWORD types[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_NONE};
    for (int state = 0; state < 1000 && !HasFailure(); ++state) {
        resetSettings(); // 1 to 6 letters, mostly the test bed's, with odd values
        for (int i = random() % 6; i >= 0; --i) {
            const char letter = random() % 4 ? kLetters[random() % 7] : char('A' + random() % 26);
            store(letter, "DefaultIcon", bytes(random() % 601), types[random() % 6]);
            store(letter, "DefaultLabel", bytes(random() % 601), types[random() % 6]);
        }
        DriveRecord record{};
        for (int i = 0; i < 7; ++i) {
            formatText(record.rootPath, "%c:\\", kLetters[i]);
            readDriveSettings(record);
            ASSERT_TRUE(whole(record.iconLocation, 260)) << "state " << state;
            ASSERT_TRUE(whole(record.label, 256)) << "state " << state;
            ASSERT_TRUE(whole(record.typeName, 25) && whole(record.shellName, 256));
            DestroyIcon(record.icon);
        }
    }
}
