#include "Recorder.h"
#include "TestDrives.h"

#include "patch/PatchRun.h"
#include "platform/HeldEntry.h"
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

TEST_F(LinkRemoval, AFolderTurnedIntoALinkWhileEmptiedLosesNothingOutside) {
    // Another process waits until the removal has deleted a file in the
    // folder, the top one or one inside it, then turns it into a link to the
    // outside folder, whose files have the same names as those left in it.
    for (const std::string& converted : {folder, folder + "\\inner"}) {
        SCOPED_TRACE(converted);
        RemoveAll(folder);
        MakeOutside();
        MakeFolder(folder + "\\inner");
        for (const std::string& at : {folder, folder + "\\inner"}) {
            MakeFile(at + "\\a.dat", "copy");
            MakeFile(at + "\\keep.dat", "copy 2", true);
        }
        hostfs::ConvertToLinkOnFirstDelete(converted, outside);
        Recorder::calls.clear();
        PatchRun::RemoveTree(folder.c_str(), Recorder::Record);
        ASSERT_TRUE(hostfs::Converted());
        ExpectOutsideIntact();
        decltype(Recorder::calls) reported = {{folder + "\\a.dat", 4},
                                              {folder + "\\inner\\a.dat", 4},
                                              {folder + "\\inner\\keep.dat", 6},
                                              {folder + "\\keep.dat", 6}};
        EXPECT_EQ(Recorder::calls, reported);
        RemoveAll(converted + ".aside");
    }
}

TEST_F(LinkRemoval, WhereOpensFollowLinksALinkIsNeitherEnteredNorDeletedThrough) {
    // As under Wine: opening a link opens what it leads to, and only the
    // listing, or the path's own attributes, show a link. A delete through
    // that handle would delete the outside folder itself once empty.
    MakeFolder(outside + "\\empty");
    hostfs::SetOpensFollowLinks(true);
    struct Case {
        std::string link, leadsTo;
    } cases[] = {{folder, outside}, {folder + "\\link", outside + "\\empty"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        if (c.link != folder)
            MakeFolder(folder);
        fs::create_directory_symlink(Host(c.leadsTo), Host(c.link));
        Recorder::calls.clear();
        EXPECT_EQ(PatchRun::RemoveTree(folder.c_str(), Recorder::Record), 0);
        EXPECT_TRUE(Recorder::calls.empty());
        ExpectOutsideIntact();
        EXPECT_TRUE(Exists(outside + "\\empty"));
        EXPECT_TRUE(Exists(c.link)) << "a link that can't be deleted as itself stays";
        fs::remove(Host(c.link));
    }
}

TEST_F(LinkRemoval, AFolderPutInTheHeldCopysPlaceIsNotDeletedForIt) {
    // The held copy can't be deleted through the handle it was made with, so
    // that handle is closed and the path opened again; another process
    // renames the emptied copy aside in between and plants a link in its
    // place. The link is another object: the removal deletes nothing of it.
    HeldEntry held;
    ASSERT_TRUE(held.CreateFolder(folder.c_str(), nullptr));
    MakeFile(folder + "\\top.dat", "copy");
    hostfs::ReplaceWithLinkWhenClosed(folder, outside);
    EXPECT_EQ(PatchRun::RemoveTree(held, (folder + "\\").c_str(), Recorder::Record), 0);
    ASSERT_TRUE(hostfs::Replaced());
    EXPECT_FALSE(held.IsOpen());
    EXPECT_TRUE(Exists(folder)) << "the planted link was deleted as if it were the copy";
    ExpectOutsideIntact();
    EXPECT_FALSE(Exists(folder + ".aside\\top.dat"));
    fs::remove(Host(folder));
    RemoveAll(folder + ".aside");
}

} // namespace
