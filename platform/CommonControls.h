// The common controls, loaded by name only after the DLL search is restricted
// (platform/DllSearch.h): the program does not import them, so that nothing
// beside it is taken for them when Windows starts it.
#pragma once

// Loads the common controls (the side-by-side version 6 that the program's
// manifest names, where the system has it) and registers the progress bar's
// window class. They stay loaded for the life of the process, since the
// class's window procedure is theirs. 1 when the class is registered.
int LoadCommonControls();
