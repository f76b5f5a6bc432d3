#include "TestDrives.h"

#include "platform/HostFs.h"
#include "platform/Win32Api.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

const char kTestRoot[] = "C:\\PatcherTests";

namespace {
std::string hostRoot;
}

TestDrives::TestDrives() {
    char pattern[] = "/tmp/patcher-drives-XXXXXX";
    hostRoot = mkdtemp(pattern);
    hostfs::Reset();
    for (char letter : {'c', 'd', 'e'})
        fs::create_directory(hostRoot + "/" + letter);
    hostfs::MapDrive('C', hostRoot + "/c", DRIVE_FIXED);
    hostfs::MapDrive('D', hostRoot + "/d", DRIVE_CDROM);
    hostfs::MapDrive('E', hostRoot + "/e", DRIVE_CDROM);
    MakeFolder(kTestRoot);
}

TestDrives::~TestDrives() {
    EXPECT_EQ(hostfs::OpenFindHandles(), 0) << "a search handle was left open";
    EXPECT_EQ(hostfs::OpenFiles(), 0) << "a file was left open";
    EXPECT_EQ(hostfs::OpenHandles(), 0) << "a handle was left open";
    hostfs::Reset();
    std::error_code ignored;
    // Read-only folders would stop the clean-up.
    for (auto& e : fs::recursive_directory_iterator(hostRoot, ignored))
        if (!e.is_symlink())
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(hostRoot, ignored);
}

void MakeFolder(const std::string& path) {
    fs::create_directories(hostfs::HostPath(path.c_str()));
}

void MakeFile(const std::string& path, const std::string& content, bool readOnly) {
    std::string host = hostfs::HostPath(path.c_str());
    std::ofstream(host, std::ios::binary).write(content.data(), content.size());
    // Executable, so that a test can run a program it wrote.
    chmod(host.c_str(), readOnly ? 0555 : 0755);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(hostfs::HostPath(path.c_str()), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(hostfs::HostPath(path.c_str()), ignored));
}

bool IsReadOnly(const std::string& path) {
    struct stat st;
    return stat(hostfs::HostPath(path.c_str()).c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
}

void RemoveAll(const std::string& path) {
    std::error_code ignored;
    fs::remove_all(hostfs::HostPath(path.c_str()), ignored);
}
