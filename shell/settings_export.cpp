#include "shell/settings_export.h"

#include "common/text.h"
#include "common/window.h"

#include <shellapi.h>
#include <shlwapi.h>

namespace kelvarin {

namespace {

constexpr char kExportFile[] = "DriveInfo.reg";
// The registry editor wants the full root name; an abbreviated HKLM makes it
// write nothing (and still report success).
constexpr char kExportParameters[] =
    "/E Driveinfo.reg "
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons";

} // namespace

int exportSettings(HWND owner) {
    if (!confirm(owner, "ドライブ情報をregファイルに書き出しますか？")) {
        return 1;
    }
    if (PathFileExistsA(kExportFile) && !confirm(owner, "DriveInfo.regを上書きしますか？")) {
        return 0;
    }
    // The registry editor of the Windows folder, which the redirector leaves
    // alone: on 64-bit Windows the 64-bit one, exporting the view Explorer
    // reads. By name alone, a 32-bit program would find SysWOW64's first.
    char windows[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryA(windows, MAX_PATH);
    char editor[MAX_PATH] = "regedit.exe";
    if (length > 0 && length < MAX_PATH - sizeof "\\regedit.exe") {
        formatText(editor, "%s\\regedit.exe", windows);
    }
    ShellExecuteA(nullptr, "open", editor, kExportParameters, nullptr, SW_SHOW);
    return 1;
}

} // namespace kelvarin
