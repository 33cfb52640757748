#include "shell/settings_export.h"

#include "common/platform.h"
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
    // On 64-bit Windows the 64-bit registry editor, exporting the view
    // Explorer reads.
    startWindowsProgram("regedit.exe", kExportParameters);
    return 1;
}

} // namespace kelvarin
