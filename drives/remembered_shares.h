// The network connections the user's Explorer remembers. Windows keeps
// mapped drives per logon session, and an administrator's elevated program
// runs in a session of its own that has none of the shares the user mapped;
// the user's hive, which it shares, still names them: the value RemotePath
// ("\\server\share") of HKEY_CURRENT_USER\Network\<letter>.
#pragma once

#include "drives/drive_record.h"

#include <windows.h>

namespace kelvarin {

// The letters (bit 0 for A) with a remembered connection.
DWORD rememberedShares();
// A letter's remembered "\\server\share"; false (and remote empty) for none.
bool rememberedShare(char letter, char (&remote)[MAX_PATH]);

// Makes a record a remembered share: a network drive that answers nothing
// (the share itself is never asked), named as Explorer names it
// ("share (\\server)") where no name is stored, with the network drive's
// icon unless it has an icon location. False when the letter has none.
bool markRemembered(DriveRecord& record);

// The icon location of the system's network drive icon.
void networkDriveIcon(char (&location)[MAX_PATH]);

// Watches the remembered connections on a thread of its own, which posts
// message to window at every change; stopWatching ends the thread.
struct ShareWatch;
ShareWatch* watchRememberedShares(HWND window, UINT message);
void stopWatching(ShareWatch* watch);

} // namespace kelvarin
