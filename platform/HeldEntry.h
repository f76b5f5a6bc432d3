// Folders, files and links held open by handle. A held folder is listed, and
// its entries are opened, changed and deleted, relative to its handle, never
// again by a path from the drive root: whatever happens to that path meanwhile
// (the folder renamed, or emptied and turned into a link to somewhere else),
// the handle still leads to the folder it opened. A link is opened as itself,
// never followed, where the system allows it; where it does not (Wine opens
// what a Unix symbolic link leads to), the listed attributes still tell it.
#pragma once

#include "platform/Win32Api.h"

#include <cstdint>

// One entry of a held folder's listing; "." and ".." are passed over.
struct ListedEntry {
    char name[MAX_PATH]; // in the system code page; "" when it can't be spelt there
    int startsWithDot;   // nonzero when the name, as listed, starts with a full stop
    uint32_t attributes; // FILE_ATTRIBUTE_* as the folder lists them
    uint32_t sizeLow;    // the low 32 bits of its size
};

class HeldEntry {
  public:
    HeldEntry();
    ~HeldEntry();
    HeldEntry(const HeldEntry&) = delete;
    HeldEntry& operator=(const HeldEntry&) = delete;

    // Opens a path from a drive root (a trailing backslash allowed) as
    // itself, to list and delete it. Held without delete sharing: no one can
    // rename or delete it while it is held.
    int OpenPath(const char* path);
    // Creates a folder that was not there, with the security given, and holds
    // it from that moment without delete sharing, but also without the right
    // to delete it: a process that takes the folder as its current one opens
    // it sharing no deleting, which a handle with that right would refuse.
    // 0 when anything has that name.
    int CreateFolder(const char* path, SECURITY_ATTRIBUTES* security);
    // Trades the created folder's handle for one that may delete it, opened
    // again by its path as OpenPath does; 0, and nothing held, when the path
    // now leads to anything but the folder that was held.
    int ReopenToDelete(const char* path);
    // Opens, relative to `folder`'s handle, the entry it listed last, by the
    // name the listing gave, whether or not the code page can spell it.
    int OpenListed(HeldEntry& folder, const ListedEntry& entry);
    // Two opens that only look: they may not delete, and share everything, so
    // that they stand beside any other holder, this program's removal among
    // them, and list with a listing of their own. The first opens `path`, as
    // OpenPath does, and keeps it only when it is the very folder `held`
    // holds; the second is OpenListed's, with the right to clear a listed
    // read-only attribute.
    int ReopenToLook(const HeldEntry& held, const char* path);
    int OpenListedToLook(HeldEntry& folder, const ListedEntry& entry);

    int IsOpen() const;
    // The attributes the system gives for what the handle holds.
    int Attributes(uint32_t* attributes);
    // Clears FILE_ATTRIBUTE_READONLY, given the attributes it has now; 1 at
    // once when they have none.
    int ClearReadOnly(uint32_t attributes);
    // Marks what the handle holds to be deleted when the handle closes; a
    // folder only when it is empty. Through the handle, so it deletes the
    // very object opened, wherever its name now leads.
    int Delete();
    // As Delete, for a folder whose every entry was marked to be deleted:
    // entries that other programs still hold open (a scanner, an indexer)
    // keep their names until those close, so the folder is tried again over a
    // bounded wait, a second or two in all.
    int DeleteEmptied();
    // 1 and the held folder's next entry; 0 at its end or when it can't be listed.
    int NextEntry(ListedEntry* entry);
    void Close();

  private:
    // Opens, relative to `folder`'s handle, the entry it listed last, to look
    // at it and, with `deleting`, to delete it, sharing what `share` says.
    int OpenRelative(HeldEntry& folder, const ListedEntry& entry, uint32_t deleting,
                     uint32_t share);

    void* m_handle;
    int m_listing; // nonzero once NextEntry has started
    // The entry listed last, as the system gave it.
    alignas(8) unsigned char m_entry[1024];
};
