// Opening what the user asked for (the site, a mail, the read-me) with the
// user's own programs and rights.
#pragma once

#include <windows.h>

namespace kelvarin {

// Opens target (an address, or a file by its full path) as the shell's
// "open" does. An elevated Kelvarin asks the desktop's shell, which runs
// unelevated in the user's session, to open it, so the browser, the mail
// program or the editor does not run with the administrator's token; where
// Kelvarin is not elevated, or the desktop's shell cannot be asked, it opens
// it itself.
void openAsUser(HWND owner, const char* target);

} // namespace kelvarin
