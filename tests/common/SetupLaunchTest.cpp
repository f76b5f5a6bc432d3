#include "RecordArgsPath.h"
#include "TestDrives.h"

#include "patch/PatchRun.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

struct SetupLaunch : ::testing::Test {
    TestDrives drives;
    std::string folder = std::string(kTestRoot) + "\\QuillmendTemp\\";

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
    }
}

TEST_F(SetupLaunch, AMissingSetupFailsAtOnce) {
    MakeFolder(folder);
    EXPECT_EQ(PatchRun::RunSetup(folder.c_str()), 0);
    EXPECT_EQ(PatchRun::RunSetup("C:\\PatcherTests\\absent\\"), 0);
}

} // namespace
