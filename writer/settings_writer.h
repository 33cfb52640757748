// Kelvarin started as the writer ("Kelvarin.exe /write <change set>"): the
// one part of Kelvarin that changes the machine, started by the window for
// each apply, through the elevation prompt where the window's user lacks
// the rights. It opens no window and shows no box.
#pragma once

#include <windows.h>

namespace kelvarin {

// Exit statuses: the letters whose writes failed (bit 0 for A; 0: every
// one written), or a refusal: the change set was malformed and nothing was
// written.
constexpr DWORD kChangeSetRefused = 0x40000000;

// The change set a command line names after "/write"; false for any other
// command line.
bool writerCommand(const char* commandLine, char (&changeSet)[MAX_PATH]);
// The command line's parameters that start the writer on a change set.
void writerParameters(const char* changeSet, char (&parameters)[MAX_PATH + 16]);

// Checks the change set whole, then writes each drive's changes: the
// settings key's values in Explorer's view (an expandable value stays
// expandable), the keys a restore deletes, fixed disks' volume labels and
// the icon files to install (icon_store.h). Its exit status.
DWORD runWriter(const char* changeSet);

} // namespace kelvarin
