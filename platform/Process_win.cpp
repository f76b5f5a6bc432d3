#include "platform/Process.h"
#include "platform/ProcessStart_win.h"

#include <windows.h>
#include <stdio.h>

ProcessStartCalls processStart = {
    SetInformationJobObject, CreateProcessA,      AssignProcessToJobObject, ResumeThread,
    TerminateProcess,        WaitForSingleObject, GetQueuedCompletionStatus};

namespace {

// How often the job's process count is looked at while nothing else happens.
const DWORD kPollMilliseconds = 250;

// Held by Windows Installer while an installation is under way, as it
// documents for programs that must wait for one.
const char kInstallerRunning[] = "Global\\_MSIExecute";

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
           processStart.setInformationJobObject(*job, JobObjectExtendedLimitInformation, &limits,
                                                sizeof limits) &&
           processStart.setInformationJobObject(*job, JobObjectAssociateCompletionPortInformation,
                                                &association, sizeof association);
}

// Lets the system deliver what has been sent to this thread's windows, then
// waits until the handle, if one is given, is signalled, something more is
// sent, or the time is up. Setups broadcast to every top-level window, the
// hidden dialog among them, and wait for each answer. Nothing posted is taken
// from the queue, so no input reaches a window and no handler runs meanwhile.
DWORD AnswerSentAndWait(HANDLE handle, DWORD milliseconds) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    return MsgWaitForMultipleObjects(handle ? 1 : 0, &handle, FALSE, milliseconds, QS_SENDMESSAGE);
}

void WaitForProcess(HANDLE process) {
    while (AnswerSentAndWait(process, INFINITE) == WAIT_OBJECT_0 + 1)
        ;
}

// Waits while Windows Installer shows an installation under way, answering
// what is sent as the other waits do. Holding its mutex for a moment tells
// that it is free; it is let go of at once.
void WaitForInstaller() {
    HANDLE running = OpenMutexA(SYNCHRONIZE, FALSE, kInstallerRunning);
    if (!running)
        return;
    DWORD waited;
    while ((waited = AnswerSentAndWait(running, INFINITE)) == WAIT_OBJECT_0 + 1)
        ;
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED_0)
        ReleaseMutex(running);
    CloseHandle(running);
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
        while (processStart.readJobPort(port, &message, &key, &overlapped, 0))
            if (key == reinterpret_cast<ULONG_PTR>(job) &&
                message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
                return 1;
        AnswerSentAndWait(nullptr, kPollMilliseconds);
    }
}

// Starts the program suspended, so that it runs nothing before it is in the
// job. Handles are inherited, as the C runtime's spawn does. It gets Windows'
// default error mode, not this program's, which keeps its drive probes quiet:
// setup and the installer it starts keep their "insert disk" and "file in
// use" prompts.
int StartSuspended(const char* path, const char* folder, DWORD flags,
                   PROCESS_INFORMATION* process) {
    // CreateProcessA may write to the command line, so it gets its own copy.
    char commandLine[MAX_PATH];
    if (snprintf(commandLine, sizeof commandLine, "%s", path) >=
        static_cast<int>(sizeof commandLine))
        return 0;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return processStart.createProcess(path, commandLine, nullptr, nullptr, TRUE,
                                      CREATE_SUSPENDED | CREATE_DEFAULT_ERROR_MODE | flags, nullptr,
                                      folder, &startup, process);
}

// Ends a process that never ran and waits until it has: until then its file
// stays mapped, and the copy it lies in could not be removed.
void EndUnstarted(const PROCESS_INFORMATION& process) {
    processStart.terminateProcess(process.hProcess, 1);
    processStart.waitForSingleObject(process.hProcess, INFINITE);
}

void CloseProcess(const PROCESS_INFORMATION& process) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

} // namespace

int RunAndWaitForAll(const char* path, const char* folder, uint32_t* exitCode) {
    HANDLE job, port;
    int inJob = MakeJob(&job, &port);
    PROCESS_INFORMATION process;
    int ok = StartSuspended(path, folder, 0, &process);
    if (ok && inJob && !processStart.assignProcessToJobObject(job, process.hProcess)) {
        // Windows 7 and older put no process in a second job: where this
        // program already runs in one, setup joins this program's job only if
        // that job lets it break away. Else setup alone is waited for.
        PROCESS_INFORMATION brokenAway;
        inJob = StartSuspended(path, folder, CREATE_BREAKAWAY_FROM_JOB, &brokenAway);
        if (inJob) {
            EndUnstarted(process);
            CloseProcess(process);
            process = brokenAway;
            inJob = processStart.assignProcessToJobObject(job, process.hProcess);
        }
    }
    if (ok) {
        if (processStart.resumeThread(process.hThread) == static_cast<DWORD>(-1)) {
            // Never to run, it would be waited for for ever.
            EndUnstarted(process);
            ok = 0;
        } else {
            if (!inJob || !WaitForEmptyJob(job, port)) {
                WaitForProcess(process.hProcess);
                // Setup alone was followed: one that handed the install over
                // to Windows Installer and exited leaves it reading the copy.
                WaitForInstaller();
            }
            DWORD code = 0;
            ok = GetExitCodeProcess(process.hProcess, &code);
            *exitCode = code;
        }
        CloseProcess(process);
    }
    if (port)
        CloseHandle(port);
    if (job)
        CloseHandle(job);
    return ok;
}
