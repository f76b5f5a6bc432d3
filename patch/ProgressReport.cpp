// The run's progress report, alone in its file: the host tests link their own
// in its place, to record the bytes reported.
#include "patch/ProgressReport.h"
#include "patch/Percent.h"
#include "patch/ByteCounters.h"
#include "ui/Progress.h"

void OnCopyProgress(const char* path, int32_t bytes) {
    UpdateProgress(ProgressPercent(bytes, ByteCounters::total), path);
}
