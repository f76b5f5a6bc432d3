// Times naming a copy of N entries for deletion at the next start of Windows,
// as the program did it (MoveFileExA, which reads and rewrites the whole list,
// for each entry) and as it does it (the list written once). Each run starts
// from no list and takes its names back after.
//
//   bench_restart_deletes N [N...]   prints "N per-entry SECONDS one-write SECONDS"
//
// It changes the session manager's list: run it only in a throwaway prefix.
#include "patch/PatchRun.h"
#include "platform/RestartDeletes.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The copy's entries as the walk names them: ten files to a folder, each
// folder after them, the copy's folder last.
void NameOf(int index, int count, char (&name)[MAX_PATH]) {
    if (index == count - 1)
        std::snprintf(name, sizeof name, "C:\\QuillmendTemp");
    else if (index % 11 == 10)
        std::snprintf(name, sizeof name, "C:\\QuillmendTemp\\Folder%05d", index / 11);
    else
        std::snprintf(name, sizeof name, "C:\\QuillmendTemp\\Folder%05d\\file%02d.dat", index / 11,
                      index % 11);
}

double PerEntry(int count) {
    double start = Now();
    char name[MAX_PATH];
    for (int i = 0; i < count; ++i) {
        NameOf(i, count, name);
        if (!MoveFileExA(name, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
            return -1;
    }
    return Now() - start;
}

double OneWrite(int count) {
    double start = Now();
    RestartDeletes deletes(kTempFolderName);
    char name[MAX_PATH];
    for (int i = 0; i < count; ++i) {
        NameOf(i, count, name);
        if (!deletes.Add(name))
            return -1;
    }
    return deletes.Schedule() ? Now() - start : -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_restart_deletes N [N...]\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        int count = std::atoi(argv[i]);
        if (count < 1 || !WithdrawRestartDeletes(kTempFolderName))
            return 1;
        double perEntry = PerEntry(count);
        WithdrawRestartDeletes(kTempFolderName);
        double oneWrite = OneWrite(count);
        WithdrawRestartDeletes(kTempFolderName);
        if (perEntry < 0 || oneWrite < 0)
            return 1;
        std::printf("%d per-entry %.3f one-write %.3f\n", count, perEntry, oneWrite);
        std::fflush(stdout);
    }
    return 0;
}
