// A stand-in for a product disc's own setup program, for the tests and the demo.
// It installs "Vardenholt.msi" from its own folder with the system's msiexec,
// waits for it, and returns its exit code. Options come from "setup.ini" beside it:
//
//   [setup]
//   quiet=1       install without a user interface (msiexec /qn)
//   exit_code=3   return 3 whatever msiexec returned
//   handover=5    like the launchers many discs carry: start a copy of itself
//                 and return 0 at once; the copy waits 5 seconds, then installs
//   broadcast=1   once installed, tell every top-level window that the
//                 environment changed, as installers do, and wait for all the
//                 answers; then append "broadcast answered" to the log
//   restart=1     once installed, ask for a restart as setups that replaced
//                 files in use do: with SeShutdownPrivilege enabled, call
//                 ExitWindowsEx(EWX_REBOOT), append "restart asked" to the log
//                 and wait, with a hidden window, until the session ends it
//   closeapp=1    once installed, close the program that started it as the
//                 Restart Manager closes programs for an installer: the end
//                 of the session with ENDSESSION_CLOSEAPP, sent to each of its
//                 top-level windows, which it need not obey; once every
//                 window answered, append "close answered" to the log
//
// Each run first appends its own command line, as one line, to C:\setup-standin.log,
// so that a test can see how it was started.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kLogPath[] = "C:\\setup-standin.log";
const DWORD kCannotStart = 1; // msiexec could not be started
const char kHandedOver[] = "/handed-over";

void AppendToLog(const char* line) {
    HANDLE log = CreateFileA(kLogPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(log, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    WriteFile(log, "\r\n", 2, &written, nullptr);
    CloseHandle(log);
}

// The folder this program was started from, with its trailing backslash.
bool OwnFolder(char (&folder)[MAX_PATH]) {
    DWORD length = GetModuleFileNameA(nullptr, folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    char* slash = std::strrchr(folder, '\\');
    if (!slash)
        return false;
    slash[1] = '\0';
    return true;
}

// Starts a program; its process handle, or null when it could not be started.
HANDLE Start(const char* program, char* commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

DWORD RunAndWait(const char* program, char* commandLine) {
    HANDLE process = Start(program, commandLine);
    if (!process)
        return kCannotStart;
    WaitForSingleObject(process, INFINITE);
    DWORD exitCode = kCannotStart;
    GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    return exitCode;
}

bool EnableShutdownPrivilege() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool enabled =
        LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
        GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return enabled;
}

LRESULT CALLBACK RestartWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message == WM_ENDSESSION && wParam) || message == WM_TIMER)
        PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

// Asks for the restart and waits for the session to end, as a setup's "Restart
// now" does: its window is one of those the end of the session goes through,
// so it is made before the request. A restart that never comes ends the wait
// after a minute.
void AskForRestart() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RestartWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SetupStandinRestart";
    HWND window = RegisterClassA(&windowClass)
                      ? CreateWindowExA(0, windowClass.lpszClassName, "Setup", WS_OVERLAPPED, 0, 0,
                                        100, 100, nullptr, nullptr, windowClass.hInstance, nullptr)
                      : nullptr;
    if (!window || !EnableShutdownPrivilege() ||
        !ExitWindowsEx(EWX_REBOOT, SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED))
        return;
    AppendToLog("restart asked");
    SetTimer(window, 1, 60000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
}

// The process that started this one, or 0.
DWORD ParentProcessId() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD parent = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && !parent;
         more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == GetCurrentProcessId())
            parent = entry.th32ParentProcessID;
    CloseHandle(snapshot);
    return parent;
}

struct CloseApp {
    DWORD process;
    int windows, answered;
};

BOOL CALLBACK SendCloseApp(HWND window, LPARAM lParam) {
    CloseApp* close = reinterpret_cast<CloseApp*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != close->process)
        return TRUE;
    ++close->windows;
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_NORMAL, 10000,
                            &result) &&
        SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_NORMAL, 10000,
                            &result))
        ++close->answered;
    return TRUE;
}

void CloseStarter() {
    CloseApp close = {ParentProcessId(), 0, 0};
    if (close.process && EnumWindows(SendCloseApp, reinterpret_cast<LPARAM>(&close)) &&
        close.windows > 0 && close.answered == close.windows)
        AppendToLog("close answered");
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    AppendToLog(GetCommandLineA());

    char folder[MAX_PATH];
    if (!OwnFolder(folder))
        return kCannotStart;
    char ini[MAX_PATH];
    if (std::snprintf(ini, sizeof ini, "%ssetup.ini", folder) >= static_cast<int>(sizeof ini))
        return kCannotStart;
    int quiet = GetPrivateProfileIntA("setup", "quiet", 0, ini);
    int handover = GetPrivateProfileIntA("setup", "handover", 0, ini);
    // The copy is told apart by the one argument it is given.
    const char* handedOver = std::strstr(GetCommandLineA(), kHandedOver);
    if (handover > 0 && !handedOver) {
        char self[MAX_PATH];
        char copyLine[2 * MAX_PATH];
        DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
        if (length == 0 || length >= MAX_PATH ||
            std::snprintf(copyLine, sizeof copyLine, "\"%s\" %s", self, kHandedOver) >=
                static_cast<int>(sizeof copyLine))
            return kCannotStart;
        HANDLE copy = Start(self, copyLine);
        if (!copy)
            return kCannotStart;
        CloseHandle(copy);
        return 0;
    }
    if (handedOver)
        Sleep(static_cast<DWORD>(handover) * 1000);
    char forced[32];
    GetPrivateProfileStringA("setup", "exit_code", "", forced, sizeof forced, ini);

    // The system's own msiexec by its full path, never one beside the package.
    char msiexec[MAX_PATH];
    UINT systemLength = GetSystemDirectoryA(msiexec, MAX_PATH);
    if (systemLength == 0 || systemLength >= MAX_PATH ||
        std::strlen(msiexec) + sizeof "\\msiexec.exe" > sizeof msiexec)
        return kCannotStart;
    std::strcat(msiexec, "\\msiexec.exe");
    char commandLine[3 * MAX_PATH];
    int length = std::snprintf(commandLine, sizeof commandLine, "\"%s\" /i \"%sVardenholt.msi\"%s",
                               msiexec, folder, quiet ? " /qn" : "");
    if (length < 0 || length >= static_cast<int>(sizeof commandLine))
        return kCannotStart;

    DWORD exitCode = RunAndWait(msiexec, commandLine);
    if (GetPrivateProfileIntA("setup", "broadcast", 0, ini)) {
        SendMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("Environment"));
        AppendToLog("broadcast answered");
    }
    if (GetPrivateProfileIntA("setup", "closeapp", 0, ini))
        CloseStarter();
    if (GetPrivateProfileIntA("setup", "restart", 0, ini))
        AskForRestart();
    if (forced[0])
        return static_cast<int>(std::strtol(forced, nullptr, 10));
    return static_cast<int>(exitCode);
}
