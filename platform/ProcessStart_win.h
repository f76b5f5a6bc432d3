// The calls that make setup's job, start setup, give it the default DLL
// directory and put it in the job, as replaceable pointers: the order they
// come in and the failures the system can give (a job that refuses a second
// one, a thread that won't resume) matter, and not every system can be made
// to give them.
#pragma once

#include <windows.h>

struct ProcessStartCalls {
    BOOL(WINAPI* setInformationJobObject)(HANDLE job, JOBOBJECTINFOCLASS, LPVOID, DWORD);
    BOOL(WINAPI* createProcess)
    (LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCSTR,
     LPSTARTUPINFOA, LPPROCESS_INFORMATION);
    BOOL(WINAPI* assignProcessToJobObject)(HANDLE job, HANDLE process);
    DWORD(WINAPI* resumeThread)(HANDLE thread);
    BOOL(WINAPI* terminateProcess)(HANDLE process, UINT exitCode);
    // Only for a process that was terminated, never for one that runs.
    DWORD(WINAPI* waitForSingleObject)(HANDLE handle, DWORD milliseconds);
    // Reads the message the job's port has, if any; Windows does not promise
    // to post every one.
    BOOL(WINAPI* readJobPort)
    (HANDLE port, LPDWORD message, PULONG_PTR key, LPOVERLAPPED* overlapped, DWORD milliseconds);
    // SetDllDirectoryA where the program set its own DLL directory, which a
    // program it starts inherits, and that folder, set back once setup is
    // started; null elsewhere.
    BOOL(WINAPI* setDllDirectory)(LPCSTR folder);
    const char* dllDirectory;
};

// The system's own calls, unless a test has put others in.
extern ProcessStartCalls processStart;
