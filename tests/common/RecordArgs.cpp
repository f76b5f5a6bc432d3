// A stand-in for a setup program, for the tests of the setup launch. It writes
// the command line it was given to "cmdline.txt" beside itself and exits with
// the number in "exitcode.txt" beside it (0 when there is none). When the
// environment names a log in RECORD_ARGS_LOG, it also appends a line there:
// its command line and the size of the "Vardenholt.msi" beside it (-1 if none).
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    std::string commandLine;
    char self[4096] = {};
#ifdef _WIN32
    (void)argc;
    (void)argv;
    commandLine = GetCommandLineA();
    GetModuleFileNameA(nullptr, self, sizeof self - 1);
    const char separator = '\\';
#else
    for (int i = 0; i < argc; ++i)
        commandLine += (i ? " " : "") + std::string(argv[i]);
    if (readlink("/proc/self/exe", self, sizeof self - 1) < 0)
        return 100;
    const char separator = '/';
#endif
    std::string folder(self);
    folder.erase(folder.rfind(separator) + 1);
    std::ofstream(folder + "cmdline.txt") << commandLine;
    if (const char* log = getenv("RECORD_ARGS_LOG")) {
        std::ifstream package(folder + "Vardenholt.msi", std::ios::binary | std::ios::ate);
        long long size = package ? static_cast<long long>(package.tellg()) : -1;
        std::ofstream(log, std::ios::app) << commandLine << ' ' << size << '\n';
    }
    int code = 0;
    std::ifstream(folder + "exitcode.txt") >> code;
    return code;
}
