// The copy's removal when the session ends during the run (setup asked for a
// restart, or the user logs off or shuts down, or the Restart Manager closes
// the program): the program may be ended before it gets to its own removal, so
// every entry of the copy is named to Windows for deletion at its next start,
// deepest first, before the end-of-session message is answered. Setup may
// still run from the copy; its files can only go once the system has
// restarted anyway. Where the run goes on after all, its removal takes the
// names back once the copy is gone.
#include "patch/HeldFolderWalk.h"
#include "patch/PatchRun.h"
#include "platform/HeldEntry.h"
#include "platform/PathBuffer.h"
#include "platform/RestartDeletes.h"
#include "platform/Win32Api.h"

namespace {

// Collects everything below a held folder, each folder after all it holds.
// A name the code page can't spell, or whose path would not fit, can't be
// named; its folder then stays too.
class Scheduling final : public HeldFolderWalk {
  public:
    explicit Scheduling(RestartDeletes& deletes) : m_deletes(deletes) {}

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
        // Windows deletes no read-only folder at its start either.
        uint32_t attributes = 0;
        all &= folder.Attributes(&attributes) && folder.ClearReadOnly(attributes);
        folder.Close();
        return m_deletes.Add(path) && all;
    }
    int File(HeldEntry& file, int cleared, const ListedEntry&, const char* path) override {
        file.Close();
        return m_deletes.Add(path) && cleared;
    }

  private:
    RestartDeletes& m_deletes;
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
    // Named in one write: one call per entry would rewrite the whole list
    // each time, and the end of the session leaves a few seconds.
    RestartDeletes deletes(kTempFolderName);
    Scheduling scheduling(deletes);
    int all = scheduling.Walk(folder, folderPath);
    folder.Close();
    all &= deletes.Add(folderPath);
    return deletes.Schedule() && all;
}

void PatchRun::OnSessionEnd(int ending) {
    // A session end that was called off leaves the run as it was.
    if (ending)
        ScheduleRemovalAtRestart();
}
