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

    LinkRemoval() { MakeOutside(); }
    void MakeOutside() {
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

TEST_F(LinkRemoval, AFolderSwappedForALinkOnceCheckedLosesNothingOutside) {
    // Another process moves the folder aside and puts a link in its place just
    // as the removal comes to list it: the top folder, or one inside it.
    for (const std::string& swapped : {folder, folder + "\\sub"}) {
        SCOPED_TRACE(swapped);
        MakeOutside();
        MakeFolder(folder + "\\sub");
        MakeFile(folder + "\\top.dat", "copy");
        MakeFile(folder + "\\sub\\low.dat", "copy 2");
        hostfs::SwapForLinkWhenListed(swapped, outside);
        Recorder::calls.clear();
        EXPECT_NE(PatchRun::RemoveTree((folder + "\\").c_str(), Recorder::Record), 0);
        ASSERT_NE(hostfs::SwapOutcome(), hostfs::Swap::Pending) << "the folder was never listed";
        ExpectOutsideIntact();
        EXPECT_FALSE(Exists(folder));
        decltype(Recorder::calls) deleted = {{folder + "\\sub\\low.dat", 6},
                                             {folder + "\\top.dat", 4}};
        EXPECT_EQ(Recorder::calls, deleted);
        RemoveAll(swapped + ".aside");
    }
}

} // namespace
