// A stand-in for a setup program, for the tests of the setup launch. It writes
// the command line it was given to "cmdline.txt" beside itself and exits with
// the number in "exitcode.txt" beside it (0 when there is none). When the
// environment names a log in RECORD_ARGS_LOG, it also appends a line there:
// its command line and the size of the "Vardenholt.msi" beside it (-1 if none).
//
// Like the launchers many discs carry, it can hand the install over to a copy
// of itself before it exits:
// - with "handover.txt" beside it, the copy reads the package two seconds later
//   and, as its last act, writes the size it saw to "handed-over.txt";
// - with "breakaway.txt" beside it, the copy is started to break away from the
//   job (on the host: in a process group of its own); whether that start
//   succeeded goes to "breakaway-start.txt". The copy waits until
//   "release.txt" appears (at most a minute), then writes "broke-away.txt".
// - with "linger.txt" beside it, the copy is started in the job like the
//   handed-over one, and whether that start succeeded goes to
//   "linger-start.txt". Both wait until "release.txt" appears (at most a
//   minute), then the copy writes "lingered.txt" and setup "setup-lived.txt".
// - on Windows, with "installer.txt" beside it, the copy plays Windows
//   Installer: it takes the mutex "Global\_MSIExecute" that the installer
//   holds while it installs, and writes whether it got it to
//   "installer-start.txt"; setup exits once that is written. The copy holds
//   it three seconds (with "broadcast.txt" too, it sends the setting change
//   meanwhile), then writes "installed.txt" and lets go of it.
// - on Windows, with "msiexec.txt" beside it, setup exits as soon as it has
//   started the copy, which plays Windows Installer's two phases: it shows
//   its user interface for a second, holding no mutex, then takes
//   "Global\_MSIExecute", writes whether it got it to "msiexec-start.txt",
//   starts a helper of its own, holds the mutex a second more, lets go of it
//   and, as its last act, writes "msiexec-done.txt". The helper works two
//   seconds, then writes "helper-done.txt" as its last act.
//
// It writes its current folder to "cwd.txt", and to the file that
// RECORD_ARGS_CWD names, when the environment names one. On Windows, with "broadcast.txt"
// beside it, it first sends a setting change to every top-level window, as
// installers do after they change the environment, and waits for all the
// answers; then it writes "broadcast-answered.txt".
#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

long long PackageSize(const std::string& folder) {
    std::ifstream package(folder + "Vardenholt.msi", std::ios::binary | std::ios::ate);
    return package ? static_cast<long long>(package.tellg()) : -1;
}

bool Exists(const std::string& path) {
    return static_cast<bool>(std::ifstream(path));
}

// Waits until the file appears, at most a minute; 1 when it did.
bool AwaitFile(const std::string& path) {
    for (int i = 0; i < 600; ++i) {
        if (Exists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

std::string CurrentFolder() {
    char folder[4096] = {};
#ifdef _WIN32
    DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder)
        return "";
#else
    if (!getcwd(folder, sizeof folder))
        return "";
#endif
    return folder;
}

// Starts this program again with one argument; 1 when it started.
int StartCopy(const char* self, const char* argument, bool breakAway) {
#ifdef _WIN32
    std::string commandLine = std::string("\"") + self + "\" " + argument;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(self, &commandLine[0], nullptr, nullptr, FALSE,
                        breakAway ? CREATE_BREAKAWAY_FROM_JOB : 0, nullptr, nullptr, &startup,
                        &process))
        return 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
#else
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (breakAway) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    char* arguments[] = {const_cast<char*>(self), const_cast<char*>(argument), nullptr};
    pid_t pid;
    int started = posix_spawn(&pid, self, nullptr, &attributes, arguments, environ) == 0;
    posix_spawnattr_destroy(&attributes);
    return started;
#endif
}

} // namespace

int main(int argc, char** argv) {
    std::string commandLine;
    char self[4096] = {};
#ifdef _WIN32
    commandLine = GetCommandLineA();
    GetModuleFileNameA(nullptr, self, sizeof self - 1);
    const char separator = '\\';
#else
    for (int i = 0; i < argc; ++i)
        commandLine += (i ? " " : "") + std::string(argv[i]);
    if (readlink("/proc/self/exe", self, sizeof self - 1) < 0)
        return 100;
    const char separator = '/';
#endif
    std::string folder(self);
    folder.erase(folder.rfind(separator) + 1);

    using std::chrono::milliseconds;
    std::string role = argc > 1 ? argv[1] : "";
    if (role == "handed-over") {
        std::this_thread::sleep_for(milliseconds(2000));
        std::ofstream(folder + "handed-over.txt") << PackageSize(folder);
        return 0;
    }
    if (role == "broke-away") {
        AwaitFile(folder + "release.txt");
        std::ofstream(folder + "broke-away.txt") << "released";
        return 0;
    }
#ifdef _WIN32
    if (role == "installer") {
        HANDLE running = CreateMutexA(nullptr, TRUE, "Global\\_MSIExecute");
        bool held = running && GetLastError() != ERROR_ALREADY_EXISTS;
        std::ofstream(folder + "installer-start.txt") << held;
        std::this_thread::sleep_for(milliseconds(3000));
        if (Exists(folder + "broadcast.txt"))
            SendMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                         reinterpret_cast<LPARAM>("Environment"));
        std::ofstream(folder + "installed.txt") << "installed";
        if (held)
            ReleaseMutex(running);
        return 0;
    }
    if (role == "msiexec") {
        std::this_thread::sleep_for(milliseconds(1000));
        HANDLE running = CreateMutexA(nullptr, TRUE, "Global\\_MSIExecute");
        bool held = running && GetLastError() != ERROR_ALREADY_EXISTS;
        std::ofstream(folder + "msiexec-start.txt") << held;
        int helped = StartCopy(self, "helper", false);
        std::this_thread::sleep_for(milliseconds(1000));
        if (held)
            ReleaseMutex(running);
        std::ofstream(folder + "msiexec-done.txt") << (helped ? "done" : "no helper");
        return 0;
    }
    if (role == "helper") {
        std::this_thread::sleep_for(milliseconds(2000));
        std::ofstream(folder + "helper-done.txt") << "done";
        return 0;
    }
#endif
    if (role == "lingers") {
        if (AwaitFile(folder + "release.txt"))
            std::ofstream(folder + "lingered.txt") << "released";
        return 0;
    }

    std::ofstream(folder + "cmdline.txt") << commandLine;
    std::ofstream(folder + "cwd.txt") << CurrentFolder();
    if (const char* cwdLog = getenv("RECORD_ARGS_CWD"))
        std::ofstream(cwdLog) << CurrentFolder();
#ifdef _WIN32
    if (Exists(folder + "broadcast.txt")) {
        SendMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("Environment"));
        std::ofstream(folder + "broadcast-answered.txt") << "answered";
    }
#endif
    if (const char* log = getenv("RECORD_ARGS_LOG"))
        std::ofstream(log, std::ios::app) << commandLine << ' ' << PackageSize(folder) << '\n';
    if (Exists(folder + "handover.txt") && !StartCopy(self, "handed-over", false))
        return 101;
    if (Exists(folder + "breakaway.txt"))
        std::ofstream(folder + "breakaway-start.txt") << StartCopy(self, "broke-away", true);
    if (Exists(folder + "linger.txt")) {
        int started = StartCopy(self, "lingers", false);
        std::ofstream(folder + "linger-start.txt") << started;
        if (AwaitFile(folder + "release.txt"))
            std::ofstream(folder + "setup-lived.txt") << "released";
    }
#ifdef _WIN32
    if (Exists(folder + "installer.txt") &&
        (!StartCopy(self, "installer", false) || !AwaitFile(folder + "installer-start.txt")))
        return 102;
    if (Exists(folder + "msiexec.txt") && !StartCopy(self, "msiexec", false))
        return 103;
#endif
    int code = 0;
    std::ifstream(folder + "exitcode.txt") >> code;
    return code;
}
