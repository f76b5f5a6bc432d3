#include "FakeUi.h"
#include "RecordArgsPath.h"
#include "TestDrives.h"

#include "patch/PatchRun.h"
#include "patch/ReplacementPackage.h"
#include "platform/HostFs.h"
#include "platform/Win32Api.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace {

const char kInsertDisc[] = "\n        Please insert the original Vardenholt Disk, then click on OK";
const char kNoSpace[] = "No space found for the temporary file storage\n\nMake Sure you have at "
                        "least 650MB of space for the temporary files.";
const char kTemp[] = "C:\\QuillmendTemp";

struct RunPatchTest : ::testing::Test {
    TestDrives drives;
    std::string log;

    RunPatchTest() {
        fakeui::Reset();
        log = hostfs::HostPath("C:\\PatcherTests\\setup.log");
        setenv("RECORD_ARGS_LOG", log.c_str(), 1);
    }
    ~RunPatchTest() {
        unsetenv("RECORD_ARGS_LOG");
        RemoveAll(kTemp);
    }

    // A disc in E: whose setup program records how it was run.
    static void InsertDisc(int setupExitCode = 0) {
        std::ifstream in(RECORD_ARGS_PATH, std::ios::binary);
        std::ostringstream program;
        program << in.rdbuf();
        MakeFile("E:\\Vardenholt.msi", Content(40000, 1));
        MakeFile("E:\\setup.exe", program.str());
        MakeFile("E:\\exitcode.txt", std::to_string(setupExitCode));
        MakeFolder("E:\\data\\maps");
        MakeFile("E:\\data\\maps\\world.map", Content(9000, 2), true);
        MakeFile("E:\\data\\readme.txt", Content(100, 3));
    }
    static int32_t DiscBytes(int32_t setupSize) { return 40000 + setupSize + 1 + 9000 + 100; }

    std::vector<std::string> SetupRuns() const {
        std::vector<std::string> lines;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    void Run() {
        PatchRun run;
        run.RunPatch();
    }
};

TEST_F(RunPatchTest, CopiesPatchesRunsSetupAndRemovesTheCopy) {
    InsertDisc();
    Run();
    EXPECT_TRUE(fakeui::prompts.empty());
    EXPECT_TRUE(fakeui::messageBoxes.empty());
    // Setup ran from the copy, with its own path only, on the carried package.
    ASSERT_EQ(SetupRuns().size(), 1u);
    EXPECT_EQ(SetupRuns()[0], std::string("C:\\QuillmendTemp\\setup.exe ") +
                                  std::to_string(ReplacementPackageSize));
    EXPECT_FALSE(Exists(kTemp));

    ASSERT_GE(fakeui::progress.size(), 5u);
    std::vector<std::string> opening(fakeui::progress.begin(), fakeui::progress.begin() + 4);
    EXPECT_EQ(opening, (std::vector<std::string>{"open Copying Files. Please Wait...", "update 1 ",
                                                 "update 0 ", "pump"}));
    EXPECT_EQ(fakeui::progress.back(), "close");
    // Reports: the copy's running count, then one per removed file with its size.
    ASSERT_FALSE(fakeui::reports.empty());
    EXPECT_EQ(fakeui::reports.front(), std::make_pair(std::string("E:\\Vardenholt.msi"), 2048));
    bool sawRemoval = false;
    for (const auto& r : fakeui::reports)
        if (r.first == "C:\\QuillmendTemp\\Vardenholt.msi")
            sawRemoval = r.second == static_cast<int>(ReplacementPackageSize);
    EXPECT_TRUE(sawRemoval);
}

TEST_F(RunPatchTest, CancelOnTheDiscPromptEndsWithNothingDone) {
    for (int answer : {2, 3}) {
        fakeui::Reset();
        fakeui::answers = {{answer}};
        Run();
        ASSERT_EQ(fakeui::prompts.size(), 1u);
        EXPECT_EQ(fakeui::prompts[0].message, kInsertDisc);
        EXPECT_EQ(fakeui::prompts[0].okDisabled, 0);
        EXPECT_EQ(fakeui::prompts[0].cancelDisabled, 0);
        EXPECT_TRUE(fakeui::progress.empty());
        EXPECT_FALSE(Exists(kTemp));
    }
}

TEST_F(RunPatchTest, OkAsksAgainUntilTheDiscIsThere) {
    fakeui::answers = {{1}, {1}, {1, [] { InsertDisc(); }}};
    Run();
    EXPECT_EQ(fakeui::prompts.size(), 3u);
    EXPECT_EQ(SetupRuns().size(), 1u);
    EXPECT_FALSE(Exists(kTemp));
}

TEST_F(RunPatchTest, OtherAnswersAskAgainWithoutLookingForTheDisc) {
    // The disc goes in before the first answer; only OK looks for it.
    fakeui::answers = {{0, [] { InsertDisc(); }}, {7}, {-2}, {2}};
    Run();
    EXPECT_EQ(fakeui::prompts.size(), 4u);
    EXPECT_TRUE(SetupRuns().empty());
    EXPECT_FALSE(Exists(kTemp));
}

TEST_F(RunPatchTest, APromptThatCannotBeShownEndsWithAMessage) {
    fakeui::answers = {{-1}};
    Run();
    EXPECT_EQ(fakeui::messageBoxes, std::vector<std::string>{"Dialog box could not be created!"});
    EXPECT_EQ(fakeui::prompts.size(), 1u);
}

TEST_F(RunPatchTest, NoRoomShowsTheNoSpacePromptWithOkDisabled) {
    InsertDisc();
    hostfs::SetFreeSpace('C', 1000, 1000);
    fakeui::answers = {{1}};
    Run();
    ASSERT_EQ(fakeui::prompts.size(), 1u);
    EXPECT_EQ(fakeui::prompts[0].message, kNoSpace);
    EXPECT_EQ(fakeui::prompts[0].okDisabled, 1);
    EXPECT_EQ(fakeui::prompts[0].cancelDisabled, 0);
    EXPECT_FALSE(Exists(kTemp));
    EXPECT_TRUE(fakeui::progress.empty());
    EXPECT_TRUE(SetupRuns().empty());
}

TEST_F(RunPatchTest, ALeftoverFolderIsRemovedAndTheRunGoesOn) {
    // What a run killed during its copy leaves, and a setup program planted there.
    InsertDisc();
    MakeFolder("C:\\QuillmendTemp\\data");
    MakeFile("C:\\QuillmendTemp\\data\\readme.txt", "partial", true);
    MakeFile("C:\\QuillmendTemp\\setup.exe", "planted");
    Run();
    ASSERT_EQ(SetupRuns().size(), 1u);
    EXPECT_EQ(SetupRuns()[0], std::string("C:\\QuillmendTemp\\setup.exe ") +
                                  std::to_string(ReplacementPackageSize));
    EXPECT_FALSE(Exists(kTemp));
    // The leftover's files are reported as they go, before the copy's first chunk.
    ASSERT_GE(fakeui::reports.size(), 3u);
    EXPECT_EQ(fakeui::reports[0],
              std::make_pair(std::string("C:\\QuillmendTemp\\data\\readme.txt"), 7));
    EXPECT_EQ(fakeui::reports[1], std::make_pair(std::string("C:\\QuillmendTemp\\setup.exe"), 7));
    EXPECT_EQ(fakeui::reports[2], std::make_pair(std::string("E:\\Vardenholt.msi"), 2048));
}

TEST_F(RunPatchTest, ALeftoverThatStaysEndsTheRunWithNothingCopiedIntoIt) {
    InsertDisc();
    MakeFolder(kTemp);
    MakeFile("C:\\QuillmendTemp\\.keep", "not the run's to delete");
    Run();
    EXPECT_TRUE(fakeui::progress.empty()) << "no progress window without a folder";
    EXPECT_TRUE(SetupRuns().empty());
    EXPECT_FALSE(Exists("C:\\QuillmendTemp\\setup.exe"));
    EXPECT_TRUE(Exists("C:\\QuillmendTemp\\.keep"));
}

TEST_F(RunPatchTest, TheCopysFolderIsHeldAgainstRenamingFromItsCreation) {
    InsertDisc();
    bool tried = false;
    fakeui::onOpenProgress = [&tried] {
        // What a rename needs: the folder opened for deleting.
        HANDLE folder = CreateFileA(kTemp, 0x00010000 /* DELETE */,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        EXPECT_EQ(folder, INVALID_HANDLE_VALUE) << "the folder can be renamed during the copy";
        if (folder != INVALID_HANDLE_VALUE)
            CloseHandle(folder);
        tried = true;
    };
    Run();
    EXPECT_TRUE(tried);
    EXPECT_EQ(SetupRuns().size(), 1u);
    EXPECT_FALSE(Exists(kTemp));
}

TEST_F(RunPatchTest, AnUnreadableDiscFileMeansNoPackageAndNoSetup) {
    InsertDisc();
    hostfs::FailOn(hostfs::Fault::Read, "E:\\data\\maps\\world.map");
    Run();
    EXPECT_EQ(fakeui::progress.back(), "close");
    EXPECT_TRUE(SetupRuns().empty());
    EXPECT_FALSE(Exists(kTemp));
}

TEST_F(RunPatchTest, ACopyThatDiffersFromTheMeasureIsNotPatched) {
    // A disc file grows or shrinks between the two passes: the copy pass
    // succeeds, but its count is not the measured total.
    for (int32_t size : {150, 60}) {
        SCOPED_TRACE(size);
        fakeui::Reset();
        InsertDisc();
        fakeui::onOpenProgress = [size] { MakeFile("E:\\data\\readme.txt", Content(size, 3)); };
        Run();
        EXPECT_EQ(fakeui::progress.back(), "close");
        EXPECT_EQ(ByteCounters::copied, ByteCounters::total - 100 + size) << "every file copied";
        EXPECT_TRUE(SetupRuns().empty());
        EXPECT_FALSE(Exists(kTemp));
    }
}

TEST_F(RunPatchTest, SetupFailingChangesNothing) {
    InsertDisc(5);
    Run();
    EXPECT_EQ(SetupRuns().size(), 1u);
    EXPECT_TRUE(fakeui::messageBoxes.empty());
    EXPECT_FALSE(Exists(kTemp));
}

TEST_F(RunPatchTest, TheTemporaryFolderIsPrivateToItsOwner) {
    InsertDisc();
    PatchRun run;
    ByteCounters::total = DiscBytes(static_cast<int32_t>(ReadAll("E:\\setup.exe").size()));
    ASSERT_EQ(run.CopyToTemp("E:\\", "C:\\QuillmendTemp\\"), 1);
    struct stat st;
    ASSERT_EQ(stat(hostfs::HostPath(kTemp).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(ReadAll("C:\\QuillmendTemp\\data\\readme.txt"), Content(100, 3));
    // An existing folder is never reused.
    EXPECT_EQ(run.CopyToTemp("E:\\", "C:\\QuillmendTemp\\"), 0);
}

// A run holds the folder it made until it removes it: making another while it
// is held is refused, so that the first is never let go of and left behind.
TEST_F(RunPatchTest, MakesNoSecondFolderWhileOneIsHeld) {
    InsertDisc();
    struct Run : PatchRun {
        using PatchRun::m_tempFolder;
    } run;
    ByteCounters::total = DiscBytes(static_cast<int32_t>(ReadAll("E:\\setup.exe").size()));
    ASSERT_EQ(run.CopyToTemp("E:\\", "C:\\QuillmendTemp\\"), 1);
    EXPECT_EQ(run.CopyToTemp("E:\\", "C:\\QuillmendTemp2\\"), 0);
    EXPECT_FALSE(Exists("C:\\QuillmendTemp2"));
    RemoveAll("C:\\QuillmendTemp2");
    EXPECT_EQ(PatchRun::RemoveTree(run.m_tempFolder, "C:\\QuillmendTemp\\", nullptr), 1);
    EXPECT_FALSE(Exists(kTemp));
}

} // namespace
