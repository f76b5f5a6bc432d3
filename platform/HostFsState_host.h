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

// A handle from CreateFileA or HeldEntry: the object it opened, as it was
// when opened.
struct OpenHandle {
    std::string path; // normalised Windows path it was reached by
    uint32_t access = 0, share = 0, attributes = 0;
    // A held entry's: the folder it is in and its name there (what a delete
    // through it removes), and what it is (device and inode) when opened.
    int parentFd = -1, fd = -1;
    std::string name;
    uint64_t device = 0, inode = 0;
    // Opened through a link, as Wine does: the host path the link led to,
    // which a delete through the handle removes, as Wine's does.
    std::string followed;
    bool deleting = false;
    std::vector<std::string> listing; // the held folder's names, once listed
    size_t next = 0;
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
};

State& state();
bool Fails(Fault fault, const char* windowsPath);
std::string Normalise(const std::string& windowsPath);
const Drive* DriveOf(const char* windowsPath);
// Each side of two opens of one object must share what the other uses.
bool SharingAllows(const OpenHandle& opened);
// The armed conversion, once the file deleted (its Windows path) was in its folder.
void ConvertIfDue(const std::string& deleted);
// The armed swap, if `folder` is the one it waits for.
void SwapIfDue(const std::string& folder);

} // namespace hostfs
