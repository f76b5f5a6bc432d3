#include "app/PatcherApp.h"
#include "app/PatcherDlg.h"
#include "platform/CommonControls.h"
#include "res/resource.h"

#include <cstring>

namespace {

// One patch run at a time on this machine: a second start would find the
// temporary folder in use and its clean-up would delete it under the running
// copy. Global, so that a run in another user's session counts too.
const char kGlobalRun[] = "Global\\Quillmend.VardenholtPatcher.Run";
const char kLocalRun[] = "Local\\Quillmend.VardenholtPatcher.Run";

// True when this process now holds the run. The system lets go of it when the
// process ends, however it ends, so a killed run never blocks the next one.
bool TakeTheRun() {
    HANDLE run = CreateMutexA(nullptr, FALSE, kGlobalRun);
    // Making a global object may be refused; this session then serves.
    if (!run)
        run = CreateMutexA(nullptr, FALSE, kLocalRun);
    if (!run)
        return true; // with nothing to go by, the run goes on as it always did
    DWORD waited = WaitForSingleObject(run, 0);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

BOOL CALLBACK BringToFrontIfRunning(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char text[sizeof PATCHER_CAPTION + 1];
    if (process == GetCurrentProcessId() || !IsWindowVisible(window) ||
        !GetClassNameA(window, text, sizeof text) || std::strcmp(text, "#32770") != 0 ||
        !GetWindowTextA(window, text, sizeof text) || std::strcmp(text, PATCHER_CAPTION) != 0)
        return TRUE;
    SetForegroundWindow(window);
    return FALSE;
}

} // namespace

BOOL PatcherApp::InitInstance() {
    if (!TakeTheRun()) {
        // The running program's visible window (welcome, prompt or progress)
        // is what the user meant to get.
        EnumWindows(BringToFrontIfRunning, 0);
        return FALSE;
    }
    // The progress bar's window class has to exist before the progress window
    // is made from its template; without it no run could show its progress.
    if (!LoadCommonControls())
        return FALSE;
    CWinApp::InitInstance();
    SetRegistryKey("Local AppWizard-Generated Applications");

    PatcherDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    return FALSE;
}
