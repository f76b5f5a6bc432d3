#include "Recorder.h"
#include "TestDrives.h"

#include "patch/PatchRun.h"
#include "platform/HostFs.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct LinkRemoval : ::testing::Test {
    TestDrives drives;
    Recorder recorder;
    std::string outside = "C:\\PatcherTests\\precious";
    std::string folder = "C:\\PatcherTests\\QuillmendTemp";

    LinkRemoval() {
        MakeFolder(outside + "\\inner");
        MakeFile(outside + "\\keep.dat", "mine");
        MakeFile(outside + "\\inner\\keep.dat", "mine too", true);
    }
    static std::string Host(const std::string& path) { return hostfs::HostPath(path.c_str()); }
    void ExpectOutsideIntact() {
        EXPECT_EQ(ReadAll(outside + "\\keep.dat"), "mine");
        EXPECT_EQ(ReadAll(outside + "\\inner\\keep.dat"), "mine too");
    }
};

TEST_F(LinkRemoval, LinksInsideTheFolderAreRemovedButNeverFollowed) {
    MakeFolder(folder);
    MakeFile(folder + "\\own.dat", "copy");
    fs::create_directory_symlink(Host(outside), Host(folder + "\\junction"));
    fs::create_symlink(Host(outside + "\\keep.dat"), Host(folder + "\\file-link"));
    EXPECT_NE(PatchRun::RemoveTree((folder + "\\").c_str(), Recorder::Record), 0);
    EXPECT_FALSE(Exists(folder));
    ExpectOutsideIntact();
}

TEST_F(LinkRemoval, AFolderPlantedAsALinkLosesOnlyTheLink) {
    fs::create_directory_symlink(Host(outside), Host(folder));
    EXPECT_NE(PatchRun::RemoveTree((folder + "\\").c_str(), Recorder::Record), 0);
    EXPECT_FALSE(Exists(folder));
    EXPECT_TRUE(Recorder::calls.empty());
    ExpectOutsideIntact();
}

} // namespace
