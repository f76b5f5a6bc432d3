// Deleting the temporary copy: every file, then the emptied folders bottom-up.
// Each folder is held by handle while it is emptied, and everything in it is
// opened, listed and deleted relative to that handle, never by a path from the
// drive root: a folder that someone turns into a link meanwhile leads the
// removal nowhere else.
#include "patch/HeldFolderWalk.h"
#include "patch/PatchRun.h"
#include "platform/PathBuffer.h"
#include "platform/HeldEntry.h"
#include "platform/Win32Api.h"

namespace {

int DeleteLink(HeldEntry& link, uint32_t own) {
    return (own & FILE_ATTRIBUTE_REPARSE_POINT) && link.Delete();
}

int RemoveHeldFolder(HeldEntry& folder, uint32_t listed, const char* path,
                     ProgressCallback callback);

// Marks every entry of a held folder to be deleted, removing its folders;
// nonzero when every one of them was. A link is deleted as itself: the handle
// may be on what it leads to (Wine), and a delete through it would delete
// that, so such a link is left where it is.
class Emptying final : public HeldFolderWalk {
  public:
    explicit Emptying(ProgressCallback callback) : m_callback(callback) {}

  protected:
    // As in the copy, names that start with a full stop are left alone, and
    // so is their folder. A name the code page can't spell is deleted
    // unreported.
    int PassesOverDotNames() const override { return 1; }
    int NeedsPath() const override { return 0; }
    int Open(HeldEntry& entry, HeldEntry& folder, const ListedEntry& listed) override {
        return entry.OpenListed(folder, listed);
    }
    int Unopened(const ListedEntry& listed, const char* path) override {
        return Reported(0, listed, path);
    }
    int Link(HeldEntry& link, uint32_t own, const ListedEntry& listed, const char* path) override {
        int deleted = DeleteLink(link, own);
        link.Close();
        return Reported(deleted, listed, path);
    }
    int Folder(HeldEntry& folder, const ListedEntry& listed, const char* path) override {
        return RemoveHeldFolder(folder, listed.attributes, path, m_callback);
    }
    int File(HeldEntry& file, int, const ListedEntry& listed, const char* path) override {
        int deleted = file.Delete();
        file.Close();
        return Reported(deleted, listed, path);
    }

  private:
    // Every file is reported once its deletion was tried, deleted or not.
    int Reported(int deleted, const ListedEntry& listed, const char* path) {
        if (m_callback && path && !(listed.attributes & FILE_ATTRIBUTE_DIRECTORY))
            m_callback(path, static_cast<int32_t>(listed.sizeLow));
        return deleted;
    }

    ProgressCallback m_callback;
};

int EmptyFolder(HeldEntry& folder, const char* path, ProgressCallback callback) {
    Emptying emptying(callback);
    return emptying.Walk(folder, path);
}

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
