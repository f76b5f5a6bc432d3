#include "platform/Process.h"
#include "platform/ProcessStart_win.h"

#include <windows.h>
#include <stdio.h>
#include <tlhelp32.h>

ProcessStartCalls processStart = {SetInformationJobObject,
                                  CreateProcessA,
                                  AssignProcessToJobObject,
                                  ResumeThread,
                                  TerminateProcess,
                                  WaitForSingleObject,
                                  GetQueuedCompletionStatus,
                                  nullptr,
                                  nullptr};

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

// How many processes, setup among them, the wait without a job follows; any
// beyond are left to the wait for Windows Installer.
const int kMostFollowed = 128;

// A process the wait without a job follows: setup, or one that a followed
// process started. Its handle keeps its id from being given to another.
struct Followed {
    DWORD id;
    HANDLE handle;
};

ULONGLONG Ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// When the process was created, and when it ended, or the latest time while
// it runs; 0 when the system does not say.
int ProcessTimes(HANDLE process, ULONGLONG* created, ULONGLONG* ended) {
    // Looked at first: the end time is only given once the process has ended.
    int hasEnded = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user))
        return 0;
    *created = Ticks(creation);
    *ended = hasEnded ? Ticks(exit) : ~0ULL;
    return 1;
}

int FindFollowed(const Followed* followed, int count, DWORD id) {
    for (int i = 0; i < count; ++i)
        if (followed[i].id == id)
            return i;
    return -1;
}

// Opens the process a snapshot taken by `listed` showed with the parent's id,
// and keeps it only when it was created while that parent ran and before the
// snapshot: a process that merely got an id that was used before is never
// followed.
int Follow(const Followed& parent, DWORD id, ULONGLONG listed, Followed* child) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
    if (!process)
        return 0;
    ULONGLONG created, ended, parentCreated, parentEnded;
    if (ProcessTimes(process, &created, &ended) &&
        ProcessTimes(parent.handle, &parentCreated, &parentEnded) && created >= parentCreated &&
        created <= parentEnded && created <= listed) {
        *child = {id, process};
        return 1;
    }
    CloseHandle(process);
    return 0;
}

// Follows every process that a followed one started and that is not followed
// yet, as one snapshot of the system's processes shows them; 1 when any was.
int FollowStarted(Followed* followed, int* count) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    int any = 0, more;
    // A process may be listed before the one that started it: the snapshot is
    // gone through again until nothing more is found in it.
    do {
        more = 0;
        PROCESSENTRY32 entry;
        entry.dwSize = sizeof entry;
        for (BOOL listed = Process32First(snapshot, &entry); listed && *count < kMostFollowed;
             listed = Process32Next(snapshot, &entry)) {
            int parent = FindFollowed(followed, *count, entry.th32ParentProcessID);
            if (parent >= 0 && FindFollowed(followed, *count, entry.th32ProcessID) < 0 &&
                Follow(followed[parent], entry.th32ProcessID, Ticks(now), &followed[*count])) {
                ++*count;
                more = 1;
            }
        }
        any |= more;
    } while (more);
    CloseHandle(snapshot);
    return any;
}

// Waits until setup, and every process that it or one it started has started,
// have ended: a setup that hands the install over to Windows Installer leaves
// it in its first phase, in which it holds no mutex yet. The system's list of
// processes is looked at a few times a second while any runs, and once more
// when none does.
void WaitForStarted(const PROCESS_INFORMATION& setup) {
    Followed followed[kMostFollowed];
    followed[0] = {setup.dwProcessId, setup.hProcess};
    int count = 1;
    for (;;) {
        HANDLE running = nullptr;
        for (int i = 0; i < count && !running; ++i)
            if (WaitForSingleObject(followed[i].handle, 0) != WAIT_OBJECT_0)
                running = followed[i].handle;
        // Taken after the look: a process that ended before it started all it
        // ever will, and the snapshot shows those that still run.
        int started = FollowStarted(followed, &count);
        if (!running && !started)
            break;
        if (running)
            AnswerSentAndWait(running, kPollMilliseconds);
    }
    for (int i = 1; i < count; ++i)
        CloseHandle(followed[i].handle);
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
    // A program started inherits the DLL directory: where this one set its
    // own, setup gets the default one, and this program its own back before
    // it loads anything.
    if (processStart.setDllDirectory)
        processStart.setDllDirectory(nullptr);
    BOOL created = processStart.createProcess(path, commandLine, nullptr, nullptr, TRUE,
                                              CREATE_SUSPENDED | CREATE_DEFAULT_ERROR_MODE | flags,
                                              nullptr, folder, &startup, process);
    if (processStart.setDllDirectory && !processStart.setDllDirectory(processStart.dllDirectory)) {
        // Not run yet, and this program's search would take the current
        // folder in: neither goes on.
        if (created) {
            EndUnstarted(*process);
            CloseProcess(*process);
        }
        created = FALSE;
    }
    return created;
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
                WaitForStarted(process);
                // What escaped that (a process that ended before it was seen,
                // or one that Windows Installer's service started) may still
                // be installing from the copy.
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
