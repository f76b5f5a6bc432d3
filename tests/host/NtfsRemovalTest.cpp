// The removal over the model of NTFS, where Windows does what Wine does not:
// names held open by other programs, read-only folders, a UTF-8 code page.
#include "Recorder.h"
#include "TestDrives.h"

#include "patch/PatchRun.h"
#include "platform/HostFs.h"
#include "platform/NativeFiles.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

// The model's own calls, as the tests find them.
const NativeFileCalls model = nativeFiles;

struct NtfsRemoval : ::testing::Test {
    TestDrives drives;
    Recorder recorder;
    std::string folder = std::string(kTestRoot) + "\\QuillmendTemp";
    ~NtfsRemoval() override { nativeFiles = model; }
};

TEST_F(NtfsRemoval, NamesHeldOpenElsewhereAndReadOnlyFoldersGo) {
    // NTFS keeps a name deleted through one handle while another (a scanner,
    // the indexer) holds it open: its folder is not empty until that closes,
    // unless the delete took the name away at once (POSIX semantics, Windows
    // 10 1709 and later). A read-only folder is refused to an old delete.
    struct Case {
        const char* what;
        bool posixAbsent;
        int heldFor; // milliseconds; negative: beyond the wait
        bool removed;
    } cases[] = {
        {"POSIX semantics, held on", false, -1, true},
        {"old delete, let go within the wait", true, 1000, true},
        {"old delete, held on", true, -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MakeFolder(folder + "\\data");
        MakeFolder(folder + "\\fixed");
        MakeFile(folder + "\\data\\scanned.dat", "copy");
        MakeFile(folder + "\\fixed\\low.dat", "copy", true);
        MakeFile(folder + "\\top.dat", "copy");
        hostfs::SetFolderReadOnly(folder + "\\fixed");
        hostfs::SetPosixDeleteAbsent(c.posixAbsent);
        hostfs::HoldOpenElsewhere(folder + "\\data\\scanned.dat", c.heldFor);
        EXPECT_EQ(PatchRun::RemoveTree(folder.c_str(), Recorder::Record) != 0, c.removed);
        EXPECT_FALSE(Exists(folder + "\\fixed"));
        EXPECT_FALSE(Exists(folder + "\\top.dat"));
        EXPECT_EQ(Exists(folder), !c.removed);
        // The held name was marked: it goes when the other program lets go.
        hostfs::CloseHeldElsewhere();
        EXPECT_FALSE(Exists(folder + "\\data\\scanned.dat"));
        RemoveAll(folder);
    }
}

// Windows refuses WC_NO_BEST_FIT_CHARS under a UTF-8 system code page; which
// error it gives is not promised. Here it is ERROR_INVALID_FLAGS for any flag.
int WINAPI RefuseFlags(UINT codePage, DWORD flags, LPCWSTR wide, int count, LPSTR text, int size,
                       LPCSTR defaultChar, LPBOOL usedDefault) {
    if (flags) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    return model.wideCharToMultiByte(codePage, flags, wide, count, text, size, defaultChar,
                                     usedDefault);
}

int WINAPI RefuseAll(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, LPBOOL) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
}

TEST_F(NtfsRemoval, NamesGoWhateverTheCodePageMakesOfThem) {
    // Accented names, and names outside Windows-1252: the removal opens and
    // deletes each by the name the listing gave; the code page's spelling is
    // only for the report.
    struct Case {
        const char* what;
        decltype(nativeFiles.wideCharToMultiByte) convert;
        bool reported;
    } cases[] = {
        {"flags refused", RefuseFlags, true},
        {"no name spelt", RefuseAll, false},
    };
    const std::vector<std::pair<std::string, int32_t>> files = {
        {folder + "\\Caf\xc3\xa9.dat", 3},
        {folder + "\\na\xc3\xafve\\r\xc3\xa9sum\xc3\xa9.txt", 4},
        {folder + "\\\xce\xa9mega\\\xe6\x97\xa5\xe6\x9c\xac.dat", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        nativeFiles.wideCharToMultiByte = c.convert;
        MakeFolder(folder + "\\na\xc3\xafve");
        MakeFolder(folder + "\\\xce\xa9mega");
        for (const auto& f : files)
            MakeFile(f.first, Content(f.second));
        Recorder::calls.clear();
        EXPECT_NE(PatchRun::RemoveTree(folder.c_str(), Recorder::Record), 0);
        EXPECT_FALSE(Exists(folder));
        auto reports = Recorder::calls;
        std::sort(reports.begin(), reports.end());
        EXPECT_EQ(reports, c.reported ? files : decltype(files)());
        RemoveAll(folder);
    }
}

} // namespace
