// The native calls that held entries make, for the host build: adapters over
// the model of the volume (HostVolume_host.h), with its names in UTF-16.
#include "platform/CodePage_host.h"
#include "platform/HostVolume_host.h"
#include "platform/NativeFiles.h"

#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using hostfs::OpenHandle;

namespace {

std::string NameOf(const UNICODE_STRING* name) {
    bool valid;
    return name ? hostfs::Utf8(name->Buffer, name->Length / sizeof(WCHAR), &valid) : std::string();
}

// Only folders are made here, by a path from a drive root.
NTSTATUS NTAPI ModelCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                               PIO_STATUS_BLOCK io, PLARGE_INTEGER, ULONG, ULONG share,
                               ULONG disposition, ULONG options, PVOID, ULONG) {
    std::string path = NameOf(attributes->ObjectName);
    if (attributes->RootDirectory || path.compare(0, 4, "\\??\\") != 0)
        return io->Status = STATUS_OBJECT_NAME_NOT_FOUND;
    path.erase(0, 4);
    if (!(options & FILE_DIRECTORY_FILE) ||
        (disposition != FILE_CREATE && disposition != FILE_OPEN_IF))
        return io->Status = STATUS_INVALID_PARAMETER;
    std::string name;
    int parent = hostfs::OpenParent(path, &name);
    // Any descriptor stands for the private one: only the owner gets in.
    NTSTATUS status = hostfs::MakeFolder(parent, name, attributes->SecurityDescriptor != nullptr,
                                         disposition == FILE_CREATE);
    if (NT_SUCCESS(status)) {
        *handle = hostfs::Open(parent, name, path, access, share,
                               !(options & FILE_OPEN_REPARSE_POINT), &status);
        struct stat st;
        if (NT_SUCCESS(status) &&
            (fstat(hostfs::Find(*handle)->fd, &st) != 0 || !S_ISDIR(st.st_mode))) {
            hostfs::Close(*handle);
            status = STATUS_NOT_A_DIRECTORY;
        }
    }
    if (parent >= 0)
        close(parent);
    return io->Status = status;
}

NTSTATUS NTAPI ModelOpenFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                             PIO_STATUS_BLOCK io, ULONG share, ULONG options) {
    OpenHandle* folder = hostfs::Find(attributes->RootDirectory);
    if (!folder)
        return io->Status = STATUS_INVALID_PARAMETER;
    std::string name = NameOf(attributes->ObjectName);
    NTSTATUS status;
    *handle = hostfs::Open(folder->fd, name, folder->path + "\\" + name, access, share,
                           !(options & FILE_OPEN_REPARSE_POINT), &status);
    return io->Status = status;
}

NTSTATUS NTAPI ModelQueryDirectory(HANDLE handle, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK io,
                                   PVOID information, ULONG length, FILE_INFORMATION_CLASS kind,
                                   BOOLEAN, PUNICODE_STRING, BOOLEAN restart) {
    OpenHandle* h = hostfs::Find(handle);
    if (!h || kind != FileDirectoryInformation || !(h->access & FILE_LIST_DIRECTORY) ||
        hostfs::Fails(hostfs::Fault::List, h->path.c_str()))
        return io->Status = STATUS_ACCESS_DENIED;
    if (restart) {
        hostfs::SwapIfDue(h->path);
        if (!hostfs::List(h->fd, h->path.size() == 3, &h->listing))
            return io->Status = STATUS_ACCESS_DENIED;
        h->next = 0;
    }
    // An entry gone since the folder was read is left out, as Windows would.
    struct stat st;
    while (h->next < h->listing.size()) {
        const std::string& name = h->listing[h->next++];
        if (fstatat(h->fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        bool valid;
        std::u16string wide = hostfs::Utf16(name, &valid);
        auto* info = static_cast<FILE_DIRECTORY_INFORMATION*>(information);
        size_t bytes = wide.size() * sizeof(WCHAR);
        if (offsetof(FILE_DIRECTORY_INFORMATION, FileName) + bytes > length)
            return io->Status = STATUS_BUFFER_TOO_SMALL;
        std::memset(info, 0, offsetof(FILE_DIRECTORY_INFORMATION, FileName));
        info->FileAttributes = hostfs::AttributesOf(h->fd, name.c_str(), st);
        info->EndOfFile.QuadPart = S_ISREG(st.st_mode) ? st.st_size : 0;
        info->FileNameLength = static_cast<ULONG>(bytes);
        std::memcpy(info->FileName, wide.data(), bytes);
        return io->Status = STATUS_SUCCESS;
    }
    return io->Status = STATUS_NO_MORE_FILES;
}

NTSTATUS NTAPI ModelQueryInformation(HANDLE handle, PIO_STATUS_BLOCK io, PVOID information,
                                     ULONG length, FILE_INFORMATION_CLASS kind) {
    OpenHandle* h = hostfs::Find(handle);
    struct stat st;
    if (!h || kind != FileBasicInformation || length < sizeof(FILE_BASIC_INFORMATION) ||
        fstatat(h->parentFd, h->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return io->Status = STATUS_INVALID_PARAMETER;
    auto* basic = static_cast<FILE_BASIC_INFORMATION*>(information);
    std::memset(basic, 0, sizeof *basic);
    basic->FileAttributes = hostfs::AttributesOf(h->parentFd, h->name.c_str(), st);
    return io->Status = STATUS_SUCCESS;
}

// The read-only attribute: a file's is the host's write permission, a
// folder's the model's own.
NTSTATUS SetReadOnly(OpenHandle* h, bool readOnly) {
    struct stat st;
    if (!(h->access & FILE_WRITE_ATTRIBUTES))
        return STATUS_ACCESS_DENIED;
    if (fstatat(h->parentFd, h->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return STATUS_SUCCESS;
    if (S_ISDIR(st.st_mode) && readOnly)
        hostfs::state().readOnlyFolders.insert(h->id);
    else if (S_ISDIR(st.st_mode))
        hostfs::state().readOnlyFolders.erase(h->id);
    else if (S_ISREG(st.st_mode))
        chmod(("/proc/self/fd/" + std::to_string(h->fd)).c_str(),
              readOnly ? st.st_mode & 07555 : st.st_mode | S_IWUSR);
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI ModelSetInformation(HANDLE handle, PIO_STATUS_BLOCK io, PVOID information,
                                   ULONG length, FILE_INFORMATION_CLASS kind) {
    OpenHandle* h = hostfs::Find(handle);
    if (!h)
        return io->Status = STATUS_INVALID_PARAMETER;
    if (kind == FileBasicInformation && length >= sizeof(FILE_BASIC_INFORMATION)) {
        ULONG attributes = static_cast<FILE_BASIC_INFORMATION*>(information)->FileAttributes;
        if (attributes == 0) // 0 leaves them as they are
            return io->Status =
                       (h->access & FILE_WRITE_ATTRIBUTES) ? STATUS_SUCCESS : STATUS_ACCESS_DENIED;
        return io->Status = SetReadOnly(h, attributes & FILE_ATTRIBUTE_READONLY);
    }
    if (kind == FileDispositionInformation && length >= sizeof(FILE_DISPOSITION_INFORMATION)) {
        if (static_cast<FILE_DISPOSITION_INFORMATION*>(information)->DoDeleteFile)
            return io->Status = hostfs::MarkDeleting(h, false, false);
        h->deleting = false;
        return io->Status = STATUS_SUCCESS;
    }
    if (kind == kFileDispositionInformationEx && length >= sizeof(FileDispositionEx) &&
        !hostfs::state().posixDeleteAbsent) {
        ULONG flags = static_cast<FileDispositionEx*>(information)->Flags;
        if (flags & kDispositionDelete)
            return io->Status = hostfs::MarkDeleting(h, flags & kDispositionIgnoreReadOnly,
                                                     flags & kDispositionPosixSemantics);
        h->deleting = false;
        return io->Status = STATUS_SUCCESS;
    }
    return io->Status = STATUS_INVALID_INFO_CLASS;
}

BOOL WINAPI ModelFileInformation(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION information) {
    OpenHandle* h = hostfs::Find(handle);
    if (!h)
        return FALSE;
    std::memset(information, 0, sizeof *information);
    information->dwVolumeSerialNumber = static_cast<DWORD>(h->id.first);
    auto given = hostfs::state().fileIndexes.find(h->id);
    uint64_t index = given == hostfs::state().fileIndexes.end() ? h->id.second : given->second;
    information->nFileIndexHigh = static_cast<DWORD>(index >> 32);
    information->nFileIndexLow = static_cast<DWORD>(index);
    return TRUE;
}

// FileIdInfo alone: the device and the inode, whatever 64-bit index was given.
BOOL WINAPI ModelFileInformationEx(HANDLE handle, int infoClass, LPVOID information, DWORD size) {
    OpenHandle* h = hostfs::Find(handle);
    if (!h || infoClass != kFileIdInfo || size < sizeof(FileIdInfo128) ||
        hostfs::state().fileIdInfoAbsent) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* id = static_cast<FileIdInfo128*>(information);
    id->volumeSerial = h->id.first;
    std::memset(id->id, 0, sizeof id->id);
    std::memcpy(id->id, &h->id.second, sizeof h->id.second);
    return TRUE;
}

void WINAPI ModelSleep(DWORD milliseconds) {
    hostfs::AdvanceClock(milliseconds);
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
                               hostfs::MultiByteToWideChar,
                               hostfs::WideCharToMultiByte,
                               ModelSleep};
