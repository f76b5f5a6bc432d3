// Keeps the Wine desktop alive for the whole benchmark, as a user's session
// keeps its shell: the wineserver closes a desktop a moment after its last
// program ends, and the next program with a window would pay for a new one.
// A hidden window and a message loop make this program a user of the desktop;
// it ends with the wineserver.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "BenchHoldDesktop";
    if (!RegisterClassA(&windowClass) ||
        !CreateWindowA(windowClass.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                       instance, nullptr))
        return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
