// Internal state shared by the host stand-in's source files.
#pragma once

#include "platform/HostFs.h"

#include <cstdio>
#include <map>
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
};

struct State {
    std::map<char, Drive> drives;
    std::vector<std::pair<Fault, std::string>> faults;
    bool extendedAbsent = false;
    int openFinds = 0;
    std::map<FILE*, std::string> files; // open files by their Windows path
};

State& state();
bool Fails(Fault fault, const char* windowsPath);
const Drive* DriveOf(const char* windowsPath);

} // namespace hostfs
