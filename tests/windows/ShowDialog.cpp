// Shows one of the program's three dialogs, made by the program's own code,
// until its standard input ends; prints the window's place and size once it is
// up, for scripts/pictures to capture.   ShowDialog welcome|progress|prompt
// With "sizes", prints each dialog's window size instead and ends.
#include "app/PatcherDlg.h"
#include "patch/PatchRun.h"
#include "res/resource.h"
#include "platform/CommonControls.h"
#include "ui/Progress.h"

#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr char kCaption[] = "Vardenholt Installer Patcher v1.0.1";

struct Found {
    HWND window;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
    char text[64];
    GetWindowTextA(hwnd, text, sizeof text);
    if (IsWindowVisible(hwnd) && std::strcmp(text, kCaption) == 0) {
        reinterpret_cast<Found*>(param)->window = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Waits for the dialog to come up and paint, reports where it is, then ends
// the user-interface thread's loop when the standard input ends.
void Watch(DWORD uiThread) {
    Found found = {nullptr};
    for (int i = 0; i < 500 && !found.window; ++i) {
        Sleep(20);
        EnumThreadWindows(uiThread, Visit, reinterpret_cast<LPARAM>(&found));
    }
    if (found.window) {
        Sleep(500); // lets it paint
        RECT r;
        GetWindowRect(found.window, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    } else {
        std::printf("none\n");
    }
    std::fflush(stdout);
    char line[16];
    while (std::fgets(line, sizeof line, stdin)) {
    }
    PostThreadMessageA(uiThread, WM_QUIT, 0, 0);
}

int PrintSizes() {
    const struct {
        const char* name;
        UINT id;
    } dialogs[] = {
        {"welcome", IDD_PATCHER_DIALOG}, {"progress", IDD_PROGRESS}, {"prompt", IDD_PROMPT}};
    for (const auto& d : dialogs) {
        CDialog dialog(d.id);
        if (!dialog.Create(d.id))
            return 1;
        RECT r;
        GetWindowRect(dialog.m_hWnd, &r);
        std::printf("%s %ld %ld\n", d.name, r.right - r.left, r.bottom - r.top);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (!LoadCommonControls())
        return 1;
    const char* which = argc > 1 ? argv[1] : "";
    if (std::strcmp(which, "sizes") == 0)
        return PrintSizes();

    if (std::strcmp(which, "welcome") != 0 && std::strcmp(which, "prompt") != 0 &&
        std::strcmp(which, "progress") != 0) {
        std::fprintf(stderr, "usage: ShowDialog welcome|progress|prompt|sizes\n");
        return 2;
    }

    std::thread watcher(Watch, GetCurrentThreadId());
    if (std::strcmp(which, "welcome") == 0) {
        PatcherDlg dialog;
        dialog.DoModal();
    } else if (std::strcmp(which, "prompt") == 0) {
        PatchRun run;
        run.ShowPrompt("\n        Please insert the original Vardenholt Disk, then click on OK", 0,
                       0);
    } else {
        // As the copy opens it, then part-way through a file.
        OpenProgress("Copying Files. Please Wait...");
        UpdateProgress(1, "");
        UpdateProgress(0, "");
        UpdateProgress(42, "D:\\Data\\Maps\\Northreach.map");
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        CloseProgress();
    }
    watcher.join();
    return 0;
}
