// The benchmark disc's "setup.exe": it notes that it ran, in C:\bench-setup.log,
// and ends at once with exit code 0, so that a whole run of the program costs
// what the program itself costs. A windowed program, so that no console is made
// for it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HANDLE log = CreateFileA("C:\\bench-setup.log", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(log, "ran\r\n", 5, &written, nullptr);
        CloseHandle(log);
    }
    return 0;
}
