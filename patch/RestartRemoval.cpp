// The copy's removal when the session ends during the run (setup asked for a
// restart, or the user logs off or shuts down): the program is ended before it
// gets to its own removal, so every entry of the copy is named to Windows for
// deletion at its next start, deepest first, before the end-of-session message
// is answered. Setup may still run from the copy; its files can only go once
// the system has restarted anyway.
#include "patch/HeldFolderWalk.h"
#include "patch/PatchRun.h"
#include "platform/PathBuffer.h"
#include "platform/HeldEntry.h"
#include "platform/Win32Api.h"

namespace {

int DeleteAtRestart(const char* path) {
    return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

// Names everything below a held folder, each folder after all it holds, each
// entry by its own DeleteAtRestart. A name the code page can't spell, or
// whose path would not fit, can't be named; its folder then stays too.
class Scheduling final : public HeldFolderWalk {
  protected:
    int PassesOverDotNames() const override { return 0; }
    int NeedsPath() const override { return 1; }
    int Open(HeldEntry& entry, HeldEntry& folder, const ListedEntry& listed) override {
        return entry.OpenListedToLook(folder, listed);
    }
    int Unopened(const ListedEntry&, const char*) override { return 0; }
    // A link is neither entered nor named: a delete by its name at the start
    // of Windows could reach what it leads to.
    int Link(HeldEntry&, uint32_t, const ListedEntry&, const char*) override { return 0; }
    int Folder(HeldEntry& folder, const ListedEntry&, const char* path) override {
        int all = Walk(folder, path);
        folder.Close();
        return DeleteAtRestart(path) && all;
    }
    int File(HeldEntry& file, int cleared, const ListedEntry&, const char* path) override {
        file.Close();
        return DeleteAtRestart(path) && cleared;
    }
};

} // namespace

int PatchRun::ScheduleRemovalAtRestart() {
    if (!m_tempFolder.IsOpen())
        return 0;
    char folderPath[kPathSize];
    if (!PathCopyTrimmed(folderPath, m_tempPath))
        return 0;
    // Listed through a handle of its own, so that a removal under way keeps
    // its place in the held folder's listing.
    HeldEntry folder;
    if (!folder.ReopenToLook(m_tempFolder, folderPath))
        return 0;
    Scheduling scheduling;
    int all = scheduling.Walk(folder, folderPath);
    folder.Close();
    return DeleteAtRestart(folderPath) && all;
}

void PatchRun::OnSessionEnd(int ending) {
    // A session end that was called off leaves the run as it was.
    if (ending)
        ScheduleRemovalAtRestart();
}
