// Starting the copy's setup program and waiting for it, and for whatever it
// hands the install over to, before the copy may go.
#include "patch/PatchRun.h"
#include "platform/PathBuffer.h"
#include "platform/Process.h"

int PatchRun::RunSetup(const char* folder) {
    char path[kPathSize];
    // The folder ends in a backslash, so the name follows it directly.
    if (!PathCopy(path, folder) || !PathAppend(path, kSetupName))
        return 0;
    uint32_t exitCode;
    // Setup starts in the copy, never in the folder this program was started
    // from, where anyone may have put a DLL that setup would load elevated.
    return RunAndWaitForAll(path, folder, &exitCode) && exitCode == 0;
}
