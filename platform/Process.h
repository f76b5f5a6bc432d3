// Starting the copy's setup program and waiting until it, and whatever it
// started, have ended. Setup programs often hand the install over to another
// process and exit at once; the copy they install from must outlive that too.
#pragma once

#include <cstdint>

// Starts the program at the path with the path alone as its command line (no
// quotes added), this program's environment and the folder as its current
// folder, and waits until no process it started is left, except those that
// broke away on purpose. Where the system gives no job to follow those in, it
// waits for the program and every process that it, or one it started, started
// while running, as the system's list of processes shows them, then while
// Windows Installer shows an installation under way. The program gets Windows'
// default error mode, not this program's, and Windows' default DLL search.
// While it waits, the calling thread answers what is sent to its windows and
// takes nothing from its queue. 1 and the program's own exit code, or 0 when
// it could not be started or run.
int RunAndWaitForAll(const char* path, const char* folder, uint32_t* exitCode);
