// The copy's removal when the session ends during the run (setup asked for a
// restart, or the user logs off or shuts down, or the Restart Manager closes
// the program): the program may be ended before it gets to its own removal, so
// every entry of the copy is named to Windows for deletion at its next start,
// deepest first, before the end-of-session message is answered. Setup may
// still run from the copy; its files can only go once the system has
// restarted anyway. Where the run goes on after all, its removal takes the
// names back once the copy is gone.
#include "patch/PatchRun.h"
#include "patch/PathBuffer.h"
#include "platform/HeldEntry.h"
#include "platform/RestartDeletes.h"
#include "platform/Win32Api.h"

#include <cstring>

namespace {

// Names everything below a held folder, each folder after all it holds; 1
// when every entry was named.
int ScheduleEntries(HeldEntry& folder, const char* path, RestartDeletes& deletes) {
    int all = 1;
    ListedEntry entry;
    char entryPath[kWalkPathSize];
    while (folder.NextEntry(&entry)) {
        // A name the code page can't spell, or whose path would not fit,
        // can't be named; its folder then stays too.
        if (entry.name[0] == '\0' || !PathJoin(entryPath, path, entry.name)) {
            all = 0;
            continue;
        }
        HeldEntry held;
        uint32_t own = 0;
        if (!held.OpenListedToLook(folder, entry) || !held.Attributes(&own)) {
            all = 0;
            continue;
        }
        // A link is neither entered nor named: a delete by its name at the
        // start of Windows could reach what it leads to.
        if ((own | entry.attributes) & FILE_ATTRIBUTE_REPARSE_POINT) {
            all = 0;
            continue;
        }
        if (own & FILE_ATTRIBUTE_DIRECTORY)
            all &= ScheduleEntries(held, entryPath, deletes);
        // Windows deletes no read-only file or folder at its start.
        if ((own & FILE_ATTRIBUTE_READONLY) && !held.ClearReadOnly(own))
            all = 0;
        held.Close();
        all &= deletes.Add(entryPath);
    }
    return all;
}

} // namespace

int PatchRun::ScheduleRemovalAtRestart() {
    if (!m_tempFolder.IsOpen())
        return 0;
    char folderPath[kPathSize];
    if (!PathCopy(folderPath, m_tempPath))
        return 0;
    size_t length = std::strlen(folderPath);
    if (length > 3 && folderPath[length - 1] == '\\')
        folderPath[length - 1] = '\0';
    // Listed through a handle of its own, so that a removal under way keeps
    // its place in the held folder's listing.
    HeldEntry folder;
    if (!folder.ReopenToLook(m_tempFolder, folderPath))
        return 0;
    // Named in one write: one call per entry would rewrite the whole list
    // each time, and the end of the session leaves a few seconds.
    RestartDeletes deletes(kTempFolderName);
    int all = ScheduleEntries(folder, folderPath, deletes);
    folder.Close();
    all &= deletes.Add(folderPath);
    return deletes.Schedule() && all;
}

void PatchRun::OnSessionEnd(int ending) {
    // A session end that was called off leaves the run as it was.
    if (ending)
        ScheduleRemovalAtRestart();
}
