// The end of the session can come while the removal drains the message queue
// after a file: the copy is then named for the restart from a listing of its
// own, and the removal goes on from where it was.
#include "TestDrives.h"

#include "patch/PatchRun.h"
#include "platform/HeldEntry.h"
#include "platform/HostFs.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class HeldRun : public PatchRun {
  public:
    int Hold(const std::string& path) {
        std::strcpy(m_tempPath, path.c_str());
        return m_tempFolder.CreateFolder(m_tempPath, nullptr);
    }
    int Remove() { return RemoveTree(m_tempFolder, m_tempPath, EndSessionOnce); }

    static HeldRun* s_ending;

  private:
    static void EndSessionOnce(const char*, int32_t) {
        if (HeldRun* run = s_ending) {
            s_ending = nullptr;
            run->OnSessionEnd(1);
        }
    }
};

HeldRun* HeldRun::s_ending;

// The model keeps a folder's read-only attribute for its handles alone.
bool FolderIsReadOnly(const std::string& path) {
    HeldEntry folder;
    uint32_t attributes = 0;
    return folder.OpenPath(path.c_str()) && folder.Attributes(&attributes) &&
           (attributes & FILE_ATTRIBUTE_READONLY);
}

TEST(RestartRemoval, ASessionEndDuringTheRemovalNamesWhatIsLeftAndTheRemovalGoesOn) {
    TestDrives drives;
    const std::string copy = "C:\\PatcherTests\\QuillmendTemp";
    HeldRun run;
    ASSERT_TRUE(run.Hold(copy + "\\"));
    // Listed in name order here: Data's file is deleted first, and the end
    // comes after it.
    MakeFolder(copy + "\\Data");
    MakeFile(copy + "\\Data\\rules.ini", "rules", true);
    MakeFile(copy + "\\setup.exe", "setup");
    MakeFile(copy + "\\Vardenholt.msi", "package", true);
    HeldRun::s_ending = &run;
    EXPECT_NE(run.Remove(), 0);
    EXPECT_EQ(HeldRun::s_ending, nullptr) << "the end never came";
    EXPECT_FALSE(Exists(copy));
    const std::vector<std::string> named = {copy + "\\Data", copy + "\\Vardenholt.msi",
                                            copy + "\\setup.exe", copy};
    EXPECT_EQ(hostfs::ScheduledAtRestart(), named);
}

TEST(RestartRemoval, ReadOnlyFilesAndFoldersAreMadeWritableAndTheCopyIsNamedInOneList) {
    TestDrives drives;
    // Where runs make it: an end that comes again replaces what the first named.
    const std::string copy = "C:\\QuillmendTemp";
    HeldRun run;
    ASSERT_TRUE(run.Hold(copy + "\\"));
    MakeFolder(copy + "\\Data");
    MakeFile(copy + "\\Data\\rules.ini", "rules", true);
    // Setup may mark a folder read-only; Windows then deletes it at no start.
    hostfs::SetFolderReadOnly(copy + "\\Data");
    ASSERT_TRUE(FolderIsReadOnly(copy + "\\Data"));
    run.OnSessionEnd(1);
    EXPECT_FALSE(FolderIsReadOnly(copy + "\\Data"));
    EXPECT_FALSE(IsReadOnly(copy + "\\Data\\rules.ini"));
    const std::vector<std::string> named = {copy + "\\Data\\rules.ini", copy + "\\Data", copy};
    EXPECT_EQ(hostfs::ScheduledAtRestart(), named);
    run.OnSessionEnd(1);
    EXPECT_EQ(hostfs::ScheduledAtRestart(), named);
    RemoveAll(copy);
}

} // namespace
