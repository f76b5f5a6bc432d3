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

// A handle from CreateFileA: the object it opened, as it was when opened.
struct OpenHandle {
    std::string path; // normalised Windows path
    uint32_t access = 0, share = 0, attributes = 0;
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
};

State& state();
bool Fails(Fault fault, const char* windowsPath);
std::string Normalise(const std::string& windowsPath);
const Drive* DriveOf(const char* windowsPath);

} // namespace hostfs
