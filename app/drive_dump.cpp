// kelvarin-drives: prints the drives exactly as Kelvarin reads them, one per
// line: letter, type name, icon location, name. A diagnostic for "why does
// Kelvarin show this drive like that?".
#include "drives/drive_table.h"
#include "drives/drive_settings.h"

#include <cstdio>

int main() {
    using namespace kelvarin;
    DriveTable drives;
    enumerateDrives(drives);
    const int count = drives.count();
    for (int i = 0; i < count; ++i) {
        DriveRecord record = drives.record(drives.letterAt(i));
        readDriveSettings(record);
        std::printf("%c\t%s\t%s\t%s\n", record.rootPath[0], record.typeName, record.iconLocation,
                    record.label);
        if (record.icon != nullptr) {
            DestroyIcon(record.icon);
        }
    }
    std::printf("%d drives\n", count);
    return 0;
}
