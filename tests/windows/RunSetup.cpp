// Runs the setup launch of the folder given as the one argument, in a process
// of its own, so that a test can end it while setup runs.
#include "patch/PatchRun.h"

int main(int argc, char** argv) {
    return argc == 2 && PatchRun::RunSetup(argv[1]) ? 0 : 1;
}
