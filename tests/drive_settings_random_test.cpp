// Whatever another tool leaves in the settings key, and whatever icon
// location a user types: reading, showing and loading never crash, and every
// text stays terminated, within its field and made of whole characters.
// The seed is printed; KELVARIN_SEED=<n> replays a run.
#include "common/text.h"
#include "drives/drive_settings.h"
#include "drives/icon_loader.h"
#include "editor/drive_editor.h"
#include "res/resource.h"
#include "tests/support/testbed.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>

using namespace kelvarin;

namespace {

std::uint32_t seed() {
    const char* given = std::getenv("KELVARIN_SEED");
    const std::uint32_t value = given != nullptr ? static_cast<std::uint32_t>(std::strtoul(given, nullptr, 10)) : 20261206u;
    std::printf("random seed %u (replay with KELVARIN_SEED=%u)\n", value, value);
    return value;
}

// A field is sound when its terminator lies inside it and the text before
// it is whole characters only.
::testing::AssertionResult soundText(const char* field, std::size_t size, const char* name) {
    const void* end = std::memchr(field, '\0', size);
    if (end == nullptr) {
        return ::testing::AssertionFailure() << name << " is not terminated within " << size << " bytes";
    }
    const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(end) - field);
    if (boundedTextLength(field, size) != length) {
        return ::testing::AssertionFailure() << name << " ends in half a character (" << length << " bytes)";
    }
    return ::testing::AssertionSuccess();
}

void expectSound(const DriveRecord& record, int state) {
    EXPECT_TRUE(soundText(record.rootPath, sizeof record.rootPath, "rootPath")) << "state " << state;
    EXPECT_TRUE(soundText(record.iconLocation, sizeof record.iconLocation, "iconLocation")) << "state " << state;
    EXPECT_TRUE(soundText(record.label, sizeof record.label, "label")) << "state " << state;
    EXPECT_TRUE(soundText(record.typeName, sizeof record.typeName, "typeName")) << "state " << state;
}

class RandomBytes {
  public:
    explicit RandomBytes(std::uint32_t value) : engine_(value) {}
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }

    // Texts of the kinds found in the wild: ASCII, Japanese double-byte
    // pairs, stray lead bytes, embedded terminators, raw bytes.
    std::string bytes(int length) {
        std::string out;
        while (static_cast<int>(out.size()) < length) {
            switch (below(6)) {
            case 0:
            case 1:
                out += static_cast<char>('A' + below(26));
                break;
            case 2:
                out += "ドライブ";
                break;
            case 3:
                out += static_cast<char>(0x81 + below(0x1F));  // a lead byte, perhaps alone
                break;
            case 4:
                out += below(8) == 0 ? '\0' : ',';
                break;
            default:
                out += static_cast<char>(below(256));
                break;
            }
        }
        out.resize(static_cast<std::size_t>(length));
        return out;
    }

  private:
    std::mt19937 engine_;
};

struct EditorWindow {
    DriveList* drives = nullptr;
    std::optional<DriveEditor> editor;
};

INT_PTR CALLBACK hostProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
    auto* host = reinterpret_cast<EditorWindow*>(GetWindowLongPtrA(window, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        reinterpret_cast<EditorWindow*>(lParam)->editor.emplace(
            window, *reinterpret_cast<EditorWindow*>(lParam)->drives);
        return TRUE;
    case WM_NOTIFY:
        if (host != nullptr && host->editor &&
            reinterpret_cast<const NMHDR*>(lParam)->code == LVN_ITEMCHANGED) {
            host->editor->onListItemChanged(*reinterpret_cast<const NMLISTVIEW*>(lParam));
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void writeRandomValue(RandomBytes& random, char letter, const char* subkey) {
    static const DWORD types[] = {REG_SZ, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_NONE};
    const int shape = random.below(8);
    if (shape == 0) {
        return;  // no key at all
    }
    std::string path = std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\") +
                       letter + "\\" + subkey;
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (key == nullptr) {
        return;
    }
    if (shape != 1) {  // 1: a key without a value
        const std::string data = random.bytes(random.below(601));
        RegSetValueExA(key, nullptr, 0, types[random.below(7)], reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
    }
    RegCloseKey(key);
}

// Empties the settings key (the volume labels are never touched here).
void emptySettingsKey() {
    HKEY root = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons", 0,
                      KEY_ALL_ACCESS, &root) == ERROR_SUCCESS) {
        RegDeleteTreeA(root, nullptr);
        RegCloseKey(root);
    }
}

void destroyIcons(DriveList& drives) {
    for (int i = 0; i < drives.count(); ++i) {
        if (HICON icon = drives.at(i).icon) {
            DestroyIcon(icon);
        }
    }
}

} // namespace

TEST(DriveSettingsRandomTest, AnyStateOfTheSettingsKeyIsReadAndShownSoundly) {
    RandomBytes random(seed());
    HMODULE program = LoadLibraryExA(testbed::kelvarinPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);

    // One window for the whole run, as in a long session; each state gets
    // a fresh editor on it, which reads every drive again.
    std::optional<DriveList> drives;
    drives.emplace();
    EditorWindow host;
    host.drives = &*drives;
    const HWND window = CreateDialogParamA(program, MAKEINTRESOURCEA(IDD_MAIN), nullptr, hostProc,
                                           reinterpret_cast<LPARAM>(&host));
    ASSERT_NE(nullptr, window);
    const HWND list = GetDlgItem(window, IDC_DRIVE_LIST);

    constexpr int kStates = 1000;
    for (int state = 0; state < kStates && !::testing::Test::HasFailure(); ++state) {
        emptySettingsKey();
        const int letters = 1 + random.below(6);
        for (int i = 0; i < letters; ++i) {
            // Mostly the test bed's drives, sometimes letters with no drive.
            const char* candidates = "CDEFGHZCDEFGHZAB";
            const char letter = random.below(4) == 0 ? static_cast<char>('A' + random.below(26))
                                                     : candidates[random.below(16)];
            writeRandomValue(random, letter, "DefaultIcon");
            writeRandomValue(random, letter, "DefaultLabel");
        }

        if (host.editor) {  // the one made with the window, before any state
            host.editor->destroy();
            host.editor.reset();
        }
        // Records are never freed (they live as long as the program); only
        // their icons are given back here.
        destroyIcons(*drives);
        drives.emplace();
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        ImageList_Destroy(reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_SETIMAGELIST, LVSIL_NORMAL, 0)));
        host.editor.emplace(window, *drives);
        for (int i = 0; i < drives->count(); ++i) {
            expectSound(drives->at(i), state);
        }
        // Each drive shown in turn, the shown one's fields stored back as the
        // selection moves on.
        const int count = drives->count();
        for (int i = 0; i <= count && count > 0; ++i) {
            LVITEMA item{};
            item.stateMask = LVIS_SELECTED;
            item.state = LVIS_SELECTED;
            SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(i % count), reinterpret_cast<LPARAM>(&item));
        }
        for (int i = 0; i < count; ++i) {
            expectSound(drives->at(i), state);
        }
        host.editor->destroy();
        host.editor.reset();
    }
    DestroyWindow(window);
    destroyIcons(*drives);
    testbed::resetDriveSettings();
    FreeLibrary(program);
}

TEST(IconLoaderRandomTest, AnyIconLocationGivesAnIconOrNothingAndNeverCrashes) {
    RandomBytes random(seed() + 1);
    const std::string files[] = {
        "shell32.dll", "C:\\windows\\system32\\shell32.dll", testbed::kelvarinPath(),
        testbed::binDir() + "\\testdata\\app.ico", "C:\\", "D:\\", "C:\\no\\such\\file.dll", "",
    };
    const std::string indices[] = {"0", "8", "-106", "2147483647", "-2147483648", "99999999999", "-1", "+4", " 3", "x"};
    for (int i = 0; i < 1000; ++i) {
        std::string location;
        switch (random.below(4)) {
        case 0:  // a file and an index, as written by the program
            location = files[random.below(8)] + "," + indices[random.below(10)];
            break;
        case 1:  // commas anywhere
            location = files[random.below(8)];
            for (int commas = random.below(4); commas > 0; --commas) {
                location.insert(static_cast<std::size_t>(random.below(static_cast<int>(location.size()) + 1)), ",");
            }
            break;
        case 2:  // a path at or past the location's limit
            location = "C:\\" + std::string(static_cast<std::size_t>(255 + random.below(300)), 'a') + ",3";
            break;
        default:
            location = random.bytes(random.below(400));
            break;
        }
        HICON icon = loadIconFromLocation(location.c_str());
        if (icon != nullptr) {
            ICONINFO info{};
            EXPECT_TRUE(GetIconInfo(icon, &info)) << "location " << i;
            DeleteObject(info.hbmMask);
            DeleteObject(info.hbmColor);
            DestroyIcon(icon);
        }
    }
}
