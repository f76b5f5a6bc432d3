// Control of the host build's model of the Windows volume (HostVolume_host.h):
// which host folder each drive letter maps to, each drive's type and free
// space, single operations made to fail on a chosen path, and what other
// programs do meanwhile. Only tests and tools use this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hostfs {

enum class Fault {
    DriveListFails,     // GetLogicalDriveStringsA returns 0
    DriveListOverflows, // GetLogicalDriveStringsA asks for a larger buffer
    List,               // FindFirstFileA on the folder fails
    OpenRead,           // fopen(path, "r...") fails
    OpenWrite,          // fopen(path, "w...") fails
    Tell,               // ftell on the file fails
    Read,               // fread on the file comes back short
    Write,              // fwrite on the file comes back short
    Close,              // fclose on the file reports failure
    FreeSpace,          // the free-space queries on the drive root fail
    VolumeFlags,        // GetVolumeInformationA on the drive root fails
};

// Forgets every drive, figure and fault.
void Reset();

// Maps the drive root "X:\" to a host folder with a drive type (DRIVE_FIXED...).
void MapDrive(char letter, const std::string& hostFolder, unsigned driveType);

// Free-space figures the drive reports instead of its folder's real ones.
void SetFreeSpace(char letter, uint64_t availableToCaller, uint64_t totalFree);
void SetClusters(char letter, uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                 uint32_t freeClusters);

// Makes GetProcAddress find no "GetDiskFreeSpaceExA", as on the oldest systems.
void SetExtendedFreeSpaceAbsent(bool absent);

// Makes one operation fail on one Windows path (a folder without its trailing
// backslash, or a file); the drive-list faults take an empty path.
void FailOn(Fault fault, const std::string& windowsPath = std::string());

void ClearFaults();

// The host path that a Windows path stands for.
std::string HostPath(const char* windowsPath);

// Search handles and the C runtime's files opened through the model and not
// yet closed.
int OpenFindHandles();
int OpenFiles();

// The file-system flags GetVolumeInformationA reports for the drive; a drive
// reports NTFS's (FILE_PERSISTENT_ACLS among them) until told otherwise.
void SetVolumeFlags(char letter, uint32_t flags);
// The Windows folder that GetSystemWindowsDirectoryA gives; C:\WINDOWS by default.
// Any text is taken, a folder that names no drive too; an empty one makes the
// call fail.
void SetWindowsFolder(const std::string& windowsPath);

// Another process's move, made when the stand-in is about to list `folder`
// (FindFirstFileA on it): the folder is renamed aside and a link to `target`
// takes its place. As on Windows, the rename is refused while a search lists
// the folder or a handle without FILE_SHARE_DELETE holds it open.
enum class Swap { Pending, Done, Refused };
void SwapForLinkWhenListed(const std::string& folder, const std::string& target);
Swap SwapOutcome();

// Handles from CreateFileA, the native calls and the C runtime's files not yet
// closed.
int OpenHandles();

// Another process's conversion of `folder` into a link to `target`, made once
// the first file in it has been deleted (the removal is then inside). Windows needs
// the folder empty and blocks it by no sharing mode; here what is left in it
// is moved aside with it, and a link to `target` takes its place.
void ConvertToLinkOnFirstDelete(const std::string& folder, const std::string& target);
bool Converted();

// The model is NTFS's for every caller: a link is opened as itself only when
// asked (FILE_OPEN_REPARSE_POINT), else what it leads to; opens share as
// their sharing modes say; a delete through a handle deletes what the handle
// holds, and, unless made with POSIX semantics, only once the last handle on
// it closes, its name staying meanwhile and opening to no one; folders may
// carry the read-only attribute; the system code page is UTF-8, which takes
// no conversion flags. Its clock moves only when the code sleeps.

// Gives the folder FILE_ATTRIBUTE_READONLY, which the host has no flag for.
void SetFolderReadOnly(const std::string& windowsPath);
// Another program's handle on the path, sharing everything, as a scanner's:
// closed once the code has slept that long, or, when negative, only by
// CloseHeldElsewhere.
void HoldOpenElsewhere(const std::string& windowsPath, int closeAfterMilliseconds);
void CloseHeldElsewhere();
// Deletes with POSIX semantics (FileDispositionInformationEx) are refused,
// as before Windows 10 1709 or on a volume without them.
void SetPosixDeleteAbsent(bool absent);
// Another process's move, made when the last handle on `folder` closes: the
// folder is renamed aside and a link to `target` takes its place.
void ReplaceWithLinkWhenClosed(const std::string& folder, const std::string& target);
bool Replaced();

// ReFS's file ids: the object at the path reports `index` as its 64-bit file
// index (GetFileInformationByHandle), which ReFS does not keep unique, while
// its 128-bit id (GetFileInformationByHandleEx's FileIdInfo) stays its own.
void SetFileIndex(const std::string& windowsPath, uint64_t index);
// FileIdInfo is refused, as before Windows 8 or on a volume that gives none.
void SetFileIdInfoAbsent(bool absent);

// Opens of a link follow it even when asked for the link itself, as Wine's do
// with a Unix symbolic link: only the listing and the path's attributes still
// show a link, and a delete through such a handle deletes what it led to.
void SetOpensFollowLinks(bool follow);

// The paths named for deletion at the next start of Windows (MoveFileExA with
// MOVEFILE_DELAY_UNTIL_REBOOT and no new name), in the order they were named.
std::vector<std::string> ScheduledAtRestart();

} // namespace hostfs
