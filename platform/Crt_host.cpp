// The C runtime's files over the host model of the volume: each open file
// holds a handle there, with the sharing Windows' runtime asks for, so that a
// file held without sharing, or pending deletion, opens no more here than on
// Windows.
#include "platform/Crt.h"
#include "platform/HostVolume_host.h"

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using hostfs::Fault;

namespace {

const char* PathOf(FILE* file) {
    auto it = hostfs::state().files.find(file);
    hostfs::OpenHandle* h = it == hostfs::state().files.end() ? nullptr : hostfs::Find(it->second);
    return h ? h->path.c_str() : "";
}

// The model's handle for an fopen: reading, writing or both, sharing reading
// and writing as the runtime's fopen does; a file to write is made first.
HANDLE OpenForRuntime(const char* path, const char* mode) {
    bool writes = std::strpbrk(mode, "wa+") != nullptr;
    DWORD access = (std::strpbrk(mode, "r+") ? GENERIC_READ : 0) | (writes ? GENERIC_WRITE : 0);
    std::string name;
    int parent = hostfs::OpenParent(path, &name);
    struct stat st;
    bool exists = parent >= 0 && fstatat(parent, name.c_str(), &st, 0) == 0;
    // Windows opens no directory as a file, and no read-only file for writing.
    HANDLE handle = nullptr;
    if (!(exists && (S_ISDIR(st.st_mode) || (writes && !(st.st_mode & S_IWUSR))))) {
        int made = exists || !writes || parent < 0
                       ? -1
                       : openat(parent, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (made >= 0)
            close(made);
        NTSTATUS status;
        handle = hostfs::Open(parent, name, path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, true,
                              &status);
    }
    if (parent >= 0)
        close(parent);
    return handle;
}

} // namespace

namespace crt {

FILE* fopen(const char* path, const char* mode) {
    if (hostfs::Fails(std::strchr(mode, 'r') ? Fault::OpenRead : Fault::OpenWrite, path))
        return nullptr;
    HANDLE handle = OpenForRuntime(path, mode);
    if (!handle)
        return nullptr;
    FILE* file = ::fopen(hostfs::HostPath(path).c_str(), mode);
    if (!file) {
        hostfs::Close(handle);
        return nullptr;
    }
    hostfs::state().files[file] = handle;
    return file;
}

int fclose(FILE* file) {
    bool fails = hostfs::Fails(Fault::Close, PathOf(file));
    auto it = hostfs::state().files.find(file);
    if (it != hostfs::state().files.end()) {
        hostfs::Close(it->second);
        hostfs::state().files.erase(it);
    }
    int result = ::fclose(file);
    return fails ? EOF : result;
}

int fseek(FILE* file, long offset, int origin) {
    return ::fseek(file, offset, origin);
}

long ftell(FILE* file) {
    return hostfs::Fails(Fault::Tell, PathOf(file)) ? -1L : ::ftell(file);
}

size_t fread(void* buffer, size_t size, size_t count, FILE* file) {
    if (hostfs::Fails(Fault::Read, PathOf(file)))
        count /= 2;
    return ::fread(buffer, size, count, file);
}

size_t fwrite(const void* buffer, size_t size, size_t count, FILE* file) {
    if (hostfs::Fails(Fault::Write, PathOf(file)))
        return 0;
    return ::fwrite(buffer, size, count, file);
}

} // namespace crt
