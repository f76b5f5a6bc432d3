// Held entries on the host: each holds a descriptor of what it opened and one
// of the folder it is in, and everything is opened, listed and deleted
// relative to a folder's descriptor (openat, unlinkat), as the Windows build
// does relative to a folder's handle. A delete through a handle removes the
// name it was opened by only while that name still leads to the same object.
#include "platform/HeldEntry.h"
#include "platform/HostFsState_host.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const uint32_t kDelete = 0x00010000u;
const uint32_t kAccess = 0x0001 | 0x0080 | kDelete; // list, read attributes, delete
const uint32_t kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
// A look lists and reads attributes only, beside any other holder.
const uint32_t kLook = 0x0001 | 0x0080;
const uint32_t kLookShare = kShare | FILE_SHARE_DELETE;

hostfs::OpenHandle* Find(void* handle) {
    auto it = hostfs::state().handles.find(handle);
    return it == hostfs::state().handles.end() ? nullptr : &it->second;
}

std::string FdPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// An entry's attributes as Windows lists them, from its own status; a link is
// a reparse point, and a directory too when it leads to one, as Wine shows it.
uint32_t AttributesOf(int folderFd, const char* name, const struct stat& st) {
    struct stat target;
    if (S_ISLNK(st.st_mode))
        return FILE_ATTRIBUTE_REPARSE_POINT |
               (fstatat(folderFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode)
                    ? FILE_ATTRIBUTE_DIRECTORY
                    : 0);
    uint32_t attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR))
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

// Opens `name` in the folder `folderFd` as itself, or, where opens follow
// links, what a link there leads to. The handle, or null.
void* Open(int folderFd, const std::string& name, const std::string& windowsPath,
           uint32_t access = kAccess, uint32_t share = kShare) {
    struct stat st;
    if (folderFd < 0 || fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return nullptr;
    hostfs::OpenHandle opened;
    opened.path = hostfs::Normalise(windowsPath);
    opened.access = access;
    opened.share = share;
    opened.name = name;
    opened.attributes = AttributesOf(folderFd, name.c_str(), st);
    int flags = O_PATH | O_NOFOLLOW;
    if (S_ISLNK(st.st_mode) && hostfs::state().opensFollowLinks) {
        char followed[PATH_MAX];
        if (!realpath((FdPath(folderFd) + "/" + name).c_str(), followed) ||
            stat(followed, &st) != 0)
            return nullptr;
        opened.followed = followed;
        opened.attributes = AttributesOf(folderFd, followed, st);
        flags = O_PATH;
    }
    if (!hostfs::SharingAllows(opened))
        return nullptr;
    opened.fd = openat(folderFd, name.c_str(), flags);
    opened.parentFd = fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (opened.fd < 0 || opened.parentFd < 0) {
        close(opened.fd);
        close(opened.parentFd);
        return nullptr;
    }
    opened.device = st.st_dev;
    opened.inode = st.st_ino;
    auto* handle = new char;
    hostfs::state().handles[handle] = opened;
    return handle;
}

// The folder a host path is in, opened to open its last part relative to it.
int OpenParent(const char* windowsPath, std::string* name) {
    std::string host = hostfs::HostPath(windowsPath);
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    size_t slash = host.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == host.size())
        return -1;
    *name = host.substr(slash + 1);
    return open(slash == 0 ? "/" : host.substr(0, slash).c_str(), O_PATH | O_DIRECTORY);
}

bool IsEmptyFolder(int fd) {
    int listFd = openat(fd, ".", O_RDONLY | O_DIRECTORY);
    DIR* dir = listFd < 0 ? nullptr : fdopendir(listFd);
    if (!dir) {
        close(listFd);
        return false;
    }
    bool empty = true;
    while (dirent* e = readdir(dir))
        empty &= !std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..");
    closedir(dir);
    return empty;
}

// What a handle's pending delete removes when it closes.
void DeleteOnClose(const hostfs::OpenHandle& h) {
    struct stat st;
    if (!h.followed.empty()) {
        // As Wine does: by the path the link led to when opened.
        if (stat(h.followed.c_str(), &st) == 0)
            S_ISDIR(st.st_mode) ? rmdir(h.followed.c_str()) : unlink(h.followed.c_str());
        return;
    }
    if (fstatat(h.parentFd, h.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        st.st_dev != h.device || st.st_ino != h.inode)
        return;
    bool folder = S_ISDIR(st.st_mode);
    if (unlinkat(h.parentFd, h.name.c_str(), folder ? AT_REMOVEDIR : 0) == 0 && S_ISREG(st.st_mode))
        hostfs::ConvertIfDue(h.path);
}

} // namespace

HeldEntry::HeldEntry() : m_handle(INVALID_HANDLE_VALUE), m_listing(0) {}

HeldEntry::~HeldEntry() {
    Close();
}

int HeldEntry::IsOpen() const {
    return m_handle != INVALID_HANDLE_VALUE;
}

void HeldEntry::Close() {
    if (hostfs::OpenHandle* h = Find(m_handle)) {
        if (h->deleting)
            DeleteOnClose(*h);
        close(h->fd);
        close(h->parentFd);
        hostfs::state().handles.erase(m_handle);
        delete static_cast<char*>(m_handle);
    }
    m_handle = INVALID_HANDLE_VALUE;
    m_listing = 0;
}

int HeldEntry::OpenPath(const char* path) {
    Close();
    std::string name;
    int parent = OpenParent(path, &name);
    void* handle = Open(parent, name, path);
    close(parent);
    if (handle)
        m_handle = handle;
    return IsOpen();
}

int HeldEntry::CreateFolder(const char* path, SECURITY_ATTRIBUTES* security) {
    Close();
    std::string name;
    int parent = OpenParent(path, &name);
    // Any descriptor stands for the private one: only the owner gets in.
    bool restricted = security && security->lpSecurityDescriptor;
    if (parent >= 0 && mkdirat(parent, name.c_str(), restricted ? 0700 : 0777) == 0) {
        if (void* handle = Open(parent, name, path, kAccess & ~kDelete))
            m_handle = handle;
    }
    close(parent);
    return IsOpen();
}

int HeldEntry::ReopenToDelete(const char* path) {
    hostfs::OpenHandle* h = Find(m_handle);
    if (!h)
        return 0;
    uint64_t device = h->device, inode = h->inode;
    Close();
    if (!OpenPath(path) || !(h = Find(m_handle)) || h->device != device || h->inode != inode) {
        Close();
        return 0;
    }
    return 1;
}

int HeldEntry::OpenListed(HeldEntry& folder, const ListedEntry&) {
    Close();
    hostfs::OpenHandle* f = Find(folder.m_handle);
    if (!f || f->next == 0 || f->next > f->listing.size())
        return 0;
    const std::string& name = f->listing[f->next - 1];
    void* handle = Open(f->fd, name, f->path + "\\" + name);
    if (handle)
        m_handle = handle;
    return IsOpen();
}

int HeldEntry::Attributes(uint32_t* attributes) {
    hostfs::OpenHandle* h = Find(m_handle);
    struct stat st;
    if (!h)
        return 0;
    if (h->attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        *attributes = h->attributes;
        return 1;
    }
    if (fstat(h->fd, &st) != 0)
        return 0;
    *attributes = AttributesOf(h->parentFd, h->name.c_str(), st);
    return 1;
}

int HeldEntry::ClearReadOnly(uint32_t) {
    hostfs::OpenHandle* h = Find(m_handle);
    struct stat st;
    return h && fstat(h->fd, &st) == 0 && !S_ISLNK(st.st_mode) &&
           chmod(FdPath(h->fd).c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

int HeldEntry::Delete() {
    hostfs::OpenHandle* h = Find(m_handle);
    struct stat st;
    if (!h || !(h->access & kDelete) || hostfs::Fails(hostfs::Fault::Delete, h->path.c_str()) ||
        fstat(h->fd, &st) != 0)
        return 0;
    // As Windows: a folder goes only when empty, a read-only file not at all.
    if ((S_ISDIR(st.st_mode) && !IsEmptyFolder(h->fd)) ||
        (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)))
        return 0;
    h->deleting = true;
    return 1;
}

int HeldEntry::NextEntry(ListedEntry* entry) {
    hostfs::OpenHandle* h = Find(m_handle);
    if (!h || hostfs::Fails(hostfs::Fault::List, h->path.c_str()))
        return 0;
    if (!m_listing) {
        m_listing = 1;
        hostfs::SwapIfDue(h->path);
        int listFd = openat(h->fd, ".", O_RDONLY | O_DIRECTORY);
        DIR* dir = listFd < 0 ? nullptr : fdopendir(listFd);
        if (!dir) {
            close(listFd);
            return 0;
        }
        h->listing.clear();
        while (dirent* e = readdir(dir))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
                h->listing.push_back(e->d_name);
        closedir(dir);
        std::sort(h->listing.begin(), h->listing.end());
        // A drive's root directory has no "." and ".." entries on Windows.
        if (h->path.size() != 3)
            h->listing.insert(h->listing.begin(), {".", ".."});
        h->next = 0;
    }
    // An entry gone since the folder was read is left out, as Windows would.
    struct stat st;
    while (h->next < h->listing.size()) {
        const std::string& name = h->listing[h->next++];
        if (fstatat(h->fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        entry->name[0] = '\0';
        if (name.size() < sizeof entry->name)
            std::memcpy(entry->name, name.c_str(), name.size() + 1);
        entry->attributes = AttributesOf(h->fd, name.c_str(), st);
        entry->sizeLow = S_ISREG(st.st_mode) ? static_cast<uint32_t>(st.st_size) : 0;
        return 1;
    }
    return 0;
}

int HeldEntry::ReopenToLook(const HeldEntry& held, const char* path) {
    Close();
    hostfs::OpenHandle* h = Find(held.m_handle);
    std::string name;
    if (!h)
        return 0;
    uint64_t device = h->device, inode = h->inode;
    int parent = OpenParent(path, &name);
    void* handle = Open(parent, name, path, kLook, kLookShare);
    close(parent);
    if (handle)
        m_handle = handle;
    if (IsOpen() && (Find(m_handle)->device != device || Find(m_handle)->inode != inode))
        Close();
    return IsOpen();
}

int HeldEntry::OpenListedToLook(HeldEntry& folder, const ListedEntry&) {
    Close();
    hostfs::OpenHandle* f = Find(folder.m_handle);
    if (!f || f->next == 0 || f->next > f->listing.size())
        return 0;
    const std::string& name = f->listing[f->next - 1];
    void* handle = Open(f->fd, name, f->path + "\\" + name, kLook, kLookShare);
    if (handle)
        m_handle = handle;
    return IsOpen();
}
