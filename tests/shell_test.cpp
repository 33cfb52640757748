// The shell services: choosing an icon (the shell's picker and Kelvarin's
// own), exporting the settings, and the about box with its links.
#include "drives/icon_maker.h"
#include "shell/icon_picker.h"
#include "tests/support/testbed.h"

#include <fstream>
#include <shlobj.h>

using namespace testbed;

const std::string kShell32 = std::string(getenv("SystemRoot")) + "\\system32\\shell32.dll";
std::wstring g_chosen; // what the stand-in for the shell's picker answers
int g_result, g_fallbacks;
UINT g_capacity;

static int WINAPI shellPicker(HWND, void* path, UINT capacity, int* index) {
    if (g_capacity = capacity, g_result == 1)
        wcsncpy(static_cast<wchar_t*>(path), g_chosen.c_str(), capacity), *index = 5;
    return g_result;
}

static int ownPicker(HWND, char* path, int capacity, int* index) {
    EXPECT_EQ(kShell32, path);
    return ++g_fallbacks, lstrcpynA(path, "C:\\own.ico", capacity), *index = 2, 1;
}

TEST(Shell, TheShellsPickerIsUsedWhereItWorksAndTrustedOnlyAsDocumented) {
    // 95/98/Me (platform 1): 8; NT 4 (platform 2): none; NT from 5 on: 6; no answer: none.
    for (const auto& [platform, major, family] : {std::tuple{1, 4, 8}, {2, 4, 0}, {2, 10, 6}})
        EXPECT_EQ(family,
                  kelvarin::windowsFamilyOf(true, {0, DWORD(major), 0, 0, DWORD(platform), {}}));
    EXPECT_EQ(0, kelvarin::windowsFamilyOf(false, {}));
    const struct {
        int family, result;
        std::wstring chosen;
        int expected;
        std::string path;
        int index, ownPickerRuns;
    } cases[] = {
        {6, 1, L"C:\\アイコン\\pack.dll", 1, "C:\\アイコン\\pack.dll", 5, 0},
        {6, 0, L"", 0, "", 0, 0},
        {6, 1, L"C:\\" + std::wstring(200, L'あ'), 0, "", 0, 0}, // does not fit: no choice
        {6, -1, L"", 1, "C:\\own.ico", 2, 1},                    // Wine's stub
        {0, 1, L"C:\\a.dll", 1, "C:\\own.ico", 2, 1},            // NT 4 has none
    };
    for (const auto& c : cases) {
        g_chosen = c.chosen, g_result = c.result, g_fallbacks = 0, g_capacity = 0;
        char path[MAX_PATH] = "";
        int index = 0;
        EXPECT_EQ(c.expected, kelvarin::pickIconFileWith(nullptr, path, MAX_PATH, &index, c.family,
                                                         shellPicker, ownPicker));
        EXPECT_EQ(c.path, path);
        EXPECT_EQ(c.index, index) << c.path;
        EXPECT_EQ(c.ownPickerRuns, g_fallbacks) << c.path;
        EXPECT_EQ(c.family != 0 ? MAX_PATH : 0u, g_capacity);
    }
}

TEST(Shell, BrowsePicksAnIconIntoTheIconBoxAndPreviewAndMarksTheDrive) {
    storeText('E', "DefaultIcon", "shell32.dll,3");
    MainWindow main;
    main.select(kE);
    { // Cancel leaves the icon box, the preview and the drive's mark as they were
        ModalScript cancel({[](HWND picker) { PostMessageA(picker, WM_COMMAND, IDCANCEL, 0); }});
        main.command(IDC_BROWSE);
    }
    EXPECT_EQ("shell32.dll,3", main.text(IDC_ICON_PATH));
    EXPECT_TRUE(main.previewShows(iconOf("shell32.dll,3"), iconOf("E:\\")));
    main.select(kD);
    EXPECT_EQ(Texts{}, main.boxes(ID_APPLY_ALL)) << "cancelled, yet marked";
    main.select(kE);
    ModalScript pick({[&](HWND picker) {
        const HWND list = GetDlgItem(picker, IDC_PICKER_LIST);
        EXPECT_EQ(ExtractIconExA(kShell32.c_str(), -1, 0, 0, 0),
                  SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        LVITEMA state{};
        state.state = state.stateMask = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, 8, LPARAM(&state));
        screenshot(GetDesktopWindow(), "icon-picker");
        PostMessageA(picker, WM_COMMAND, IDOK, 0);
    }});
    main.command(IDC_BROWSE);
    EXPECT_EQ(kShell32 + ",8", main.text(IDC_ICON_PATH));
    EXPECT_TRUE(main.previewShows(iconOf("shell32.dll,8"), iconOf("shell32.dll,3")));
    main.select(kD); // the focus left the icon box: E is marked and written
    EXPECT_EQ(Texts{"E ドライブの情報の変更を適用しますか？"}, main.boxes(ID_APPLY_ALL, {IDOK}));
    EXPECT_EQ(kShell32 + ",8", stored('E', "DefaultIcon").text());
}

// Files dropped on the window: an icon file, a library's icon picked, a
// picture made an icon file every user can read; and the note on whether
// Explorer will find the file later.
TEST(Shell, DroppedFilesBecomeTheShownDrivesIconAndPicturesBecomeIconFiles) {
    const std::string tests = binDir() + "\\..\\tests\\", red = tests + "red.ico";
    char folder[MAX_PATH] = {};
    ASSERT_TRUE(kelvarin::madeIconsFolder(folder));
    for (const char* made : {"\\picture.ico", "\\photo.ico"})
        DeleteFileA((folder + std::string(made)).c_str());
    storeText('G', "DefaultIcon", "C:\\no\\such.ico"); // checked when its drive is shown
    MainWindow main;
    main.select(kG);
    EXPECT_TRUE(main.shows(IDC_LOCATION_NOTE, "アイコンファイルが見つかりません"));
    main.select(kE);
    main.drop(red);
    EXPECT_EQ(red + ",0", main.text(IDC_ICON_PATH));
    EXPECT_EQ(Texts{"E ドライブの情報の変更を適用しますか？"},
              main.boxes(ID_APPLY_ALL, {IDCANCEL}));
    ModalScript pick({[&](HWND picker) { // a library with two icons: the user picks
        char file[MAX_PATH] = {};
        GetDlgItemTextA(picker, IDC_PICKER_FILE, file, MAX_PATH);
        EXPECT_EQ(iconLibrary(), file);
        EXPECT_EQ(2, SendDlgItemMessageA(picker, IDC_PICKER_LIST, LVM_GETITEMCOUNT, 0, 0));
        LVITEMA state{};
        state.state = state.stateMask = LVIS_SELECTED;
        SendDlgItemMessageA(picker, IDC_PICKER_LIST, LVM_SETITEMSTATE, 1, LPARAM(&state));
        PostMessageA(picker, WM_COMMAND, IDOK, 0);
    }});
    main.drop(iconLibrary());
    EXPECT_EQ(iconLibrary() + ",1", main.text(IDC_ICON_PATH));
    const std::string made = folder + std::string("\\picture.ico");
    for (int again = 0; again < 2; ++again) { // the same picture again: the same file
        main.drop(tests + "picture.png");
        EXPECT_TRUE(main.shows(IDC_ICON_PATH, made + ",0"));
    }
    WIN32_FIND_DATAA found{};
    const HANDLE all = FindFirstFileA((folder + std::string("\\picture*")).c_str(), &found);
    EXPECT_FALSE(FindNextFileA(all, &found)) << "a second icon file of the same picture";
    FindClose(all);
    // Eight frames; 256 as PNG; the 32-pixel one (rows bottom up) transparent
    // around the picture, as in its transparent quarter, and blue inside.
    const std::string icon = readFile(made);
    ASSERT_GT(icon.size(), 6u + 8 * 16);
    std::string sizes, png, corners;
    for (int i = 0; i < 8; ++i) {
        const unsigned char width = icon[6 + i * 16];
        const std::size_t at = *reinterpret_cast<const DWORD*>(&icon[6 + i * 16 + 12]);
        const auto pixel = [&](int x, int y, int channel) { // blue 0, alpha 3
            return std::to_string(BYTE(icon[at + 40 + ((31 - y) * 32 + x) * 4 + channel])) + " ";
        };
        sizes += std::to_string(width == 0 ? 256 : width) + " ";
        png += width == 0 ? icon.substr(at, 4) : "";
        corners += width == 32
                       ? pixel(0, 0, 3) + pixel(4, 16, 3) + pixel(20, 16, 3) + pixel(20, 16, 0)
                       : "";
    }
    EXPECT_EQ("\x89PNG", png);
    EXPECT_EQ("0 0 255 255 ", corners);
    // A phone's portrait photo, its pixels on their side and its EXIF
    // orientation 6: the icon stands upright, red above blue.
    const char exif[] = "\xFF\xE1\x00\x22"
                        "Exif\0\0MM\x00\x2A\x00\x00\x00\x08\x00\x01"
                        "\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x00";
    std::string photo = readFile(tests + "sideways.jpg");
    std::ofstream(tests + "photo.jpg", std::ios::binary) << photo.insert(2, exif, sizeof exif - 1);
    main.drop(tests + "photo.jpg");
    const std::string upright = folder + std::string("\\photo.ico");
    EXPECT_TRUE(main.shows(IDC_ICON_PATH, upright + ",0"));
    const Pixels standing = iconOf((upright + ",0").c_str()); // on white
    const auto tone = [&](int x, int y) {
        const std::uint32_t p = standing[y * 32 + x], r = p >> 16, b = p & 255;
        return std::string(p == 0xFFFFFF       ? "white "
                           : r > 160 && b < 96 ? "red "
                           : b > 160 && r < 96 ? "blue "
                                               : "other ");
    };
    EXPECT_EQ("red blue white ", tone(16, 4) + tone(16, 28) + tone(2, 16));
    EXPECT_TRUE(main.shows(IDC_LOCATION_NOTE,
                           "適用すると、すべてのユーザーが読めるフォルダーに置かれます"));
    // Applied: the writer installs it where no user can change it.
    char common[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common);
    const std::string installed = common + std::string("\\Kelvarin\\Icons\\photo.ico");
    DeleteFileA(installed.c_str());
    EXPECT_EQ(Texts{"E ドライブの情報の変更を適用しますか？"}, main.boxes(ID_APPLY_THIS, {IDOK}));
    EXPECT_EQ(installed + ",0", stored('E', "DefaultIcon").text());
    EXPECT_EQ(installed + ",0", main.text(IDC_ICON_PATH));
    EXPECT_EQ(readFile(upright), readFile(installed));
    EXPECT_EQ("16 20 24 32 40 48 64 256 ", sizes);
    EXPECT_TRUE(main.shows(IDC_PREVIEW_SIZES, "16 32 48"));
    EXPECT_TRUE(main.previewShows(iconOf(made.c_str()), iconOf((iconLibrary() + ",1").c_str())));
    screenshot(main.window, "dropped-picture");
    std::ofstream(tests + "broken.png") << "not a picture";
    ModalScript unreadable({[](HWND box) {
        char text[256] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        EXPECT_STREQ("画像を読み込めませんでした。", text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }});
    main.drop(tests + "broken.png");
    EXPECT_TRUE(waitFor(
        "the box", [&] { return unreadable.steps.size(); }, std::logical_not()));
    EXPECT_EQ(installed + ",0", main.text(IDC_ICON_PATH));
    char profile[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, profile);
    remember('Y', "\\\\nas\\photos"); // a share the user's Explorer connects
    const struct {
        std::string folder, note;
    } notes[] = {{"E:", "取り外せるドライブ上のファイルです"},
                 {profile, "このユーザーだけのフォルダーにあります"},
                 {"C:\\windows\\system32", ""},
                 {"F:", "ネットワーク上のファイルです"},
                 {"Y:", "ネットワーク上のファイルです"},
                 {"", "フォルダーを含まない名前です"}}; // as each reader's loader finds it
    for (const auto& n : notes) {
        const std::string file = (n.folder.empty() ? "" : n.folder + "\\") + "shell32.dll";
        if (!n.folder.empty())
            CopyFileA("C:\\windows\\system32\\shell32.dll", file.c_str(), FALSE);
        main.type(IDC_ICON_PATH, file + ",3");
        EXPECT_TRUE(main.shows(IDC_LOCATION_NOTE, n.note));
        if (n.folder == "E:")
            screenshot(main.window, "note-removable");
    }
}

TEST(Shell, TheExportAsksAndNeverOverwritesWithoutAnOk) {
    storeText('E', "DefaultLabel", "書出テスト");
    MainWindow main;
    const std::string folder = binDir() + "\\..\\test-temp", file = folder + "\\DriveInfo.reg";
    const std::string question = "ドライブ情報をregファイルに書き出しますか？";
    SetCurrentDirectoryA(folder.c_str());
    DeleteFileA(file.c_str());
    EXPECT_EQ(Texts{question}, main.boxes(ID_FILE_EXPORT, {IDCANCEL}));
    EXPECT_EQ(Texts{question}, main.boxes(ID_FILE_EXPORT, {IDOK}));
    const auto regedits = [] { return processesNamed("regedit.exe"); };
    ASSERT_TRUE(waitFor("the registry editor done", regedits, std::logical_not(), 20000));
    const std::string bytes = readFile(file);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    EXPECT_NE(std::wstring::npos, text.find(L"\\E\\DefaultLabel]\r\n@=\"書出テスト\""));
    storeText('E', "DefaultLabel", "変更後"); // what an export now would write
    EXPECT_EQ((Texts{question, "DriveInfo.regを上書きしますか？"}),
              main.boxes(ID_FILE_EXPORT, {IDOK, IDCANCEL}));
    EXPECT_TRUE(waitFor("no registry editor", regedits, std::logical_not()));
    EXPECT_EQ(bytes, readFile(file));
    SetCurrentDirectoryA(binDir().c_str());
}

TEST(Shell, TheAboutBoxShowsNameVersionAndLinksThatOpenOnce) {
    const std::string log = binDir() + "\\..\\test-temp\\opened.txt";
    DeleteFileA(log.c_str());
    // This program, registered for both schemes, records what it is asked to open.
    for (std::string scheme : {"https", "mailto"}) {
        const std::string open =
            "\"" + binDir() + "\\shell_test.exe\" --record \"" + log + "\" \"%1\"";
        RegSetKeyValueA(HKEY_LOCAL_MACHINE,
                        ("Software\\Classes\\" + scheme + "\\shell\\open\\command").c_str(),
                        nullptr, REG_SZ, open.c_str(), DWORD(open.size() + 1));
    }
    MainWindow main;
    ModalScript script({[&](HWND about) {
        char text[32] = {};
        GetDlgItemTextA(about, IDC_VERSION, text, sizeof text);
        EXPECT_STREQ("Kelvarin  1.01", text);
        RedrawWindow(about, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        for (int id : {IDC_SITE_LINK, IDC_MAIL_LINK}) { // blue, with the hand over them
            RECT rect{};
            GetWindowRect(GetDlgItem(about, id), &rect);
            const auto blue = [&] {
                const Pixels pixels = screenPixels(rect);
                return std::count(pixels.begin(), pixels.end(), 0x4141FFu);
            };
            EXPECT_TRUE(waitFor("link " + std::to_string(id) + " drawn in blue", blue,
                                [](long count) { return count > 20; }));
            SendMessageA(about, WM_SETCURSOR, WPARAM(GetDlgItem(about, id)), 0);
            EXPECT_EQ(LoadCursorA(GetModuleHandleA(0), MAKEINTRESOURCEA(IDC_LINK_CURSOR)),
                      GetCursor());
        }
        screenshot(about, "about-box");
        for (int code : {STN_CLICKED, STN_DBLCLK})
            for (int id : {IDC_SITE_LINK, IDC_MAIL_LINK})
                SendMessageA(about, WM_COMMAND, MAKEWPARAM(id, code), 0);
        SendMessageA(about, WM_COMMAND, IDCANCEL, 0); // Escape
        EXPECT_TRUE(IsWindowVisible(about));
        PostMessageA(about, WM_COMMAND, IDC_OK, 0);
    }});
    main.command(ID_HELP_ABOUT);
    // Opened by the desktop's shell (Explorer), which runs as the user, not
    // by this program, which Wine runs elevated. Each link once, in either
    // order: the log is whole once both came and every recorder is done.
    const std::string site = "https://kelvarin.example.org/ explorer.exe\n",
                      mail = "mailto:support@kelvarin.example.org explorer.exe\n";
    const auto logged = [&] { return readFile(log); };
    EXPECT_TRUE(waitFor("both links opened", logged, [&](const std::string& seen) {
        return seen.size() >= site.size() + mail.size();
    }));
    const auto recorders = [] { return processesNamed("shell_test.exe"); };
    EXPECT_TRUE(waitFor("the links' recorders done", recorders, std::logical_not(), 9000));
    EXPECT_TRUE(readFile(log) == site + mail || readFile(log) == mail + site) << readFile(log);
}
