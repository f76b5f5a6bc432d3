#include "RecordArgsPath.h"
#include "TestDrives.h"

#include "patch/PatchRun.h"
#include "patch/ReplacementPackage.h"

#ifndef _WIN32
#include "platform/HostFs.h"
#endif

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace {

struct SetupLaunch : ::testing::Test {
    TestDrives drives;
    std::string folder = std::string(kTestRoot) + "\\QuillmendTemp\\";

    // The copy as setup sees it for its current folder: without the trailing
    // separator, and on the host where the mapped drive puts it.
    std::string CopyAsCurrentFolder() {
#ifdef _WIN32
        std::string copy = folder;
#else
        std::string copy = hostfs::HostPath(folder.c_str());
#endif
        copy.pop_back();
        return copy;
    }

    void InstallSetup(int exitCode) {
        MakeFolder(folder);
        std::ifstream in(RECORD_ARGS_PATH, std::ios::binary);
        ASSERT_TRUE(in) << RECORD_ARGS_PATH;
        std::ostringstream program;
        program << in.rdbuf();
        MakeFile(folder + "setup.exe", program.str());
        MakeFile(folder + "exitcode.txt", std::to_string(exitCode));
    }
};

TEST_F(SetupLaunch, SucceedsOnlyWhenSetupExitsWithZero) {
    for (int code : {0, 1, 3, 255}) {
        SCOPED_TRACE(code);
        InstallSetup(code);
        EXPECT_EQ(PatchRun::RunSetup(folder.c_str()), code == 0 ? 1 : 0);
        // Setup is given its own full path and nothing else.
        EXPECT_EQ(ReadAll(folder + "cmdline.txt"), folder + "setup.exe");
        // It starts in the copy, not where this program was started from.
        EXPECT_EQ(ReadAll(folder + "cwd.txt"), CopyAsCurrentFolder());
    }
}

TEST_F(SetupLaunch, AMissingSetupFailsAtOnce) {
    MakeFolder(folder);
    EXPECT_EQ(PatchRun::RunSetup(folder.c_str()), 0);
    EXPECT_EQ(PatchRun::RunSetup("C:\\PatcherTests\\absent\\"), 0);
}

// Setup hands the install over to a copy of itself and exits 0 at once; the
// copy reads the package two seconds later. The copy must be left in place until
// that process has ended too, and it must have found the whole package.
TEST_F(SetupLaunch, WaitsForTheProcessSetupHandsOverTo) {
    InstallSetup(0);
    ASSERT_EQ(PatchRun::WritePackage(folder.c_str()), 1);
    MakeFile(folder + "handover.txt", "");
    EXPECT_EQ(PatchRun::RunSetup(folder.c_str()), 1);
    // The handed-over process writes this as its last act before it exits.
    EXPECT_EQ(ReadAll(folder + "handed-over.txt"), std::to_string(ReplacementPackageSize));
}

// A process that setup starts to break away from the job may be started, and is
// not waited for: it waits for the release that only comes after RunSetup.
TEST_F(SetupLaunch, LetsAProcessBreakAwayAndDoesNotWaitForIt) {
    InstallSetup(0);
    MakeFile(folder + "breakaway.txt", "");
    EXPECT_EQ(PatchRun::RunSetup(folder.c_str()), 1);
    EXPECT_EQ(ReadAll(folder + "breakaway-start.txt"), "1");
    EXPECT_FALSE(Exists(folder + "broke-away.txt"));
    MakeFile(folder + "release.txt", "");
    // Let it finish before the folder is emptied.
    for (int i = 0; i < 300 && ReadAll(folder + "broke-away.txt") != "released"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ReadAll(folder + "broke-away.txt"), "released");
}

} // namespace
