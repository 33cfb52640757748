// Reading the drives of the machine and the settings Explorer keeps for them.
#pragma once

#include "drives/drive_record.h"
#include "drives/drive_table.h"
#include "drives/settings_key.h"

#include <windows.h>

#include <cstddef>

namespace kelvarin {

// The type name that marks a fixed disk; fixed disks take their name from the
// volume label instead of DefaultLabel.
extern const char kFixedDiskTypeName[];

// Makes a record a letter without a drive: nothing to ask, no volume label,
// its name always the stored one.
void markAbsent(DriveRecord& record);

// A drive that has not told its type in time says so in its type name until
// it answers; false (and nothing changed) for one that answered or is gone.
bool markSilent(DriveRecord& record);
bool isSilent(const DriveRecord& record);

// Where the drive roots come from; the system's query unless a caller (a test)
// needs drives the machine cannot have.
using DriveStringsQuery = DWORD(WINAPI*)(DWORD, LPSTR);

// Lists one record per logical drive root in the table, with what the
// registry holds for it (readStoredSettings) where its letter is among
// stored (bit 0 for A; lettersWithSettings). Nothing here asks a drive
// itself, so a drive that does not answer cannot hold it up. Returns 1.
int enumerateDrives(DriveTable& table, DriveStringsQuery query = GetLogicalDriveStringsA,
                    DWORD stored = lettersWithSettings());

// The Japanese name of the drive type of rootPath, into typeName.
void driveTypeName(const char* rootPath, char (&typeName)[25]);
void driveTypeName(UINT driveType, char (&typeName)[25]);

bool isFixedDisk(const DriveRecord& record);

// Fills a record whose rootPath is set with what the settings key holds for
// it: the icon location and the stored name. The drive is not asked.
void readStoredSettings(DriveRecord& record);
// A letter's record as the settings key has it.
DriveRecord storedRecord(char letter);

// What the drive itself answers, into the record: its type name, the shell's
// name for it and the icon of the record's location. May wait on the drive.
void askDrive(DriveRecord& record);

// Once the type is known: a drive's name is its stored name, which Explorer
// shows for every type, or without one the drive's own (shellName: a fixed
// disk's volume label, a share's name, the shell's name).
void settleLabel(DriveRecord& record);
// A fixed disk without a stored name: its name is its volume's label, and
// writing the name sets the label.
bool namesItsVolume(const DriveRecord& record);

// readStoredSettings, askDrive and settleLabel in one, for callers that may wait.
void readDriveSettings(DriveRecord& record);

// The name part of a shell display name "NAME (X:)" for drive letter. Empty
// when the name does not end in that drive's suffix.
void labelFromDisplayName(const char* displayName, char letter, char (&label)[256]);

// The name the shell shows for a drive, without its " (X:)" suffix; for a
// network drive, the name Explorer gives its share (shareLabel, from the
// drive's mapping; remoteLabel, from the share's path "\\server\share");
// for a fixed disk, its volume's label.
void shellLabel(const char* rootPath, char (&label)[256]);
void shareLabel(const char* rootPath, char (&label)[256]);
void remoteLabel(const char* remotePath, char (&label)[256]);
void volumeLabel(const char* rootPath, char (&label)[256]);

} // namespace kelvarin
