// The host build's stand-in for the Windows drive, file and directory services:
// drive roots map to host folders, backslash paths are translated, and listings
// come in a stable order with "." and ".." first, as NTFS gives them.
#include "platform/HostFs.h"
#include "platform/HostFsState_host.h"
#include "platform/Win32Api.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace hostfs {

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

bool Fails(Fault fault, const char* windowsPath) {
    for (const auto& f : state().faults)
        if (f.first == fault && f.second == Normalise(windowsPath ? windowsPath : ""))
            return true;
    return false;
}

const Drive* DriveOf(const char* windowsPath) {
    if (!windowsPath || !windowsPath[0] || windowsPath[1] != ':')
        return nullptr;
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(windowsPath[0])));
    auto it = state().drives.find(letter);
    return it == state().drives.end() ? nullptr : &it->second;
}

void Reset() {
    state() = State();
}

void MapDrive(char letter, const std::string& hostFolder, unsigned driveType) {
    Drive& d = state().drives[static_cast<char>(std::toupper(letter))];
    d.folder = hostFolder;
    d.type = driveType;
}

void SetFreeSpace(char letter, uint64_t availableToCaller, uint64_t totalFree) {
    Drive& d = state().drives[static_cast<char>(std::toupper(letter))];
    d.hasFreeSpace = true;
    d.availableToCaller = availableToCaller;
    d.totalFree = totalFree;
}

void SetClusters(char letter, uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                 uint32_t freeClusters) {
    Drive& d = state().drives[static_cast<char>(std::toupper(letter))];
    d.hasClusters = true;
    d.sectorsPerCluster = sectorsPerCluster;
    d.bytesPerSector = bytesPerSector;
    d.freeClusters = freeClusters;
}

void SetExtendedFreeSpaceAbsent(bool absent) {
    state().extendedAbsent = absent;
}

void FailOn(Fault fault, const std::string& windowsPath) {
    state().faults.emplace_back(fault, Normalise(windowsPath));
}

void ClearFaults() {
    state().faults.clear();
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

int OpenFindHandles() {
    return state().openFinds;
}
int OpenFiles() {
    return static_cast<int>(state().files.size());
}

void SetVolumeFlags(char letter, uint32_t flags) {
    state().drives[static_cast<char>(std::toupper(letter))].volumeFlags = flags;
}

void SetWindowsFolder(const std::string& windowsPath) {
    state().windowsFolder = windowsPath;
}

void SwapForLinkWhenListed(const std::string& folder, const std::string& target) {
    state().swapFolder = Normalise(folder);
    state().swapTarget = target;
    state().swap = Swap::Pending;
}

Swap SwapOutcome() {
    return state().swap;
}

int OpenHandles() {
    return static_cast<int>(state().handles.size());
}

void ConvertToLinkOnFirstDelete(const std::string& folder, const std::string& target) {
    state().convertFolder = Normalise(folder);
    state().convertTarget = target;
    state().converted = false;
}

bool Converted() {
    return state().converted;
}

void SetOpensFollowLinks(bool follow) {
    state().opensFollowLinks = follow;
}

void ConvertIfDue(const std::string& deleted) {
    State& s = state();
    if (s.convertFolder.empty() || s.converted ||
        Normalise(deleted).compare(0, s.convertFolder.size() + 1, s.convertFolder + "\\") != 0)
        return;
    std::string host = HostPath(s.convertFolder.c_str());
    s.converted = std::rename(host.c_str(), (host + ".aside").c_str()) == 0 &&
                  symlink(HostPath(s.convertTarget.c_str()).c_str(), host.c_str()) == 0;
    s.convertFolder.clear();
}

void SwapIfDue(const std::string& folder) {
    State& s = state();
    if (s.swapFolder.empty() || s.swap != Swap::Pending || Normalise(folder) != s.swapFolder)
        return;
    bool held = s.listed.count(s.swapFolder) > 0;
    for (const auto& h : s.handles)
        held |= h.second.path == s.swapFolder && !(h.second.share & FILE_SHARE_DELETE);
    std::string host = HostPath(s.swapFolder.c_str());
    if (held || std::rename(host.c_str(), (host + ".aside").c_str()) != 0 ||
        symlink(HostPath(s.swapTarget.c_str()).c_str(), host.c_str()) != 0) {
        s.swap = Swap::Refused;
        return;
    }
    s.swap = Swap::Done;
}

} // namespace hostfs

using hostfs::Fault;

namespace {

struct FindState {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
    std::string folder; // normalised; its rename is refused while listed
};

bool FillEntry(const std::string& folder, const std::string& name, WIN32_FIND_DATAA* data) {
    std::memset(data, 0, sizeof *data);
    if (name.size() >= sizeof data->cFileName)
        return false;
    std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
    struct stat st;
    if (lstat((folder + "/" + name).c_str(), &st) != 0)
        return false;
    if (S_ISLNK(st.st_mode)) {
        // Reported as Wine reports a Unix symlink: a reparse point, and a
        // directory when it leads to one.
        struct stat target;
        data->dwFileAttributes = FILE_ATTRIBUTE_REPARSE_POINT;
        if (stat((folder + "/" + name).c_str(), &target) == 0 && S_ISDIR(target.st_mode))
            data->dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
        return true;
    }
    if (S_ISDIR(st.st_mode)) {
        data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    } else {
        data->dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
        data->nFileSizeLow = static_cast<DWORD>(static_cast<uint64_t>(st.st_size));
        data->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    }
    if (!(st.st_mode & S_IWUSR))
        data->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    return true;
}

} // namespace

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
    return mkdir(hostfs::HostPath(lpPathName).c_str(), restricted ? 0700 : 0777) == 0;
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
    if (host.empty())
        host = ".";
    DIR* dir = opendir(host.c_str());
    if (!dir)
        return INVALID_HANDLE_VALUE;
    std::vector<std::string> names;
    while (dirent* e = readdir(dir))
        if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
            names.push_back(e->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    // A drive's root directory has no "." and ".." entries on Windows.
    bool driveRoot = folder.size() == 3 && folder[1] == ':';
    if (!driveRoot)
        names.insert(names.begin(), {".", ".."});
    auto* find = new FindState;
    for (const auto& name : names) {
        WIN32_FIND_DATAA data;
        if (FillEntry(host, name, &data))
            find->entries.push_back(data);
    }
    if (find->entries.empty()) {
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

BOOL DeleteFileA(LPCSTR lpFileName) {
    if (hostfs::Fails(Fault::Delete, lpFileName))
        return FALSE;
    std::string host = hostfs::HostPath(lpFileName);
    struct stat st;
    if (lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return FALSE;
    // A link to a directory is a directory link on Windows: DeleteFileA refuses it.
    struct stat target;
    if (S_ISLNK(st.st_mode) && stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
        return FALSE;
    // Windows refuses to delete a read-only file.
    if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR))
        return FALSE;
    if (unlink(host.c_str()) != 0)
        return FALSE;
    hostfs::ConvertIfDue(lpFileName);
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR lpPathName) {
    std::string host = hostfs::HostPath(lpPathName);
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    struct stat st, target;
    // Removing a directory link removes the link and never what it leads to.
    if (lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode) &&
               unlink(host.c_str()) == 0;
    return rmdir(host.c_str()) == 0;
}

DWORD GetFileAttributesA(LPCSTR lpFileName) {
    std::string host = hostfs::HostPath(lpFileName);
    size_t slash = host.find_last_of('/');
    WIN32_FIND_DATAA data;
    if (slash == std::string::npos || slash + 1 == host.size() ||
        !FillEntry(host.substr(0, slash), host.substr(slash + 1), &data))
        return INVALID_FILE_ATTRIBUTES;
    return data.dwFileAttributes;
}

BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    // Windows records the name without looking at what it names.
    if (lpNewFileName || dwFlags != MOVEFILE_DELAY_UNTIL_REBOOT || !lpExistingFileName)
        return FALSE;
    hostfs::state().scheduledAtRestart.push_back(lpExistingFileName);
    return TRUE;
}

namespace hostfs {

std::vector<std::string> ScheduledAtRestart() {
    return state().scheduledAtRestart;
}

} // namespace hostfs

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
