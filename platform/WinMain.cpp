// The program's entry point: everything is done by the one application object,
// which the program defines at namespace scope.
#include "platform/WinApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return AfxWinMain();
}
