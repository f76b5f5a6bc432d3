// The program's entry point: everything is done by the one application object,
// which the program defines at namespace scope.
#include "platform/DllSearch.h"
#include "platform/WinApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // First, before any window or DLL beyond the known ones is touched: the
    // program runs elevated from a folder any program of the user can write
    // to, and a DLL planted there must never be loaded. Windows older than
    // XP SP1, which can't restrict the search, are not served.
    if (!RestrictDllSearch())
        return 1;
    return AfxWinMain();
}
