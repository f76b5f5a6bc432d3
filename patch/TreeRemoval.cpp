// Deleting the temporary copy: every file, then the emptied folders bottom-up.
// Each folder is held by handle while it is emptied, and everything in it is
// opened, listed and deleted relative to that handle, never by a path from the
// drive root: a folder that someone turns into a link meanwhile leads the
// removal nowhere else.
#include "patch/PatchRun.h"
#include "platform/PathBuffer.h"
#include "platform/HeldEntry.h"
#include "platform/Win32Api.h"

namespace {

const uint32_t kLink = FILE_ATTRIBUTE_REPARSE_POINT;

// A link (symbolic link, junction, mount point) is deleted as itself and never
// entered. Its listed attributes count as much as the handle's: Wine opens
// what a link leads to even when asked for the link, and only its listing
// still shows a link. The handle is then on what the link leads to, and a
// delete through it would delete that: the link is left where it is.
int IsLink(uint32_t own, uint32_t listed) {
    return ((own | listed) & kLink) != 0;
}

int DeleteLink(HeldEntry& link, uint32_t own) {
    return (own & kLink) && link.Delete();
}

int EmptyFolder(HeldEntry& folder, const char* path, ProgressCallback callback);

// Empties and deletes a held folder; nonzero when it is gone. Its path is
// only for the reports, and null where it can't be spelt.
int RemoveHeldFolder(HeldEntry& folder, uint32_t listed, const char* path,
                     ProgressCallback callback) {
    uint32_t own = 0;
    if (!folder.Attributes(&own))
        return 0;
    if (IsLink(own, listed)) {
        int deleted = DeleteLink(folder, own);
        folder.Close();
        return deleted;
    }
    if (!(own & FILE_ATTRIBUTE_DIRECTORY) || !(listed & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    int emptied = EmptyFolder(folder, path, callback);
    // A read-only folder is cleared as a read-only file is.
    if (own & FILE_ATTRIBUTE_READONLY)
        folder.ClearReadOnly(own);
    // Names that other programs still hold open stay until they let go. One
    // left for good keeps the folder: its delete is not even tried, since
    // Wine 10 accepts the newer delete of a folder that is not empty, and
    // then keeps it.
    int deleted = emptied && folder.DeleteEmptied();
    // Closing the last handle is what deletes it.
    folder.Close();
    return deleted;
}

// Marks every entry of the held folder to be deleted, removing its folders;
// nonzero when every one of them was.
int EmptyFolder(HeldEntry& folder, const char* path, ProgressCallback callback) {
    ListedEntry entry;
    char entryPath[kWalkPathSize];
    int emptied = 1;
    while (folder.NextEntry(&entry)) {
        // As in the copy, names that start with a full stop are left alone,
        // and so is their folder.
        if (entry.startsWithDot) {
            emptied = 0;
            continue;
        }
        // Everything else goes by the name the listing gave; the path, in
        // the code page, is only for the report, and a name it can't spell
        // is deleted unreported. One whose path would not fit is passed over.
        const char* reported = path && entry.name[0] ? entryPath : nullptr;
        if (reported && !PathJoin(entryPath, path, entry.name)) {
            emptied = 0;
            continue;
        }
        HeldEntry held;
        uint32_t own = 0;
        int opened = held.OpenListed(folder, entry) && held.Attributes(&own);
        if (opened && !IsLink(own, entry.attributes) && (own & FILE_ATTRIBUTE_DIRECTORY)) {
            emptied &= RemoveHeldFolder(held, entry.attributes, reported, callback);
            continue;
        }
        int deleted = 0;
        if (opened && IsLink(own, entry.attributes)) {
            deleted = DeleteLink(held, own);
        } else if (opened) {
            if (own & FILE_ATTRIBUTE_READONLY)
                held.ClearReadOnly(own);
            deleted = held.Delete();
        }
        emptied &= deleted;
        held.Close();
        // Every file is reported once its deletion was tried, deleted or not.
        if (callback && reported && !(entry.attributes & FILE_ATTRIBUTE_DIRECTORY))
            callback(reported, static_cast<int32_t>(entry.sizeLow));
    }
    return emptied;
}

// The path's own attributes, as its folder lists them: a trailing backslash
// would have Wine read what a link there leads to.
uint32_t ListedAttributes(const char* path) {
    char own[kWalkPathSize];
    if (!PathCopyTrimmed(own, path))
        return 0;
    DWORD attributes = GetFileAttributesA(own);
    return attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes;
}

} // namespace

int PatchRun::RemoveTree(const char* folder, ProgressCallback callback) {
    // Opened by path once, as itself: a link planted where the copy goes
    // loses only its own name, and is never entered.
    HeldEntry held;
    if (!held.OpenPath(folder))
        return 0;
    return RemoveHeldFolder(held, ListedAttributes(folder), folder, callback);
}

int PatchRun::RemoveTree(HeldEntry& held, const char* folder, ProgressCallback callback) {
    // Held since this run made it: a folder, and no link. Emptied through the
    // handle it was held by, which may not delete the folder itself.
    int emptied = EmptyFolder(held, folder, callback);
    if (!held.ReopenToDelete(folder))
        return 0;
    int deleted = emptied && held.DeleteEmptied();
    held.Close();
    return deleted;
}
