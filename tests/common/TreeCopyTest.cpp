#include "Recorder.h"
#include "TestDrives.h"

#include "patch/PatchRun.h"

#include <gtest/gtest.h>

namespace {

struct TreeCopy : ::testing::Test {
    TestDrives drives;
    Recorder recorder;
    std::string target = std::string(kTestRoot) + "\\copy";
    TreeCopy() {
        ByteCounters::copied = 0;
        ByteCounters::total = 0;
    }
};

TEST_F(TreeCopy, CopiesInChunksOf2048AndReportsTheRunningCount) {
    struct Case {
        size_t size;
        std::vector<int32_t> reports; // running count after each chunk, from 100
    } cases[] = {
        {5000, {2148, 4196, 5100}}, {2048, {2148}}, {2049, {2148, 2149}}, {1, {101}}, {0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        MakeFile("D:\\file.dat", Content(c.size, static_cast<unsigned>(c.size)));
        Recorder::calls.clear();
        ByteCounters::copied = 100;
        ASSERT_EQ(PatchRun::CopyFileChunked("D:\\file.dat", "C:\\PatcherTests\\out.dat",
                                            Recorder::Record),
                  1);
        EXPECT_EQ(ReadAll("C:\\PatcherTests\\out.dat"), Content(c.size, unsigned(c.size)));
        EXPECT_TRUE(Exists("C:\\PatcherTests\\out.dat"));
        ASSERT_EQ(Recorder::calls.size(), c.reports.size());
        for (size_t i = 0; i < c.reports.size(); ++i) {
            EXPECT_EQ(Recorder::calls[i].first, "D:\\file.dat");
            EXPECT_EQ(Recorder::calls[i].second, c.reports[i]);
        }
        EXPECT_EQ(ByteCounters::copied, 100 + static_cast<int32_t>(c.size));
    }
}

TEST_F(TreeCopy, CopiesIntoAFolderUnderTheSourceName) {
    MakeFolder("D:\\a");
    MakeFile("D:\\a\\b.dat", "bee");
    MakeFolder("C:\\PatcherTests\\T");
    ASSERT_EQ(PatchRun::CopyFileChunked("D:\\a\\b.dat", "C:\\PatcherTests\\T\\", nullptr), 1);
    EXPECT_EQ(ReadAll("C:\\PatcherTests\\T\\b.dat"), "bee");
    // Without a backslash in the source there is no name to give the copy.
    EXPECT_EQ(PatchRun::CopyFileChunked("b.dat", "C:\\PatcherTests\\T\\", nullptr), 0);
    EXPECT_FALSE(Exists("C:\\PatcherTests\\T\\b.dat\\b.dat"));
}

TEST_F(TreeCopy, FailsWithoutCallbackWhenTheDestinationCannotBeOpened) {
    MakeFile("D:\\file.dat", Content(3000));
    EXPECT_EQ(PatchRun::CopyFileChunked("D:\\file.dat", "C:\\PatcherTests\\missing\\out.dat",
                                        Recorder::Record),
              0);
    EXPECT_EQ(
        PatchRun::CopyFileChunked("D:\\absent.dat", "C:\\PatcherTests\\out.dat", Recorder::Record),
        0);
    EXPECT_FALSE(Exists("C:\\PatcherTests\\out.dat")) << "no destination without a source";
    EXPECT_TRUE(Recorder::calls.empty());
    EXPECT_EQ(ByteCounters::copied, 0);
}

void MakeDisc() {
    MakeFile("D:\\Vardenholt.msi", Content(3000, 1));
    MakeFile("D:\\setup.exe", Content(700, 2));
    MakeFile("D:\\.hidden", Content(50, 3));
    MakeFile("D:\\empty.txt", "");
    MakeFolder("D:\\data\\levels\\deep");
    MakeFolder("D:\\data\\.svn");
    MakeFolder("D:\\data\\nothing");
    MakeFile("D:\\data\\.svn\\entries", Content(90, 4));
    MakeFile("D:\\data\\levels\\one.lvl", Content(4097, 5), true);
    MakeFile("D:\\data\\levels\\deep\\two.lvl", Content(10, 6));
    MakeFile("D:\\data\\levels\\deep\\.skip", Content(10, 7));
}

TEST_F(TreeCopy, MeasuresEveryFileExceptDotNamesAndTouchesNothing) {
    MakeDisc();
    ASSERT_EQ(PatchRun::WalkTree("D:\\", "", 1, Recorder::Record), 1);
    EXPECT_EQ(ByteCounters::total, 3000 + 700 + 4097 + 10);
    EXPECT_EQ(ByteCounters::copied, 0);
    EXPECT_TRUE(Recorder::calls.empty());
}

TEST_F(TreeCopy, CopiesTheTreeWithoutDotNamesAtAnyDepth) {
    MakeDisc();
    MakeFolder(target);
    ASSERT_EQ(PatchRun::WalkTree("D:\\", target.c_str(), 0, Recorder::Record), 1);
    EXPECT_EQ(ByteCounters::copied, 3000 + 700 + 4097 + 10);
    EXPECT_EQ(ReadAll(target + "\\Vardenholt.msi"), Content(3000, 1));
    EXPECT_EQ(ReadAll(target + "\\data\\levels\\one.lvl"), Content(4097, 5));
    EXPECT_EQ(ReadAll(target + "\\data\\levels\\deep\\two.lvl"), Content(10, 6));
    EXPECT_TRUE(Exists(target + "\\empty.txt"));
    EXPECT_TRUE(Exists(target + "\\data\\nothing"));
    for (const char* skipped : {"\\.hidden", "\\data\\.svn", "\\data\\levels\\deep\\.skip"})
        EXPECT_FALSE(Exists(target + skipped)) << skipped;
    // One report per chunk: 2 + 1 + 3 + 1.
    EXPECT_EQ(Recorder::calls.size(), 7u);
    EXPECT_EQ(Recorder::calls.back().second, ByteCounters::copied);
    RemoveAll(target + "\\data\\levels\\one.lvl");
}

TEST_F(TreeCopy, ForgivesATrailingBackslashOrItsAbsence) {
    MakeFolder("D:\\sub");
    MakeFile("D:\\sub\\file.dat", "x");
    for (const char* source : {"D:", "D:\\"}) {
        Recorder::calls.clear();
        MakeFolder(target);
        ASSERT_EQ(PatchRun::WalkTree(source, (target + "\\").c_str(), 0, Recorder::Record), 1);
        ASSERT_EQ(Recorder::calls.size(), 1u) << source;
        EXPECT_EQ(Recorder::calls[0].first, "D:\\sub\\file.dat") << source;
        EXPECT_EQ(ReadAll(target + "\\sub\\file.dat"), "x");
        RemoveAll(target);
    }
}

TEST_F(TreeCopy, AnEmptyDriveRootFailsTheWalk) {
    EXPECT_EQ(PatchRun::WalkTree("D:\\", target.c_str(), 0, nullptr), 0);
    EXPECT_EQ(PatchRun::WalkTree("C:\\PatcherTests\\absent", target.c_str(), 1, nullptr), 0);
}

TEST_F(TreeCopy, AFailureInTheThirdOfFiveFoldersStopsTheWholeWalk) {
    for (char n = '1'; n <= '5'; ++n) {
        std::string folder = std::string("D:\\f") + n;
        MakeFolder(folder);
        MakeFile(folder + "\\a.dat", Content(10, n));
        MakeFile(folder + "\\b.dat", Content(10, n + 10));
    }
    MakeFolder(target);
    {
        LockedFile locked("D:\\f3\\b.dat");
        EXPECT_EQ(PatchRun::WalkTree("D:\\", target.c_str(), 0, nullptr), 0);
    }
    EXPECT_TRUE(Exists(target + "\\f3\\a.dat"));
    EXPECT_FALSE(Exists(target + "\\f4"));
    EXPECT_FALSE(Exists(target + "\\f5"));
    // Every search handle is closed again: the source folders can be removed.
    for (char n = '1'; n <= '5'; ++n) {
        std::string folder = std::string("D:\\f") + n;
        RemoveAll(folder);
        EXPECT_FALSE(Exists(folder));
    }
}

} // namespace
