// What the pass benchmark needs from its build: the process's CPU time, the
// drives, and the progress report that the program makes during a copy.
#pragma once

#include "patch/PatchRun.h"

// User plus system CPU seconds of this process so far.
double CpuSeconds();

// Readies the build and takes its own leading options. Returns the index of the
// first argument left for the benchmark, or 0 after a bad option.
int PrepareBuild(int argc, char** argv);

// The callback that the program passes to the copy and the removal; null where
// the build has no progress window.
ProgressCallback ProgressReport();

// The progress window around the copy pass without a progress report, opened
// and closed as CopyToTemp does.
void OpenCopyWindow();
void CloseCopyWindow();
