// Times one pass of the patch run's own code, for tools/bench/run-benchmarks:
// the measure pass, the copy pass (PatchRun::CopyToTemp, which makes and holds
// the folder and copies in the progress window, in the build that has one) or
// the removal pass (PatchRun::RemoveTree of the held folder), with the
// program's progress report or none. Without it, the copy is CopyToTemp's
// walk alone, in the window, over a folder made and held as CopyToTemp makes it.
//
//   bench_passes [build options] idle
//   bench_passes [build options] measure DISC
//   bench_passes [build options] copy DISC TARGET [--no-callback]
//   bench_passes [build options] remove DISC TARGET [--no-callback]
//
// DISC and TARGET are Windows paths, as the run has them (D:\ and
// C:\QuillmendTemp\). The copy and the removal measure the disc first, untimed,
// because the progress report divides by its total; the removal holds TARGET,
// untimed, as the run has held it since its copy. The host build's options
// map drives: --cdrom D=FOLDER --fixed C=FOLDER.
//
// Prints one line, "PASS wall=S cpu=S bytes=N result=R", and exits with 0 when
// the pass did all it should. Idle only opens and closes the progress window:
// its figures are the fixed cost of a process around a pass.
#include "tools/bench/BenchPlatform.h"
#include "patch/PatchRun.h"
#include "platform/HeldEntry.h"
#include "platform/PrivateSecurity.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

struct Timing {
    double wall;
    double cpu;
};

template <typename Pass> int Timed(Timing& timing, Pass pass) {
    double cpu = CpuSeconds();
    auto start = std::chrono::steady_clock::now();
    int result = pass();
    timing.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    timing.cpu = CpuSeconds() - cpu;
    return result;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: bench_passes [build options] idle | measure DISC |"
                 " copy DISC TARGET [--no-callback] | remove DISC TARGET [--no-callback]\n");
    return 2;
}

int Measure(const char* disc) {
    ByteCounters::total = 0;
    return PatchRun::WalkTree(disc, "", 1, nullptr);
}

// The temporary folder as CopyToTemp makes it: private to the user, made and
// held in one step.
int MakeTarget(HeldEntry& folder, const char* target) {
    PrivateSecurity privateSecurity;
    if (!privateSecurity.Descriptor())
        return 0;
    SECURITY_ATTRIBUTES security = {sizeof security, privateSecurity.Descriptor(), TRUE};
    return folder.CreateFolder(target, &security);
}

// The copy pass as the run makes it: CopyToTemp with the progress report, or,
// without one, its walk in the window over the folder it would have made.
int Copy(const char* disc, const char* target, ProgressCallback callback) {
    if (callback) {
        PatchRun run;
        return run.CopyToTemp(disc, target);
    }
    HeldEntry folder;
    if (!MakeTarget(folder, target))
        return 0;
    OpenCopyWindow();
    ByteCounters::copied = 0;
    int copied = PatchRun::WalkTree(disc, target, 0, nullptr);
    CloseCopyWindow();
    return ByteCounters::copied == ByteCounters::total ? copied : 0;
}

} // namespace

int main(int argc, char** argv) {
    int first = PrepareBuild(argc, argv);
    if (first == 0 || first >= argc)
        return Usage();
    const char* pass = argv[first];
    int left = argc - first - 1;
    char** args = argv + first + 1;
    ProgressCallback callback = ProgressReport();
    if (left == 3 && std::strcmp(args[2], "--no-callback") == 0) {
        callback = nullptr;
        --left;
    }

    Timing timing = {0, 0};
    int ok;
    long long bytes = 0;
    if (std::strcmp(pass, "idle") == 0 && left == 0) {
        ok = Timed(timing, [] {
            OpenCopyWindow();
            CloseCopyWindow();
            return 1;
        });
    } else if (std::strcmp(pass, "measure") == 0 && left == 1) {
        ok = Timed(timing, [&] { return Measure(args[0]); });
        bytes = ByteCounters::total;
    } else if (std::strcmp(pass, "copy") == 0 && left == 2) {
        if (!Measure(args[0])) {
            std::fprintf(stderr, "bench_passes: can't measure %s\n", args[0]);
            return 1;
        }
        // As in the run, a copy is whole only when it copied the measured total.
        ok = Timed(timing, [&] { return Copy(args[0], args[1], callback); });
        bytes = ByteCounters::copied;
    } else if (std::strcmp(pass, "remove") == 0 && left == 2) {
        HeldEntry folder;
        if (!Measure(args[0]) || !folder.OpenPath(args[1])) {
            std::fprintf(stderr, "bench_passes: can't measure %s or hold %s\n", args[0], args[1]);
            return 1;
        }
        ok = Timed(timing, [&] { return PatchRun::RemoveTree(folder, args[1], callback); });
        bytes = ByteCounters::total;
    } else {
        return Usage();
    }
    std::printf("%s wall=%.6f cpu=%.6f bytes=%lld result=%d\n", pass, timing.wall, timing.cpu,
                bytes, ok ? 1 : 0);
    return ok ? 0 : 1;
}
