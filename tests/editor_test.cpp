// The main window's stories, on the real window in this process: showing
// drives, marking and applying changes, what is kept, what Explorer is told,
// and going back to Windows' own icon and name; and Kelvarin.exe itself.
#include "tests/support/testbed.h"

#include "app/main_dialog.h"
#include "common/dpi.h"
#include "common/platform.h"
#include "common/unique_handle.h"
#include "drives/drive_answers.h"
#include "drives/drive_settings.h"

#include <dbt.h>
#include <fstream>
#include <shlobj.h>
#include <tlhelp32.h>

using namespace testbed;

const std::string kExit = "終了しますか？", kAsk = " ドライブの情報の変更を適用しますか？";
const std::string kFailed = " ドライブの情報を書き込めませんでした。";
const std::string kRestore = " ドライブのアイコンと名前を既定に戻しますか？";
const std::string kSilent = "応答がありません";
const std::string kStoredName = "ボリュームラベルの代わりに表示される名前です";

Texts g_notified;                      // shell notifications this process receives: "event path"
const std::string kOurs = "4096 C:\\"; // the one the test sends after the code's
LRESULT CALLBACK notified(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    char path[MAX_PATH] = "";
    if (message != WM_APP)
        return DefWindowProcA(window, message, wParam, lParam);
    SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST*>(wParam)[0], path);
    g_notified.push_back(std::to_string(lParam) + " " + path);
    return 0;
}

TEST(Editor, StartsWithEveryDriveAndNothingShownAndExitsOnlyWhenAsked) {
    storeText('E', "DefaultIcon", "shell32.dll,8");
    MainWindow main;
    ASSERT_EQ(7, SendMessageA(main.control(IDC_DRIVE_LIST), LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(std::string(1, kLetters[i]) + ":\\", main.item(i));
        EXPECT_TRUE(main.listShows(i, iconOf(i == kE ? "shell32.dll,8" : main.item(i).c_str())));
    }
    for (int id : {IDC_TYPE_NAME, IDC_ICON_PATH, IDC_LABEL})
        EXPECT_EQ("", main.text(id)) << "control " << id;
    for (int id : {ID_APPLY_ALL, ID_APPLY_THIS, ID_RESTORE_DEFAULTS, IDC_BROWSE}) // no drive shown
        EXPECT_EQ(Texts{}, main.boxes(id)) << id;
    SetCurrentDirectoryA("C:\\windows"); // no read-me there: the one beside the program
    main.command(ID_HELP_README);
    SetCurrentDirectoryA(binDir().c_str());
    const auto notepad = [] { return FindWindowA(nullptr, "ReadMe.txt - メモ帳"); };
    EXPECT_TRUE(waitFor("Notepad showing ReadMe.txt", notepad, IsWindow, 9000));
    PostMessageA(notepad(), WM_CLOSE, 0, 0);
    EXPECT_EQ(Texts{}, main.boxes(IDCANCEL)); // Escape
    EXPECT_EQ(Texts{kExit}, main.boxes(IDC_CANCEL, {IDCANCEL}));
    EXPECT_TRUE(IsWindowVisible(main.window));
    EXPECT_EQ(Texts{kExit}, main.boxes(ID_FILE_EXIT, {IDOK}));
    EXPECT_FALSE(IsWindowVisible(main.window));
}

// What is typed reaches its drive however the field is left: Tab, a click
// on another drive (Wine reports the new selection before the field's focus
// loss), Enter (the Apply menu, the default button), or a command while the
// focus is still in the field; marked drives are asked for in letter order.
TEST(Editor, WhatIsTypedReachesItsDriveHoweverTheFieldIsLeftAndIsAskedForInOrder) {
    storeText('H', "DefaultLabel", "ラム");
    MainWindow main;
    EXPECT_EQ(IDC_APPLY, LOWORD(SendMessageA(main.window, DM_GETDEFID, 0, 0)));
    main.select(kF);
    main.type(IDC_LABEL, "共有");
    main.select(kH);
    main.type(IDC_LABEL, "ラム"); // its stored name again: not marked
    for (const int field : {IDC_ICON_PATH, IDC_LABEL}) {
        const char* subkey = field == IDC_LABEL ? "DefaultLabel" : "DefaultIcon";
        const auto text = [&](int way) {
            return field == IDC_LABEL ? "名前" + std::to_string(way)
                                      : "shell32.dll," + std::to_string(10 + way);
        };
        main.select(kE);
        main.edit(field, text(1));
        main.key(VK_TAB);
        EXPECT_TRUE(waitFor(
            "the focus moved on", [] { return GetFocus(); },
            [&](HWND focus) { return !IsChild(main.control(field), focus); }));
        if (field == IDC_ICON_PATH) // F: declined once, then done
            EXPECT_EQ((Texts{'E' + kAsk, 'F' + kAsk, kExit}),
                      main.boxes(IDC_OK, {IDOK, IDCANCEL, IDCANCEL}));
        else
            EXPECT_EQ((Texts{'E' + kAsk, kExit}), main.boxes(IDC_OK, {IDOK, IDCANCEL}));
        EXPECT_EQ(text(1), stored('E', subkey).text());
        main.select(kE);
        main.edit(field, text(2));
        main.click(kD);
        EXPECT_EQ((Texts{'E' + kAsk, kExit}), main.boxes(IDC_OK, {IDOK, IDCANCEL}));
        EXPECT_EQ(text(2), stored('E', subkey).text());
        EXPECT_FALSE(stored('D').key || stored('F').key)
            << "written never marked, declined or for what E: had typed";
        main.select(kE);
        main.edit(field, text(3));
        ModalScript enter({[&](HWND) { // the Apply menu: this drive only
                               EndMenu();
                               PostMessageA(main.window, WM_COMMAND, ID_APPLY_THIS, 0);
                           },
                           [](HWND box) { PostMessageA(box, WM_COMMAND, IDOK, 0); }});
        main.key(VK_RETURN);
        EXPECT_TRUE(waitFor(
            "the Apply menu and its question", [&] { return enter.steps.size(); },
            [](std::size_t left) { return left == 0; }));
        EXPECT_TRUE(main.written());
        EXPECT_EQ(text(3), stored('E', subkey).text());
        main.edit(field, text(4));
        EXPECT_EQ(Texts{'E' + kAsk}, main.boxes(ID_APPLY_THIS, {IDOK}));
        EXPECT_EQ(text(4), stored('E', subkey).text());
    }
    EXPECT_EQ("DefaultLabel", stored('E', "DefaultLabel").keyClass); // as regedit shows them
    EXPECT_EQ("DefaultIcon", stored('E', "DefaultIcon").keyClass);
    main.select(kF); // declined: its edit stays with it
    EXPECT_EQ("ネットワーク", main.text(IDC_TYPE_NAME));
    EXPECT_EQ("共有", main.text(IDC_LABEL));
    screenshot(main.window, "main-window");
    const LRESULT empty = // "" once among the names shown
        SendDlgItemMessageA(main.window, IDC_LABEL, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(""));
    EXPECT_EQ(empty,
              SendDlgItemMessageA(main.window, IDC_LABEL, CB_FINDSTRINGEXACT, empty, LPARAM("")));
    main.select(-1); // a click on empty space: F: stays shown, and selected
    EXPECT_TRUE(waitFor(
        "F: selected again", [&] { return main.selected(); }, [](int item) { return item == kF; }));
    ModalScript browse({[](HWND picker) { PostMessageA(picker, WM_COMMAND, IDCANCEL, 0); }});
    main.command(IDC_BROWSE);
    EXPECT_TRUE(browse.steps.empty()) << "Browse opened no picker for the shown drive";
    main.choose(IDC_LABEL, "共有"); // a choice from the list marks, even the same text
    EXPECT_EQ((Texts{'E' + kAsk, 'F' + kAsk, kExit}), main.boxes(IDC_OK, {IDCANCEL, IDOK, 2}));
    EXPECT_EQ("共有", stored('F', "DefaultLabel").text());
    main.select(kD); // one drive: asked even unmarked, its stored values written again
    EXPECT_EQ(Texts{'D' + kAsk}, main.boxes(ID_APPLY_THIS, {IDOK}));
    EXPECT_EQ("", stored('D', "DefaultLabel").text());
    main.select(kF); // 300 bytes of double-byte text: 254 kept, never half a character
    SetDlgItemTextA(main.window, IDC_LABEL, repeated("あ", 300).c_str());
    main.select(kD);
    main.select(kF);
    EXPECT_EQ(Texts{'F' + kAsk}, main.boxes(ID_APPLY_THIS, {IDOK}));
    EXPECT_EQ(repeated("あ", 254), stored('F', "DefaultLabel").text());
}

// A standard user's Kelvarin, or an administrator's unelevated one, asks
// for the rights only when it writes: 適用 and 決定 carry the shield, and a
// refused prompt writes nothing and keeps every confirmed drive marked.
Texts g_shields; // BCM_SETSHIELD sent: "control state"
LRESULT CALLBACK recordShields(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == BCM_SETSHIELD)
        g_shields.push_back(std::to_string(GetDlgCtrlID(sent->hwnd)) + " " +
                            std::to_string(sent->lParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(Editor, WritesAskForRightsOnlyWhenNeededAndARefusalWritesNothing) {
    const HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, recordShields, 0, GetCurrentThreadId());
    const std::string refused = "管理者の確認が取り消されたため、何も書き込みませんでした。";
    kelvarin::pretendElevation(false, 0);
    { const MainWindow elevated; }
    EXPECT_EQ(Texts{}, g_shields) << "a shield where nothing asks for rights";
    kelvarin::pretendElevation(true, ERROR_CANCELLED);
    MainWindow main;
    EXPECT_EQ((Texts{"3 1", "1004 1"}), g_shields);
    screenshot(main.window, "shield"); // as Wine draws it
    main.select(kE);
    main.type(IDC_LABEL, "拒否");
    main.select(kD);
    main.type(IDC_LABEL, "許可");
    Texts asked;
    const auto answer = [&](HWND box) {
        char text[256] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        asked.push_back(text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    };
    {
        ModalScript refusal({answer, answer, [&](HWND box) {
                                 screenshot(box, "refused-elevation");
                                 answer(box);
                             }});
        main.command(ID_APPLY_ALL);
        EXPECT_TRUE(main.written());
    }
    EXPECT_EQ((Texts{'D' + kAsk, 'E' + kAsk, refused}), asked);
    EXPECT_FALSE(stored('D').key || stored('E').key) << "written without the rights";
    kelvarin::pretendElevation(true, 0); // the prompt answered: both still marked
    EXPECT_EQ((Texts{'D' + kAsk, 'E' + kAsk}), main.boxes(ID_APPLY_ALL, {IDOK, IDOK}));
    EXPECT_EQ("許可", stored('D', "DefaultLabel").text());
    EXPECT_EQ("拒否", stored('E', "DefaultLabel").text());
    kelvarin::stopPretending();
    UnhookWindowsHookEx(hook);
}

TEST(Editor, AppliedIconsShowAtOnceUnshownValuesAreKeptAndExplorerIsToldOfEachWrite) {
    const HWND listener = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, 0, 0, 0, 0);
    SetWindowLongPtrA(listener, GWLP_WNDPROC, LONG_PTR(notified));
    SHChangeNotifyEntry entry{nullptr, TRUE};
    SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, const_cast<LPITEMIDLIST*>(&entry.pidl));
    const LONG events = SHCNE_ASSOCCHANGED | SHCNE_UPDATEITEM | SHCNE_UPDATEDIR;
    ASSERT_TRUE(SHChangeNotifyRegister(listener, SHCNRF_ShellLevel, events, WM_APP, 1, &entry));
    const std::string longPath = "C:\\" + repeated("長いフォルダ\\", 312) + "icons.dll,3";
    const std::string longName = repeated("名前", 300), filledName = repeated("ラ", 256);
    const std::string expandable = "%SystemRoot%\\system32\\shell32.dll,3";
    const Pixels third = iconOf("shell32.dll,3"), fourth = iconOf("shell32.dll,4");
    storeText('E', "DefaultIcon", longPath);
    storeText('F', "DefaultLabel", longName);
    store('H', "DefaultIcon", expandable + '\0', REG_EXPAND_SZ);
    store('H', "DefaultLabel", filledName, REG_BINARY); // fills the field, no terminator
    MainWindow main;
    // Notifications arrive in order: once ours has, every one the code sent has.
    const auto apply = [&](int id, std::initializer_list<int> buttons) {
        g_notified.clear();
        main.boxes(id, buttons);
        SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHA, "C:\\", nullptr);
        EXPECT_TRUE(waitFor(
            "the test's own notification", [] { return g_notified; },
            [](const Texts& seen) { return !seen.empty() && seen.back() == kOurs; }));
        g_notified.pop_back();
        return g_notified;
    };
    main.select(kE);
    main.type(IDC_LABEL, "名前だけ");
    main.select(kH);
    EXPECT_TRUE(main.listShows(kH, third));
    main.choose(IDC_ICON_PATH, expandable);
    main.select(kF);
    main.choose(IDC_ICON_PATH, ""); // previews the drive's own icon at once
    EXPECT_TRUE(main.previewShows(iconOf("F:\\"), fourth));
    main.type(IDC_ICON_PATH, "shell32.dll,4");
    EXPECT_EQ((Texts{"8192 F:\\", "134217728 "}), apply(ID_APPLY_THIS, {IDOK}));
    EXPECT_TRUE(main.listShows(kF, fourth));
    EXPECT_TRUE(main.previewShows(fourth, third));
    const Texts written{"8192 E:\\", "8192 F:\\", "8192 H:\\", "134217728 "};
    EXPECT_EQ(written, apply(IDC_OK, {IDOK, IDOK, IDOK, IDCANCEL}));
    EXPECT_EQ(longPath, stored('E', "DefaultIcon").text());
    EXPECT_EQ("名前だけ", stored('E', "DefaultLabel").text());
    EXPECT_EQ(longName, stored('F', "DefaultLabel").text());
    EXPECT_EQ(DWORD(REG_SZ), stored('F', "DefaultIcon").type);
    EXPECT_EQ(expandable, stored('H', "DefaultIcon").text());
    EXPECT_EQ(DWORD(REG_EXPAND_SZ), stored('H', "DefaultIcon").type);
    EXPECT_EQ(filledName, stored('H', "DefaultLabel").data);
    EXPECT_EQ(DWORD(REG_BINARY), stored('H', "DefaultLabel").type);
    EXPECT_EQ(Texts{}, apply(ID_APPLY_THIS, {IDCANCEL}));
    makeLetterKeyVolatile('D');
    main.select(kD);
    EXPECT_EQ(Texts{}, apply(ID_APPLY_THIS, {IDOK, IDOK})); // failed
    main.select(kF);
    EXPECT_EQ((Texts{"8192 F:\\", "134217728 "}), apply(ID_RESTORE_DEFAULTS, {IDOK}));
}

TEST(Editor, FixedDisksShowTheirVolumesLabelAndWriteItOnlyWhenEditedRestoringGoesBack) {
    storeText('E', "DefaultIcon", "shell32.dll,3");
    storeText('E', "DefaultLabel", "保存名");
    storeText('G', "DefaultLabel", "表示名"); // what Explorer shows instead of the volume label
    MainWindow main;
    // G:'s label changed after Wine read it: Wine still shows the old one.
    std::ofstream("G:\\.windows-label", std::ios::binary) << u8"後から\n";
    SetCursorPos(300, 500); // the menu opens at the mouse, its third command after a line
    ModalScript script({[](HWND menu) {
        RECT at{};
        char third[32] = {};
        const auto popup = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
        GetMenuStringA(popup, ID_RESTORE_DEFAULTS, third, sizeof third, MF_BYCOMMAND);
        GetWindowRect(menu, &at);
        EXPECT_EQ(300, at.left);
        EXPECT_EQ(500, at.top);
        EXPECT_EQ(4, GetMenuItemCount(popup));
        EXPECT_STREQ("既定に戻す(&D)", third);
        screenshot(menu, "apply-menu", RECT{0, 0, at.right + 20, at.bottom + 20});
        EndMenu();
    }});
    main.command(IDC_APPLY);
    main.select(kG);
    EXPECT_EQ("表示名", main.text(IDC_LABEL));
    EXPECT_EQ(kStoredName, main.text(IDC_NAME_NOTE));
    screenshot(main.window, "stored-name");
    main.type(IDC_LABEL, "新表示名"); // the stored name is edited: the volume untouched
    EXPECT_EQ(Texts{'G' + kAsk}, main.boxes(ID_APPLY_THIS, {IDOK}));
    EXPECT_EQ(u8"後から\n", readFile("G:\\.windows-label"));
    EXPECT_EQ("新表示名", stored('G', "DefaultLabel").text());
    EXPECT_EQ(Texts{'G' + kRestore}, main.boxes(ID_RESTORE_DEFAULTS, {IDOK}));
    EXPECT_EQ(u8"後から\n", readFile("G:\\.windows-label"));
    EXPECT_FALSE(stored('G').key);
    EXPECT_EQ("データ", main.text(IDC_LABEL)) << "the volume label as Wine read it";
    EXPECT_EQ("", main.text(IDC_NAME_NOTE));
    main.type(IDC_ICON_PATH, "shell32.dll,6"); // the icon alone: the volume untouched
    EXPECT_EQ(Texts{'G' + kAsk}, main.boxes(ID_APPLY_THIS, {IDOK}));
    EXPECT_EQ(u8"後から\n", readFile("G:\\.windows-label"));
    EXPECT_FALSE(stored('G', "DefaultLabel").key);
    main.select(kC); // the first drive is the menu's too; no label, and none made
    EXPECT_EQ("", main.text(IDC_LABEL));
    main.type(IDC_ICON_PATH, "shell32.dll,5");
    EXPECT_EQ(Texts{'C' + kAsk}, main.boxes(ID_APPLY_THIS, {IDOK}));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\.windows-label"));
    main.type(IDC_LABEL, "システム");
    EXPECT_EQ(Texts{'C' + kAsk}, main.boxes(ID_APPLY_THIS, {IDOK}));
    EXPECT_EQ("shell32.dll,5", stored('C', "DefaultIcon").text());
    EXPECT_EQ(u8"システム\n", readFile("C:\\.windows-label"));
    EXPECT_FALSE(stored('C', "DefaultLabel").key) << "a fixed disk's name went to DefaultLabel";
    EXPECT_EQ(Texts{'C' + kRestore}, main.boxes(ID_RESTORE_DEFAULTS, {IDOK}));
    EXPECT_FALSE(stored('C').key);
    main.select(kE);
    main.type(IDC_LABEL, "途中");
    EXPECT_EQ(Texts{'E' + kRestore}, main.boxes(ID_RESTORE_DEFAULTS, {IDCANCEL}));
    EXPECT_EQ("保存名", stored('E', "DefaultLabel").text());
    EXPECT_EQ("途中", main.text(IDC_LABEL));
    EXPECT_EQ(Texts{'E' + kRestore}, main.boxes(ID_RESTORE_DEFAULTS, {IDOK}));
    EXPECT_FALSE(stored('E').key);
    EXPECT_EQ("", main.text(IDC_LABEL));
    EXPECT_EQ("", main.text(IDC_ICON_PATH));
    EXPECT_TRUE(main.listShows(kE, iconOf("E:\\")));
    EXPECT_TRUE(main.previewShows(iconOf("E:\\"), iconOf("shell32.dll,3")));
    // E:'s mark went with its edits; G:'s stays after applying it alone
    EXPECT_EQ((Texts{'G' + kAsk, kExit}), main.boxes(IDC_OK, {IDCANCEL, IDCANCEL}));
    main.select(kH); // nothing stored: nothing deleted, nothing reported
    EXPECT_EQ(Texts{'H' + kRestore}, main.boxes(ID_RESTORE_DEFAULTS, {IDOK}));
    storeText('F', "DefaultLabel", "共有"); // keys of someone else's below: all kept
    storeText('F', "DefaultIcon\\Other", "x");
    main.select(kF);
    main.type(IDC_LABEL, "変更中");
    EXPECT_EQ((Texts{'F' + kRestore, 'F' + kFailed}),
              main.boxes(ID_RESTORE_DEFAULTS, {IDOK, IDOK}));
    EXPECT_EQ("共有", stored('F', "DefaultLabel").text());
    EXPECT_EQ("変更中", main.text(IDC_LABEL));
    EXPECT_EQ((Texts{'F' + kAsk, kExit}), main.boxes(IDC_OK, {IDCANCEL, IDCANCEL}));
}

TEST(Editor, LettersWithSettingsAndNoDriveAreListedGhostedAndWorkLikeDrives) {
    storeText('k', "DefaultIcon", "shell32.dll,8"); // found as K, as Explorer does
    storeText('Y', "DefaultLabel", "古いディスク");
    const std::string other = std::string(kelvarin::kSettingsKeyPath) + "\\Backup\\DefaultLabel";
    RegSetValueA(HKEY_LOCAL_MACHINE, other.c_str(), REG_SZ, "x", 1); // no letter's: not listed
    MainWindow main;
    const auto ghosted = [&](int item) {
        return SendDlgItemMessageA(main.window, IDC_DRIVE_LIST, LVM_GETITEMSTATE, item, LVIS_CUT);
    };
    ASSERT_EQ(9, SendDlgItemMessageA(main.window, IDC_DRIVE_LIST, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ("K:\\", main.item(6));
    EXPECT_EQ("Y:\\", main.item(7));
    EXPECT_EQ(LVIS_CUT, ghosted(7));
    EXPECT_EQ(0, ghosted(0)) << "C: is there";
    EXPECT_EQ(kNeutral, main.image(7)) << "Y: has no icon location";
    EXPECT_TRUE(main.listShows(6, iconOf("shell32.dll,8")));
    main.select(7);
    screenshot(main.window, "ghosted-letters");
    EXPECT_EQ("接続されていません", main.text(IDC_TYPE_NAME));
    EXPECT_EQ("古いディスク", main.text(IDC_LABEL));
    main.type(IDC_LABEL, "外付け");
    EXPECT_EQ(Texts{"Y" + kAsk}, main.boxes(ID_APPLY_THIS, {IDOK}));
    EXPECT_EQ("外付け", stored('Y', "DefaultLabel").text());
    main.select(6);
    EXPECT_EQ("shell32.dll,8", main.text(IDC_ICON_PATH));
    EXPECT_EQ(Texts{"K" + kRestore}, main.boxes(ID_RESTORE_DEFAULTS, {IDOK}));
    EXPECT_FALSE(stored('K').key);
    EXPECT_EQ(kNeutral, main.image(6)) << "K: with nothing stored";
    const auto add = [&](const char* letter, int button, LRESULT offered) {
        ModalScript box({[&](HWND added) { // the letters not listed
            const HWND letters = GetDlgItem(added, IDC_ADD_LETTER_LIST);
            EXPECT_EQ(offered, SendMessageA(letters, CB_GETCOUNT, 0, 0));
            SendMessageA(letters, CB_SELECTSTRING, WPARAM(-1), LPARAM(letter));
            PostMessageA(added, WM_COMMAND, button, 0);
        }});
        main.command(ID_FILE_ADD_LETTER);
    };
    add("B:", IDCANCEL, 26 - 9);
    add("B:", IDOK, 26 - 9); // before every other, drawn first too
    EXPECT_EQ(0, main.selected());
    EXPECT_TRUE(main.inLetterOrder());
    screenshot(main.window, "added-b");
    EXPECT_EQ("", main.text(IDC_LABEL));
    EXPECT_FALSE(stored('B').key) << "written before any apply";
    add("M:", IDOK, 26 - 10);
    EXPECT_EQ("M:\\", main.item(8)) << "after K:, before Y:";
    EXPECT_TRUE(main.inLetterOrder());
    for (char letter = 'A'; letter <= 'Z'; ++letter) // every letter listed: nothing to add
        storeText(letter, "DefaultLabel", "x");
    MainWindow full;
    const HMENU file = GetSubMenu(GetMenu(full.window), 0);
    SendMessageA(full.window, WM_INITMENUPOPUP, WPARAM(file), 0);
    EXPECT_TRUE(GetMenuState(file, ID_FILE_ADD_LETTER, MF_BYCOMMAND) & MF_GRAYED);
    full.select(0); // A:, the first of all, like any other
    full.type(IDC_LABEL, "最初");
    EXPECT_EQ(Texts{"A" + kAsk}, full.boxes(ID_APPLY_THIS, {IDOK}));
    EXPECT_EQ("最初", stored('A', "DefaultLabel").text());
}

TEST(Editor, TheListFollowsDrivesThatComeAndGoKeepingMarksSelectionAndEdits) {
    storeText('G', "DefaultLabel", "保存名");
    MainWindow main;
    const auto volume = [&](char letter, UINT event, WORD flags = 0) {
        main.volume(letter, event, flags);
    };
    const auto selected = [&] { return main.item(main.selected()); };
    main.select(kE);
    main.type(IDC_LABEL, "USBメモリ");
    main.select(kH);
    SetDlgItemTextA(main.window, IDC_LABEL, "ラム");   // typed, the field not left yet
    volume('D', DBT_DEVICEREMOVECOMPLETE, DBTF_MEDIA); // only its disc: stays
    EXPECT_EQ("D:\\", main.item(1));
    volume('E', DBT_DEVICEREMOVECOMPLETE); // marked: stays, ghosted
    volume('D', DBT_DEVICEREMOVECOMPLETE); // nothing stored: gone
    volume('G', DBT_DEVICEREMOVECOMPLETE); // stored settings: ghosted
    volume('A', DBT_DEVICEARRIVAL);        // before the selected drive
    volume('B', DBT_DEVICEARRIVAL);
    EXPECT_EQ((Texts{"A:\\", "B:\\", "C:\\", "E:\\"}),
              (Texts{main.item(0), main.item(1), main.item(2), main.item(3)}));
    EXPECT_TRUE(main.inLetterOrder());
    EXPECT_EQ("H:\\", selected());
    EXPECT_EQ("RAMディスク", main.text(IDC_TYPE_NAME));
    main.select(5); // G: now, then H: again: what was typed stayed with H:
    EXPECT_EQ("保存名", main.text(IDC_LABEL)) << "a ghost shows the stored name";
    main.select(6);
    EXPECT_EQ("ラム", main.text(IDC_LABEL));
    main.select(3);
    EXPECT_EQ("接続されていません", main.text(IDC_TYPE_NAME));
    EXPECT_EQ("USBメモリ", main.text(IDC_LABEL));
    volume('E', DBT_DEVICEARRIVAL);
    EXPECT_TRUE(main.shows(IDC_TYPE_NAME, "リムーバブルディスク"));
    EXPECT_EQ("USBメモリ", main.text(IDC_LABEL));
    EXPECT_EQ((Texts{'E' + kAsk, 'H' + kAsk, kExit}), main.boxes(IDC_OK, {IDOK, IDOK, IDCANCEL}));
    EXPECT_EQ("USBメモリ", stored('E', "DefaultLabel").text());
    EXPECT_EQ("ラム", stored('H', "DefaultLabel").text());
    main.select(0); // the arrow key walks through every drive, past the visible ones
    const int count = ListView_GetItemCount(main.control(IDC_DRIVE_LIST));
    for (int i = 1; i < count; ++i)
        SendDlgItemMessageA(main.window, IDC_DRIVE_LIST, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(count - 1, main.selected());
}

// An elevated Kelvarin has none of the drives the user mapped: the shares
// the user's Explorer remembers are listed instead, followed, and give way
// to drives that arrive on their letters, which show their own names.
TEST(Editor, SharesTheUsersExplorerRemembersAreListedFollowedAndGiveWayToDrives) {
    remember('U', "\\\\nas\\photos");
    remember('W', "\\\\nas\\music");
    remember('F', "\\\\nas\\other"); // F: is a drive of this session: it wins
    MainWindow main;
    const auto state = [&](int item) {
        return main.item(item) +
               (ListView_GetItemState(main.control(IDC_DRIVE_LIST), item, LVIS_CUT) != 0
                    ? " ghosted"
                    : "");
    };
    const int kU = 6, kW = 7; // C D E F G H U W Z
    ASSERT_EQ(9, SendDlgItemMessageA(main.window, IDC_DRIVE_LIST, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ("U:\\", state(kU));
    EXPECT_TRUE(main.listShows(kU, iconOf("F:\\"))); // a share's icon, nothing asked of it
    main.select(kF);
    EXPECT_EQ("", main.text(IDC_LABEL));
    main.select(kU);
    EXPECT_EQ("ネットワーク", main.text(IDC_TYPE_NAME));
    EXPECT_EQ("photos (\\\\nas)", main.text(IDC_LABEL));
    main.type(IDC_ICON_PATH, "shell32.dll,7"); // its icon edited, not its name
    remember('U', "\\\\nas\\pictures");        // mapped elsewhere: named again
    EXPECT_TRUE(main.shows(IDC_LABEL, "pictures (\\\\nas)"));
    screenshot(main.window, "remembered-share");
    {
        const ArrivingDrive stick('U', DRIVE_REMOVABLE, "STICK7"),
            disk('W', DRIVE_FIXED, "OWNDISK");
        main.volume('U', DBT_DEVICEARRIVAL);
        main.volume('W', DBT_DEVICEARRIVAL);
        EXPECT_TRUE(main.shows(IDC_TYPE_NAME, "リムーバブルディスク"));
        EXPECT_EQ("STICK7", main.text(IDC_LABEL));
        screenshot(main.window, "arrived-on-remembered");
        EXPECT_EQ(Texts{'U' + kAsk}, main.boxes(ID_APPLY_THIS, {IDOK}));
        EXPECT_EQ("STICK7", stored('U', "DefaultLabel").text()) << "the share's name written";
        EXPECT_EQ("shell32.dll,7", stored('U', "DefaultIcon").text());
        main.select(kW);
        EXPECT_TRUE(main.shows(IDC_TYPE_NAME, "ハードディスク"));
        EXPECT_EQ("OWNDISK", main.text(IDC_LABEL));
        main.type(IDC_ICON_PATH, "shell32.dll,8");
        EXPECT_EQ(Texts{'W' + kAsk}, main.boxes(ID_APPLY_THIS, {IDOK}));
        EXPECT_EQ("OWNDISK\n", readFile("C:\\kelvarin-drive-W\\.windows-label"));
        EXPECT_FALSE(stored('W', "DefaultLabel").key);
    }
    main.volume('W', DBT_DEVICEREMOVECOMPLETE); // the share again, named as before
    EXPECT_TRUE(main.shows(IDC_LABEL, "music (\\\\nas)"));
    RegDeleteTreeA(HKEY_CURRENT_USER, "Network\\W"); // forgotten: ghosted, for its settings
    EXPECT_TRUE(waitFor(
        "W: ghosted", [&] { return state(kW); },
        [](const std::string& seen) { return seen == "W:\\ ghosted"; }));
    EXPECT_EQ("接続されていません", main.text(IDC_TYPE_NAME));
    remember('Y', "\\\\nas\\video"); // remembered later
    EXPECT_TRUE(waitFor(
        "Y: listed", [&] { return state(kW + 1); },
        [](const std::string& seen) { return seen == "Y:\\"; }));
}

// Explorer's icon cache is told of the location shown before a write or a
// deletion and of the one shown after; Wine's shell only leaves a message
// for it, which this story reads in a process of its own.
TEST(Editor, DISABLED_ExplorersIconCacheIsToldOfEveryLocationBeforeAndAfter) {
    storeText('E', "DefaultIcon", "shell32.dll,3");
    MainWindow main;
    main.select(kE);
    main.type(IDC_ICON_PATH, iconLibrary() + ",1");
    EXPECT_EQ(Texts{'E' + kAsk}, main.boxes(ID_APPLY_THIS, {IDOK}));
    EXPECT_EQ(Texts{'E' + kRestore}, main.boxes(ID_RESTORE_DEFAULTS, {IDOK}));
    const auto calls = [](const std::string& trace, const std::string& of) { // lines with both
        std::size_t count = 0;
        for (std::size_t at = trace.find("SHUpdateImageA "); at != std::string::npos;
             at = trace.find("SHUpdateImageA ", at + 1))
            count += trace.substr(at, trace.find('\n', at) - at).find(of) != std::string::npos;
        return count;
    };
    EXPECT_TRUE(waitFor( // the old, the new twice (written, then deleted), the drive's own
        "four image updates in the shell's messages", wineMessages, [&](const std::string& seen) {
            return calls(seen, "") == 4 && calls(seen, "\"shell32.dll\", 3,") == 1 &&
                   calls(seen, "mpr.dll\", 1,") == 2;
        }));
}

TEST(Editor, ExplorersIconCacheIsToldOfEveryLocationBeforeAndAfter) {
    EXPECT_EQ(0u, runWithShellMessages("*DISABLED_ExplorersIconCache*"));
}

// G (a fixed disk: its name is its volume label) answers only when the
// test lets it.
const HANDLE g_letG = CreateEventA(nullptr, TRUE, FALSE, nullptr);
void slowG(kelvarin::DriveRecord& record) {
    if (record.rootPath[0] == 'G' || record.rootPath[0] == 'A') // A: when it arrives
        WaitForSingleObject(g_letG, INFINITE);
    kelvarin::askDrive(record);
}

TEST(Editor, ADriveNotAnsweredYetHoldsUpNothingAndItsAnswerKeepsWhatWasTyped) {
    storeText('G', "DefaultIcon", "shell32.dll,5");
    ResetEvent(g_letG);
    kelvarin::setDriveAsker(slowG);
    { MainWindow closedWhilePending(false); } // its answer comes after it is gone
    MainWindow main(false);
    EXPECT_TRUE(waitFor(
        "every drive but G answered", [&] { return main.answered(); },
        [](int n) { return n == 6; }));
    EXPECT_TRUE(main.listShows(kG, iconOf("shell32.dll,5"))) << "its stored icon, asked apart";
    main.select(kG); // what is known: the stored location; in time, that it does not answer
    EXPECT_EQ("shell32.dll,5", main.text(IDC_ICON_PATH));
    EXPECT_TRUE(main.shows(IDC_TYPE_NAME, kSilent, 10000));
    main.volume('A', DBT_DEVICEARRIVAL); // one that arrives is told so as well
    main.select(0);
    EXPECT_TRUE(main.shows(IDC_TYPE_NAME, kSilent, 10000));
    main.select(kG + 1);
    main.volume('A', DBT_DEVICEREMOVECOMPLETE); // nothing of it kept: gone
    main.type(IDC_LABEL, "遅い");
    main.type(IDC_ICON_PATH, "shell32.dll,4"); // its answer brings ,5's icon: stale
    EXPECT_EQ((Texts{'G' + kAsk, 'G' + kFailed}), main.boxes(ID_APPLY_THIS, {IDOK, IDOK}));
    EXPECT_FALSE(stored('G', "DefaultLabel").key) << "written before its type was known";
    main.select(kE); // the others work meanwhile
    main.type(IDC_LABEL, "速い");
    main.select(kG);
    SetEvent(g_letG);
    EXPECT_TRUE(main.shows(IDC_TYPE_NAME, "ハードディスク"));
    kelvarin::setDriveAsker(nullptr);
    EXPECT_TRUE(main.listShows(kG, iconOf("shell32.dll,4")));
    EXPECT_EQ("遅い", main.text(IDC_LABEL)) << "the volume label overwrote what was typed";
    EXPECT_EQ((Texts{'E' + kAsk, 'G' + kAsk, kExit}), main.boxes(IDC_OK, {IDOK, IDOK, IDCANCEL}));
    EXPECT_EQ(u8"遅い\n", readFile("G:\\.windows-label"));
    EXPECT_EQ("速い", stored('E', "DefaultLabel").text());
}

// CTest runs this story at 96, 144 and 192 DPI: the list's images and the
// preview are the system's large icons for the window's DPI, each from its
// file's own frame of that size, never the 32-pixel frame stretched.
TEST(Dpi, ImagesAreTheScreensLargeIconsFromTheirOwnFrames) {
    const std::string shell32 = "C:\\windows\\system32\\shell32.dll";
    storeText('E', "DefaultIcon", shell32 + ",8");
    storeText('D', "DefaultIcon", iconLibrary()); // its first icon: one 32-pixel frame
    MainWindow main;
    const HDC screen = GetDC(main.window);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY), size = dpi / 3; // 32, 48, 64
    ReleaseDC(main.window, screen);
    int width = 0, height = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendDlgItemMessageA(
                              main.window, IDC_DRIVE_LIST, LVM_GETIMAGELIST, LVSIL_NORMAL, 0)),
                          &width, &height);
    EXPECT_EQ(size, width);
    EXPECT_EQ(size, height);
    const auto frame = [&](int index, int of, int drawn) { // the file's own frame of that size
        HICON icon = nullptr;
        UINT id = 0;
        PrivateExtractIconsA(shell32.c_str(), index, of, of, &icon, &id, 1, 0);
        return iconPixels(icon, drawn);
    };
    EXPECT_TRUE(size == 32 || frame(8, size, size) != frame(8, 32, size)) << "no frame of its own";
    EXPECT_TRUE(main.listShows(kE, frame(8, size, size)));
    main.select(kE);
    EXPECT_TRUE(main.previewShows(frame(8, size, size), frame(3, size, size)));
    screenshot(main.window, "dpi-" + std::to_string(dpi));
    // Explorer's sizes beside it, each marked * where the file has no frame of
    // its own (D:'s has only 32 x 32), and the extra-large size in a window of
    // its own.
    main.select(kD);
    EXPECT_TRUE(main.previewShows(Pixels(size * size, kRed), Pixels(size * size, kBlue)));
    std::string sizes; // 16 32 48 for 96 DPI, scaled
    for (int logical : {16, 32, 48})
        sizes += (sizes.empty() ? "" : " ") + std::to_string(logical) +
                 (logical * dpi / 96 == 32 ? "" : "*");
    EXPECT_TRUE(main.shows(IDC_PREVIEW_SIZES, sizes));
    screenshot(main.window, "sizes-" + std::to_string(dpi));
    ModalScript large({[&](HWND box) {
        RECT inside{};
        GetClientRect(box, &inside);
        EXPECT_EQ((256 + 16) * dpi / 96, inside.right);
        screenshot(box, "extra-large-" + std::to_string(dpi));
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    }});
    SendMessageA(main.window, WM_COMMAND, MAKEWPARAM(IDC_PREVIEW, STN_CLICKED), 0);
    EXPECT_TRUE(waitFor(
        "the extra-large preview", [&] { return large.steps.size(); },
        [](std::size_t left) { return left == 0; }));
    // A file without frames that large still fills the image, never a small
    // frame in a corner of it.
    const auto images = reinterpret_cast<HIMAGELIST>(
        SendDlgItemMessageA(main.window, IDC_DRIVE_LIST, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    const kelvarin::unique_hicon library(ImageList_GetIcon(images, 'D' - 'A', 0));
    const Pixels drawn = iconPixels(library.get(), size);
    EXPECT_GT(std::count(drawn.begin(), drawn.end(), kRed), size * size * 3 / 4);
    // Moved to a screen of another DPI: the dialog manager lays the window out
    // under per-monitor v2 (the procedure leaves it the message; Wine 8 does
    // not report v2), Kelvarin itself under v1; the title bar's icons are
    // made at the new size and every image is asked again at its size.
    RECT suggested{};
    GetWindowRect(main.window, &suggested);
    const int other = dpi == 144 ? 96 : 144;
    EXPECT_EQ(kelvarin::systemRelaysDialogs() ? FALSE : TRUE,
              kelvarin::MainDialogProc(main.window, WM_DPICHANGED, MAKEWPARAM(other, other),
                                       LPARAM(&suggested)));
    ICONINFO big{};
    GetIconInfo(HICON(SendMessageA(main.window, WM_GETICON, ICON_BIG, 0)), &big);
    BITMAP bits{};
    GetObjectA(big.hbmColor, sizeof bits, &bits);
    DeleteObject(big.hbmColor), DeleteObject(big.hbmMask);
    EXPECT_EQ(other / 3, bits.bmWidth);
    EXPECT_TRUE(main.listShows(kE, frame(8, other / 3, other / 3)));
}

// A 32-bit Kelvarin on 64-bit Windows before 7, whose settings key for
// 32-bit programs is apart from the one the 64-bit Explorer reads, and whose
// system folder is the 32-bit one (scripts/testbed-wow64.sh).
TEST(Wow64, AThirtyTwoBitKelvarinUsesTheViewsTheSixtyFourBitExplorerReads) {
    BOOL wow64 = FALSE;
    if (!getenv("KELVARIN_WOW64") || !IsWow64Process(GetCurrentProcess(), &wow64) || !wow64)
        GTEST_SKIP() << "no 64-bit Windows for 32-bit programs here: the tests are 64-bit where "
                        "the kernel runs no 32-bit programs";
    const std::string key = std::string(kelvarin::kSettingsKeyPath);
    HKEY link = nullptr; // Wine shares the key through a link: opened as itself, deleted
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("Software\\Wow6432Node" + key.substr(8)).c_str(),
                  REG_OPTION_OPEN_LINK, DELETE | KEY_WOW64_64KEY, &link);
    using DeleteKey = LONG(WINAPI*)(HANDLE);
    ASSERT_EQ(0, reinterpret_cast<DeleteKey>(reinterpret_cast<void*>(
                     GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")))(link));
    RegCloseKey(link);
    const auto store64 = [&](char letter, const char* subkey, const std::string& text) {
        HKEY value = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, (key + "\\" + letter + "\\" + subkey).c_str(), 0,
                        nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &value, nullptr);
        RegSetValueExA(value, nullptr, 0, REG_SZ, (const BYTE*)text.c_str(),
                       DWORD(text.size() + 1));
        RegCloseKey(value);
    };
    const auto query64 = [&](char letter, const char* subkey) { // the 64-bit view's value
        HKEY value = nullptr;
        char text[256] = {};
        DWORD size = sizeof text - 1;
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, (key + "\\" + letter + "\\" + subkey).c_str(), 0,
                      KEY_READ | KEY_WOW64_64KEY, &value);
        const bool read = !RegQueryValueExA(value, nullptr, 0, 0, LPBYTE(text), &size);
        RegCloseKey(value);
        return read ? std::string(text) : "(none)";
    };
    // Only in the 64-bit folder, named by the system folder's name.
    CopyFileA((binDir() + "\\..\\tests\\red.ico").c_str(),
              "C:\\windows\\sysnative\\kelvarin-red.ico", FALSE);
    store64('E', "DefaultLabel", "六十四");
    store64('H', "DefaultIcon", "C:\\windows\\system32\\kelvarin-red.ico");
    store64('C', "DefaultIcon", "kelvarin-red.ico"); // where the 64-bit loader looks
    MainWindow main;
    EXPECT_TRUE(main.listShows(kH, Pixels(32 * 32, kRed)));
    EXPECT_TRUE(main.listShows(kC, Pixels(32 * 32, kRed)));
    main.select(kH);
    EXPECT_TRUE(main.previewShows(Pixels(32 * 32, kRed), Pixels(32 * 32, kBlue)));
    main.select(kE);
    EXPECT_EQ("六十四", main.text(IDC_LABEL));
    EXPECT_EQ(Texts{'E' + kRestore}, main.boxes(ID_RESTORE_DEFAULTS, {IDOK}));
    EXPECT_EQ("(none)", query64('E', "DefaultLabel")) << "not deleted there";
    main.select(kD);
    main.type(IDC_LABEL, "六四書込");
    EXPECT_EQ(Texts{'D' + kAsk}, main.boxes(ID_APPLY_THIS, {IDOK}));
    EXPECT_EQ("六四書込", query64('D', "DefaultLabel"));
    const std::string folder = binDir() + "\\..\\test-temp";
    DeleteFileA((folder + "\\DriveInfo.reg").c_str());
    SetCurrentDirectoryA(folder.c_str());
    main.boxes(ID_FILE_EXPORT, {IDOK});
    SetCurrentDirectoryA(binDir().c_str());
    const auto exported = [&] {
        const std::string bytes = readFile(folder + "\\DriveInfo.reg");
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    };
    EXPECT_TRUE(waitFor(
        "the export of the 64-bit view", exported,
        [](const std::wstring& text) { return text.find(L"六四書込") != std::wstring::npos; },
        20000));
}

// Every window at the screen's scale (CTest runs this at 96, 144 and 192
// DPI): no text cut, no control over another, the picker's icons apart; the
// pictures in test-artifacts.
TEST(Dpi, EveryWindowShowsItsTextsWholeWithNoControlOverAnother) {
    char profile[MAX_PATH] = {}; // the longest note: a folder of this user's
    SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, profile);
    CopyFileA((binDir() + "\\..\\tests\\red.ico").c_str(),
              (profile + std::string("\\red.ico")).c_str(), FALSE);
    MainWindow main;
    const std::string dpi = std::to_string(kelvarin::windowDpi(main.window));
    // The drives stand in one row, whole, scrolled sideways only.
    const HWND drives = main.control(IDC_DRIVE_LIST);
    RECT inside{}, row{LVIR_BOUNDS, 0, 0, 0};
    GetClientRect(drives, &inside);
    ListView_GetItemRect(drives, 0, &row, LVIR_BOUNDS);
    EXPECT_FALSE(GetWindowLongA(drives, GWL_STYLE) & WS_VSCROLL) << "a vertical bar for one row";
    for (int i = 0; i < ListView_GetItemCount(drives); ++i) {
        RECT item{};
        ListView_GetItemRect(drives, i, &item, LVIR_BOUNDS);
        EXPECT_EQ(row.top, item.top) << main.item(i) << " not in the first row";
        EXPECT_LE(item.bottom, inside.bottom) << main.item(i) << " cut";
    }
    main.select(kD);
    main.drop(profile + std::string("\\red.ico"));
    EXPECT_TRUE(waitFor(
        "the note", [&] { return main.text(IDC_LOCATION_NOTE); },
        [](const std::string& note) { return !note.empty(); }));
    EXPECT_TRUE(laidOut(main.window));
    screenshot(main.window, "main-" + dpi);
    const auto look = [&](int command, const std::string& name) {
        ModalScript box({[&](HWND window) {
            EXPECT_TRUE(name == "apply-menu" || laidOut(window)) << name;
            RECT at{};
            GetWindowRect(window, &at);
            screenshot(window, name + "-" + dpi,
                       RECT{at.left - 4, at.top - 4, at.right + 4, at.bottom + 4});
            if (name == "icon-picker") { // icons at least their size apart
                const HWND list = GetDlgItem(window, IDC_PICKER_LIST);
                POINT first{}, second{};
                ListView_GetItemPosition(list, 0, &first);
                ListView_GetItemPosition(list, 1, &second);
                EXPECT_GE(std::max(second.x - first.x, second.y - first.y),
                          kelvarin::largeIconSize(kelvarin::windowDpi(window)));
            }
            EndMenu();
            PostMessageA(window, WM_CLOSE, 0, 0);
        }});
        main.command(command);
    };
    // Under per-monitor v1 (Windows 8.1, 10 before 1703) Kelvarin lays itself
    // out for a new DPI: still whole, and half as large again.
    RECT before{}, suggested{}, after{};
    GetWindowRect(main.control(IDC_DRIVE_LIST), &before);
    GetWindowRect(main.window, &suggested);
    suggested.right += (suggested.right - suggested.left) / 2;
    suggested.bottom += (suggested.bottom - suggested.top) / 2;
    const kelvarin::unique_hfont larger(
        kelvarin::relayForDpi(main.window, std::stoi(dpi), std::stoi(dpi) * 3 / 2, suggested));
    GetWindowRect(main.control(IDC_DRIVE_LIST), &after);
    EXPECT_NEAR((before.right - before.left) * 3 / 2, after.right - after.left, 1);
    EXPECT_TRUE(laidOut(main.window)) << "laid out for another DPI";
    screenshot(main.window, "per-monitor-v1-" + dpi);
    kelvarin::relayForDpi(main.window, std::stoi(dpi) * 3 / 2, std::stoi(dpi), suggested);
    look(IDC_APPLY, "apply-menu");
    look(IDC_BROWSE, "icon-picker");
    look(ID_HELP_ABOUT, "about-box");
    look(ID_FILE_ADD_LETTER, "add-letter");
}

// Kelvarin.exe itself: one instance at a time, and exit code 0.
// The path of a module a process has loaded, once it has.
std::string loadedModule(DWORD process, const char* name) {
    const kelvarin::unique_kernel_handle all(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process));
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    for (BOOL more = Module32First(all.get(), &module); more;
         more = Module32Next(all.get(), &module))
        if (!lstrcmpiA(module.szModule, name))
            return module.szExePath;
    return "";
}

TEST(Editor, KelvarinRunsOneInstanceAtATimeRunsNoDllBesideItAndEndsWithExitCodeZero) {
    // Its manifest names no other architecture than its own: a 64-bit program
    // that asks for the 32-bit common controls does not start where both exist.
    const HMODULE exe = LoadLibraryExA((binDir() + "\\Kelvarin.exe").c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const HRSRC resource = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(exe, resource))),
                               SizeofResource(exe, resource));
    EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls"));
    const char* other = sizeof(void*) == 8 ? "Architecture=\"X86\"" : "Architecture=\"amd64\"";
    EXPECT_EQ(std::string::npos, manifest.find(other)) << manifest;
    // It imports only DLLs Windows loads from the system folder whatever lies
    // beside it (the known DLLs), and the common controls through its manifest.
    const auto* image = reinterpret_cast<const BYTE*>(ULONG_PTR(exe) & ~ULONG_PTR(3));
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
    const std::string known = " ADVAPI32.DLL COMCTL32.DLL COMDLG32.DLL GDI32.DLL KERNEL32.DLL "
                              "MSVCRT.DLL OLE32.DLL SHELL32.DLL SHLWAPI.DLL USER32.DLL ";
    for (auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
             image +
             headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
         import->Name != 0; ++import) {
        std::string name = reinterpret_cast<const char*>(image + import->Name);
        CharUpperA(name.data());
        EXPECT_NE(std::string::npos, known.find(" " + name + " ")) << name;
    }
    Process first;
    const HWND main = first.window();
    EXPECT_EQ(0u, Process().exitCode()) << "a second instance kept running";
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, first.exitCode()) << "the close box asked something";
    // Unpacked into a folder where a page once left an mpr.dll, which Wine,
    // told to prefer it as Windows does, would run.
    const std::string folder = binDir() + "\\..\\test-temp\\download";
    CreateDirectoryA(folder.c_str(), nullptr);
    CopyFileA((binDir() + "\\Kelvarin.exe").c_str(), (folder + "\\Kelvarin.exe").c_str(), FALSE);
    CopyFileA(iconLibrary().c_str(), (folder + "\\mpr.dll").c_str(), FALSE);
    DeleteFileA((folder + "\\mpr-ran.txt").c_str());
    SetEnvironmentVariableA("WINEDLLOVERRIDES", "mscoree,mshtml=;mpr=n,b");
    Process again(folder); // the marker went with the first instance
    SetEnvironmentVariableA("WINEDLLOVERRIDES", "mscoree,mshtml=");
    const HWND window = again.window();
    const auto mpr = [&] { return loadedModule(again.dwProcessId, "mpr.dll"); };
    EXPECT_TRUE(waitFor("mpr.dll loaded to name F:'s share", mpr, std::size<std::string>));
    EXPECT_EQ(0, lstrcmpiA("C:\\windows\\system32\\mpr.dll", mpr().c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\mpr-ran.txt").c_str()));
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, again.exitCode());
}

// Drive S: (scripts/testbed-slow-drive.sh), a network share that answers
// this program and Kelvarin.exe after 3 s or never, and Wine at once.
struct SlowDrive : ::testing::TestWithParam<std::string> {};
INSTANTIATE_TEST_SUITE_P(Answering, SlowDrive, ::testing::Values("never", "3"));

TEST_P(SlowDrive, HoldsUpNoOtherDriveTellsItDoesNotAnswerAndNeverHoldsTheClose) {
    if (getenv("KELVARIN_SLOW_DRIVE") == nullptr)
        GTEST_SKIP() << "no slow drive here: it needs /dev/fuse and fusermount3";
    std::ofstream(getenv("KELVARIN_SLOW_DRIVE_CONTROL")) << GetParam() << "\n";
    std::ofstream{getenv("KELVARIN_SLOW_DRIVE_LOG")};
    const std::string folder = binDir() + "\\..\\test-temp";
    DeleteFileA((folder + "\\DriveInfo.reg").c_str());
    const int kS = 6; // C D E F G H S Z
    {
        MainWindow main(false);
        EXPECT_TRUE(waitFor(
            "every drive but S answered", [&] { return main.answered(); },
            [](int n) { return n == 7; }));
        // Each shows its letter's own image (which picture is the first
        // story's to check).
        for (int i = 0; i < 8; ++i) {
            if (i != kS) {
                EXPECT_EQ(main.item(i)[0] - 'A', main.image(i)) << main.item(i);
            }
        }
        // A fixed disk's name is its volume label, which Wine shows as it was
        // when its server started: a new one each time.
        const std::string number = std::to_string(GetTickCount()), label = "書ける" + number;
        main.select(kG);
        EXPECT_EQ("ハードディスク", main.text(IDC_TYPE_NAME));
        main.type(IDC_LABEL, label);
        main.select(kE);
        main.type(IDC_LABEL, "速い");
        EXPECT_EQ((Texts{'E' + kAsk, 'G' + kAsk}), main.boxes(ID_APPLY_ALL, {IDOK, IDOK}));
        EXPECT_EQ("速い", stored('E', "DefaultLabel").text());
        EXPECT_EQ(u8"書ける" + number + "\n", readFile("G:\\.windows-label"));
        SetCurrentDirectoryA(folder.c_str()); // the export starts the registry editor
        main.boxes(ID_FILE_EXPORT, {IDOK});
        SetCurrentDirectoryA(binDir().c_str());
        EXPECT_TRUE(waitFor(
            "the export", [&] { return readFile(folder + "\\DriveInfo.reg").size(); },
            [](std::size_t size) { return size > 0 && processesNamed("regedit.exe") == 0; },
            20000));
        main.select(kS);
        const std::string answer = GetParam() == "never" ? kSilent : "ネットワーク";
        EXPECT_TRUE(main.shows(IDC_TYPE_NAME, answer, 30000));
        screenshot(main.window, "slow-drive-" + GetParam());
        if (GetParam() == "never")
            EXPECT_EQ(kNeutral, main.image(kS));
        else
            EXPECT_TRUE(main.listShows(kS, iconOf("F:\\"))); // a share's icon, as F:'s
    }
    Process kelvarin;
    const HWND other = kelvarin.window(8, 30000);
    PostMessageA(other, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, kelvarin.exitCode());
    // Listing a share that does not answer would hold every listing, volume
    // label and program start of the process on Wine.
    EXPECT_EQ("", readFile(getenv("KELVARIN_SLOW_DRIVE_LOG"))) << "S: was listed";
}
