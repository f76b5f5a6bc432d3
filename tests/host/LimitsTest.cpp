#include "Recorder.h"
#include "TestDrives.h"

#include "patch/PatchRun.h"
#include "platform/HostFs.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

struct Limits : ::testing::Test {
    TestDrives drives;
    Recorder recorder;
    Limits() {
        ByteCounters::copied = 0;
        ByteCounters::total = 0;
    }
};

TEST_F(Limits, AFileOver4GiBAddsItsLowSizeAndIsNotCopied) {
    MakeFile("D:\\huge.dat", "");
    std::filesystem::resize_file(hostfs::HostPath("D:\\huge.dat"), (uint64_t(1) << 32) + 10);
    ASSERT_EQ(PatchRun::WalkTree("D:\\", "", 1, nullptr), 1);
    EXPECT_EQ(ByteCounters::total, 10);
    // Its size does not fit a signed 32-bit count: nothing is read.
    EXPECT_EQ(PatchRun::CopyFileChunked("D:\\huge.dat", "C:\\PatcherTests\\", Recorder::Record), 0);
    EXPECT_TRUE(Recorder::calls.empty());
}

TEST_F(Limits, FailedFileOperationsFailTheCopy) {
    struct Case {
        hostfs::Fault fault;
        const char* path;
        size_t reports; // chunks that got through before the failure
    } cases[] = {
        {hostfs::Fault::Tell, "D:\\file.dat", 0},
        {hostfs::Fault::Read, "D:\\file.dat", 0},
        {hostfs::Fault::Write, "C:\\PatcherTests\\out.dat", 0},
        {hostfs::Fault::Close, "C:\\PatcherTests\\out.dat", 3},
        {hostfs::Fault::OpenWrite, "C:\\PatcherTests\\out.dat", 0},
    };
    MakeFile("D:\\file.dat", Content(5000));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        hostfs::ClearFaults();
        Recorder::calls.clear();
        hostfs::FailOn(c.fault, c.path);
        EXPECT_EQ(PatchRun::CopyFileChunked("D:\\file.dat", "C:\\PatcherTests\\out.dat",
                                            Recorder::Record),
                  0);
        EXPECT_EQ(Recorder::calls.size(), c.reports);
        EXPECT_EQ(hostfs::OpenFiles(), 0);
    }
}

TEST_F(Limits, AShortReadKeepsTheChunksBefore) {
    MakeFile("D:\\file.dat", Content(5000));
    MakeFile("D:\\short.dat", Content(9000));
    ASSERT_EQ(PatchRun::CopyFileChunked("D:\\file.dat", "C:\\PatcherTests\\a.dat", nullptr), 1);
    // The file shrinks after its first chunk, so that a later read comes back short.
    ProgressCallback shrink = [](const char* path, int32_t bytes) {
        Recorder::Record(path, bytes);
        std::filesystem::resize_file(hostfs::HostPath("D:\\short.dat"), 100);
    };
    EXPECT_EQ(PatchRun::CopyFileChunked("D:\\short.dat", "C:\\PatcherTests\\b.dat", shrink), 0);
    ASSERT_FALSE(Recorder::calls.empty());
    EXPECT_GT(Recorder::calls.back().second, 5000);
    EXPECT_EQ(ByteCounters::copied, Recorder::calls.back().second);
}

// A name long enough that the path of an entry under it passes 260 characters.
std::string LongName(size_t length) {
    return std::string(length, 'n');
}

TEST_F(Limits, PathsThatWouldNotFitFailInsteadOfBeingCut) {
    std::string deep = "D:\\" + LongName(200);
    MakeFolder(deep);
    MakeFile(deep + "\\" + LongName(70), "x");
    std::string target = "C:\\PatcherTests\\copy";
    MakeFolder(target);
    EXPECT_EQ(PatchRun::WalkTree("D:\\", target.c_str(), 1, nullptr), 0);
    EXPECT_EQ(ByteCounters::total, 0);
    EXPECT_EQ(PatchRun::WalkTree("D:\\", target.c_str(), 0, Recorder::Record), 0);
    EXPECT_TRUE(Recorder::calls.empty());

    // The single-file buffers hold 256 characters, not 260. The folder exists
    // and its path has 247, so "setup.exe" after it is one too many, and a
    // path cut to fit would name something that works.
    std::string folder = "C:\\PatcherTests\\" + LongName(230) + "\\";
    ASSERT_EQ(folder.size(), 247u);
    MakeFolder(folder);
    MakeFile("D:\\" + LongName(9), "y");
    EXPECT_EQ(PatchRun::CopyFileChunked(("D:\\" + LongName(9)).c_str(), folder.c_str(), nullptr),
              0);
    EXPECT_EQ(PatchRun::WritePackage(folder.c_str()), 0);
    // A program that succeeds stands at the whole path and at the path cut.
    for (const char* name : {"setup.exe", "setup.ex"})
        MakeFile(folder + name, "#!/bin/sh\nexit 0\n");
    EXPECT_EQ(PatchRun::RunSetup(folder.c_str()), 0);
}

TEST_F(Limits, RemovalPassesOverAnEntryWhosePathWouldNotFit) {
    std::string folder = "C:\\PatcherTests\\" + LongName(200);
    MakeFolder(folder);
    MakeFile(folder + "\\" + LongName(60), "long");
    MakeFile(folder + "\\short", "short");
    EXPECT_EQ(PatchRun::RemoveTree(folder.c_str(), Recorder::Record), 0);
    ASSERT_EQ(Recorder::calls.size(), 1u);
    EXPECT_EQ(Recorder::calls[0].first, folder + "\\short");
    EXPECT_TRUE(Exists(folder + "\\" + LongName(60)));
}

} // namespace
