#include "shell/settings_export.h"

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
    ShellExecuteA(nullptr, "open", "regedit.exe", kExportParameters, nullptr, SW_SHOW);
    return 1;
}

} // namespace kelvarin
