// The model of an NTFS volume: paths, handles and their sharing, deletes
// through a handle, attributes, listings and the moves of other processes.
#include "platform/HostVolume_host.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace hostfs {

namespace {

ObjectId IdOf(const struct stat& st) {
    return {st.st_dev, st.st_ino};
}

std::string FdPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// Which of reading, writing and deleting an access right takes part in.
unsigned SharingUse(DWORD access) {
    unsigned use = 0;
    if (access & (0x80000000u | 0x10000000u | 0x0001 | 0x0020)) // generic read/all, data, execute
        use |= FILE_SHARE_READ;
    if (access & (0x40000000u | 0x10000000u | 0x0002 | 0x0004)) // generic write/all, data, append
        use |= FILE_SHARE_WRITE;
    if (access & (DELETE | 0x10000000u)) // DELETE, generic all
        use |= FILE_SHARE_DELETE;
    return use;
}

// Each side of two opens of one object must share what the other uses.
bool SharingAllows(const OpenHandle& opened) {
    for (const auto& h : state().handles)
        if (h.second.id == opened.id && ((SharingUse(opened.access) & ~h.second.share) ||
                                         (SharingUse(h.second.access) & ~opened.share)))
            return false;
    return true;
}

DIR* OpenListing(int folderFd) {
    int listFd = openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listFd < 0 ? nullptr : fdopendir(listFd);
    if (!dir && listFd >= 0)
        close(listFd);
    return dir;
}

bool IsEmptyFolder(int fd) {
    std::vector<std::string> names;
    return List(fd, true, &names) && names.empty();
}

// Removes the name of what the handle holds, if it still leads there.
void Unlink(const OpenHandle& h) {
    struct stat st;
    if (fstatat(h.parentFd, h.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || IdOf(st) != h.id)
        return;
    bool folder = S_ISDIR(st.st_mode);
    if (unlinkat(h.parentFd, h.name.c_str(), folder ? AT_REMOVEDIR : 0) != 0)
        return;
    state().readOnlyFolders.erase(h.id);
    if (S_ISREG(st.st_mode))
        ConvertIfDue(h.path);
}

// Another process's move: the folder renamed aside and a link to the target
// put in its place.
bool PutLinkInPlace(const LinkMove& move) {
    std::string host = HostPath(move.folder.c_str());
    return std::rename(host.c_str(), (host + ".aside").c_str()) == 0 &&
           symlink(HostPath(move.target.c_str()).c_str(), host.c_str()) == 0;
}

} // namespace

State& state() {
    static State s;
    return s;
}

std::string Normalise(const std::string& windowsPath) {
    std::string key = windowsPath;
    while (key.size() > 3 && key.back() == '\\')
        key.pop_back();
    if (key.size() >= 2 && key[1] == ':')
        key[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
    return key;
}

const Drive* DriveOf(const char* windowsPath) {
    if (!windowsPath || !windowsPath[0] || windowsPath[1] != ':')
        return nullptr;
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(windowsPath[0])));
    auto it = state().drives.find(letter);
    return it == state().drives.end() ? nullptr : &it->second;
}

std::string HostPath(const char* windowsPath) {
    std::string path = windowsPath ? windowsPath : "";
    std::string rest = path;
    std::string prefix;
    if (path.size() >= 2 && path[1] == ':') {
        const Drive* d = DriveOf(path.c_str());
        // An unmapped drive resolves nowhere, so every operation on it fails.
        prefix = d ? d->folder : std::string("/nonexistent-drive-") + path[0];
        rest = path.substr(2);
        if (rest.empty() || rest[0] != '\\')
            rest.insert(rest.begin(), '\\');
    }
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return prefix + rest;
}

bool Fails(Fault fault, const char* windowsPath) {
    for (const auto& f : state().faults)
        if (f.first == fault && f.second == Normalise(windowsPath ? windowsPath : ""))
            return true;
    return false;
}

uint32_t AttributesOf(int folderFd, const char* name, const struct stat& st) {
    struct stat target;
    if (S_ISLNK(st.st_mode))
        return FILE_ATTRIBUTE_REPARSE_POINT |
               (fstatat(folderFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode)
                    ? FILE_ATTRIBUTE_DIRECTORY
                    : 0);
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY |
               (state().readOnlyFolders.count(IdOf(st)) ? FILE_ATTRIBUTE_READONLY : 0);
    return FILE_ATTRIBUTE_ARCHIVE | (st.st_mode & S_IWUSR ? 0 : FILE_ATTRIBUTE_READONLY);
}

bool List(int folderFd, bool driveRoot, std::vector<std::string>* names) {
    DIR* dir = OpenListing(folderFd);
    if (!dir)
        return false;
    names->clear();
    while (dirent* e = readdir(dir))
        if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
            names->push_back(e->d_name);
    closedir(dir);
    std::sort(names->begin(), names->end());
    // A drive's root directory has no "." and ".." entries on Windows.
    if (!driveRoot)
        names->insert(names->begin(), {".", ".."});
    return true;
}

int OpenParent(const std::string& windowsPath, std::string* name) {
    std::string host = HostPath(windowsPath.c_str());
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    size_t slash = host.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == host.size())
        return -1;
    *name = host.substr(slash + 1);
    return open(slash == 0 ? "/" : host.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

HANDLE Open(int folderFd, std::string name, const std::string& windowsPath, DWORD access,
            DWORD share, bool follow, NTSTATUS* status) {
    struct stat st;
    *status = STATUS_OBJECT_NAME_NOT_FOUND;
    if (folderFd < 0 || fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return nullptr;
    int parent = fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (S_ISLNK(st.st_mode) && (follow || state().opensFollowLinks)) {
        char followed[PATH_MAX];
        close(parent);
        if (!realpath((FdPath(folderFd) + "/" + name).c_str(), followed))
            return nullptr;
        std::string target = followed;
        size_t slash = target.find_last_of('/');
        parent = open(slash == 0 ? "/" : target.substr(0, slash).c_str(),
                      O_PATH | O_DIRECTORY | O_CLOEXEC);
        name = target.substr(slash + 1);
        if (fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            close(parent);
            return nullptr;
        }
    }
    OpenHandle opened;
    opened.path = Normalise(windowsPath);
    opened.access = access;
    opened.share = share;
    opened.name = name;
    opened.id = IdOf(st);
    if (state().deletePending.count(opened.id))
        *status = STATUS_DELETE_PENDING;
    else if (!SharingAllows(opened))
        *status = STATUS_SHARING_VIOLATION;
    else
        opened.fd = openat(parent, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (opened.fd < 0) {
        close(parent);
        return nullptr;
    }
    opened.parentFd = parent;
    HANDLE handle = new char;
    state().handles[handle] = opened;
    *status = STATUS_SUCCESS;
    return handle;
}

HANDLE OpenPath(const std::string& windowsPath, DWORD access, DWORD share, bool follow,
                NTSTATUS* status) {
    std::string name;
    int parent = OpenParent(windowsPath, &name);
    HANDLE handle = Open(parent, name, windowsPath, access, share, follow, status);
    if (parent >= 0)
        close(parent);
    return handle;
}

OpenHandle* Find(HANDLE handle) {
    auto it = state().handles.find(handle);
    return it == state().handles.end() ? nullptr : &it->second;
}

bool Close(HANDLE handle) {
    auto it = state().handles.find(handle);
    if (it == state().handles.end())
        return false;
    OpenHandle closing = it->second;
    state().handles.erase(it);
    delete static_cast<char*>(handle);
    bool others = false;
    for (auto& h : state().handles)
        others |= h.second.id == closing.id;
    if (closing.deleting && others && !closing.posix) {
        // Delete pending: the name stays until the last handle on it closes.
        state().deletePending.insert(closing.id);
        for (auto& h : state().handles)
            if (h.second.id == closing.id)
                h.second.deleting = true;
    } else if (closing.deleting) {
        Unlink(closing);
        state().deletePending.erase(closing.id);
    }
    close(closing.fd);
    close(closing.parentFd);
    ReplaceIfDue(closing.path);
    return true;
}

NTSTATUS MakeFolder(int parentFd, const std::string& name, bool privateToOwner, bool mustBeNew) {
    if (parentFd < 0)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    if (mkdirat(parentFd, name.c_str(), privateToOwner ? 0700 : 0777) == 0)
        return STATUS_SUCCESS;
    if (errno != EEXIST)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    return mustBeNew ? STATUS_OBJECT_NAME_COLLISION : STATUS_SUCCESS;
}

NTSTATUS MarkDeleting(OpenHandle* h, bool ignoreReadOnly, bool posix) {
    struct stat st;
    if (!(h->access & DELETE))
        return STATUS_ACCESS_DENIED;
    if (fstatat(h->parentFd, h->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    if (S_ISDIR(st.st_mode) && !IsEmptyFolder(h->fd))
        return STATUS_DIRECTORY_NOT_EMPTY;
    if (!ignoreReadOnly &&
        (AttributesOf(h->parentFd, h->name.c_str(), st) & FILE_ATTRIBUTE_READONLY))
        return STATUS_CANNOT_DELETE;
    h->deleting = true;
    h->posix = posix;
    return STATUS_SUCCESS;
}

void SwapIfDue(const std::string& listedFolder) {
    State& s = state();
    if (s.swap.folder.empty() || s.swapOutcome != Swap::Pending ||
        Normalise(listedFolder) != s.swap.folder)
        return;
    // As on Windows, the rename is refused while a search lists the folder or
    // a handle without delete sharing holds it open.
    bool held = s.listed.count(s.swap.folder) > 0;
    for (const auto& h : s.handles)
        held |= h.second.path == s.swap.folder && !(h.second.share & FILE_SHARE_DELETE);
    s.swapOutcome = !held && PutLinkInPlace(s.swap) ? Swap::Done : Swap::Refused;
}

void ConvertIfDue(const std::string& deletedFile) {
    LinkMove& m = state().convert;
    if (m.folder.empty() || m.done ||
        Normalise(deletedFile).compare(0, m.folder.size() + 1, m.folder + "\\") != 0)
        return;
    m.done = PutLinkInPlace(m);
    m.folder.clear();
}

void ReplaceIfDue(const std::string& closedFolder) {
    LinkMove& m = state().replace;
    if (m.folder.empty() || m.done || closedFolder != m.folder)
        return;
    for (const auto& h : state().handles)
        if (h.second.path == m.folder)
            return;
    m.done = PutLinkInPlace(m);
}

void AdvanceClock(DWORD milliseconds) {
    State& s = state();
    s.clock += milliseconds;
    std::vector<Elsewhere> due;
    for (auto it = s.elsewhere.begin(); it != s.elsewhere.end();)
        if (it->closeAt >= 0 && it->closeAt <= s.clock) {
            due.push_back(*it);
            it = s.elsewhere.erase(it);
        } else {
            ++it;
        }
    for (const auto& e : due)
        Close(e.handle);
}

} // namespace hostfs
