// The C runtime operations over the host stand-in's drive map.
#include "platform/Crt.h"
#include "platform/HostFsState_host.h"

#include <cstring>
#include <string>
#include <sys/stat.h>

using hostfs::Fault;

namespace {

const char* PathOf(FILE* file) {
    auto it = hostfs::state().files.find(file);
    return it == hostfs::state().files.end() ? "" : it->second.c_str();
}

} // namespace

namespace crt {

FILE* fopen(const char* path, const char* mode) {
    if (hostfs::Fails(std::strchr(mode, 'r') ? Fault::OpenRead : Fault::OpenWrite, path))
        return nullptr;
    std::string host = hostfs::HostPath(path);
    struct stat st;
    // Windows opens no directory as a file, and no read-only file for writing.
    if (stat(host.c_str(), &st) == 0 &&
        (S_ISDIR(st.st_mode) || (std::strchr(mode, 'w') && !(st.st_mode & S_IWUSR))))
        return nullptr;
    FILE* file = ::fopen(host.c_str(), mode);
    if (file)
        hostfs::state().files[file] = path;
    return file;
}

int fclose(FILE* file) {
    bool fails = hostfs::Fails(Fault::Close, PathOf(file));
    hostfs::state().files.erase(file);
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
