#include "drives/drive_record.h"
#include "drives/drive_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace kelvarin;

namespace {

DriveRecord* heapRecord(const char* root, const char* label) {
    auto* record = new DriveRecord{};
    std::strcpy(record->rootPath, root);
    std::strcpy(record->label, label);
    return record;
}

// Seams for machines the test bed cannot be.
DWORD WINAPI noDrives(DWORD, LPSTR) { return 0; }
DWORD WINAPI lowerCaseRoots(DWORD size, LPSTR buffer) {
    static const char roots[] = "c:\\\0g:\\\0";
    std::memcpy(buffer, roots, sizeof roots < size ? sizeof roots : size);
    return sizeof roots - 1;
}
// A query that overfills: no terminating empty string inside its size.
DWORD WINAPI overfilled(DWORD size, LPSTR buffer) {
    std::memset(buffer, 'Q', size);
    return size;
}

} // namespace

TEST(DriveListTest, PositionsFollowAppendOrderAndOutOfRangeGivesTheEmptyRecord) {
    DriveList list;
    EXPECT_EQ(0, list.count());
    EXPECT_STREQ("", list.at(0).rootPath);

    list.append(heapRecord("A:\\", "a"));
    list.append(heapRecord("C:\\", "c"));
    list.append(heapRecord("D:\\", "d"));
    ASSERT_EQ(3, list.count());
    EXPECT_STREQ("A:\\", list.at(0).rootPath);
    EXPECT_STREQ("D:\\", list.at(2).rootPath);
    EXPECT_EQ(nullptr, list.at(0).prev);
    EXPECT_EQ(nullptr, list.at(2).next);

    for (int outside : {-1, 3, 100}) {
        const DriveRecord empty = list.at(outside);
        EXPECT_STREQ("", empty.rootPath) << outside;
        EXPECT_STREQ("", empty.label) << outside;
        EXPECT_EQ(nullptr, empty.icon) << outside;
    }
}

TEST(DriveListTest, StoreBackReplacesDataButKeepsOrderAndLinks) {
    DriveList list;
    list.append(heapRecord("A:\\", "a"));
    list.append(heapRecord("C:\\", "c"));
    list.append(heapRecord("D:\\", "d"));

    DriveRecord changed = list.at(1);
    std::strcpy(changed.label, "新しい名前");
    changed.next = nullptr;  // stale links in the value must not be taken over
    changed.prev = nullptr;
    list.storeBack(1, changed);
    list.storeBack(-1, changed);
    list.storeBack(3, changed);

    ASSERT_EQ(3, list.count());
    EXPECT_STREQ("新しい名前", list.at(1).label);
    EXPECT_STREQ("a", list.at(0).label);
    EXPECT_STREQ("d", list.at(2).label);
    EXPECT_STREQ("D:\\", list.at(1).next->rootPath);
    EXPECT_STREQ("A:\\", list.at(1).prev->rootPath);
}

TEST(DriveListTest, EnumerationHandlesMachinesWithoutDrivesOrWithLowerCaseRoots) {
    DriveList none;
    PerDriveArrays noArrays;
    EXPECT_EQ(1, enumerateDrives(none, noArrays, noDrives));
    EXPECT_EQ(0, none.count());
    EXPECT_TRUE(noArrays.dirtyFlags.empty());
    EXPECT_TRUE(noArrays.snapshots.empty());

    // The settings of a root reported as d: are looked up under the key D.
    DriveList lower;
    PerDriveArrays arrays;
    enumerateDrives(lower, arrays, lowerCaseRoots);
    ASSERT_EQ(2, lower.count());
    EXPECT_STREQ("C:\\", lower.at(0).rootPath);
    EXPECT_STREQ("G:\\", lower.at(1).rootPath);
    EXPECT_STREQ("データ", lower.at(1).label);
    ASSERT_EQ(2u, arrays.dirtyFlags.size());
    EXPECT_EQ(0, arrays.dirtyFlags[1]);
    EXPECT_STREQ("", arrays.snapshots[1].label);

    DriveList garbage;
    PerDriveArrays garbageArrays;
    enumerateDrives(garbage, garbageArrays, overfilled);
    EXPECT_LE(garbage.count(), 1);
    if (garbage.count() == 1) {
        EXPECT_LT(std::strlen(garbage.at(0).rootPath), sizeof(DriveRecord::rootPath));
    }
}
