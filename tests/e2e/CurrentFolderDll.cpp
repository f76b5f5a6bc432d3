// The program's start-up as XP, and Vista and 7 without the update that adds
// SetDefaultDllDirectories, run it (the look-up of that call finds nothing),
// then a load by name alone of the DLL named on the command line, as older
// system components load theirs. Started with another folder than its own as
// its current folder, one that holds a DLL of that name which the system
// lacks: the current-folder-dll run checks that the DLL was never loaded.
#include "platform/DllSearchLookUp_win.h"
#include "platform/WinApp.h"

#include <stdlib.h>
#include <windows.h>

SetDefaultDllDirectoriesFn LookUpSetDefaultDllDirectories() {
    return nullptr;
}

namespace {

class LoadByNameApp : public CWinApp {
  public:
    BOOL InitInstance() override {
        if (__argc > 1) {
            if (HMODULE module = LoadLibraryA(__argv[1]))
                FreeLibrary(module);
        }
        return FALSE;
    }
};

LoadByNameApp theApp;

} // namespace
