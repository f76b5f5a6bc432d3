// A read-only FUSE file system over a disc folder that delivers file data at a
// CD-ROM drive's speed, for tools/bench/run-benchmarks. Every file is opened
// for direct I/O, so the kernel keeps no page cache of it: each read, the
// first or a repeated one, comes through here and waits for the drive.
//
//   drive_speed_fs SPEED READ_AHEAD_KIB SOURCE MOUNTPOINT [FUSE OPTIONS]
//
// SPEED is the drive's speed as a multiple of a single-speed drive (52 for
// 52x). The drive starts reading nothing ahead; SIGUSR1 gives it a read-ahead
// buffer of READ_AHEAD_KIB, SIGUSR2 takes it away again, so that one mount
// serves the figures with and without. It runs until it is unmounted, or until
// SIGINT or SIGTERM, on which libfuse unmounts it.
#define FUSE_USE_VERSION 31

#include "tools/bench/DriveRate.h"

#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::string g_source;
std::int64_t g_bytesPerSecond = 0;
// The read-ahead the drive is given on SIGUSR1, and the one it has now.
std::int64_t g_readAhead = 0;
std::atomic<std::int64_t> g_buffer{0};
std::mutex g_driveLock;
std::int64_t g_busyUntil = 0;

std::int64_t Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Sleeps until the drive would have delivered `bytes` asked for at `asked`.
void Pace(std::int64_t asked, std::int64_t bytes) {
    std::int64_t due = 0;
    {
        std::lock_guard<std::mutex> hold(g_driveLock);
        due = drive_rate::Deliver(g_busyUntil, asked, bytes, g_bytesPerSecond, g_buffer.load());
    }
    timespec until{static_cast<time_t>(due / 1000000000), static_cast<long>(due % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

void SetReadAhead(int signal) {
    g_buffer.store(signal == SIGUSR1 ? g_readAhead : 0);
}

std::string Under(const char* path) {
    return g_source + path;
}

void* Init(fuse_conn_info*, fuse_config* config) {
    config->direct_io = 1;
    config->kernel_cache = 0;
    config->use_ino = 1;
    return nullptr;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info*) {
    return lstat(Under(path).c_str(), st) == 0 ? 0 : -errno;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
    DIR* dir = opendir(Under(path).c_str());
    if (!dir) {
        return -errno;
    }
    while (dirent* entry = readdir(dir)) {
        struct stat st {};
        st.st_ino = entry->d_ino;
        st.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
        if (fill(buffer, entry->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0))) {
            break;
        }
    }
    closedir(dir);
    return 0;
}

int Open(const char* path, fuse_file_info* fi) {
    if ((fi->flags & O_ACCMODE) != O_RDONLY) {
        return -EROFS;
    }
    const int fd = open(Under(path).c_str(), O_RDONLY);
    if (fd < 0) {
        return -errno;
    }
    fi->fh = static_cast<uint64_t>(fd);
    fi->direct_io = 1;
    return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
    const std::int64_t asked = Now();
    const ssize_t n = pread(static_cast<int>(fi->fh), buffer, size, offset);
    if (n < 0) {
        return -errno;
    }
    Pace(asked, n);
    return static_cast<int>(n);
}

int Release(const char*, fuse_file_info* fi) {
    close(static_cast<int>(fi->fh));
    return 0;
}

int StatFs(const char*, struct statvfs* st) {
    return statvfs(g_source.c_str(), st) == 0 ? 0 : -errno;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(
            stderr,
            "usage: drive_speed_fs SPEED READ_AHEAD_KIB SOURCE MOUNTPOINT [FUSE OPTIONS]\n");
        return 2;
    }
    char *speedEnd = nullptr, *aheadEnd = nullptr;
    const long speed = std::strtol(argv[1], &speedEnd, 10);
    const long ahead = std::strtol(argv[2], &aheadEnd, 10);
    char source[PATH_MAX];
    if (*speedEnd != '\0' || speed < 1 || speed > 1000 || *aheadEnd != '\0' || ahead < 0 ||
        ahead > 1048576 || !realpath(argv[3], source)) {
        std::fprintf(stderr, "drive_speed_fs: bad speed %s, read-ahead %s or source %s\n", argv[1],
                     argv[2], argv[3]);
        return 2;
    }
    g_source = source;
    g_bytesPerSecond = drive_rate::BytesPerSecond(speed);
    g_readAhead = drive_rate::Duration(std::int64_t{ahead} * 1024, g_bytesPerSecond);
    std::signal(SIGUSR1, SetReadAhead);
    std::signal(SIGUSR2, SetReadAhead);
    // The default timer slack, 50 us, would make every read late by as much,
    // a tenth of a 4 KiB read at 52x; the threads libfuse starts inherit this.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    fuse_operations operations{};
    operations.init = Init;
    operations.getattr = GetAttr;
    operations.readdir = ReadDir;
    operations.open = Open;
    operations.read = Read;
    operations.release = Release;
    operations.statfs = StatFs;

    // Foreground, so that the caller holds its process id; read-only, as a disc.
    std::vector<char*> args{argv[0], argv[4]};
    static char foreground[] = "-f", options[] = "-o", readOnly[] = "ro,fsname=drive-speed";
    args.insert(args.end(), {foreground, options, readOnly});
    args.insert(args.end(), argv + 5, argv + argc);
    return fuse_main(static_cast<int>(args.size()), args.data(), &operations, nullptr);
}
