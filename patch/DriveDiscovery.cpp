// Finding the product disc among the CD-ROM drives, and the fixed drive that
// takes the temporary copy.
#include "patch/PatchRun.h"
#include "platform/PathBuffer.h"
#include "platform/Crt.h"
#include "platform/LookUp.h"
#include "platform/Win32Api.h"

#include <cstring>

namespace {

typedef BOOL(WINAPI* DiskFreeSpaceExFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

// Fills the list, or leaves it empty when the call fails or would overflow it:
// a list the call did not fill is never walked.
void ListDrives(char (&list)[kDriveListSize]) {
    DWORD length = GetLogicalDriveStringsA(kDriveListSize, list);
    if (length == 0 || length >= kDriveListSize)
        list[0] = '\0';
}

// The entry as a drive root ending in a backslash; 0 when it would not fit.
int DriveRoot(const char* entry, char (&root)[kPathSize]) {
    return PathCopy(root, entry) && PathAppendSeparator(root);
}

// Free bytes that the drive offers this user; 0 when the query fails.
int FreeSpace(const char* root, DiskFreeSpaceExFn freeSpaceEx, int64_t* freeBytes) {
    if (freeSpaceEx) {
        ULARGE_INTEGER available, size, totalFree;
        if (!freeSpaceEx(root, &available, &size, &totalFree))
            return 0;
        // Only the bytes free to the caller count: they respect per-user quotas.
        *freeBytes = static_cast<int64_t>(available.QuadPart);
        return 1;
    }
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return 0;
    // The old call's figure is a 32-bit product, as the systems that lack the
    // extended call compute it.
    uint32_t bytes = sectorsPerCluster * bytesPerSector * freeClusters;
    *freeBytes = static_cast<int64_t>(bytes);
    return 1;
}

// The drive's file-system flags; 0 when they can't be read.
int VolumeFlags(const char* root, DWORD* flags) {
    return GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, flags, nullptr, 0);
}

// The copy's private folder protects it only where access rights are kept
// (NTFS keeps them, FAT32 and exFAT don't), so such a drive is required
// whenever the system's own drive keeps them; an installation on FAT32 has
// nothing to protect. A system drive that can't be told is taken to keep them.
int AccessRightsRequired() {
    char windows[kPathSize];
    UINT length = GetSystemWindowsDirectoryA(windows, kPathSize);
    if (length < 2 || length >= kPathSize || windows[1] != ':')
        return 1;
    const char root[] = {windows[0], ':', '\\', '\0'};
    DWORD flags;
    return !VolumeFlags(root, &flags) || (flags & FILE_PERSISTENT_ACLS);
}

} // namespace

int PatchRun::FindSourceDisc(char (&discRoot)[kPathSize]) {
    char list[kDriveListSize];
    ListDrives(list);
    for (const char* entry = list; *entry; entry += strlen(entry) + 1) {
        char root[kPathSize];
        if (!DriveRoot(entry, root) || GetDriveTypeA(root) != DRIVE_CDROM)
            continue;
        char probe[kPathSize];
        if (!PathCopy(probe, root) || !PathAppend(probe, kPackageName))
            continue;
        FILE* file = crt::fopen(probe, "rb");
        if (!file)
            continue;
        PathCopy(discRoot, root);
        crt::fclose(file);
        return 1;
    }
    return 0;
}

int PatchRun::FindTempLocation(char (&tempPath)[kPathSize]) {
    // Looked up once per call: the oldest systems lack the extended function.
    auto freeSpaceEx =
        LookUp<DiskFreeSpaceExFn>(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA");
    int rightsRequired = AccessRightsRequired();
    char list[kDriveListSize];
    ListDrives(list);
    for (const char* entry = list; *entry; entry += strlen(entry) + 1) {
        char root[kPathSize];
        if (!DriveRoot(entry, root) || GetDriveTypeA(root) != DRIVE_FIXED)
            continue;
        // A USB hard disk formatted FAT32 reports itself as fixed, and keeps
        // no access rights.
        DWORD flags;
        if (rightsRequired && !(VolumeFlags(root, &flags) && (flags & FILE_PERSISTENT_ACLS)))
            continue;
        // The sum wraps at 32 bits as the byte counts do, then widens with its sign.
        int64_t required =
            static_cast<int32_t>(static_cast<uint32_t>(ByteCounters::total) + 1000000u);
        int64_t freeBytes;
        if (!FreeSpace(root, freeSpaceEx, &freeBytes) || freeBytes <= required)
            continue;
        char path[kPathSize];
        if (!PathCopy(path, root) || !PathAppend(path, kTempFolderName))
            continue;
        PathCopy(tempPath, path);
        return 1;
    }
    return 0;
}
