// The tests' and tools' controls of the host model of the volume (HostFs.h):
// drives, faults, figures and the other programs' doings.
#include "platform/HostFs.h"
#include "platform/HostVolume_host.h"

#include <cctype>

namespace hostfs {

namespace {

Drive& DriveNamed(char letter) {
    return state().drives[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))];
}

void Arm(LinkMove& move, const std::string& folder, const std::string& target) {
    move.folder = Normalise(folder);
    move.target = target;
    move.done = false;
}

} // namespace

void Reset() {
    state() = State();
}

void MapDrive(char letter, const std::string& hostFolder, unsigned driveType) {
    Drive& d = DriveNamed(letter);
    d.folder = hostFolder;
    d.type = driveType;
}

void SetFreeSpace(char letter, uint64_t availableToCaller, uint64_t totalFree) {
    Drive& d = DriveNamed(letter);
    d.hasFreeSpace = true;
    d.availableToCaller = availableToCaller;
    d.totalFree = totalFree;
}

void SetClusters(char letter, uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                 uint32_t freeClusters) {
    Drive& d = DriveNamed(letter);
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

int OpenFindHandles() {
    return state().openFinds;
}

int OpenFiles() {
    return static_cast<int>(state().files.size());
}

int OpenHandles() {
    return static_cast<int>(state().handles.size());
}

void SetVolumeFlags(char letter, uint32_t flags) {
    DriveNamed(letter).volumeFlags = flags;
}

void SetWindowsFolder(const std::string& windowsPath) {
    state().windowsFolder = windowsPath;
}

void SwapForLinkWhenListed(const std::string& folder, const std::string& target) {
    Arm(state().swap, folder, target);
    state().swapOutcome = Swap::Pending;
}

Swap SwapOutcome() {
    return state().swapOutcome;
}

void ConvertToLinkOnFirstDelete(const std::string& folder, const std::string& target) {
    Arm(state().convert, folder, target);
}

bool Converted() {
    return state().convert.done;
}

void ReplaceWithLinkWhenClosed(const std::string& folder, const std::string& target) {
    Arm(state().replace, folder, target);
}

bool Replaced() {
    return state().replace.done;
}

void SetOpensFollowLinks(bool follow) {
    state().opensFollowLinks = follow;
}

void SetFolderReadOnly(const std::string& windowsPath) {
    struct stat st;
    if (stat(HostPath(windowsPath.c_str()).c_str(), &st) == 0)
        state().readOnlyFolders.insert({st.st_dev, st.st_ino});
}

void SetFileIndex(const std::string& windowsPath, uint64_t index) {
    struct stat st;
    if (stat(HostPath(windowsPath.c_str()).c_str(), &st) == 0)
        state().fileIndexes[{st.st_dev, st.st_ino}] = index;
}

void SetFileIdInfoAbsent(bool absent) {
    state().fileIdInfoAbsent = absent;
}

void HoldOpenElsewhere(const std::string& windowsPath, int closeAfterMilliseconds) {
    NTSTATUS status;
    HANDLE handle = OpenPath(windowsPath, FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true, &status);
    if (handle)
        state().elsewhere.push_back(
            {handle, closeAfterMilliseconds < 0 ? -1 : state().clock + closeAfterMilliseconds});
}

void CloseHeldElsewhere() {
    std::vector<Elsewhere> held;
    held.swap(state().elsewhere);
    for (const auto& e : held)
        Close(e.handle);
}

void SetPosixDeleteAbsent(bool absent) {
    state().posixDeleteAbsent = absent;
}

std::vector<std::string> ScheduledAtRestart() {
    return state().scheduledAtRestart;
}

} // namespace hostfs
