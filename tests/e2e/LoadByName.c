/* Loads each DLL named on its command line by name alone, with the default
   search, as a program that restricts nothing would: the control of the
   planted-DLL run, which shows that Wine does take such a DLL from a program's
   own folder. Exits 0 whether or not each load succeeds. */
#include <windows.h>

int main(int argc, char** argv) {
    int i;
    for (i = 1; i < argc; i++) {
        HMODULE module = LoadLibraryA(argv[i]);
        if (module)
            FreeLibrary(module);
    }
    return 0;
}
