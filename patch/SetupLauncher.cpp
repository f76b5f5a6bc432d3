// Starting the copy's setup program and waiting for it, and for whatever it
// hands the install over to, before the copy may go.
#include "patch/PatchRun.h"
#include "patch/PathBuffer.h"
#include "platform/Process.h"

int PatchRun::RunSetup(const char* folder) {
    char path[kPathSize];
    // The folder ends in a backslash, so the name follows it directly.
    if (!PathCopy(path, folder) || !PathAppend(path, kSetupName))
        return 0;
    uint32_t exitCode;
    return RunAndWaitForAll(path, &exitCode) && exitCode == 0;
}
