// The host build's model of the native calls that held entries make, over the
// host's files, behaving as NTFS does: a link is opened as itself only when
// asked, a delete through a handle deletes what that handle holds, and only
// once the last handle on it closes unless made with POSIX semantics. The
// system code page is UTF-8, as Windows 10 and 11 may have it.
#include "platform/HostFs.h"
#include "platform/HostFsState_host.h"
#include "platform/NativeFiles.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using hostfs::OpenHandle;

namespace {

thread_local DWORD lastError;

std::pair<uint64_t, uint64_t> Id(const OpenHandle& h) {
    return {h.device, h.inode};
}

OpenHandle* Find(HANDLE handle) {
    auto it = hostfs::state().handles.find(handle);
    return it == hostfs::state().handles.end() ? nullptr : &it->second;
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
    for (const auto& h : hostfs::state().handles)
        if (Id(h.second) == Id(opened) && ((SharingUse(opened.access) & ~h.second.share) ||
                                           (SharingUse(h.second.access) & ~opened.share)))
            return false;
    return true;
}

// An object's attributes as Windows gives them; a link is a reparse point,
// and a directory too when it leads to one.
uint32_t AttributesOf(int folderFd, const char* name, const struct stat& st) {
    struct stat target;
    if (S_ISLNK(st.st_mode))
        return FILE_ATTRIBUTE_REPARSE_POINT |
               (fstatat(folderFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode)
                    ? FILE_ATTRIBUTE_DIRECTORY
                    : 0);
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY |
               (hostfs::state().readOnlyFolders.count({st.st_dev, st.st_ino})
                    ? FILE_ATTRIBUTE_READONLY
                    : 0);
    return FILE_ATTRIBUTE_ARCHIVE | (st.st_mode & S_IWUSR ? 0 : FILE_ATTRIBUTE_READONLY);
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

// Opens `name` in the folder `folderFd`: the entry itself, or, following,
// what a link there leads to. The handle, or null and the status.
HANDLE OpenAt(int folderFd, std::string name, const std::string& windowsPath, DWORD access,
              DWORD share, bool follow, NTSTATUS* status) {
    struct stat st;
    *status = STATUS_OBJECT_NAME_NOT_FOUND;
    if (folderFd < 0 || fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return nullptr;
    int parent = fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (S_ISLNK(st.st_mode) && (follow || hostfs::state().opensFollowLinks)) {
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
    opened.path = hostfs::Normalise(windowsPath);
    opened.access = access;
    opened.share = share;
    opened.name = name;
    opened.device = st.st_dev;
    opened.inode = st.st_ino;
    if (hostfs::state().deletePending.count(Id(opened)))
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
    hostfs::state().handles[handle] = opened;
    *status = STATUS_SUCCESS;
    return handle;
}

// The folder a Windows path is in, opened to open its last part relative to it.
int OpenParent(const std::string& windowsPath, std::string* name) {
    std::string host = hostfs::HostPath(windowsPath.c_str());
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    size_t slash = host.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == host.size())
        return -1;
    *name = host.substr(slash + 1);
    return open(slash == 0 ? "/" : host.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

// Removes the name of what the handle holds, if it still leads there.
void Unlink(const OpenHandle& h) {
    struct stat st;
    if (fstatat(h.parentFd, h.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        st.st_dev != h.device || st.st_ino != h.inode)
        return;
    bool folder = S_ISDIR(st.st_mode);
    if (unlinkat(h.parentFd, h.name.c_str(), folder ? AT_REMOVEDIR : 0) != 0)
        return;
    hostfs::state().readOnlyFolders.erase(Id(h));
    if (S_ISREG(st.st_mode))
        hostfs::ConvertIfDue(h.path);
}

void ReplaceIfDue(const std::string& closed) {
    hostfs::State& s = hostfs::state();
    if (s.replaceFolder.empty() || s.replaced || closed != s.replaceFolder)
        return;
    for (const auto& h : s.handles)
        if (h.second.path == s.replaceFolder)
            return;
    std::string host = hostfs::HostPath(s.replaceFolder.c_str());
    s.replaced = std::rename(host.c_str(), (host + ".aside").c_str()) == 0 &&
                 symlink(hostfs::HostPath(s.replaceTarget.c_str()).c_str(), host.c_str()) == 0;
}

std::u16string Utf16(const std::string& utf8, bool* valid) {
    std::u16string out;
    *valid = true;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        char32_t code = extra == 0 ? c : extra == 1 ? c & 0x1f : extra == 2 ? c & 0x0f : c & 0x07;
        if (extra < 0 || i + extra >= utf8.size() + (extra ? 0 : 1)) {
            *valid = false;
            code = 0xfffd;
            extra = 0;
        }
        for (int k = 1; k <= extra; ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3f);
        i += 1 + extra;
        if (code >= 0x10000) {
            out += static_cast<char16_t>(0xd800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xdc00 + ((code - 0x10000) & 0x3ff));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::string Utf8(const char16_t* text, size_t count, bool* valid) {
    std::string out;
    *valid = true;
    for (size_t i = 0; i < count; ++i) {
        char32_t code = text[i];
        if (code >= 0xd800 && code < 0xdc00 && i + 1 < count && text[i + 1] >= 0xdc00 &&
            text[i + 1] < 0xe000) {
            code = 0x10000 + ((code - 0xd800) << 10) + (text[i + 1] - 0xdc00);
            ++i;
        } else if (code >= 0xd800 && code < 0xe000) {
            *valid = false;
            code = 0xfffd;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xc0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xe0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        }
    }
    return out;
}

std::string NameOf(const UNICODE_STRING* name) {
    bool valid;
    return name ? Utf8(name->Buffer, name->Length / sizeof(WCHAR), &valid) : std::string();
}

NTSTATUS NTAPI ModelCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                               PIO_STATUS_BLOCK io, PLARGE_INTEGER, ULONG, ULONG share,
                               ULONG disposition, ULONG options, PVOID, ULONG) {
    std::string path = NameOf(attributes->ObjectName);
    if (attributes->RootDirectory || path.compare(0, 4, "\\??\\") != 0)
        return io->Status = STATUS_OBJECT_NAME_NOT_FOUND;
    path.erase(0, 4);
    if (!(options & FILE_DIRECTORY_FILE) ||
        (disposition != FILE_CREATE && disposition != FILE_OPEN_IF))
        return io->Status = STATUS_INVALID_PARAMETER; // only folders are made here
    std::string name;
    int parent = OpenParent(path, &name);
    // Any descriptor stands for the private one: only the owner gets in.
    mode_t mode = attributes->SecurityDescriptor ? 0700 : 0777;
    NTSTATUS status = STATUS_OBJECT_NAME_NOT_FOUND;
    if (parent >= 0 && mkdirat(parent, name.c_str(), mode) != 0)
        status = errno == EEXIST && disposition == FILE_CREATE ? STATUS_OBJECT_NAME_COLLISION
                 : errno == EEXIST                             ? STATUS_SUCCESS
                                                               : STATUS_OBJECT_NAME_NOT_FOUND;
    else if (parent >= 0)
        status = STATUS_SUCCESS;
    if (NT_SUCCESS(status)) {
        *handle = OpenAt(parent, name, path, access, share, !(options & FILE_OPEN_REPARSE_POINT),
                         &status);
        struct stat st;
        if (NT_SUCCESS(status) && (fstat(Find(*handle)->fd, &st) != 0 || !S_ISDIR(st.st_mode))) {
            CloseHandle(*handle);
            status = STATUS_NOT_A_DIRECTORY;
        }
    }
    if (parent >= 0)
        close(parent);
    return io->Status = status;
}

NTSTATUS NTAPI ModelOpenFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                             PIO_STATUS_BLOCK io, ULONG share, ULONG options) {
    OpenHandle* folder = Find(attributes->RootDirectory);
    if (!folder)
        return io->Status = STATUS_INVALID_PARAMETER;
    std::string name = NameOf(attributes->ObjectName);
    NTSTATUS status;
    *handle = OpenAt(folder->fd, name, folder->path + "\\" + name, access, share,
                     !(options & FILE_OPEN_REPARSE_POINT), &status);
    return io->Status = status;
}

NTSTATUS NTAPI ModelQueryDirectory(HANDLE handle, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK io,
                                   PVOID information, ULONG length, FILE_INFORMATION_CLASS kind,
                                   BOOLEAN, PUNICODE_STRING, BOOLEAN restart) {
    OpenHandle* h = Find(handle);
    if (!h || kind != FileDirectoryInformation || !(h->access & FILE_LIST_DIRECTORY) ||
        hostfs::Fails(hostfs::Fault::List, h->path.c_str()))
        return io->Status = STATUS_ACCESS_DENIED;
    if (restart) {
        hostfs::SwapIfDue(h->path);
        int listFd = openat(h->fd, ".", O_RDONLY | O_DIRECTORY);
        DIR* dir = listFd < 0 ? nullptr : fdopendir(listFd);
        if (!dir) {
            close(listFd);
            return io->Status = STATUS_ACCESS_DENIED;
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
        bool valid;
        std::u16string wide = Utf16(name, &valid);
        auto* info = static_cast<FILE_DIRECTORY_INFORMATION*>(information);
        size_t bytes = wide.size() * sizeof(WCHAR);
        if (offsetof(FILE_DIRECTORY_INFORMATION, FileName) + bytes > length)
            return io->Status = STATUS_BUFFER_TOO_SMALL;
        std::memset(info, 0, offsetof(FILE_DIRECTORY_INFORMATION, FileName));
        info->FileAttributes = AttributesOf(h->fd, name.c_str(), st);
        info->EndOfFile.QuadPart = S_ISREG(st.st_mode) ? st.st_size : 0;
        info->FileNameLength = static_cast<ULONG>(bytes);
        std::memcpy(info->FileName, wide.data(), bytes);
        return io->Status = STATUS_SUCCESS;
    }
    return io->Status = STATUS_NO_MORE_FILES;
}

NTSTATUS NTAPI ModelQueryInformation(HANDLE handle, PIO_STATUS_BLOCK io, PVOID information,
                                     ULONG length, FILE_INFORMATION_CLASS kind) {
    OpenHandle* h = Find(handle);
    struct stat st;
    if (!h || kind != FileBasicInformation || length < sizeof(FILE_BASIC_INFORMATION) ||
        fstatat(h->parentFd, h->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return io->Status = STATUS_INVALID_PARAMETER;
    auto* basic = static_cast<FILE_BASIC_INFORMATION*>(information);
    std::memset(basic, 0, sizeof *basic);
    basic->FileAttributes = AttributesOf(h->parentFd, h->name.c_str(), st);
    return io->Status = STATUS_SUCCESS;
}

NTSTATUS MarkDeleting(OpenHandle* h, bool ignoreReadOnly, bool posix) {
    struct stat st;
    if (!(h->access & DELETE))
        return STATUS_ACCESS_DENIED;
    if (hostfs::Fails(hostfs::Fault::Delete, h->path.c_str()))
        return STATUS_SHARING_VIOLATION;
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

NTSTATUS NTAPI ModelSetInformation(HANDLE handle, PIO_STATUS_BLOCK io, PVOID information,
                                   ULONG length, FILE_INFORMATION_CLASS kind) {
    OpenHandle* h = Find(handle);
    if (!h)
        return io->Status = STATUS_INVALID_PARAMETER;
    if (kind == FileBasicInformation && length >= sizeof(FILE_BASIC_INFORMATION)) {
        ULONG attributes = static_cast<FILE_BASIC_INFORMATION*>(information)->FileAttributes;
        struct stat st;
        if (!(h->access & FILE_WRITE_ATTRIBUTES))
            return io->Status = STATUS_ACCESS_DENIED;
        if (attributes == 0 || fstatat(h->parentFd, h->name.c_str(), &st, AT_SYMLINK_NOFOLLOW))
            return io->Status = STATUS_SUCCESS;
        bool readOnly = attributes & FILE_ATTRIBUTE_READONLY;
        if (S_ISDIR(st.st_mode) && readOnly)
            hostfs::state().readOnlyFolders.insert(Id(*h));
        else if (S_ISDIR(st.st_mode))
            hostfs::state().readOnlyFolders.erase(Id(*h));
        else if (S_ISREG(st.st_mode))
            chmod(FdPath(h->fd).c_str(), readOnly ? st.st_mode & 07555 : st.st_mode | S_IWUSR);
        return io->Status = STATUS_SUCCESS;
    }
    if (kind == FileDispositionInformation && length >= sizeof(FILE_DISPOSITION_INFORMATION)) {
        if (static_cast<FILE_DISPOSITION_INFORMATION*>(information)->DoDeleteFile)
            return io->Status = MarkDeleting(h, false, false);
        h->deleting = false;
        return io->Status = STATUS_SUCCESS;
    }
    if (kind == kFileDispositionInformationEx && length >= sizeof(FileDispositionEx) &&
        !hostfs::state().posixDeleteAbsent) {
        ULONG flags = static_cast<FileDispositionEx*>(information)->Flags;
        if (flags & kDispositionDelete)
            return io->Status = MarkDeleting(h, flags & kDispositionIgnoreReadOnly,
                                             flags & kDispositionPosixSemantics);
        h->deleting = false;
        return io->Status = STATUS_SUCCESS;
    }
    return io->Status = STATUS_INVALID_INFO_CLASS;
}

BOOL WINAPI ModelFileInformation(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION information) {
    OpenHandle* h = Find(handle);
    if (!h)
        return FALSE;
    std::memset(information, 0, sizeof *information);
    information->dwVolumeSerialNumber = static_cast<DWORD>(h->device);
    auto given = hostfs::state().fileIndexes.find(Id(*h));
    uint64_t index = given == hostfs::state().fileIndexes.end() ? h->inode : given->second;
    information->nFileIndexHigh = static_cast<DWORD>(index >> 32);
    information->nFileIndexLow = static_cast<DWORD>(index);
    return TRUE;
}

// FileIdInfo alone: the device and the inode, whatever 64-bit index was given.
BOOL WINAPI ModelFileInformationEx(HANDLE handle, int infoClass, LPVOID information, DWORD size) {
    OpenHandle* h = Find(handle);
    if (!h || infoClass != kFileIdInfo || size < sizeof(FileIdInfo128) ||
        hostfs::state().fileIdInfoAbsent) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* id = static_cast<FileIdInfo128*>(information);
    id->volumeSerial = h->device;
    std::memset(id->id, 0, sizeof id->id);
    std::memcpy(id->id, &h->inode, sizeof h->inode);
    return TRUE;
}

// A conversion's result as Windows gives it: its length alone for a size of
// 0, else copied out when it fits.
template <typename Text, typename Char> int GiveConverted(const Text& out, Char* buffer, int size) {
    if (size == 0)
        return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(size)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(out.begin(), out.end(), buffer);
    return static_cast<int>(out.size());
}

int WINAPI ModelMultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int count, LPWSTR wide,
                                    int size) {
    if ((codePage != CP_ACP && codePage != CP_UTF8) || (flags & ~DWORD(MB_ERR_INVALID_CHARS))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    bool valid;
    std::u16string out =
        Utf16(count < 0 ? std::string(text) + '\0' : std::string(text, count), &valid);
    if (!valid && (flags & MB_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return GiveConverted(out, wide, size);
}

// As Windows under a UTF-8 system code page: no flag but the strict one, and
// no default character, is taken.
int WINAPI ModelWideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int count, LPSTR text,
                                    int size, LPCSTR defaultChar, LPBOOL usedDefault) {
    if ((codePage != CP_ACP && codePage != CP_UTF8) || (flags & ~DWORD(WC_ERR_INVALID_CHARS))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    if (defaultChar || usedDefault) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t length = 0;
    if (count < 0)
        while (wide[length++])
            ;
    bool valid;
    std::string out = Utf8(wide, count < 0 ? length : static_cast<size_t>(count), &valid);
    if (!valid && (flags & WC_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return GiveConverted(out, text, size);
}

// The model's clock moves only here: handles held elsewhere close when due.
void WINAPI ModelSleep(DWORD milliseconds) {
    hostfs::State& s = hostfs::state();
    s.clock += milliseconds;
    std::vector<hostfs::Elsewhere> due;
    for (auto it = s.elsewhere.begin(); it != s.elsewhere.end();)
        if (it->closeAt >= 0 && it->closeAt <= s.clock) {
            due.push_back(*it);
            it = s.elsewhere.erase(it);
        } else {
            ++it;
        }
    for (const auto& e : due)
        CloseHandle(e.handle);
}

} // namespace

NativeFileCalls nativeFiles = {CreateFileA,
                               ModelCreateFile,
                               ModelOpenFile,
                               ModelQueryDirectory,
                               ModelQueryInformation,
                               ModelSetInformation,
                               ModelFileInformation,
                               ModelFileInformationEx,
                               CloseHandle,
                               ModelMultiByteToWideChar,
                               ModelWideCharToMultiByte,
                               ModelSleep};

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD error) {
    lastError = error;
}

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE) {
    // Only opening what exists is modelled.
    std::string name;
    int parent = dwCreationDisposition == OPEN_EXISTING ? OpenParent(lpFileName, &name) : -1;
    NTSTATUS status;
    HANDLE handle = OpenAt(parent, name, lpFileName, dwDesiredAccess, dwShareMode,
                           !(dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT), &status);
    if (parent >= 0)
        close(parent);
    // A folder opens only with backup semantics, as on Windows.
    struct stat st;
    if (handle && !(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) &&
        fstat(Find(handle)->fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        CloseHandle(handle);
        handle = nullptr;
    }
    return handle ? handle : INVALID_HANDLE_VALUE;
}

BOOL CloseHandle(HANDLE hObject) {
    auto it = hostfs::state().handles.find(hObject);
    if (it == hostfs::state().handles.end())
        return FALSE;
    OpenHandle closing = it->second;
    hostfs::state().handles.erase(it);
    delete static_cast<char*>(hObject);
    bool others = false;
    for (auto& h : hostfs::state().handles)
        others |= Id(h.second) == Id(closing);
    if (closing.deleting && others && !closing.posix) {
        // Delete pending: the name stays until the last handle on it closes.
        hostfs::state().deletePending.insert(Id(closing));
        for (auto& h : hostfs::state().handles)
            if (Id(h.second) == Id(closing))
                h.second.deleting = true;
    } else if (closing.deleting) {
        Unlink(closing);
        hostfs::state().deletePending.erase(Id(closing));
    }
    close(closing.fd);
    close(closing.parentFd);
    ReplaceIfDue(closing.path);
    return TRUE;
}

namespace hostfs {

void SetFolderReadOnly(const std::string& windowsPath) {
    struct stat st;
    if (stat(HostPath(windowsPath.c_str()).c_str(), &st) == 0)
        state().readOnlyFolders.insert({st.st_dev, st.st_ino});
}

void SetFileIndex(const std::string& windowsPath, uint64_t index) {
    struct stat st;
    if (stat(HostPath(windowsPath.c_str()).c_str(), &st) == 0)
        state().fileIndexes[{st.st_dev, st.st_ino}] = index;
}

void SetFileIdInfoAbsent(bool absent) {
    state().fileIdInfoAbsent = absent;
}

void HoldOpenElsewhere(const std::string& windowsPath, int closeAfterMilliseconds) {
    HANDLE handle = CreateFileA(windowsPath.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        state().elsewhere.push_back(
            {handle, closeAfterMilliseconds < 0 ? -1 : state().clock + closeAfterMilliseconds});
}

void CloseHeldElsewhere() {
    std::vector<Elsewhere> held;
    held.swap(state().elsewhere);
    for (const auto& e : held)
        CloseHandle(e.handle);
}

void SetPosixDeleteAbsent(bool absent) {
    state().posixDeleteAbsent = absent;
}

void ReplaceWithLinkWhenClosed(const std::string& folder, const std::string& target) {
    state().replaceFolder = Normalise(folder);
    state().replaceTarget = target;
    state().replaced = false;
}

bool Replaced() {
    return state().replaced;
}

} // namespace hostfs
