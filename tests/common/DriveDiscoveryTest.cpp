#include "TestDrives.h"

#include "patch/PatchRun.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

struct DriveDiscovery : ::testing::Test {
    TestDrives drives;
    char buffer[kPathSize];
    DriveDiscovery() { std::strcpy(buffer, "untouched"); }
};

TEST_F(DriveDiscovery, FindsTheDiscInTheSecondCdromDrive) {
    MakeFile("E:\\Vardenholt.msi", "package");
    ASSERT_EQ(PatchRun::FindSourceDisc(buffer), 1);
    EXPECT_STREQ(buffer, "E:\\");
}

TEST_F(DriveDiscovery, PassesOverAnotherDisc) {
    MakeFile("D:\\Other.msi", "another game");
    MakeFile("D:\\setup.exe", "another setup");
    MakeFile("E:\\Vardenholt.msi", "package");
    ASSERT_EQ(PatchRun::FindSourceDisc(buffer), 1);
    EXPECT_STREQ(buffer, "E:\\");
}

TEST_F(DriveDiscovery, TakesTheFirstCdromDriveWithThePackage) {
    MakeFile("D:\\Vardenholt.msi", "package");
    MakeFile("E:\\Vardenholt.msi", "package");
    ASSERT_EQ(PatchRun::FindSourceDisc(buffer), 1);
    EXPECT_STREQ(buffer, "D:\\");
}

TEST_F(DriveDiscovery, IgnoresThePackageOnAFixedDriveAndKeepsTheBuffer) {
    MakeFile("C:\\Vardenholt.msi", "package");
    MakeFolder("D:\\Vardenholt.msi"); // a folder of that name is no package
    EXPECT_EQ(PatchRun::FindSourceDisc(buffer), 0);
    EXPECT_STREQ(buffer, "untouched");
    RemoveAll("C:\\Vardenholt.msi");
}

TEST_F(DriveDiscovery, PutsTheTemporaryFolderAtTheFixedDriveRoot) {
    ByteCounters::total = 0;
    ASSERT_EQ(PatchRun::FindTempLocation(buffer), 1);
    EXPECT_STREQ(buffer, "C:\\QuillmendTemp\\");
}

} // namespace
