#include "patch/HeldFolderWalk.h"
#include "patch/RunConstants.h"
#include "platform/PathBuffer.h"

int HeldFolderWalk::Walk(HeldEntry& folder, const char* path) {
    ListedEntry entry;
    char entryPath[kWalkPathSize];
    int all = 1;
    while (folder.NextEntry(&entry)) {
        if (entry.startsWithDot && PassesOverDotNames()) {
            all = 0;
            continue;
        }
        // An entry goes by the name the listing gave; its path, in the code
        // page, is for the steps that report or name it. One whose path would
        // not fit is passed over.
        const char* own = path && entry.name[0] ? entryPath : nullptr;
        if ((own && !PathJoin(entryPath, path, entry.name)) || (!own && NeedsPath())) {
            all = 0;
            continue;
        }
        HeldEntry held;
        uint32_t attributes = 0;
        if (!Open(held, folder, entry) || !held.Attributes(&attributes))
            all &= Unopened(entry, own);
        else if (IsLink(attributes, entry.attributes))
            all &= Link(held, attributes, entry, own);
        else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            all &= Folder(held, entry, own);
        else
            // Windows deletes no read-only file, neither now nor at its start.
            all &= File(held, held.ClearReadOnly(attributes), entry, own);
    }
    return all;
}
