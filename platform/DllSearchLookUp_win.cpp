// The program's look-up of SetDefaultDllDirectories: the system's own.
#include "platform/DllSearchLookUp_win.h"
#include "platform/LookUp.h"

SetDefaultDllDirectoriesFn LookUpSetDefaultDllDirectories() {
    return LookUp<SetDefaultDllDirectoriesFn>(GetModuleHandleA("kernel32.dll"),
                                              "SetDefaultDllDirectories");
}
