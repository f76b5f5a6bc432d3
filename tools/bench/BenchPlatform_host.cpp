// The host build of the pass benchmark: drive roots mapped to host folders, no
// progress window.
#include "tools/bench/BenchPlatform.h"
#include "platform/HostFs.h"
#include "platform/MessageBox.h"
#include "platform/Win32Api.h"
#include "ui/Progress.h"
#include "ui/Prompt.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>

double CpuSeconds() {
    rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return -1;
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// --cdrom X=FOLDER and --fixed X=FOLDER map the drive root X:\ to a host folder.
int PrepareBuild(int argc, char** argv) {
    int i = 1;
    while (i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-') {
        unsigned type;
        if (std::strcmp(argv[i], "--cdrom") == 0)
            type = DRIVE_CDROM;
        else if (std::strcmp(argv[i], "--fixed") == 0)
            type = DRIVE_FIXED;
        else
            break;
        const char* map = argv[i + 1];
        if (!map[0] || map[1] != '=' || !map[2]) {
            std::fprintf(stderr, "bench_passes: %s takes LETTER=FOLDER\n", argv[i]);
            return 0;
        }
        hostfs::MapDrive(map[0], map + 2, type);
        i += 2;
    }
    return i;
}

ProgressCallback ProgressReport() {
    return nullptr;
}

void OpenCopyWindow() {}

void CloseCopyWindow() {}

// The run's windows, which the host has not: CopyToTemp's calls to them do
// nothing here, and the copy runs with no progress report.
void OpenProgress(const char*) {}
void UpdateProgress(int32_t, const char*) {}
void CloseProgress() {}
void PumpMessages() {}
int ShowPromptDialog(const char*, int, int) {
    return -1;
}
int AfxMessageBox(const char*, unsigned, unsigned) {
    return 0;
}
