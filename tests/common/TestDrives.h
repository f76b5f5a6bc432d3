// Drives for the tests that run in both builds: C: fixed, D: and E: CD-ROM.
// Under Wine they are the test prefix's own drives; on the host they are
// mapped onto a fresh temporary folder. Files are named by Windows paths.
#pragma once

#include <cstddef>
#include <string>

class TestDrives {
  public:
    TestDrives();  // empties D:\, E:\ and C:\PatcherTests
    ~TestDrives(); // and leaves them empty again
};

// The folder on C: that the tests use for anything on a fixed drive.
extern const char kTestRoot[]; // "C:\PatcherTests"

// Deterministic file contents, different for each seed.
inline std::string Content(size_t size, unsigned seed = 1) {
    std::string s(size, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (auto& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

void MakeFolder(const std::string& path);
void MakeFile(const std::string& path, const std::string& content, bool readOnly = false);
std::string ReadAll(const std::string& path);
bool Exists(const std::string& path);
bool IsReadOnly(const std::string& path);
void RemoveAll(const std::string& path);

// Keeps a file from being opened by anyone else while it lives: it holds the
// file open without sharing.
class LockedFile {
  public:
    explicit LockedFile(const std::string& path);
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

  private:
    void* m_handle;
};
