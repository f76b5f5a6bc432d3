// The Windows build of the pass benchmark: the real progress window, callback
// and message pump.
#include "tools/bench/BenchPlatform.h"
#include "patch/ProgressReport.h"
#include "ui/Progress.h"

#include <windows.h>
#include <commctrl.h>

namespace {

double Seconds(const FILETIME& time) {
    ULARGE_INTEGER ticks;
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    return static_cast<double>(ticks.QuadPart) / 1e7;
}

} // namespace

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return -1;
    return Seconds(kernel) + Seconds(user);
}

int PrepareBuild(int, char**) {
    // The program does this at start-up; the progress bar's class needs it.
    InitCommonControls();
    return 1;
}

ProgressCallback ProgressReport() {
    return OnCopyProgress;
}

void OpenCopyWindow() {
    // As CopyToTemp opens it, with its opening reports.
    OpenProgress("Copying Files. Please Wait...");
    UpdateProgress(1, "");
    UpdateProgress(0, "");
    PumpMessages();
}

void CloseCopyWindow() {
    CloseProgress();
}
