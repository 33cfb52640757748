// Where the writer installs icons made of pictures for every user:
// "<common application data>\Kelvarin\Icons". Every user may create folders
// and files in common application data and owns what they create there, so
// the writer makes its folders itself, with a DACL no user can change, and
// trusts none it did not make.
#pragma once

#include <windows.h>

namespace kelvarin {

// The folders' DACL, protected from what they would inherit: SYSTEM and
// Administrators full control, Users read and execute.
extern const char kIconsFolderSecurity[];

// Whoever may own a folder the writer uses: the Administrators group,
// SYSTEM, or the administrator the writer runs as.
bool isTrustedOwner(PSID owner);
// A folder the writer may put files in: a real folder, not a reparse point
// leading elsewhere, with a trusted owner.
bool isTrustedFolder(const char* path);

// The folder, made where it is missing; false (and nothing made below it)
// where it or "Kelvarin" exists but is no folder, is a reparse point (a
// junction to elsewhere) or has an untrusted owner.
bool protectedIconsFolder(char (&folder)[MAX_PATH]);

// Installs the icon file `name` of folder `from` by its bytes, read once: a
// well-formed icon file of bounded size, kept in the protected folder (the
// same bytes there already: that file). Its path into installed; false,
// with nothing installed, for anything else.
bool installIcon(const char* from, const char* name, char (&installed)[MAX_PATH]);

} // namespace kelvarin
