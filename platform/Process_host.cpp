// The host's stand-in for a job: setup starts in a process group of its own, and
// this process adopts whatever is orphaned below it, so that it can wait for
// every process left in that group. A process that moves to another group has
// broken away and is not waited for.
#include "platform/Process.h"
#include "platform/HostVolume_host.h"

#include <cerrno>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

int RunAndWaitForAll(const char* path, const char* folder, uint32_t* exitCode) {
    std::string host = hostfs::HostPath(path);
    // Windows has no execute permission: any file may be started.
    struct stat st;
    if (stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        (!(st.st_mode & S_IXUSR) && ::chmod(host.c_str(), (st.st_mode & 07777) | S_IXUSR) != 0))
        return 0;
    if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0)
        return 0;
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int spawned =
        posix_spawn_file_actions_addchdir_np(&actions, hostfs::HostPath(folder).c_str()) == 0;
    // The whole command line is the Windows path.
    char* arguments[] = {const_cast<char*>(path), nullptr};
    pid_t pid;
    spawned =
        spawned && posix_spawn(&pid, host.c_str(), &actions, &attributes, arguments, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    int status = 0;
    if (!spawned || waitpid(pid, &status, 0) != pid)
        return 0;
    *exitCode = static_cast<uint32_t>(ExitCodeOf(status));
    // The group keeps setup's number while any member lives; each orphan comes
    // to this process, and one that exits hands its own children on before.
    int ignored;
    while (waitpid(-pid, &ignored, 0) > 0 || errno == EINTR)
        ;
    return 1;
}
