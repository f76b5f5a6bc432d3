// Starting the copy's setup program and waiting for it.
#include "patch/PatchRun.h"
#include "patch/PathBuffer.h"
#include "platform/Crt.h"

int PatchRun::RunSetup(const char* folder) {
    char path[kPathSize];
    // The folder ends in a backslash, so the name follows it directly.
    if (!PathCopy(path, folder) || !PathAppend(path, kSetupName))
        return 0;
    const char* const arguments[] = {path, nullptr};
    return crt::spawnv(crt::kWait, path, arguments) == 0;
}
