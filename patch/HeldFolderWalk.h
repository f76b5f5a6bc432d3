// The walk of a held folder that the removal and the session-end scheduling
// share: every entry is opened relative to the folder's handle, told a link, a
// folder or a file, a read-only file cleared, and handed to the action's step.
#pragma once

#include "platform/HeldEntry.h"

#include <cstdint>

class HeldFolderWalk {
  public:
    // Walks the entries of the held folder; 1 when every entry's step did.
    // `path` names the folder in the code page, null where it can't be spelt;
    // an entry's path is passed to the steps the same way.
    int Walk(HeldEntry& folder, const char* path);

  protected:
    // Whether a name that starts with a full stop is passed over (and its
    // folder then counts as not done), and whether an entry without a path
    // is: one the code page can't spell, under a folder it can't.
    virtual int PassesOverDotNames() const = 0;
    virtual int NeedsPath() const = 0;
    // Opens the entry that `folder` listed last.
    virtual int Open(HeldEntry& entry, HeldEntry& folder, const ListedEntry& listed) = 0;
    // One step per entry, with the handle still open: an entry that could not
    // be opened or looked at, a link (never entered), a folder, a file (its
    // read-only attribute cleared first, `cleared` 0 when that failed).
    virtual int Unopened(const ListedEntry& listed, const char* path) = 0;
    virtual int Link(HeldEntry& link, uint32_t own, const ListedEntry& listed,
                     const char* path) = 0;
    virtual int Folder(HeldEntry& folder, const ListedEntry& listed, const char* path) = 0;
    virtual int File(HeldEntry& file, int cleared, const ListedEntry& listed, const char* path) = 0;

    ~HeldFolderWalk() = default;
};

// A link (symbolic link, junction, mount point) is never entered. Its listed
// attributes count as much as the handle's: Wine opens what a link leads to
// even when asked for the link, and only its listing still shows a link.
inline int IsLink(uint32_t own, uint32_t listed) {
    return ((own | listed) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
