// The end of the session can come while the removal drains the message queue
// after a file: the copy is then named for the restart from a listing of its
// own, and the removal goes on from where it was. Neither the session end nor
// the removal takes another folder put in the copy's place for the copy.
#include "TestDrives.h"

#include "patch/PatchRun.h"
#include "platform/HeldEntry.h"
#include "platform/HostFs.h"

#include <cstdio>
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
    void EndSession() { OnSessionEnd(1); }

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

// Another folder put in the copy's place, the copy moved aside (Windows lets
// another program do it between this program's handles on the copy; the model
// at any time): the removal does not delete it and the session end names
// nothing in it. On ReFS it may even report the copy's 64-bit file index; its
// 128-bit id still tells it apart.
TEST(RestartRemoval, AFolderPutInTheCopysPlaceIsNeitherDeletedNorNamed) {
    struct Case {
        const char* what;
        bool sessionEnd;
        bool copysIndex;    // the other folder reports the copy's 64-bit index
        bool fileIdsAbsent; // the 64-bit index alone, as before Windows 8
    } cases[] = {
        {"removal, the copy's 64-bit index, 128-bit ids", false, true, false},
        {"removal, another 64-bit index, no 128-bit ids", false, false, true},
        {"session end, another folder", true, false, false},
        {"session end, the copy's 64-bit index, 128-bit ids", true, true, false},
    };
    const std::string copy = "C:\\PatcherTests\\QuillmendTemp";
    const uint64_t index = 0x1234;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestDrives drives;
        hostfs::SetFileIdInfoAbsent(c.fileIdsAbsent);
        HeldRun run;
        ASSERT_TRUE(run.Hold(copy + "\\"));
        MakeFile(copy + "\\setup.exe", "setup");
        hostfs::SetFileIndex(copy, index);
        std::string host = hostfs::HostPath(copy.c_str());
        ASSERT_EQ(std::rename(host.c_str(), (host + ".aside").c_str()), 0);
        MakeFolder(copy);
        // Emptied, the removal could delete it; with an entry, the session
        // end could name that.
        if (c.sessionEnd)
            MakeFile(copy + "\\saved.dat", "saved");
        if (c.copysIndex)
            hostfs::SetFileIndex(copy, index);
        if (c.sessionEnd) {
            run.EndSession();
            EXPECT_EQ(hostfs::ScheduledAtRestart(), std::vector<std::string>());
        } else {
            EXPECT_EQ(run.Remove(), 0);
            EXPECT_TRUE(Exists(copy)) << "the other folder was deleted";
        }
    }
}

} // namespace
