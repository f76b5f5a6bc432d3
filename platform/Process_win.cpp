#include "platform/Process.h"

#include <windows.h>
#include <stdio.h>

namespace {

// How often the job's process count is looked at while no message comes.
const DWORD kPollMilliseconds = 250;

// A job for setup and everything it starts, whose processes may still leave it
// with CREATE_BREAKAWAY_FROM_JOB, and a port that hears when it empties. Its
// processes live on if this program ends. 0 when the system gives none.
int MakeJob(HANDLE* job, HANDLE* port) {
    *job = CreateJobObjectA(nullptr, nullptr);
    *port = nullptr;
    if (!*job)
        return 0;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    *port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {*job, *port};
    return *port &&
           SetInformationJobObject(*job, JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits) &&
           SetInformationJobObject(*job, JobObjectAssociateCompletionPortInformation, &association,
                                   sizeof association);
}

// Waits until no process of the job is left. Windows does not promise to post
// every job message, so the count of active processes is read as well; 0 when
// it can't be read.
int WaitForEmptyJob(HANDLE job, HANDLE port) {
    for (;;) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                       sizeof accounting, nullptr))
            return 0;
        if (accounting.ActiveProcesses == 0)
            return 1;
        DWORD message;
        ULONG_PTR key;
        LPOVERLAPPED overlapped;
        if (GetQueuedCompletionStatus(port, &message, &key, &overlapped, kPollMilliseconds) &&
            key == reinterpret_cast<ULONG_PTR>(job) &&
            message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
            return 1;
    }
}

} // namespace

int RunAndWaitForAll(const char* path, uint32_t* exitCode) {
    // CreateProcessA may write to the command line, so it gets its own copy.
    char commandLine[MAX_PATH];
    if (snprintf(commandLine, sizeof commandLine, "%s", path) >=
        static_cast<int>(sizeof commandLine))
        return 0;
    HANDLE job, port;
    int useJob = MakeJob(&job, &port);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    // Suspended, so that it starts nothing before it is in the job. Handles are
    // inherited, as the C runtime's spawn does.
    int ok = CreateProcessA(path, commandLine, nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                            nullptr, &startup, &process);
    if (ok) {
        // Windows 7 and older put no process in a second job, so where this
        // program already runs in one, setup alone is waited for.
        if (useJob && !AssignProcessToJobObject(job, process.hProcess))
            useJob = 0;
        if (ResumeThread(process.hThread) == static_cast<DWORD>(-1)) {
            // Never to run, it would be waited for for ever.
            TerminateProcess(process.hProcess, 1);
            ok = 0;
        } else if (!useJob || !WaitForEmptyJob(job, port)) {
            WaitForSingleObject(process.hProcess, INFINITE);
        }
        DWORD code = 0;
        ok = ok && GetExitCodeProcess(process.hProcess, &code);
        *exitCode = code;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (port)
        CloseHandle(port);
    if (job)
        CloseHandle(job);
    return ok;
}
