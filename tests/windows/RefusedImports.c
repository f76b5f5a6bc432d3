/* Programs that the import checks must refuse, built without the C runtime so
   that each imports only what it is built to show: NEWER_IMPORT a function
   newer than XP SP3; with DELAYED, the same through a delay-load library,
   beside one from a DLL that is not a known DLL; OTHER_DLL that DLL alone.
   They are only ever read, never run. */
#include <windows.h>

__declspec(dllimport) ULONGLONG WINAPI GetTickCount64(void);
__declspec(dllimport) DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR, LPDWORD);

int start(void) {
#ifdef NEWER_IMPORT
    return (int)GetTickCount64();
#elif defined(DELAYED)
    return (int)GetTickCount64() + (int)GetFileVersionInfoSizeA("", NULL);
#else
    return (int)GetFileVersionInfoSizeA("", NULL);
#endif
}
