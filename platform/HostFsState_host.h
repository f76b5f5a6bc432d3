// Internal state shared by the host stand-in's source files.
#pragma once

#include "platform/HostFs.h"

#include <cstdio>
#include <map>
#include <set>
#include <string>
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

// A handle of the model of NTFS (CreateFileA and the native calls): the
// object it holds, as it was when opened.
struct OpenHandle {
    std::string path; // normalised Windows path it was reached by
    uint32_t access = 0, share = 0;
    // The folder the object is in and its name there (what a delete through
    // it removes), and what it is (device and inode) when opened. A handle
    // opened through a link holds what the link led to, in that one's folder.
    int parentFd = -1, fd = -1;
    std::string name;
    uint64_t device = 0, inode = 0;
    bool deleting = false;
    bool posix = false;               // deleted with POSIX semantics: the name goes at its close
    std::vector<std::string> listing; // the held folder's names, once listed
    size_t next = 0;
};

// A handle that another program holds open for a while (a scanner, an
// indexer): closed once the model's clock reaches `closeAt`, or never.
struct Elsewhere {
    void* handle;
    long long closeAt; // negative: until CloseHeldElsewhere
};

struct State {
    std::map<char, Drive> drives;
    std::vector<std::pair<Fault, std::string>> faults;
    bool extendedAbsent = false;
    int openFinds = 0;
    std::map<FILE*, std::string> files; // open files by their Windows path
    std::string windowsFolder = "C:\\WINDOWS";
    std::map<const void*, OpenHandle> handles;
    std::multiset<std::string> listed; // folders that an open search lists
    std::string swapFolder, swapTarget;
    Swap swap = Swap::Pending;
    std::string convertFolder, convertTarget;
    bool converted = false;
    bool opensFollowLinks = false;
    std::vector<std::string> scheduledAtRestart;
    bool posixDeleteAbsent = false;
    // Folders with FILE_ATTRIBUTE_READONLY, by device and inode: the host
    // keeps no such flag for a folder.
    std::set<std::pair<uint64_t, uint64_t>> readOnlyFolders;
    // Objects whose delete waits for their last handle to close.
    std::set<std::pair<uint64_t, uint64_t>> deletePending;
    std::vector<Elsewhere> elsewhere;
    long long clock = 0; // milliseconds slept through the model
    std::string replaceFolder, replaceTarget;
    bool replaced = false;
    // ReFS's file ids: the 64-bit index an object reports where a test gave
    // it one, by device and inode (else its inode); its 128-bit id is its own.
    std::map<std::pair<uint64_t, uint64_t>, uint64_t> fileIndexes;
    bool fileIdInfoAbsent = false;
};

State& state();
bool Fails(Fault fault, const char* windowsPath);
std::string Normalise(const std::string& windowsPath);
const Drive* DriveOf(const char* windowsPath);
// The armed conversion, once the file deleted (its Windows path) was in its folder.
void ConvertIfDue(const std::string& deleted);
// The armed swap, if `folder` is the one it waits for.
void SwapIfDue(const std::string& folder);

} // namespace hostfs
