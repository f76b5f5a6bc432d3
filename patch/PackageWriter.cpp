// Writing the carried package over the copy's "Vardenholt.msi".
#include "patch/PatchRun.h"
#include "platform/PathBuffer.h"
#include "patch/ReplacementPackage.h"
#include "platform/Crt.h"

int PatchRun::WritePackage(const char* folder) {
    char path[kPathSize];
    if (!PathJoin(path, folder, kPackageName))
        return 0;
    FILE* file = crt::fopen(path, "wb");
    if (!file)
        return 0;
    // Setup must never run on a truncated package: a short write, or a close
    // that could not flush, is a failure.
    int written = crt::fwrite(ReplacementPackage, ReplacementPackageSize, 1, file) == 1;
    int closed = crt::fclose(file) == 0;
    return written && closed;
}
