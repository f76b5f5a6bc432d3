#include "WindowTest.h"

#include "platform/CommonControls.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

struct Search {
    const char* caption;
    bool visibleOnly;
    HWND found;
    int count;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
    Search& search = *reinterpret_cast<Search*>(param);
    if (WindowText(hwnd) != search.caption)
        return TRUE;
    char className[32];
    GetClassNameA(hwnd, className, sizeof className);
    if (std::strcmp(className, "#32770") != 0)
        return TRUE;
    if (search.visibleOnly && !IsWindowVisible(hwnd))
        return TRUE;
    search.found = hwnd;
    ++search.count;
    return TRUE;
}

LRESULT CALLBACK FailCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA* cs = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        if (!IS_INTRESOURCE(cs->lpszName) && cs->lpszName &&
            std::strcmp(cs->lpszName, kCaption) == 0)
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

void WindowTest::SetUp() {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display (DISPLAY is not set); scripts/test starts Xvfb";
    // As the program does: the progress bar's class comes from the loaded controls.
    ASSERT_TRUE(LoadCommonControls());
}

void WindowTest::TearDown() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

std::string WindowText(HWND hwnd) {
    char text[512];
    int length = GetWindowTextA(hwnd, text, sizeof text);
    return std::string(text, length > 0 ? length : 0);
}

HWND FindDialog(DWORD thread, const char* caption) {
    Search search = {caption, true, nullptr, 0};
    EnumThreadWindows(thread, Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int CountDialogs(DWORD thread, const char* caption) {
    Search search = {caption, false, nullptr, 0};
    EnumThreadWindows(thread, Visit, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

void Click(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    ASSERT_NE(button, nullptr) << "no button " << id;
    SendMessageA(button, BM_CLICK, 0, 0);
}

DialogDriver::DialogDriver(const char* caption, std::function<void(HWND)> action) {
    DWORD thread = GetCurrentThreadId();
    std::string wanted = caption;
    m_thread = std::thread([thread, wanted, action] {
        using Clock = std::chrono::steady_clock;
        auto deadline = Clock::now() + std::chrono::seconds(20);
        HWND dialog = nullptr;
        while (!(dialog = FindDialog(thread, wanted.c_str())) && Clock::now() < deadline)
            Sleep(20);
        if (!dialog) {
            ADD_FAILURE() << "no dialog \"" << wanted << "\" appeared";
            PostThreadMessageA(thread, WM_QUIT, 0, 0);
            return;
        }
        action(dialog);
        deadline = Clock::now() + std::chrono::seconds(20);
        while (IsWindow(dialog) && IsWindowVisible(dialog) && Clock::now() < deadline)
            Sleep(20);
        if (IsWindow(dialog) && IsWindowVisible(dialog)) {
            ADD_FAILURE() << "the dialog \"" << wanted << "\" did not close";
            PostThreadMessageA(thread, WM_QUIT, 0, 0);
        }
    });
}

DialogDriver::~DialogDriver() {
    m_thread.join();
}

CreationBlocker::CreationBlocker()
    : m_hook(SetWindowsHookExA(WH_CBT, FailCreation, nullptr, GetCurrentThreadId())) {}

CreationBlocker::~CreationBlocker() {
    UnhookWindowsHookEx(m_hook);
}
