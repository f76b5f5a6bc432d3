#include "Recorder.h"
#include "TestDrives.h"

#include "patch/PatchRun.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

struct TreeRemoval : ::testing::Test {
    TestDrives drives;
    Recorder recorder;
    std::string folder = std::string(kTestRoot) + "\\QuillmendTemp";

    // Files at every level of a three-level tree, one of them read-only.
    std::vector<std::pair<std::string, int32_t>> MakeTree() {
        std::vector<std::pair<std::string, int32_t>> files = {
            {folder + "\\top.dat", 10},
            {folder + "\\a\\mid.dat", 2500},
            {folder + "\\a\\b\\low.dat", 0},
            {folder + "\\a\\b\\c\\deep.dat", 7},
        };
        MakeFolder(folder + "\\a\\b\\c");
        MakeFolder(folder + "\\empty");
        for (const auto& f : files)
            MakeFile(f.first, Content(f.second), f.first.find("mid") != std::string::npos);
        return files;
    }

    static std::vector<std::pair<std::string, int32_t>>
    Sorted(std::vector<std::pair<std::string, int32_t>> v) {
        std::sort(v.begin(), v.end());
        return v;
    }
};

TEST_F(TreeRemoval, RemovesTheWholeTreeReportingEachFileWithItsOwnSize) {
    for (const std::string suffix : {"", "\\"}) {
        SCOPED_TRACE("folder given as " + folder + suffix);
        auto files = MakeTree();
        ASSERT_TRUE(IsReadOnly(folder + "\\a\\mid.dat"));
        Recorder::calls.clear();
        EXPECT_NE(PatchRun::RemoveTree((folder + suffix).c_str(), Recorder::Record), 0);
        EXPECT_FALSE(Exists(folder));
        // One report per file, never for a folder, and never a doubled backslash.
        EXPECT_EQ(Sorted(Recorder::calls), Sorted(files));
    }
}

TEST_F(TreeRemoval, ADotFileKeepsItsFolderButEverythingElseGoes) {
    auto files = MakeTree();
    MakeFile(folder + "\\a\\.keep", "keep");
    EXPECT_EQ(PatchRun::RemoveTree(folder.c_str(), Recorder::Record), 0);
    EXPECT_TRUE(Exists(folder + "\\a\\.keep"));
    EXPECT_FALSE(Exists(folder + "\\a\\b"));
    EXPECT_FALSE(Exists(folder + "\\top.dat"));
    EXPECT_EQ(Sorted(Recorder::calls), Sorted(files));
}

TEST_F(TreeRemoval, AMissingFolderGivesZeroAndAnEmptyOneIsRemoved) {
    EXPECT_EQ(PatchRun::RemoveTree(folder.c_str(), Recorder::Record), 0);
    MakeFolder(folder);
    EXPECT_NE(PatchRun::RemoveTree((folder + "\\").c_str(), Recorder::Record), 0);
    EXPECT_FALSE(Exists(folder));
    EXPECT_TRUE(Recorder::calls.empty());
}

TEST_F(TreeRemoval, AFileThatCannotBeDeletedIsStillReported) {
    auto files = MakeTree();
    {
        LockedFile locked(folder + "\\a\\b\\c\\deep.dat");
        EXPECT_EQ(PatchRun::RemoveTree(folder.c_str(), Recorder::Record), 0);
    }
    EXPECT_EQ(Sorted(Recorder::calls), Sorted(files));
    EXPECT_TRUE(Exists(folder + "\\a\\b\\c\\deep.dat"));
    EXPECT_FALSE(Exists(folder + "\\top.dat"));
}

} // namespace
