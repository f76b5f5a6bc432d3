// The start of setup and the wait for it, through the calls that start it: the
// order they come in, what happens when the system refuses one, and what the
// thread does while it waits.
#include "RecordArgsPath.h"
#include "RunSetupPath.h"
#include "TestDrives.h"

#include "platform/Process.h"
#include "platform/ProcessStart_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// The system a test plays: processes started without breaking away are in an
// outer job that refuses them a second one, as on Windows 7 and older; that
// job may refuse breakaway; resuming may fail.
struct System {
    bool outerJob = false;
    bool breakawayRefused = false;
    bool resumeFails = false;
};

System sys;
std::vector<std::string> calls;
std::vector<HANDLE> processes, threads;
std::vector<bool> brokeAway;
std::vector<DWORD> createFlags;
DWORD jobLimits;

std::string Number(const std::vector<HANDLE>& handles, HANDLE handle) {
    for (size_t i = 0; i < handles.size(); ++i)
        if (handles[i] == handle)
            return "#" + std::to_string(i + 1);
    return "#?";
}

BOOL WINAPI Create(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES process,
                   LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags, LPVOID environment,
                   LPCSTR folder, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION information) {
    bool breakAway = flags & CREATE_BREAKAWAY_FROM_JOB;
    createFlags.push_back(flags);
    std::string call = "create";
    if (flags & CREATE_SUSPENDED)
        call += " suspended";
    if (breakAway)
        call += " breakaway";
    if (breakAway && sys.breakawayRefused) {
        calls.push_back(call + ": refused");
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    BOOL created = CreateProcessA(application, commandLine, process, thread, inherit, flags,
                                  environment, folder, startup, information);
    if (created) {
        processes.push_back(information->hProcess);
        threads.push_back(information->hThread);
        brokeAway.push_back(breakAway);
        call += " " + Number(processes, information->hProcess);
    }
    calls.push_back(call);
    return created;
}

BOOL WINAPI SetJobInformation(HANDLE job, JOBOBJECTINFOCLASS kind, LPVOID information,
                              DWORD length) {
    if (kind == JobObjectExtendedLimitInformation)
        jobLimits = static_cast<JOBOBJECT_EXTENDED_LIMIT_INFORMATION*>(information)
                        ->BasicLimitInformation.LimitFlags;
    return SetInformationJobObject(job, kind, information, length);
}

BOOL WINAPI Assign(HANDLE job, HANDLE process) {
    std::string call = "assign " + Number(processes, process);
    for (size_t i = 0; i < processes.size(); ++i)
        if (processes[i] == process && sys.outerJob && !brokeAway[i]) {
            calls.push_back(call + ": refused");
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    calls.push_back(call);
    return AssignProcessToJobObject(job, process);
}

DWORD WINAPI Resume(HANDLE thread) {
    std::string call = "resume " + Number(threads, thread);
    if (sys.resumeFails) {
        calls.push_back(call + ": failed");
        SetLastError(ERROR_ACCESS_DENIED);
        return static_cast<DWORD>(-1);
    }
    calls.push_back(call);
    return ResumeThread(thread);
}

BOOL WINAPI Terminate(HANDLE process, UINT exitCode) {
    calls.push_back("terminate " + Number(processes, process));
    return TerminateProcess(process, exitCode);
}

DWORD WINAPI Wait(HANDLE handle, DWORD milliseconds) {
    DWORD result = WaitForSingleObject(handle, milliseconds);
    calls.push_back("wait " + Number(processes, handle) +
                    (result == WAIT_OBJECT_0 ? ": ended" : ": not ended"));
    return result;
}

// Waits until the file has been written, at most 30 seconds; what it holds.
std::string AwaitFile(const std::string& path) {
    std::string text;
    for (int i = 0; i < 300 && (text = ReadAll(path)).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return text;
}

// Waits until setup's file is no longer in use, at most 30 seconds, and
// removes it, so that the folder can go when the test ends.
void RemoveWhenEnded(const std::string& path) {
    for (int i = 0; i < 300 && !DeleteFileA(path.c_str()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

struct SetupWait : ::testing::Test {
    TestDrives drives;
    std::string folder = std::string(kTestRoot) + "\\QuillmendTemp\\";
    std::string setup = folder + "setup.exe";
    ProcessStartCalls saved = processStart;

    SetupWait() {
        sys = System();
        calls.clear();
        processes.clear();
        threads.clear();
        brokeAway.clear();
        createFlags.clear();
        jobLimits = 0;
        processStart = {SetJobInformation,         Create,  Assign, Resume, Terminate, Wait,
                        GetQueuedCompletionStatus, nullptr, nullptr};
        SetEnvironmentVariableA("RECORD_ARGS_LOG", (folder + "setup-runs.txt").c_str());
    }
    ~SetupWait() override {
        processStart = saved;
        SetEnvironmentVariableA("RECORD_ARGS_LOG", nullptr);
    }

    void InstallSetup(int exitCode, std::vector<std::string> modes = {}) {
        MakeFolder(folder);
        std::ifstream in(RECORD_ARGS_PATH, std::ios::binary);
        ASSERT_TRUE(in) << RECORD_ARGS_PATH;
        std::ostringstream program;
        program << in.rdbuf();
        MakeFile(setup, program.str());
        MakeFile(folder + "exitcode.txt", std::to_string(exitCode));
        for (const std::string& mode : modes)
            MakeFile(folder + mode, "");
    }

    // How many times setup itself got to run.
    int SetupRuns() {
        std::istringstream log(ReadAll(folder + "setup-runs.txt"));
        int runs = 0;
        for (std::string line; std::getline(log, line);)
            ++runs;
        return runs;
    }
};

using Calls = std::vector<std::string>;

// Setup must be in the job before it runs a single instruction, or what it
// starts at once escapes the wait; and the job must neither kill setup when
// this program ends nor let what setup starts leave it without asking.
TEST_F(SetupWait, StartsSetupSuspendedThenPutsItInTheJobThenResumesIt) {
    InstallSetup(7);
    uint32_t exitCode = 0;
    ASSERT_EQ(RunAndWaitForAll(setup.c_str(), folder.c_str(), &exitCode), 1);
    EXPECT_EQ(exitCode, 7u);
    EXPECT_EQ(calls, (Calls{"create suspended #1", "assign #1", "resume #1"}));
    EXPECT_EQ(jobLimits, static_cast<DWORD>(JOB_OBJECT_LIMIT_BREAKAWAY_OK));
}

// Inside a job that refuses a second one, setup is started again breaking away
// from it, once the first start has ended, so that the wait still covers what
// setup hands over to; where breakaway is refused too, the first start runs
// and what it starts is followed from it. Either way setup itself runs once.
TEST_F(SetupWait, InsideAJobThatRefusesASecondOneBreaksAwayWhereItMay) {
    struct Case {
        bool breakawayRefused;
        Calls calls;
    } cases[] = {
        {false,
         {"create suspended #1", "assign #1: refused", "create suspended breakaway #2",
          "terminate #1", "wait #1: ended", "assign #2", "resume #2"}},
        {true,
         {"create suspended #1", "assign #1: refused", "create suspended breakaway: refused",
          "resume #1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.breakawayRefused ? "breakaway refused" : "breakaway allowed");
        TestDrives fresh;
        InstallSetup(0, {"handover.txt"});
        calls.clear();
        processes.clear();
        threads.clear();
        brokeAway.clear();
        sys.outerJob = true;
        sys.breakawayRefused = c.breakawayRefused;
        uint32_t exitCode = 1;
        EXPECT_EQ(RunAndWaitForAll(setup.c_str(), folder.c_str(), &exitCode), 1);
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(calls, c.calls);
        // The handed-over process wrote this as its last act: it was waited
        // for, in the job or followed from setup.
        EXPECT_TRUE(Exists(folder + "handed-over.txt"));
        EXPECT_EQ(SetupRuns(), 1);
        AwaitFile(folder + "handed-over.txt");
        RemoveWhenEnded(setup);
    }
}

// This program's error mode keeps its drive probes quiet; setup, and the
// installer it starts, must keep their own "insert disk" and "file in use"
// prompts, however setup is started. Wine 8 passes no error mode on to a
// child, so only the flags can show it.
TEST_F(SetupWait, StartsSetupWithTheDefaultErrorMode) {
    for (bool outerJob : {false, true}) {
        SCOPED_TRACE(outerJob ? "breaking away from an outer job" : "in the job");
        TestDrives fresh;
        InstallSetup(0);
        createFlags.clear();
        sys.outerJob = outerJob;
        uint32_t exitCode = 1;
        EXPECT_EQ(RunAndWaitForAll(setup.c_str(), folder.c_str(), &exitCode), 1);
        ASSERT_EQ(createFlags.size(), outerJob ? 2u : 1u);
        for (DWORD flags : createFlags)
            EXPECT_TRUE(flags & CREATE_DEFAULT_ERROR_MODE) << std::hex << flags;
        RemoveWhenEnded(setup);
    }
}

// Where setup can join no job and is waited for alone, a setup that hands the
// install over to Windows Installer and exits at once must not lose its copy:
// the wait goes on while the installer's mutex shows an installation.
TEST_F(SetupWait, WhereSetupIsWaitedForAloneWaitsForWindowsInstaller) {
    InstallSetup(0, {"installer.txt"});
    sys.outerJob = true;
    sys.breakawayRefused = true;
    uint32_t exitCode = 1;
    EXPECT_EQ(RunAndWaitForAll(setup.c_str(), folder.c_str(), &exitCode), 1);
    EXPECT_EQ(exitCode, 0u);
    ASSERT_EQ(ReadAll(folder + "installer-start.txt"), "1") << "the stand-in held no mutex";
    EXPECT_EQ(ReadAll(folder + "installed.txt"), "installed")
        << "the wait ended while the installer's mutex was held";
    AwaitFile(folder + "installed.txt");
    RemoveWhenEnded(setup);
}

// Where setup can join no job, Windows Installer started by it holds no mutex
// in its first phase, the user interface, and the install may go on in a
// process that the installer started after setup had exited: the wait lasts
// until all of them have ended and the installer's mutex is free.
TEST_F(SetupWait, WhereSetupCanJoinNoJobWaitsForWhatItAndItsChildrenStarted) {
    InstallSetup(0, {"msiexec.txt"});
    sys.outerJob = true;
    sys.breakawayRefused = true;
    uint32_t exitCode = 1;
    EXPECT_EQ(RunAndWaitForAll(setup.c_str(), folder.c_str(), &exitCode), 1);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadAll(folder + "msiexec-done.txt"), "done")
        << "the wait ended before the installer had";
    EXPECT_EQ(ReadAll(folder + "helper-done.txt"), "done")
        << "the wait ended before the process the installer started after setup had exited";
    HANDLE running = OpenMutexA(SYNCHRONIZE, FALSE, "Global\\_MSIExecute");
    if (running) {
        EXPECT_EQ(WaitForSingleObject(running, 0), static_cast<DWORD>(WAIT_OBJECT_0))
            << "the installer's mutex is still held";
        ReleaseMutex(running);
        CloseHandle(running);
    }
    ASSERT_EQ(AwaitFile(folder + "msiexec-start.txt"), "1") << "the stand-in held no mutex";
    AwaitFile(folder + "helper-done.txt");
    RemoveWhenEnded(setup);
}

typedef BOOL(WINAPI* SetDllDirectoryFn)(LPCSTR);
SetDllDirectoryFn SystemSetDllDirectory() {
    return reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDllDirectoryA")));
}

// Windows Installer's service, which setup did not start, may install from the
// copy once every process that setup started has ended: while it holds its
// mutex, the wait goes on. Here a thread of this program holds it.
TEST_F(SetupWait, WhereSetupCanJoinNoJobWaitsWhileTheInstallersMutexIsHeldElsewhere) {
    InstallSetup(0);
    sys.outerJob = true;
    sys.breakawayRefused = true;
    HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> released(false);
    std::thread service([&] {
        HANDLE running = CreateMutexA(nullptr, TRUE, "Global\\_MSIExecute");
        SetEvent(taken);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        released = true;
        ReleaseMutex(running);
        CloseHandle(running);
    });
    WaitForSingleObject(taken, INFINITE);
    uint32_t exitCode = 1;
    EXPECT_EQ(RunAndWaitForAll(setup.c_str(), folder.c_str(), &exitCode), 1);
    EXPECT_TRUE(released) << "the wait ended while the installer's mutex was held";
    service.join();
    CloseHandle(taken);
    RemoveWhenEnded(setup);
}

// SetDllDirectoryA, as the program has it where it sets its own DLL
// directory, recorded with the calls that start setup.
BOOL WINAPI RecordDllDirectory(LPCSTR folder) {
    calls.push_back(folder ? "dll directory \"" + std::string(folder) + "\""
                           : "dll directory default");
    return SystemSetDllDirectory()(folder);
}

// Setup, and all it starts, would inherit the program's DLL directory and lose
// the current folder from their DLL search: it is started with the default
// one, and the program's own is back before anything else is done.
TEST_F(SetupWait, StartsSetupWithTheDefaultDllDirectoryAndSetsItsOwnAgain) {
    InstallSetup(0);
    char system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);
    ASSERT_TRUE(SystemSetDllDirectory()(system));
    processStart.setDllDirectory = RecordDllDirectory;
    processStart.dllDirectory = system;
    uint32_t exitCode = 1;
    EXPECT_EQ(RunAndWaitForAll(setup.c_str(), folder.c_str(), &exitCode), 1);
    EXPECT_EQ(calls,
              (Calls{"dll directory default", "create suspended #1",
                     "dll directory \"" + std::string(system) + "\"", "assign #1", "resume #1"}));
    SystemSetDllDirectory()(nullptr);
}

// A setup that cannot be resumed never runs: it is ended and waited for before
// the launch reports failure, so that its file is no longer in use.
TEST_F(SetupWait, EndsAndWaitsForASetupThatCannotBeResumed) {
    InstallSetup(0);
    sys.resumeFails = true;
    uint32_t exitCode;
    EXPECT_EQ(RunAndWaitForAll(setup.c_str(), folder.c_str(), &exitCode), 0);
    EXPECT_EQ(calls, (Calls{"create suspended #1", "assign #1", "resume #1: failed", "terminate #1",
                            "wait #1: ended"}));
    EXPECT_EQ(SetupRuns(), 0);
}

// A port that never gives the job's messages, which Windows does not promise.
int silentReads;
BOOL WINAPI SilentPort(HANDLE, LPDWORD, PULONG_PTR, LPOVERLAPPED* overlapped, DWORD) {
    ++silentReads;
    *overlapped = nullptr;
    SetLastError(WAIT_TIMEOUT);
    return FALSE;
}

// Without a word from the port, the wait still ends once setup and what it
// handed over to have ended, by the job's own count, and not when setup
// alone has. A wait that ends only on the port's word never ends here: the
// time limit makes that a failure.
TEST_F(SetupWait, EndsByTheJobsCountWhenItsPortStaysSilent) {
    InstallSetup(3, {"handover.txt"});
    processStart.readJobPort = SilentPort;
    silentReads = 0;
    uint32_t exitCode = 0;
    EXPECT_EQ(RunAndWaitForAll(setup.c_str(), folder.c_str(), &exitCode), 1);
    EXPECT_EQ(exitCode, 3u);
    EXPECT_GT(silentReads, 0) << "the port was never read";
    // The handed-over process wrote this as its last act.
    EXPECT_TRUE(Exists(folder + "handed-over.txt"));
    RemoveWhenEnded(setup);
}

// What the thread's window is sent while setup runs, and what is posted to it.
int settingChanges;
int posted;
LRESULT CALLBACK Listen(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTINGCHANGE && lParam &&
        std::string(reinterpret_cast<const char*>(lParam)) == "Environment")
        ++settingChanges;
    if (message == WM_APP)
        ++posted;
    return DefWindowProcA(window, message, wParam, lParam);
}

// Setup broadcasts to every top-level window, this thread's hidden one among
// them, and waits for every answer: the wait answers it, in the job and where
// setup alone is waited for, and takes nothing posted from the queue. So does
// the wait for Windows Installer, which broadcasts too once setup has gone.
TEST_F(SetupWait, AnswersWhatSetupSendsAndTakesNothingPosted) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display (DISPLAY is not set), so no window; scripts/test starts Xvfb";
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Listen;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SetupWaitListener";
    RegisterClassA(&windowClass);
    struct Case {
        bool alone, installer;
        const char* name;
    } cases[] = {{false, false, "in the job"},
                 {true, false, "setup alone"},
                 {true, true, "setup alone, then Windows Installer"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool alone = c.alone;
        TestDrives fresh;
        InstallSetup(5, c.installer ? std::vector<std::string>{"broadcast.txt", "installer.txt"}
                                    : std::vector<std::string>{"broadcast.txt"});
        sys.outerJob = alone;
        sys.breakawayRefused = alone;
        HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0,
                                      100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        settingChanges = posted = 0;
        PostMessageA(window, WM_APP, 0, 0);
        uint32_t exitCode = 0;
        EXPECT_EQ(RunAndWaitForAll(setup.c_str(), folder.c_str(), &exitCode), 1);
        EXPECT_EQ(exitCode, 5u);
        EXPECT_EQ(ReadAll(folder + "broadcast-answered.txt"), "answered");
        EXPECT_EQ(settingChanges, c.installer ? 2 : 1);
        EXPECT_EQ(posted, 0);
        MSG message;
        EXPECT_TRUE(PeekMessageA(&message, window, WM_APP, WM_APP, PM_REMOVE));
        DestroyWindow(window);
        if (c.installer)
            RemoveWhenEnded(setup);
    }
    UnregisterClassA(windowClass.lpszClassName, windowClass.hInstance);
}

// This program ending while setup runs (killed, or crashed) must not take
// setup, or what setup started, with it.
TEST_F(SetupWait, SetupAndWhatItStartedOutliveTheProgram) {
    InstallSetup(0, {"linger.txt"});
    processStart = saved;
    std::string commandLine = std::string("\"") + RUN_SETUP_PATH + "\" " + folder;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION launcher;
    ASSERT_TRUE(CreateProcessA(RUN_SETUP_PATH, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &launcher));
    std::string started = AwaitFile(folder + "linger-start.txt");
    TerminateProcess(launcher.hProcess, 9);
    WaitForSingleObject(launcher.hProcess, INFINITE);
    CloseHandle(launcher.hThread);
    CloseHandle(launcher.hProcess);
    ASSERT_EQ(started, "1") << "setup did not start what it starts";
    MakeFile(folder + "release.txt", "");
    ASSERT_EQ(AwaitFile(folder + "setup-lived.txt"), "released") << "setup ended with the program";
    EXPECT_EQ(AwaitFile(folder + "lingered.txt"), "released")
        << "what setup started ended with the program";
    RemoveWhenEnded(setup);
}

} // namespace
