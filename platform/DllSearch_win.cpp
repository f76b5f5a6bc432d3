// The DLL search, restricted at start through calls looked up at run time:
// the headers, set for XP, declare neither.
#include "platform/DllSearch.h"
#include "platform/DllSearchLookUp_win.h"
#include "platform/LookUp.h"
#include "platform/PathBuffer.h"
#include "platform/ProcessStart_win.h"

#include <windows.h>

namespace {

typedef BOOL(WINAPI* SetDllDirectoryFn)(LPCSTR);
const DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32

// The DLLs that the program, the common controls and the dialogs load by name
// on XP, and on Vista and 7 without SetDefaultDllDirectories, where the
// program's own folder is searched first, and that are not among those
// systems' known DLLs (which always come from System32). Each is listed after
// those it imports, so that its imports are already loaded when it is. Names
// a system lacks (dwmapi and cryptbase on XP) are passed over.
const char* const kPreloaded[] = {
    // uxtheme's import on Vista and 7.
    "dwmapi.dll",
    // The theme machinery: the side-by-side common controls load it for
    // visual styles, and user32 for the themed frames of every window.
    "uxtheme.dll",
    // The application compatibility check that kernel32 makes when a program
    // is started (setup, here), and version.dll, which it imports to read
    // the started program's version.
    "version.dll",
    "apphelp.dll",
    // 7's advapi32 hands its random-number and memory-encryption calls to it.
    "cryptbase.dll",
    // advapi32's access-control calls load it.
    "ntmarta.dll",
    // Named, as loaded by name, in the published DLL-planting advisories of
    // installers; profapi first, userenv's import on 7.
    "profapi.dll",
    "userenv.dll",
    "oleacc.dll",
    "propsys.dll",
    "setupapi.dll",
};

// Loads each from System32 by its full path; altered, the search for its own
// imports starts in System32 too. Later loads by name then find it loaded.
void PreloadFromSystem32(const char* system) {
    for (const char* name : kPreloaded) {
        char path[MAX_PATH];
        if (PathJoin(path, system, name))
            LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
}

} // namespace

int RestrictDllSearch() {
    SetDefaultDllDirectoriesFn systemOnly = LookUpSetDefaultDllDirectories();
    if (systemOnly && systemOnly(kSearchSystem32))
        return 1;
    // XP SP1 and later: a DLL directory takes the current folder's place in
    // the search, but the program's folder stays first. System32, not the
    // empty one that does the same on Windows: Wine takes an empty one for
    // none and keeps the current folder. What is loaded by name beside the
    // program is loaded from System32 now, before it can be looked for there.
    static char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, sizeof system);
    auto dllDirectory =
        LookUp<SetDllDirectoryFn>(GetModuleHandleA("kernel32.dll"), "SetDllDirectoryA");
    if (length == 0 || length >= sizeof system || !dllDirectory || !dllDirectory(system))
        return 0;
    // Programs started from this one would inherit it.
    processStart.setDllDirectory = dllDirectory;
    processStart.dllDirectory = system;
    PreloadFromSystem32(system);
    return 1;
}
