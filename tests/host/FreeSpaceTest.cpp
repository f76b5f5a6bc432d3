#include "TestDrives.h"

#include "patch/PatchRun.h"
#include "platform/HostFs.h"
#include "platform/Win32Api.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

struct FreeSpace : ::testing::Test {
    TestDrives drives; // C: fixed, D: and E: CD-ROM
    char path[kPathSize];
    FreeSpace() {
        std::strcpy(path, "untouched");
        ByteCounters::total = 5000000;
        hostfs::SetFreeSpace('C', 0, 0);
        hostfs::SetClusters('C', 8, 512, 0);
    }
    ~FreeSpace() { ByteCounters::total = 0; }

    void AddDrive(char letter, unsigned type, uint64_t available, uint64_t totalFree) {
        hostfs::MapDrive(letter, hostfs::HostPath("C:\\PatcherTests"), type);
        hostfs::SetFreeSpace(letter, available, totalFree);
    }
};

TEST_F(FreeSpace, NeedsMoreThanTheTotalPlusTheMargin) {
    struct Case {
        int32_t total;
        uint64_t available;
        int found;
    } cases[] = {
        {5000000, 6000000, 0}, // exactly total + 1,000,000
        {5000000, 6000001, 1},
        {5000000, 5999999, 0},
        {5000000, 0, 0},
        {5000000, uint64_t(1) << 40, 1},
        // The sum is a signed 32-bit count: at the top of its range it does
        // not wrap yet, one byte more and it wraps to below zero.
        {INT32_MAX - 1000000, INT32_MAX, 0},
        {INT32_MAX - 1000000, uint64_t(INT32_MAX) + 1, 1},
        {INT32_MAX - 999999, 0, 1},
        {INT32_MAX, 0, 1},
    };
    // C: would take a wrapped sum too, before F:.
    hostfs::FailOn(hostfs::Fault::FreeSpace, "C:\\");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.total << " " << c.available);
        ByteCounters::total = c.total;
        hostfs::SetFreeSpace('F', c.available, c.available);
        hostfs::MapDrive('F', hostfs::HostPath("C:\\PatcherTests"), DRIVE_FIXED);
        EXPECT_EQ(PatchRun::FindTempLocation(path), c.found);
        EXPECT_STREQ(path, c.found ? "F:\\QuillmendTemp\\" : "untouched");
        std::strcpy(path, "untouched");
    }
}

TEST_F(FreeSpace, TheFirstFixedDriveWithRoomWinsOverALargerLaterOne) {
    AddDrive('F', DRIVE_FIXED, 3000000, 3000000); // too small
    AddDrive('G', DRIVE_FIXED, 7000000, 7000000);
    AddDrive('H', DRIVE_FIXED, uint64_t(1) << 40, uint64_t(1) << 40);
    ASSERT_EQ(PatchRun::FindTempLocation(path), 1);
    EXPECT_STREQ(path, "G:\\QuillmendTemp\\");
}

TEST_F(FreeSpace, OnlyTheBytesAvailableToTheUserCount) {
    AddDrive('F', DRIVE_FIXED, 1000, uint64_t(1) << 40); // a quota
    AddDrive('G', DRIVE_FIXED, 9000000, 9000000);
    ASSERT_EQ(PatchRun::FindTempLocation(path), 1);
    EXPECT_STREQ(path, "G:\\QuillmendTemp\\");
}

TEST_F(FreeSpace, OnlyFixedDrivesAreEverChosen) {
    for (unsigned type :
         {2u, 4u, 5u, 6u, 0u, 1u}) // removable, remote, CD-ROM, RAM disk, unknown, none
        AddDrive(static_cast<char>('F' + type), type, uint64_t(1) << 40, uint64_t(1) << 40);
    EXPECT_EQ(PatchRun::FindTempLocation(path), 0);
    EXPECT_STREQ(path, "untouched");
}

TEST_F(FreeSpace, ADriveWhoseQueryFailsIsPassedOver) {
    AddDrive('F', DRIVE_FIXED, uint64_t(1) << 40, uint64_t(1) << 40);
    AddDrive('G', DRIVE_FIXED, 9000000, 9000000);
    hostfs::FailOn(hostfs::Fault::FreeSpace, "F:\\");
    ASSERT_EQ(PatchRun::FindTempLocation(path), 1);
    EXPECT_STREQ(path, "G:\\QuillmendTemp\\");
}

TEST_F(FreeSpace, ADriveWithoutAccessRightsIsTakenOnlyWhereTheSystemDriveKeepsNone) {
    const uint32_t ntfs = FILE_CASE_PRESERVED_NAMES | FILE_PERSISTENT_ACLS;
    const uint32_t fat32 = FILE_CASE_PRESERVED_NAMES;
    const uint32_t unreadable = 0; // the query on C: fails; its flags would say no rights
    const std::string overlong = "C:\\" + std::string(kPathSize, 'W');
    AddDrive('F', DRIVE_FIXED, 9000000, 9000000);
    hostfs::SetVolumeFlags('F', fat32);
    struct Case {
        std::string windowsFolder;
        uint32_t systemDriveFlags; // C:'s
        bool ntfsDriveToo;         // G:, NTFS with room, after F:
        const char* chosen;
    } cases[] = {
        {"C:\\WINDOWS", ntfs, true, "G:\\QuillmendTemp\\"},
        {"C:\\WINDOWS", ntfs, false, "untouched"},
        {"C:\\WINDOWS", fat32, true, "F:\\QuillmendTemp\\"},
        {"F:\\WINDOWS", ntfs, true, "F:\\QuillmendTemp\\"}, // the system is on F: itself
        // A system drive that can't be told is taken to keep access rights:
        // its flags can't be read, it is no drive here, the Windows folder
        // names no drive, or there is none to be had. C: keeps no rights in
        // these, so that falling back on it would be seen.
        {"C:\\WINDOWS", unreadable, true, "G:\\QuillmendTemp\\"},
        {"C:\\WINDOWS", unreadable, false, "untouched"},
        {"Z:\\WINDOWS", fat32, true, "G:\\QuillmendTemp\\"},
        {"\\\\server\\system\\WINDOWS", fat32, true, "G:\\QuillmendTemp\\"},
        {"", fat32, true, "G:\\QuillmendTemp\\"},
        {overlong, fat32, true, "G:\\QuillmendTemp\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.windowsFolder.substr(0, 20) +
                     (c.systemDriveFlags == ntfs    ? " C: NTFS"
                      : c.systemDriveFlags == fat32 ? " C: FAT32"
                                                    : " C: unreadable") +
                     (c.ntfsDriveToo ? ", G: NTFS" : ""));
        hostfs::SetWindowsFolder(c.windowsFolder);
        hostfs::SetVolumeFlags('C', c.systemDriveFlags);
        hostfs::ClearFaults();
        if (c.systemDriveFlags == unreadable)
            hostfs::FailOn(hostfs::Fault::VolumeFlags, "C:\\");
        if (c.ntfsDriveToo)
            AddDrive('G', DRIVE_FIXED, 9000000, 9000000);
        else
            hostfs::MapDrive('G', "", DRIVE_FIXED); // no folder: not listed
        std::strcpy(path, "untouched");
        EXPECT_EQ(PatchRun::FindTempLocation(path), std::strcmp(c.chosen, "untouched") != 0);
        EXPECT_STREQ(path, c.chosen);
    }
}

TEST_F(FreeSpace, WithoutTheExtendedCallTheClusterProductCountsIn32Bits) {
    hostfs::SetExtendedFreeSpaceAbsent(true);
    struct Case {
        uint32_t sectorsPerCluster, bytesPerSector, freeClusters;
        int found;
    } cases[] = {
        {8, 512, 1464, 0},     // 5,996,544 bytes: less than the 6,000,000 needed
        {8, 512, 1465, 1},     // 6,000,640 bytes
        {8, 512, 1u << 20, 0}, // 4 GiB wraps to 0 in the old call's arithmetic
        {8, 512, 1048577, 0},  // 4 GiB + 4,096 wraps to 4,096
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.freeClusters);
        hostfs::MapDrive('F', hostfs::HostPath("C:\\PatcherTests"), DRIVE_FIXED);
        hostfs::SetClusters('F', c.sectorsPerCluster, c.bytesPerSector, c.freeClusters);
        // The extended figures would say otherwise: they must not be used.
        hostfs::SetFreeSpace('F', c.found ? 0 : uint64_t(1) << 40, 0);
        EXPECT_EQ(PatchRun::FindTempLocation(path), c.found);
    }
}

TEST_F(FreeSpace, AFailedOrOverlongDriveListCountsAsNoDrives) {
    AddDrive('F', DRIVE_FIXED, uint64_t(1) << 40, uint64_t(1) << 40);
    MakeFile("D:\\Vardenholt.msi", "package");
    for (hostfs::Fault fault : {hostfs::Fault::DriveListFails, hostfs::Fault::DriveListOverflows}) {
        hostfs::FailOn(fault);
        EXPECT_EQ(PatchRun::FindTempLocation(path), 0);
        EXPECT_EQ(PatchRun::FindSourceDisc(path), 0);
        EXPECT_STREQ(path, "untouched");
    }
}

TEST_F(FreeSpace, AnUnreadablePackageIsNoDisc) {
    MakeFile("D:\\Vardenholt.msi", "package");
    MakeFile("E:\\Vardenholt.msi", "package");
    hostfs::FailOn(hostfs::Fault::OpenRead, "D:\\Vardenholt.msi");
    ASSERT_EQ(PatchRun::FindSourceDisc(path), 1);
    EXPECT_STREQ(path, "E:\\");
}

} // namespace
