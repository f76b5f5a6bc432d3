#include "patch/PatchRun.h"

namespace ByteCounters {
int32_t copied = 0;
int32_t total = 0;
} // namespace ByteCounters

const char kPackageName[] = "Vardenholt.msi";
const char kSetupName[] = "setup.exe";
const char kTempFolderName[] = "QuillmendTemp\\";
