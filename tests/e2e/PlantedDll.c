/* A DLL planted beside the program under the name of one that the program or
   Windows loads by name. Loaded, it leaves C:\planted-dll-loaded.txt with its
   own path in it, then refuses to stay, so that nothing of it runs beyond
   that mark. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    char path[MAX_PATH];
    DWORD length, written;
    HANDLE mark;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    length = GetModuleFileNameA(self, path, MAX_PATH);
    mark = CreateFileA("C:\\planted-dll-loaded.txt", FILE_APPEND_DATA, FILE_SHARE_READ, NULL,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (mark != INVALID_HANDLE_VALUE) {
        WriteFile(mark, path, length, &written, NULL);
        WriteFile(mark, "\r\n", 2, &written, NULL);
        CloseHandle(mark);
    }
    return FALSE;
}
