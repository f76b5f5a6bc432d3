// The Win32 calls of the host build: the drives, and the files, folders and
// listings as short adapters over the model of the volume (HostVolume_host.h),
// as Windows layers them over its native calls. The copy's listing follows a
// link in the path it is given, as Wine's does.
#include "platform/HostVolume_host.h"
#include "platform/Win32Api.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

using hostfs::Fault;

namespace {

thread_local DWORD lastError;

struct FindState {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
    std::string folder; // normalised; its rename is refused while listed
};

// The entry `name` of the host folder `folderFd` as a search gives it.
bool Describe(int folderFd, const std::string& name, WIN32_FIND_DATAA* data) {
    std::memset(data, 0, sizeof *data);
    struct stat st;
    if (name.size() >= sizeof data->cFileName ||
        fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
    data->dwFileAttributes = hostfs::AttributesOf(folderFd, name.c_str(), st);
    if (S_ISREG(st.st_mode)) {
        data->nFileSizeLow = static_cast<DWORD>(static_cast<uint64_t>(st.st_size));
        data->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    }
    return true;
}

} // namespace

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD error) {
    lastError = error;
}

DWORD GetLogicalDriveStringsA(DWORD nBufferLength, LPSTR lpBuffer) {
    if (hostfs::Fails(Fault::DriveListFails, ""))
        return 0;
    std::string list;
    for (const auto& d : hostfs::state().drives)
        if (!d.second.folder.empty())
            list += std::string(1, d.first) + ":\\" + std::string(1, '\0');
    if (hostfs::Fails(Fault::DriveListOverflows, "") || list.size() + 1 > nBufferLength)
        return static_cast<DWORD>(std::max<size_t>(list.size() + 1, nBufferLength + 1));
    std::memcpy(lpBuffer, list.data(), list.size());
    lpBuffer[list.size()] = '\0';
    return static_cast<DWORD>(list.size());
}

unsigned GetDriveTypeA(LPCSTR lpRootPathName) {
    const hostfs::Drive* d = hostfs::DriveOf(lpRootPathName);
    if (!d || d->folder.empty() || std::strlen(lpRootPathName) != 3 || lpRootPathName[2] != '\\')
        return DRIVE_NO_ROOT_DIR;
    return d->type;
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    static int kernel32;
    return lpModuleName && strcasecmp(lpModuleName, "kernel32.dll") == 0 ? &kernel32 : nullptr;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    if (!hModule || hostfs::state().extendedAbsent ||
        std::strcmp(lpProcName, "GetDiskFreeSpaceExA"))
        return nullptr;
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&GetDiskFreeSpaceExA));
}

static bool RealFreeSpace(const hostfs::Drive& d, struct statvfs* vfs) {
    return statvfs(d.folder.c_str(), vfs) == 0;
}

BOOL GetDiskFreeSpaceExA(LPCSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                         PULARGE_INTEGER lpTotalNumberOfBytes,
                         PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
    const hostfs::Drive* d = hostfs::DriveOf(lpDirectoryName);
    if (!d || d->folder.empty() || hostfs::Fails(Fault::FreeSpace, lpDirectoryName))
        return FALSE;
    uint64_t available = d->availableToCaller, free = d->totalFree, size = d->totalFree;
    if (!d->hasFreeSpace) {
        struct statvfs vfs;
        if (!RealFreeSpace(*d, &vfs))
            return FALSE;
        available = uint64_t(vfs.f_bavail) * vfs.f_frsize;
        free = uint64_t(vfs.f_bfree) * vfs.f_frsize;
        size = uint64_t(vfs.f_blocks) * vfs.f_frsize;
    }
    if (lpFreeBytesAvailableToCaller)
        lpFreeBytesAvailableToCaller->QuadPart = available;
    if (lpTotalNumberOfBytes)
        lpTotalNumberOfBytes->QuadPart = size;
    if (lpTotalNumberOfFreeBytes)
        lpTotalNumberOfFreeBytes->QuadPart = free;
    return TRUE;
}

BOOL GetDiskFreeSpaceA(LPCSTR lpRootPathName, DWORD* lpSectorsPerCluster, DWORD* lpBytesPerSector,
                       DWORD* lpNumberOfFreeClusters, DWORD* lpTotalNumberOfClusters) {
    const hostfs::Drive* d = hostfs::DriveOf(lpRootPathName);
    if (!d || d->folder.empty() || hostfs::Fails(Fault::FreeSpace, lpRootPathName))
        return FALSE;
    DWORD spc = d->sectorsPerCluster, bps = d->bytesPerSector, free = d->freeClusters;
    if (!d->hasClusters) {
        struct statvfs vfs;
        if (!RealFreeSpace(*d, &vfs))
            return FALSE;
        bps = 512;
        spc = static_cast<DWORD>(std::max<unsigned long>(vfs.f_frsize / 512, 1));
        free = static_cast<DWORD>(std::min<uint64_t>(vfs.f_bavail, 0xFFFFFFFFu));
    }
    *lpSectorsPerCluster = spc;
    *lpBytesPerSector = bps;
    *lpNumberOfFreeClusters = free;
    *lpTotalNumberOfClusters = free;
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    // Any descriptor stands for the private one: only the owner gets in.
    bool restricted = lpSecurityAttributes && lpSecurityAttributes->lpSecurityDescriptor;
    std::string name;
    int parent = hostfs::OpenParent(lpPathName, &name);
    NTSTATUS status = hostfs::MakeFolder(parent, name, restricted, true);
    if (parent >= 0)
        close(parent);
    return NT_SUCCESS(status);
}

HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    std::string pattern = lpFileName;
    if (pattern.empty() || pattern.back() != '*')
        return INVALID_HANDLE_VALUE;
    std::string folder = pattern.substr(0, pattern.size() - 1);
    if (hostfs::Fails(Fault::List, folder.c_str()))
        return INVALID_HANDLE_VALUE;
    hostfs::SwapIfDue(folder);
    std::string host = folder.empty() ? std::string(".") : hostfs::HostPath(folder.c_str());
    int fd = open(host.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::vector<std::string> names;
    bool listed = fd >= 0 && hostfs::List(fd, folder.size() == 3 && folder[1] == ':', &names);
    auto* find = new FindState;
    for (const auto& name : names) {
        WIN32_FIND_DATAA data;
        if (Describe(fd, name, &data))
            find->entries.push_back(data);
    }
    if (fd >= 0)
        close(fd);
    if (!listed || find->entries.empty()) {
        delete find;
        return INVALID_HANDLE_VALUE;
    }
    *lpFindFileData = find->entries[0];
    find->next = 1;
    find->folder = hostfs::Normalise(folder);
    hostfs::state().listed.insert(find->folder);
    hostfs::state().openFinds++;
    return find;
}

BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    auto* find = static_cast<FindState*>(hFindFile);
    if (find->next >= find->entries.size())
        return FALSE;
    *lpFindFileData = find->entries[find->next++];
    return TRUE;
}

BOOL FindClose(HANDLE hFindFile) {
    if (!hFindFile || hFindFile == INVALID_HANDLE_VALUE)
        return FALSE;
    auto* find = static_cast<FindState*>(hFindFile);
    auto& listed = hostfs::state().listed;
    listed.erase(listed.find(find->folder));
    delete find;
    hostfs::state().openFinds--;
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR lpFileName) {
    // Windows opens the entry to read them: one whose delete is pending gives none.
    std::string name;
    int parent = hostfs::OpenParent(lpFileName, &name);
    struct stat st;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (parent >= 0 && fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        !hostfs::state().deletePending.count({st.st_dev, st.st_ino}))
        attributes = hostfs::AttributesOf(parent, name.c_str(), st);
    if (parent >= 0)
        close(parent);
    return attributes;
}

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE) {
    // Only opening what exists is modelled.
    if (dwCreationDisposition != OPEN_EXISTING)
        return INVALID_HANDLE_VALUE;
    NTSTATUS status;
    HANDLE handle =
        hostfs::OpenPath(lpFileName, dwDesiredAccess, dwShareMode,
                         !(dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT), &status);
    // A folder opens only with backup semantics, as on Windows.
    struct stat st;
    if (handle && !(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) &&
        fstat(hostfs::Find(handle)->fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        hostfs::Close(handle);
        handle = nullptr;
    }
    return handle ? handle : INVALID_HANDLE_VALUE;
}

BOOL CloseHandle(HANDLE hObject) {
    return hostfs::Close(hObject);
}

BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    // Windows records the name without looking at what it names.
    if (lpNewFileName || dwFlags != MOVEFILE_DELAY_UNTIL_REBOOT || !lpExistingFileName)
        return FALSE;
    hostfs::state().scheduledAtRestart.push_back(lpExistingFileName);
    return TRUE;
}

BOOL GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize,
                           DWORD* lpVolumeSerialNumber, DWORD* lpMaximumComponentLength,
                           DWORD* lpFileSystemFlags, LPSTR lpFileSystemNameBuffer,
                           DWORD nFileSystemNameSize) {
    if (GetDriveTypeA(lpRootPathName) <= DRIVE_NO_ROOT_DIR ||
        hostfs::Fails(Fault::VolumeFlags, lpRootPathName))
        return FALSE;
    DWORD flags = hostfs::DriveOf(lpRootPathName)->volumeFlags;
    const char* name = (flags & FILE_PERSISTENT_ACLS) ? "NTFS" : "FAT32";
    if ((lpVolumeNameBuffer && nVolumeNameSize < 1) ||
        (lpFileSystemNameBuffer && nFileSystemNameSize <= std::strlen(name)))
        return FALSE;
    if (lpVolumeNameBuffer)
        lpVolumeNameBuffer[0] = '\0';
    if (lpVolumeSerialNumber)
        *lpVolumeSerialNumber = 0;
    if (lpMaximumComponentLength)
        *lpMaximumComponentLength = 255;
    if (lpFileSystemFlags)
        *lpFileSystemFlags = flags;
    if (lpFileSystemNameBuffer)
        std::strcpy(lpFileSystemNameBuffer, name);
    return TRUE;
}

UINT GetSystemWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    const std::string& folder = hostfs::state().windowsFolder;
    if (folder.size() >= uSize)
        return static_cast<UINT>(folder.size() + 1);
    std::memcpy(lpBuffer, folder.c_str(), folder.size() + 1);
    return static_cast<UINT>(folder.size());
}
