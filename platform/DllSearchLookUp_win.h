// The run-time look-up of the call that keeps the program's folder out of the
// DLL search. In a file of its own so that a test program can link, with the
// same start-up, a look-up that finds nothing, as on XP, and on Vista and 7
// without the update that adds the call: no Wine lacks it.
#pragma once

#include <windows.h>

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

// kernel32's SetDefaultDllDirectories, or null where the system has none.
SetDefaultDllDirectoriesFn LookUpSetDefaultDllDirectories();
