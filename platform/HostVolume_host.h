// The host build's one model of an NTFS volume over the host's files: drive
// roots mapped to host folders, handles with Windows' sharing, deletes through
// a handle that wait for its last close, attributes (read-only folders among
// them), listings, and the moves other processes make. The native calls, the
// Win32 calls and the C runtime's files are adapters over it, so that each of
// its rules holds for every caller.
#pragma once

#include "platform/HostFs.h"
#include "platform/NativeFiles.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace hostfs {

struct Drive {
    std::string folder;
    unsigned type = 0;
    bool hasFreeSpace = false;
    uint64_t availableToCaller = 0, totalFree = 0;
    bool hasClusters = false;
    uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0;
    uint32_t volumeFlags = 0x0000001f; // NTFS's, FILE_PERSISTENT_ACLS among them
};

// An object of the volume: device and inode.
typedef std::pair<uint64_t, uint64_t> ObjectId;

// A handle on the volume: the object it holds, as it was when opened.
struct OpenHandle {
    std::string path; // normalised Windows path it was reached by
    uint32_t access = 0, share = 0;
    // The folder the object is in and its name there (what a delete through
    // it removes), and what it is when opened. A handle opened through a link
    // holds what the link led to, in that one's folder.
    int parentFd = -1, fd = -1;
    std::string name;
    ObjectId id;
    bool deleting = false;
    bool posix = false;               // deleted with POSIX semantics: the name goes at its close
    std::vector<std::string> listing; // the held folder's names, once listed
    size_t next = 0;
};

// A handle that another program holds open for a while (a scanner, an
// indexer): closed once the model's clock reaches `closeAt`, or never.
struct Elsewhere {
    HANDLE handle;
    long long closeAt; // negative: until CloseHeldElsewhere
};

// A move that another process makes: `folder` renamed aside and a link to
// `target` put in its place, once its moment comes.
struct LinkMove {
    std::string folder, target; // normalised Windows paths; no folder: none armed
    bool done = false;
};

struct State {
    std::map<char, Drive> drives;
    std::vector<std::pair<Fault, std::string>> faults;
    bool extendedAbsent = false;
    std::string windowsFolder = "C:\\WINDOWS";
    std::map<HANDLE, OpenHandle> handles;
    std::multiset<std::string> listed; // folders that an open search lists
    int openFinds = 0;
    std::map<FILE*, HANDLE> files; // the C runtime's open files and their handles
    LinkMove swap;                 // when the folder is next listed
    Swap swapOutcome = Swap::Pending;
    LinkMove convert; // once the first file in the folder is deleted
    LinkMove replace; // when the last handle on the folder closes
    bool opensFollowLinks = false;
    bool posixDeleteAbsent = false;
    std::vector<std::string> scheduledAtRestart;
    // Folders with FILE_ATTRIBUTE_READONLY: the host keeps no such flag for one.
    std::set<ObjectId> readOnlyFolders;
    // Objects whose delete waits for their last handle to close.
    std::set<ObjectId> deletePending;
    std::vector<Elsewhere> elsewhere;
    long long clock = 0; // milliseconds slept through the model
    // ReFS's file ids: the 64-bit index an object reports where a test gave
    // it one (else its inode); its 128-bit id is its own.
    std::map<ObjectId, uint64_t> fileIndexes;
    bool fileIdInfoAbsent = false;
};

State& state();

// Paths: the normalised form (drive letter upper case, no trailing
// backslash but a root's), the host path a Windows path stands for, and the
// drive it is on.
std::string Normalise(const std::string& windowsPath);
std::string HostPath(const char* windowsPath);
const Drive* DriveOf(const char* windowsPath);
bool Fails(Fault fault, const char* windowsPath);

// The attributes Windows gives for the entry `name` of the host folder
// `folderFd`, as lstat found it: a link is a reparse point, and a directory
// too when it leads to one; a folder is read-only only when made so.
uint32_t AttributesOf(int folderFd, const char* name, const struct stat& st);
// The names in a host folder, sorted, "." and ".." first but in a drive's
// root; false when it can't be read.
bool List(int folderFd, bool driveRoot, std::vector<std::string>* names);

// The host folder a Windows path is in, opened, and the path's last part; -1
// when there is none.
int OpenParent(const std::string& windowsPath, std::string* name);
// Opens `name` in the host folder `folderFd`: the entry itself or, following,
// what a link there leads to; refused while its delete is pending or when the
// sharing of it and of the handles already on it do not allow both.
HANDLE Open(int folderFd, std::string name, const std::string& windowsPath, DWORD access,
            DWORD share, bool follow, NTSTATUS* status);
// The same by a Windows path from a drive root.
HANDLE OpenPath(const std::string& windowsPath, DWORD access, DWORD share, bool follow,
                NTSTATUS* status);
OpenHandle* Find(HANDLE handle);
// Closes a handle; the last one on an object marked for deletion deletes it.
bool Close(HANDLE handle);
// Makes a folder, private to its owner or open to all; `mustBeNew` refuses a
// name already there.
NTSTATUS MakeFolder(int parentFd, const std::string& name, bool privateToOwner, bool mustBeNew);
// Marks what the handle holds for deletion at its close.
NTSTATUS MarkDeleting(OpenHandle* handle, bool ignoreReadOnly, bool posix);

// The scripted moves, made when their moment comes.
void SwapIfDue(const std::string& listedFolder);
void ConvertIfDue(const std::string& deletedFile);
void ReplaceIfDue(const std::string& closedFolder);

// The model's clock moves only here: handles held elsewhere close when due.
void AdvanceClock(DWORD milliseconds);

} // namespace hostfs
