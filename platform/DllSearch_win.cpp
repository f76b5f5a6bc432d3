// The DLL search, restricted at start through calls looked up at run time:
// the headers, set for XP, declare neither.
#include "platform/DllSearch.h"
#include "platform/LookUp.h"

#include <windows.h>

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryFn)(LPCSTR);
const DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32

} // namespace

int RestrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto systemOnly = LookUp<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories");
    if (systemOnly && systemOnly(kSearchSystem32))
        return 1;
    // XP SP1 and later: an empty DLL directory takes the current folder out.
    // The program's folder stays first there, which is why the program loads
    // nothing at start but known DLLs and the side-by-side common controls.
    auto dllDirectory = LookUp<SetDllDirectoryFn>(kernel, "SetDllDirectoryA");
    return dllDirectory && dllDirectory("") ? 1 : 0;
}
