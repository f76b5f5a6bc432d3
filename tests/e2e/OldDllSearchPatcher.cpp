// The program as XP, and Vista and 7 without the update that adds
// SetDefaultDllDirectories, run it: the same start-up, application and
// dialogs, linked with a look-up of that call which finds nothing. The
// planted-dll-fallback run starts it from a folder of planted DLLs.
#include "app/PatcherApp.h"
#include "platform/DllSearchLookUp_win.h"

SetDefaultDllDirectoriesFn LookUpSetDefaultDllDirectories() {
    return nullptr;
}

PatcherApp theApp;
